// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/binomial_tail.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

#include "common/message_sink.h"
#include "numeric/factorial_table.h"

namespace vireltan {
namespace {

// P[X >= k] for X ~ Binomial(n, p) by the plain definition: every term from
// the library's extended-precision log-gamma, summed in long double.
long double ReferenceTail(int k, int n, long double p) {
  long double sum = 0.0L;
  for (int i = k; i <= n; ++i) {
    sum += std::exp(std::lgamma(n + 1.0L) - std::lgamma(i + 1.0L) - std::lgamma(n - i + 1.0L) +
                    i * std::log(p) + (n - i) * std::log1p(-p));
  }
  return sum;
}

// The part of the exact tail carried by terms whose p^i (1-p)^(n-i) lies
// below the normal double range. The table-based tail holds that factor in a
// double, as the program always has, so those terms vanish from its sum.
long double TailInUnderflowingTerms(int k, int n, long double p) {
  long double lost = 0.0L;
  for (int i = k; i <= n; ++i) {
    const long double log_q = i * std::log(p) + (n - i) * std::log1p(-p);
    if (log_q < std::log(static_cast<long double>(DBL_MIN))) {
      lost += std::exp(std::lgamma(n + 1.0L) - std::lgamma(i + 1.0L) - std::lgamma(n - i + 1.0L) +
                       log_q);
    }
  }
  return lost;
}

// |got - want| within `relative` of want; values below the normal double
// range are compared absolutely (their precision is not a double's).
::testing::AssertionResult CloseRelative(double got, long double want, double relative) {
  const long double error = std::fabs(static_cast<long double>(got) - want);
  if (error <= relative * std::fabs(want) + 1e-300L) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << got << ", want " << static_cast<double>(want)
                                       << ", relative error " << static_cast<double>(error / want);
}

class BinomialTailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RecordingMessageSink messages;
    FillFactorialTable(table_, 500, messages);
  }
  FactorialTable table_;
};

// The table's factorials are each off by up to ~2e-10 (the log-gamma
// series), so a binomial coefficient built from three of them is good to
// about 6e-10; 2e-9 leaves room for the double sum.
constexpr double kTableTolerance = 2e-9;
// Log-space sums carry only long double rounding and lgamma error (grows
// with ln n! ≈ 1e6 at n = 1e5, i.e. ~1e-13), then one rounding to double.
constexpr double kLogSpaceTolerance = 1e-11;

TEST_F(BinomialTailTest, SmallCasesWorkedByHand) {
  struct Case {
    int k, n;
    double p;
    double want;
  };
  const Case cases[] = {
      {1, 1, 0.3, 0.3},
      {1, 2, 0.5, 0.75},     // 1 - 1/4
      {2, 3, 0.5, 0.5},      // (3 + 1) / 8
      {2, 4, 0.1, 0.0523},   // 6·0.01·0.81 + 4·0.001·0.9 + 0.0001
      {3, 5, 0.2, 0.05792},  // 10·0.008·0.64 + 5·0.0016·0.8 + 0.00032
      {1, 10, 0.5, 1023.0 / 1024.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "k=" << c.k << " n=" << c.n << " p=" << c.p);
    EXPECT_TRUE(CloseRelative(BinomialTail(c.k, c.n, c.p, table_), c.want, kTableTolerance));
    EXPECT_TRUE(CloseRelative(BinomialTailLogSpace(c.k, c.n, c.p), c.want, kLogSpaceTolerance));
  }
}

TEST_F(BinomialTailTest, AgreesWithDirectSumOverAGrid) {
  const int ns[] = {1, 2, 7, 30, 100, 499, 500};
  const double ps[] = {1e-30, 1e-9, 1e-3, 0.05, 0.3, 0.5, 0.77, 0.999, 1.0 - 1e-9};
  for (int n : ns) {
    const std::vector<int> ks = {1, 2, 3, n / 3, n / 2, n - 1, n};
    for (double p : ps) {
      for (int k : ks) {
        if (k < 1 || k > n) continue;  // k > n has its own convention, tested below
        SCOPED_TRACE(testing::Message() << "k=" << k << " n=" << n << " p=" << p);
        const long double want = ReferenceTail(k, n, p);
        EXPECT_TRUE(CloseRelative(BinomialTailLogSpace(k, n, p), want, kLogSpaceTolerance));
        if (TailInUnderflowingTerms(k, n, p) <= 1e-12L * want) {
          EXPECT_TRUE(CloseRelative(BinomialTail(k, n, p, table_), want, kTableTolerance));
        } else {
          // Terms lost to underflow can only make it smaller.
          EXPECT_LE(BinomialTail(k, n, p, table_), want * (1.0L + kTableTolerance));
        }
      }
    }
  }
}

TEST_F(BinomialTailTest, TinyTailsKeepTheirPrecision) {
  // Tails far below 1e-16 are lost by 1 - CDF; term-by-term sums keep them.
  struct Case {
    int k, n;
    double p;
  };
  const Case cases[] = {
      {1, 500, 1e-30},  // ≈ 5e-28
      {2, 500, 1e-30},  // ≈ 1.2e-55
      {5, 500, 1e-30},  // ≈ 2.5e-139
      {20, 500, 1e-3},  // ≈ 1e-29
      {60, 500, 0.01},  // far in the tail
      {1, 501, 1e-30}, {3, 501, 1e-12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "k=" << c.k << " n=" << c.n << " p=" << c.p);
    const long double want = ReferenceTail(c.k, c.n, c.p);
    ASSERT_GT(want, 1e-290L);
    ASSERT_LT(want, 1e-16L);
    EXPECT_TRUE(CloseRelative(BinomialTailLogSpace(c.k, c.n, c.p), want, kLogSpaceTolerance));
    if (c.n <= FactorialTable::kMaxEntries) {
      EXPECT_TRUE(CloseRelative(BinomialTail(c.k, c.n, c.p, table_), want, kTableTolerance));
    }
  }
}

TEST_F(BinomialTailTest, TermsBelowDoubleRangeVanishFromTheTableSum) {
  // With p = 0.05 every term of P[X >= 250] for n = 500 has
  // p^i (1-p)^(n-i) < 1e-320: held in a double, each is 0, so the table-based
  // tail is 0 where the true tail is about 1.8e-182. The log-space tail,
  // which never forms that factor alone, gets it right.
  const long double want = ReferenceTail(250, 500, 0.05L);
  EXPECT_GT(want, 1e-183L);
  EXPECT_EQ(BinomialTail(250, 500, 0.05, table_), 0.0);
  EXPECT_TRUE(CloseRelative(BinomialTailLogSpace(250, 500, 0.05), want, kLogSpaceTolerance));
}

TEST_F(BinomialTailTest, BeyondTheTableFallsBackToLogSpace) {
  // n = 501 has no table entry; the table-based tail must still be right.
  const double ps[] = {1e-30, 1e-4, 0.5, 1.0 - 1e-9};
  const int ks[] = {1, 2, 250, 500, 501};
  for (double p : ps) {
    for (int k : ks) {
      SCOPED_TRACE(testing::Message() << "k=" << k << " p=" << p);
      const long double want = ReferenceTail(k, 501, p);
      EXPECT_TRUE(CloseRelative(BinomialTail(k, 501, p, table_), want, kLogSpaceTolerance));
      EXPECT_EQ(BinomialTail(k, 501, p, table_), BinomialTailLogSpace(k, 501, p));
    }
  }
}

TEST(BinomialTailLogSpaceTest, LargeSamplesAgreeWithDirectSum) {
  struct Case {
    int k, n;
    double p;
  };
  const Case cases[] = {
      {1, 5000, 1e-30},    {2, 5000, 1e-6},   {10, 5000, 1e-4},  {2600, 5000, 0.5},
      {4990, 5000, 0.999}, {1, 100000, 1e-7}, {5, 100000, 1e-5}, {30500, 100000, 0.3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "k=" << c.k << " n=" << c.n << " p=" << c.p);
    EXPECT_TRUE(CloseRelative(BinomialTailLogSpace(c.k, c.n, c.p), ReferenceTail(c.k, c.n, c.p),
                              kLogSpaceTolerance));
  }
}

TEST_F(BinomialTailTest, FromOneIsOneMinusProbabilityOfNone) {
  const double ps[] = {1e-30, 1e-9, 0.01, 0.5, 0.9, 1.0 - 1e-9};
  const int ns[] = {1, 10, 100, 500};
  for (int n : ns) {
    for (double p : ps) {
      SCOPED_TRACE(testing::Message() << "n=" << n << " p=" << p);
      // 1 - (1 - p)^n without cancellation, so p = 1e-30 still works.
      const long double want = -std::expm1(n * std::log1p(-static_cast<long double>(p)));
      EXPECT_TRUE(CloseRelative(BinomialTail(1, n, p, table_), want, kTableTolerance));
      EXPECT_TRUE(CloseRelative(BinomialTailLogSpace(1, n, p), want, kLogSpaceTolerance));
    }
  }
}

TEST_F(BinomialTailTest, AllSuccessesAndBeyondGivePToTheN) {
  struct Case {
    int k, n;
    double p;
  };
  const Case cases[] = {{3, 3, 0.5}, {10, 10, 0.3},     {500, 500, 0.99}, {11, 10, 0.3},
                        {7, 5, 0.3}, {600, 500, 0.999}, {2, 1, 0.25},     {40, 40, 1e-7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "k=" << c.k << " n=" << c.n << " p=" << c.p);
    const long double want = std::pow(static_cast<long double>(c.p), c.n);
    EXPECT_TRUE(CloseRelative(BinomialTail(c.k, c.n, c.p, table_), want, 1e-14));
    EXPECT_TRUE(CloseRelative(BinomialTailLogSpace(c.k, c.n, c.p), want, 1e-14));
  }
  // 0.3^5 = 0.00243 worked by hand.
  EXPECT_NEAR(BinomialTail(7, 5, 0.3, table_), 0.00243, 1e-17);
}

TEST_F(BinomialTailTest, CertainAndImpossibleSuccess) {
  struct Case {
    int k, n;
  };
  const Case cases[] = {{1, 1}, {1, 10}, {5, 10}, {10, 10}, {11, 10}, {1, 500}, {250, 500}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "k=" << c.k << " n=" << c.n);
    EXPECT_EQ(BinomialTail(c.k, c.n, 0.0, table_), 0.0);
    EXPECT_EQ(BinomialTail(c.k, c.n, 1.0, table_), 1.0);
    EXPECT_EQ(BinomialTailLogSpace(c.k, c.n, 0.0), 0.0);
    EXPECT_EQ(BinomialTailLogSpace(c.k, c.n, 1.0), 1.0);
  }
  EXPECT_EQ(BinomialTailLogSpace(1, 1000, 0.0), 0.0);
  EXPECT_EQ(BinomialTailLogSpace(1000, 1000, 1.0), 1.0);
}

TEST_F(BinomialTailTest, NoTrialsOrNoSuccessesNeeded) {
  // At least zero successes is certain.
  EXPECT_EQ(BinomialTail(0, 10, 0.3, table_), 1.0);
  EXPECT_EQ(BinomialTailLogSpace(0, 10, 0.3), 1.0);
  EXPECT_EQ(BinomialTailLogSpace(-2, 1000, 0.3), 1.0);
  // With no trials only the empty all-successes term is left: p^0 = 1, also 0^0.
  EXPECT_EQ(BinomialTail(1, 0, 0.3, table_), 1.0);
  EXPECT_EQ(BinomialTail(1, 0, 0.0, table_), 1.0);
  EXPECT_EQ(BinomialTailLogSpace(1, 0, 0.0), 1.0);
}

TEST_F(BinomialTailTest, DecreasesAsTheThresholdRises) {
  double previous = 1.0;
  for (int k = 1; k <= 50; ++k) {
    const double tail = BinomialTail(k, 50, 0.2, table_);
    EXPECT_LE(tail, previous) << k;
    previous = tail;
  }
}

}  // namespace
}  // namespace vireltan
