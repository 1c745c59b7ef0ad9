// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/heap_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vireltan {
namespace {

// The heap sort copied line by line from its textbook statement, on 1-based
// arrays, written independently of the library to check that the library's
// version places equal keys in the same positions.
template <typename T, typename Key>
void ReferenceHeapSort(int n, std::vector<T>& a, Key key) {
  if (n < 2) return;
  int l = n / 2 + 1;
  int r = n;
  T t;
  while (true) {
    if (l > 1) {
      l = l - 1;
      t = a[l];
    } else {
      t = a[r];
      a[r] = a[1];
      r = r - 1;
      if (r == 1) {
        a[1] = t;
        break;
      }
    }
    int i = l;
    int j = 2 * l;
    while (j <= r) {
      if (j < r && key(a[j]) < key(a[j + 1])) j = j + 1;
      if (key(t) < key(a[j])) {
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

// Small deterministic generator for test data.
uint32_t NextValue(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

bool SameTriples(const std::vector<SortTriple>& x, const std::vector<SortTriple>& y) {
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i) {
    if (x[i].key != y[i].key || x[i].first != y[i].first || x[i].second != y[i].second)
      return false;
  }
  return true;
}

TEST(HeapSortRealsTest, SortsTwoElements) {
  std::vector<double> a = {-1.0, 5.0, 3.0};
  HeapSortReals(2, a);
  EXPECT_EQ(a, (std::vector<double>{-1.0, 3.0, 5.0}));
}

TEST(HeapSortRealsTest, FewerThanTwoElementsUnchanged) {
  struct Case {
    int n;
    std::vector<double> a;
  };
  const Case cases[] = {{0, {7.0}}, {1, {7.0, 4.0}}, {1, {7.0, 4.0, 1.0}}, {-3, {2.0, 1.0}}};
  for (const Case& c : cases) {
    std::vector<double> a = c.a;
    HeapSortReals(c.n, a);
    EXPECT_EQ(a, c.a) << "n=" << c.n;
  }
}

TEST(HeapSortRealsTest, SortedInputStaysSorted) {
  std::vector<double> a = {99.0, 1.0, 2.0, 2.5, 4.0, 8.0, 9.0};
  const std::vector<double> before = a;
  HeapSortReals(6, a);
  EXPECT_EQ(a, before);
}

TEST(HeapSortRealsTest, SortsOnlyTheFirstNAndNeverTouchesElementZero) {
  // Element 0 holds the largest value: were it read as part of the heap it
  // would end up inside the sorted range.
  std::vector<double> a = {1e9, 4.0, -2.0, 7.5, 0.0, 3.0, -100.0};
  HeapSortReals(5, a);
  EXPECT_EQ(a, (std::vector<double>{1e9, -2.0, 0.0, 3.0, 4.0, 7.5, -100.0}));
}

TEST(HeapSortRealsTest, RandomArraysMatchStdSort) {
  uint32_t state = 12345;
  for (int n : {2, 3, 4, 5, 8, 17, 64, 1000}) {
    std::vector<double> a(n + 1, -1.0);
    for (int i = 1; i <= n; ++i) a[i] = static_cast<double>(NextValue(state) % 50) - 25.0;
    std::vector<double> expected = a;
    std::sort(expected.begin() + 1, expected.end());
    HeapSortReals(n, a);
    EXPECT_EQ(a, expected) << "n=" << n;
  }
}

TEST(HeapSortTriplesTest, EqualKeysTracedByHand) {
  // Three equal keys, payloads A = 1, B = 2, C = 3. By hand:
  //   build:  l = 2 -> 1, sift A at 1: no child is larger, A stays.  A B C
  //   pass 1: t = C, a[3] = A, r = 2; sift C at 1: B is not larger.  C B A
  //   pass 2: t = B, a[2] = C, r = 1: a[1] = B, stop.                 B C A
  std::vector<SortTriple> a = {{-1, 0, 0}, {1, 1, 10}, {1, 2, 20}, {1, 3, 30}};
  HeapSortTriples(3, a);
  const std::vector<SortTriple> expected = {{-1, 0, 0}, {1, 2, 20}, {1, 3, 30}, {1, 1, 10}};
  EXPECT_TRUE(SameTriples(a, expected));
}

TEST(HeapSortTriplesTest, MixedTiesTracedByHand) {
  // Keys 1a 2b 1c 2d (payload letters as 1..4). By hand:
  //   build l = 2: t = 2b, child 2d not larger                     1a 2b 1c 2d
  //   build l = 1: t = 1a, child 2b (2b not < 1c), then 2d move up 2b 2d 1c 1a
  //   t = 1a, a[4] = 2b, r = 3; 2d moves up, 1a to 2               2d 1a 1c 2b
  //   t = 1c, a[3] = 2d, r = 2; 1c not < 1a, 1c to 1               1c 1a 2d 2b
  //   t = 1a, a[2] = 1c, r = 1: a[1] = 1a                          1a 1c 2d 2b
  std::vector<SortTriple> a = {{0, 0, 0}, {1, 1, -1}, {2, 2, -2}, {1, 3, -3}, {2, 4, -4}};
  HeapSortTriples(4, a);
  const std::vector<SortTriple> expected = {
      {0, 0, 0}, {1, 1, -1}, {1, 3, -3}, {2, 4, -4}, {2, 2, -2}};
  EXPECT_TRUE(SameTriples(a, expected));
}

TEST(HeapSortTriplesTest, FewerThanTwoRecordsUnchanged) {
  const std::vector<SortTriple> original = {{5, 1, 2}, {3, 4, 5}};
  for (int n : {0, 1}) {
    std::vector<SortTriple> a = original;
    HeapSortTriples(n, a);
    EXPECT_TRUE(SameTriples(a, original)) << "n=" << n;
  }
}

TEST(HeapSortTriplesTest, TwoRecordsSwapWithTheirPayloads) {
  std::vector<SortTriple> a = {{0, 0, 0}, {5, 50, 500}, {3, 30, 300}};
  HeapSortTriples(2, a);
  EXPECT_TRUE(SameTriples(a, {{0, 0, 0}, {3, 30, 300}, {5, 50, 500}}));
}

TEST(HeapSortTriplesTest, MatchesLiteralProcedureWithManyTies) {
  // Few distinct keys, so almost every comparison meets a tie; each record's
  // payload is its original position, so any difference in tie placement
  // shows.
  uint32_t state = 777;
  for (int n : {2, 3, 5, 6, 7, 10, 31, 32, 33, 200, 5000}) {
    std::vector<SortTriple> a(n + 1, SortTriple{-7.0, -7.0, -7.0});
    for (int i = 1; i <= n; ++i) {
      a[i] = {static_cast<double>(NextValue(state) % 4), static_cast<double>(i),
              -static_cast<double>(i)};
    }
    std::vector<SortTriple> expected = a;
    ReferenceHeapSort(n, expected, [](const SortTriple& t) { return t.key; });
    HeapSortTriples(n, a);
    SCOPED_TRACE(n);
    EXPECT_TRUE(SameTriples(a, expected));
    // Sorted by key, each record still whole, element 0 untouched.
    EXPECT_EQ(a[0].key, -7.0);
    for (int i = 2; i <= n; ++i) EXPECT_LE(a[i - 1].key, a[i].key);
    for (int i = 1; i <= n; ++i) EXPECT_EQ(a[i].first, -a[i].second);
  }
}

TEST(HeapSortRealsTest, MatchesLiteralProcedure) {
  // Signed zeros compare equal but are distinguishable, which exposes the
  // placement of ties even among plain doubles.
  uint32_t state = 4242;
  for (int n : {2, 3, 9, 16, 100}) {
    std::vector<double> a(n + 1, 123.0);
    for (int i = 1; i <= n; ++i) {
      const uint32_t v = NextValue(state) % 3;
      a[i] = v == 0 ? 0.0 : (v == 1 ? -0.0 : 1.0);
    }
    std::vector<double> expected = a;
    ReferenceHeapSort(n, expected, [](double x) { return x; });
    HeapSortReals(n, a);
    for (int i = 0; i <= n; ++i) {
      EXPECT_EQ(a[i], expected[i]) << "n=" << n << " i=" << i;
      EXPECT_EQ(std::signbit(a[i]), std::signbit(expected[i])) << "n=" << n << " i=" << i;
    }
  }
}

}  // namespace
}  // namespace vireltan
