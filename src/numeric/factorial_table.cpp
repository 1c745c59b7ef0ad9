// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/factorial_table.h"

#include <string>

#include "numeric/log_gamma.h"

namespace vireltan {

void FillFactorialTable(FactorialTable& table, int n, MessageSink& messages) {
  if (n > FactorialTable::kMaxEntries) {
    messages.Show("Ne peut calculer la factorielle pour nb individuals > " +
                  std::to_string(FactorialTable::kMaxEntries) + " !!");
    n = FactorialTable::kMaxEntries;
  }
  for (int k = 1; k <= n; ++k) table.Set(k, factrl(k));
}

}  // namespace vireltan
