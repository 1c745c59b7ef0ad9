// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The units the population-genetics commands count, population by
// population, after clone correction; and the words that say so in every
// block's title row and every table's columns.
#include <string>
#include <vector>

namespace vireltan {

struct PopulationSelection {
  std::vector<int> populations;        // population index of each row, in row order
  std::vector<std::string> names;      // their names
  std::vector<int> units;              // N: units of each population
  std::vector<std::vector<int>> kept;  // units counted (file order) of each population
  std::string counted;                 // "all units", "one unit per MLG" ...
  int keptTotal() const {
    int n = 0;
    for (const auto& k : kept) n += static_cast<int>(k.size());
    return n;
  }
};

}  // namespace vireltan
