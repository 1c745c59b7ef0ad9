// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/random.h"

#include <chrono>

namespace vireltan {

RandomGenerator RandomGenerator::FromClock() {
  const auto ticks =
      static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
  // Fold the high half in so that two runs started the same number of
  // nanoseconds past a 2^32 boundary still differ.
  return RandomGenerator(static_cast<uint32_t>(ticks ^ (ticks >> 32)));
}

RandomGenerator RandomGenerator::ForStream(uint32_t runSeed, uint64_t index) {
  uint64_t z = (static_cast<uint64_t>(runSeed) << 32 ^ index) + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return RandomGenerator(static_cast<uint32_t>(z ^ (z >> 32)));
}

int RandomGenerator::Below(int n) {
  Advance();
  if (n <= 0) return 0;
  return static_cast<int>((static_cast<uint64_t>(state_) * static_cast<uint64_t>(n)) >> 32);
}

double RandomGenerator::Uniform() {
  Advance();
  return static_cast<double>(state_) * (1.0 / 4294967296.0);
}

}  // namespace vireltan
