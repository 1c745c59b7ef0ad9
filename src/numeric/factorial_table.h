// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The table of factorials 1!..500! that the binomial tail reads.
//
// Entries are extended precision because 171! and above overflow a double.
// The table has no entry 0; reading index 0 (or any index outside 1..500)
// gives 0, the value every entry starts with.
#include <array>

#include "common/message_sink.h"

namespace vireltan {

class FactorialTable {
 public:
  static constexpr int kMaxEntries = 500;

  // k! as filled by FillFactorialTable, 0 if entry k was never filled or k is
  // outside 1..kMaxEntries.
  long double operator[](int k) const { return InRange(k) ? entries_[k] : 0.0L; }

  // Writes entry k; ignored when k is outside 1..kMaxEntries.
  void Set(int k, long double value) {
    if (InRange(k)) entries_[k] = value;
  }

 private:
  static bool InRange(int k) { return k >= 1 && k <= kMaxEntries; }

  // Index 0 is never used, so that entry k sits at index k.
  std::array<long double, kMaxEntries + 1> entries_{};
};

// Fills entries 1..min(n, 500) with factrl(k), in increasing k, and leaves the
// higher entries as they were. For n > 500 first tells the user (through
// `messages`) that factorials stop at 500, then fills 500 entries. n <= 0
// writes nothing.
void FillFactorialTable(FactorialTable& table, int n, MessageSink& messages);

}  // namespace vireltan
