// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// In-place heap sorts on 1-based arrays (element 0 is never read or written).
//
// The order in which equal keys come out is whatever this particular heap
// sort produces. The clonal subrange and the spatial autocorrelation walk
// the sorted records and cut distance classes between them, so records with
// tied distances must land exactly where this procedure puts them; do not
// replace it with std::sort or a "better" heap sort.
#include <cassert>
#include <cstdint>
#include <vector>

namespace vireltan {

// A distance (the key) with two values that travel with it: for the clonal
// subrange the pair's different-MLG flag and 0, for the spatial
// autocorrelation two relatedness coefficients.
struct SortTriple {
  double key;
  double first;
  double second;
};
static_assert(sizeof(SortTriple) == 24, "SortTriple must be three packed doubles");

// The heap sort on a[1..n] for any record type, keyed by `keyOf(record)`:
// first sift each element of the lower half into a max-heap (l walks down to
// 1), then repeatedly swap the top to the end of the shrinking range r and
// sift the displaced element down. Comparisons are strict (<) and the steps
// run in exactly this order; the placement of equal keys depends on both.
// `keepGoing()` is polled every 2^20 steps; when it returns false the sort
// is abandoned (the array is then in no useful order) and false returned.
template <typename T, typename KeyOf, typename KeepGoing>
bool HeapSortBy(std::int64_t n, std::vector<T>& a, KeyOf keyOf, KeepGoing keepGoing) {
  if (n < 2) return true;  // with fewer than two elements the loop never ends
  assert(static_cast<std::int64_t>(a.size()) > n);
  // 64-bit indices: j doubles on every step and would overflow an int for
  // arrays past a billion records.
  std::int64_t l = n / 2 + 1;
  std::int64_t r = n;
  std::uint32_t steps = 0;
  for (;;) {
    if ((++steps & 0xFFFFF) == 0 && !keepGoing()) return false;
    T t;
    if (l > 1) {
      --l;
      t = a[l];
    } else {
      t = a[r];
      a[r] = a[1];
      --r;
      if (r == 1) {
        a[1] = t;
        return true;
      }
    }
    const auto key = keyOf(t);
    std::int64_t i = l;
    std::int64_t j = 2 * l;
    while (j <= r) {
      if (j < r && keyOf(a[j]) < keyOf(a[j + 1])) ++j;
      if (key < keyOf(a[j])) {
        a[i] = a[j];
        i = j;
        j = 2 * j;
      } else {
        j = r + 1;
      }
    }
    a[i] = t;
  }
}

// Sorts a[1..n] ascending. n < 2 leaves the array unchanged. Requires
// a.size() > n.
void HeapSortReals(int n, std::vector<double>& a);

// Sorts a[1..n] ascending by key, moving whole records. n < 2 leaves the
// array unchanged. Requires a.size() > n.
void HeapSortTriples(int n, std::vector<SortTriple>& a);

}  // namespace vireltan
