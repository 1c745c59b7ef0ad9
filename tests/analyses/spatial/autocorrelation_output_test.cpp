// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/autocorrelation_output.h"

#include <gtest/gtest.h>

namespace vireltan {
namespace {

// One locus, alleles 100 and 102 at 0.75 / 0.25 among 4 typed copies.
MatricesBlockInput Block(int items, const std::vector<LocusFrequencies>& frequencies,
                         const std::vector<std::string>& names) {
  MatricesBlockInput in;
  in.title = "ENTIRE DATASET";
  in.frequencies = &frequencies;
  in.locusNames = &names;
  in.itemCount = items;
  in.coefficients = [](int i, int j) { return KinshipPair{0.01 * i, -0.01 * j}; };
  in.distance = [](int i, int j) { return static_cast<double>(j - i); };
  return in;
}

TEST(AutocorrelationMatricesBlock, MatricesOnlyBelow255Items) {
  LocusFrequencies f;
  f.alleles = {100, 102};
  f.frequencies = {0.75, 0.25};
  f.definedCopies = 4;
  const std::vector<LocusFrequencies> frequencies{f};
  const std::vector<std::string> names{"L1"};
  for (int items : {254, 255}) {
    SCOPED_TRACE(items);
    const Sheet s = BuildMatricesBlock(Block(items, frequencies, names));
    // The frequencies are always there.
    EXPECT_EQ(s.TextAt(1, 1), "ENTIRE DATASET");
    EXPECT_EQ(s.TextAt(2, 1), "ALLELIC FREQUENCIES");
    EXPECT_EQ(s.TextAt(3, 1), "L1");
    EXPECT_EQ(s.NumberAt(5, 1), 2);
    EXPECT_EQ(s.NumberAt(5, 2), 4);
    EXPECT_EQ(s.NumberAt(9, 1), 102);
    EXPECT_EQ(s.NumberAt(9, 2), 0.25);
    if (items == 255) {
      EXPECT_EQ(s.LastRow(), 9);  // the frequency table and nothing else
      continue;
    }
    // Frequency rows end at M = 6 + 2 = 8 (block row 9); the matrices start
    // at row M + 4.
    const int top = 12;
    EXPECT_EQ(s.TextAt(top, 1), "DISTANCE MATRIX");
    EXPECT_EQ(s.TextAt(top + 1, 1), "Fij Loiselle");
    EXPECT_EQ(s.TextAt(top + items + 3, 1), "Fij Ritland");
    EXPECT_EQ(s.TextAt(top + 2 * items + 5, 1), "geographic distances");
    // Pair (3, 200): Loiselle at (i+1, j+1) of its triangle, and so on.
    EXPECT_DOUBLE_EQ(s.NumberAt(top + 1 + 3, 201), 0.03);
    EXPECT_DOUBLE_EQ(s.NumberAt(top + items + 3 + 3, 201), -2.0);
    EXPECT_DOUBLE_EQ(s.NumberAt(top + 2 * items + 5 + 3, 201), 197);
    EXPECT_EQ(s.LastRow(), top + 2 * items + 5 + items);
  }
}

TEST(AutocorrelationOutputText, BoundTextUsesAPointAndUpTo15Digits) {
  EXPECT_EQ(BoundText(0.1 + 0.2), "0.3");
  EXPECT_EQ(BoundText(-2.5), "-2.5");
  EXPECT_EQ(BoundText(60), "60");
  EXPECT_EQ(BoundText(-0.0), "0");
  EXPECT_EQ(BoundText(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(BoundText(std::nan("")), "");
}

TEST(AutocorrelationOutputText, SpIsLeftEmptyWhenTheFirstClassKinshipIsOne) {
  Sheet s;
  s.SetTextAt(1, 1, "x");
  WriteSpBlock(s, {{"ENTIRE DATASET", -0.02, 0.2}, {"WEIGHTED DATASET", -0.02, 1.0}});
  EXPECT_EQ(s.TextAt(3, 1), "Sp STATISTIC");
  EXPECT_DOUBLE_EQ(s.NumberAt(4, 4), 0.025);  // -(-0.02) / (1 - 0.2)
  EXPECT_EQ(s.TextAt(5, 1), "WEIGHTED DATASET");
  EXPECT_TRUE(s.at(5, 4).empty());
}

}  // namespace
}  // namespace vireltan
