// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which popcount kernel the SNP passes (distances, index of association)
// run: the widest the processor supports (AVX-512 VPOPCNTDQ, then the
// POPCNT instruction, then portable code). The kernels add the same
// integers, so every choice gives the same results; the environment
// variable VIRELTAN_POPCOUNT=portable|popcnt caps the choice, so that the
// tests run each kernel on one machine and a user can rule out a faulty
// vector unit.
namespace vireltan {

enum class PopcountKernel { kPortable = 0, kPopcnt = 1, kAvx512 = 2 };

// Read anew at each call (a pass asks once): no state is kept.
PopcountKernel ChoosePopcountKernel();

}  // namespace vireltan
