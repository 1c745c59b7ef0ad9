// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/heap_sort.h"

namespace vireltan {

namespace {
constexpr auto kAlways = [] { return true; };
}  // namespace

void HeapSortReals(int n, std::vector<double>& a) {
  HeapSortBy(
      n, a, [](double v) { return v; }, kAlways);
}

void HeapSortTriples(int n, std::vector<SortTriple>& a) {
  HeapSortBy(
      n, a, [](const SortTriple& t) { return t.key; }, kAlways);
}

}  // namespace vireltan
