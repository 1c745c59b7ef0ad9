#include "numeric/heap_sort.h"

#include <cassert>
#include <cstddef>

namespace vireltan {

namespace {

double KeyOf(double value) {
  return value;
}
double KeyOf(const SortTriple& record) {
  return record.key;
}

// The classic heap sort on a[1..n]: first sift each element of the lower half
// into a max-heap (l walks down to 1), then repeatedly swap the top to the end
// of the shrinking range r and sift the displaced element down. Comparisons
// are strict (<), and the steps run in exactly this order; the placement of
// equal keys depends on both.
template <typename T>
void HeapSort(int n, std::vector<T>& a) {
  if (n < 2) return;  // with fewer than two elements the loop below never ends
  assert(a.size() > static_cast<std::size_t>(n));

  // 64-bit indices: j doubles on every step and would overflow an int for
  // arrays past a billion records.
  long long l = n / 2 + 1;
  long long r = n;
  for (;;) {
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
        return;
      }
    }
    long long i = l;
    long long j = 2 * l;
    while (j <= r) {
      if (j < r && KeyOf(a[j]) < KeyOf(a[j + 1])) ++j;
      if (KeyOf(t) < KeyOf(a[j])) {
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

}  // namespace

void HeapSortReals(int n, std::vector<double>& a) {
  HeapSort(n, a);
}

void HeapSortTriples(int n, std::vector<SortTriple>& a) {
  HeapSort(n, a);
}

}  // namespace vireltan
