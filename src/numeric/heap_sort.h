#pragma once
// In-place heap sorts on 1-based arrays (element 0 is never read or written).
//
// The order in which equal keys come out is whatever this particular heap
// sort produces. The clonal subrange and the spatial autocorrelation walk
// the sorted records and cut distance classes between them, so records with
// tied distances must land exactly where this procedure puts them; do not
// replace it with std::sort or a "better" heap sort.
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

// Sorts a[1..n] ascending. n < 2 leaves the array unchanged. Requires
// a.size() > n.
void HeapSortReals(int n, std::vector<double>& a);

// Sorts a[1..n] ascending by key, moving whole records. n < 2 leaves the
// array unchanged. Requires a.size() > n.
void HeapSortTriples(int n, std::vector<SortTriple>& a);

}  // namespace vireltan
