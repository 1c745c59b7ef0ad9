// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The uniform pseudo-random generator behind permutation tests and
// resampling: a 32-bit linear congruential generator,
//   state := state · 134775813 + 1 (mod 2^32).
// It is fast and has full period 2^32, which is plenty for drawing indices
// among a few thousand sampling units. Each run seeds a fresh generator from
// the clock, so runs are not reproducible unless a seed is given.
#include <cstdint>

namespace vireltan {

class RandomGenerator {
 public:
  explicit RandomGenerator(uint32_t seed) : state_(seed) {}

  // Seeded from the high-resolution clock.
  static RandomGenerator FromClock();

  // The generator of one independent stream of a run: permutation `index`
  // of a run seeded with `runSeed`. The two are mixed with a splitmix64
  // finaliser so that neighbouring indices give unrelated seeds; a run is
  // then reproducible whatever the order in which threads take the streams.
  static RandomGenerator ForStream(uint32_t runSeed, uint64_t index);

  // A draw in 0..n-1: the state is advanced first, then the high 32 bits of
  // the 64-bit product state · n are taken. Using the high bits (rather than
  // state mod n) avoids the short cycles of an LCG's low bits. n <= 0 gives 0
  // (the state still advances).
  int Below(int n);

  // A draw in a..b-1, i.e. a + Below(b - a).
  int Between(int a, int b) { return a + Below(b - a); }

  // A draw in [0, 1): the advanced state divided by 2^32.
  double Uniform();

  uint32_t state() const { return state_; }

 private:
  void Advance() { state_ = state_ * 134775813u + 1u; }

  uint32_t state_;
};

}  // namespace vireltan
