// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/popcount_kernel.h"

#include <cstdlib>
#include <cstring>

namespace vireltan {

PopcountKernel ChoosePopcountKernel() {
  PopcountKernel best = PopcountKernel::kPortable;
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vpopcntdq"))
    best = PopcountKernel::kAvx512;
  else if (__builtin_cpu_supports("popcnt"))
    best = PopcountKernel::kPopcnt;
#endif
  const char* cap = std::getenv("VIRELTAN_POPCOUNT");
  if (cap && std::strcmp(cap, "portable") == 0) return PopcountKernel::kPortable;
  if (cap && std::strcmp(cap, "popcnt") == 0 && best == PopcountKernel::kAvx512)
    return PopcountKernel::kPopcnt;
  return best;
}

}  // namespace vireltan
