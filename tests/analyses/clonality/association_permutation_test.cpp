// SPDX-License-Identifier: GPL-3.0-or-later
// The permutation test of the index of association: the shuffled statistic
// against a plain pair-by-pair sum, and the test's verdict on simulated
// clonal and sexual populations (fixed seeds).
#include "analyses/clonality/association_permutation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

namespace vireltan {
namespace {

// N diploid units on L loci: with `genets` > 0 the units are ramets of
// that many genets (clonal), else every allele is drawn independently
// (panmictic). One genotype in `missingEvery` is missing (none when 0).
Dataset Simulate(int n, int loci, int genets, std::uint32_t seed, int missingEvery = 50) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> allele(100, 105);
  Dataset d;
  d.sampleCount = n;
  d.locusCount = loci;
  d.ploidy = 2;
  std::vector<Allele> founders(static_cast<size_t>(std::max(genets, 1)) * loci * 2);
  for (Allele& a : founders) a = static_cast<Allele>(allele(rng));
  for (int u = 0; u < n; ++u) {
    for (int j = 0; j < loci; ++j) {
      Allele a, b;
      if (genets > 0) {
        a = founders[(static_cast<size_t>(u % genets) * loci + j) * 2];
        b = founders[(static_cast<size_t>(u % genets) * loci + j) * 2 + 1];
      } else {
        a = static_cast<Allele>(allele(rng));
        b = static_cast<Allele>(allele(rng));
      }
      if (missingEvery > 0 && rng() % missingEvery == 0) a = b = kMissingAllele;
      d.alleles.push_back(std::min(a, b));
      d.alleles.push_back(std::max(a, b));
    }
  }
  return d;
}

std::vector<int> AllUnits(int n) {
  std::vector<int> units(n);
  for (int u = 0; u < n; ++u) units[u] = u;
  return units;
}

TEST(AssociationPermutation, SumOfSquaresMatchesAPlainPairSum) {
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    Dataset d = Simulate(37, 6, seed == 2 ? 5 : 0, seed);
    AssociationInput in = PrepareAssociation(d, AllUnits(d.sampleCount), false);
    std::int64_t want = 0;
    for (int a = 0; a < d.sampleCount; ++a)
      for (int b = a + 1; b < d.sampleCount; ++b) {
        std::int64_t sum = 0;
        for (int j = 0; j < d.locusCount; ++j) {
          Allele a1 = d.alleleAt(a, j, 0), a2 = d.alleleAt(a, j, 1);
          Allele b1 = d.alleleAt(b, j, 0), b2 = d.alleleAt(b, j, 1);
          if (a1 == kMissingAllele || b1 == kMissingAllele) continue;
          int straight = (a1 == b1) + (a2 == b2), crossed = (a1 == b2) + (a2 == b1);
          sum += 2 - std::max(straight, crossed);
        }
        want += sum * sum;
      }
    EXPECT_EQ(SumOfSquaredPairDistances(in), want) << seed;
  }
}

TEST(AssociationPermutation, ObservedValueIsTheSummarysAndSeedsRepeat) {
  for (int missingEvery : {0, 20}) {
    Dataset d = Simulate(60, 8, 0, 7, missingEvery);
    AssociationInput in = PrepareAssociation(d, AllUnits(d.sampleCount), false);
    std::vector<LocusPairSums> sums = ComputeLocusPairSums(in);
    AssociationTest first, again;
    ASSERT_TRUE(TestAssociation(in, sums, 99, 42, nullptr, first).ok());
    ASSERT_TRUE(TestAssociation(in, sums, 99, 42, nullptr, again).ok());
    ASSERT_TRUE(first.observedRbarD && first.pRbarD);
    EXPECT_EQ(*first.observedRbarD, *IndexOfAssociation(in, sums).rbarD);
    EXPECT_EQ(first.permutedRbarD, again.permutedRbarD);
    EXPECT_EQ(first.permutedRbarD.size(), 99u);
  }
}

TEST(AssociationPermutation, ClonalPopulationIsSignificant) {
  Dataset d = Simulate(120, 10, 12, 11);
  AssociationInput in = PrepareAssociation(d, AllUnits(d.sampleCount), false);
  AssociationTest test;
  ASSERT_TRUE(TestAssociation(in, ComputeLocusPairSums(in), 499, 5, nullptr, test).ok());
  ASSERT_TRUE(test.pIa && test.pRbarD);
  EXPECT_LT(*test.pRbarD, 0.01);
  EXPECT_EQ(*test.pIa, *test.pRbarD);
}

TEST(AssociationPermutation, PanmicticPopulationIsMostlyNotSignificant) {
  int notSignificant = 0;
  for (std::uint32_t seed = 1; seed <= 10; ++seed) {
    Dataset d = Simulate(80, 8, 0, 100 + seed);
    AssociationInput in = PrepareAssociation(d, AllUnits(d.sampleCount), false);
    AssociationTest test;
    ASSERT_TRUE(TestAssociation(in, ComputeLocusPairSums(in), 199, seed, nullptr, test).ok());
    ASSERT_TRUE(test.pRbarD);
    notSignificant += *test.pRbarD >= 0.05;
  }
  // About 9.5 of 10 expected under the null; 7 leaves room for chance.
  EXPECT_GE(notSignificant, 7);
}

TEST(AssociationPermutation, CancelStopsWithoutAResult) {
  Dataset d = Simulate(50, 5, 0, 3);
  AssociationInput in = PrepareAssociation(d, AllUnits(d.sampleCount), false);
  NullProgressSink progress;
  progress.RequestCancel();
  AssociationTest test;
  test.permutations = -1;
  EXPECT_TRUE(TestAssociation(in, ComputeLocusPairSums(in), 99, 1, &progress, test).cancelled());
  EXPECT_EQ(test.permutations, -1);
}

// Ia and rbarD with missing genotypes under poppr's rule, the allele null
// model, cancellation of long runs, missing genotypes under the shuffles
// and the dealt tables against a pair-by-pair computation.
// Alleles not shared (multiset), 0 when either genotype is missing.
int Differing(const Dataset& d, int a, int b, int j) {
  Allele x0 = d.alleleAt(a, j, 0), x1 = d.alleleAt(a, j, 1);
  Allele y0 = d.alleleAt(b, j, 0), y1 = d.alleleAt(b, j, 1);
  if (x0 == kMissingAllele || y0 == kMissingAllele) return 0;
  int straight = (x0 == y0) + (x1 == y1), crossed = (x0 == y1) + (x1 == y0);
  return 2 - std::max(straight, crossed);
}

TEST(AssociationPermutation, PopprMissingRuleEqualsADirectComputation) {
  for (std::uint32_t seed : {3u, 4u}) {
    Dataset d = Simulate(41, 5, seed == 3 ? 6 : 0, seed, 7);
    const int n = d.sampleCount, loci = d.locusCount;
    // Every pair counts at every locus, a missing locus as d_j = 0.
    const double pairs = n * (n - 1) / 2.0;
    std::vector<double> s(loci, 0), s2(loci, 0);
    double sumD = 0, sumD2 = 0;
    for (int a = 0; a < n; ++a)
      for (int b = a + 1; b < n; ++b) {
        double dPair = 0;
        for (int j = 0; j < loci; ++j) {
          int dj = Differing(d, a, b, j);
          s[j] += dj;
          s2[j] += dj * dj;
          dPair += dj;
        }
        sumD += dPair;
        sumD2 += dPair * dPair;
      }
    double ve = 0, cross = 0;
    std::vector<double> v(loci);
    for (int j = 0; j < loci; ++j) {
      v[j] = s2[j] / pairs - (s[j] / pairs) * (s[j] / pairs);
      ve += v[j];
    }
    for (int j = 0; j < loci; ++j)
      for (int k = j + 1; k < loci; ++k) cross += std::sqrt(v[j] * v[k]);
    const double vo = sumD2 / pairs - (sumD / pairs) * (sumD / pairs);

    for (bool collapse : {false, true}) {
      AssociationInput in = PrepareAssociation(d, AllUnits(n), collapse);
      AssociationResult r = IndexOfAssociation(in, ComputeLocusPairSums(in, IaMissing::kPoppr));
      ASSERT_TRUE(r.ia && r.rbarD);
      EXPECT_NEAR(*r.ia, vo / ve - 1, 1e-9) << seed;
      EXPECT_NEAR(*r.rbarD, (vo - ve) / (2 * cross), 1e-9) << seed;
      // The typed-pairs rule gives another value on these data.
      AssociationResult typed = IndexOfAssociation(in, ComputeLocusPairSums(in));
      EXPECT_GT(std::fabs(*typed.ia - *r.ia), 1e-6) << seed;
    }
  }
}

// Asks for cancellation at its third progress report.
class CancelOnThirdReport : public ProgressSink {
 public:
  void SetPosition(int) override {
    if (++reports_ == 3) RequestCancel();
  }
  int reports() const { return reports_; }

 private:
  int reports_ = 0;
};

TEST(AssociationPermutation, AlleleNullSeparatesClonalFromPanmicticAndRepeats) {
  NullProgressSink quiet;
  struct Case {
    int genets;
    bool significant;
  };
  for (const Case& c : {Case{8, true}, Case{0, false}}) {
    Dataset d = Simulate(60, 6, c.genets, 11, 0);
    AssociationTest first, again;
    ASSERT_TRUE(
        TestAssociationAlleles(d, AllUnits(60), IaMissing::kPoppr, 99, 5u, &quiet, first).ok());
    ASSERT_TRUE(
        TestAssociationAlleles(d, AllUnits(60), IaMissing::kPoppr, 99, 5u, &quiet, again).ok());
    ASSERT_TRUE(first.pRbarD && first.pIa);
    EXPECT_EQ(first.null, IaNull::kAlleles);
    EXPECT_EQ(first.permutedRbarD, again.permutedRbarD);
    EXPECT_EQ(first.permutedRbarD.size(), 99u);
    if (c.significant) {
      EXPECT_LE(*first.pRbarD, 0.02);
    } else {
      EXPECT_GT(*first.pRbarD, 0.02);
    }
  }
}

TEST(AssociationPermutation, LongRunsStopSoonAfterCancel) {
  // A chunk is about a twentieth of a second of work: one permutation at a
  // time from N = 5,000.
  EXPECT_EQ(PermutationsPerChunk(5000, 20), 1);
  EXPECT_EQ(PermutationsPerChunk(50, 5), 256);
  Dataset d = Simulate(400, 8, 30, 2, 0);
  AssociationInput in = PrepareAssociation(d, AllUnits(400), false);
  CancelOnThirdReport genotypes;
  AssociationTest test;
  EXPECT_TRUE(
      TestAssociation(in, ComputeLocusPairSums(in), 99999, 1u, &genotypes, test).cancelled());
  EXPECT_EQ(genotypes.reports(), 3);
  CancelOnThirdReport alleles;
  EXPECT_TRUE(TestAssociationAlleles(d, AllUnits(400), IaMissing::kPoppr, 99999, 1u, &alleles, test)
                  .cancelled());
  EXPECT_EQ(alleles.reports(), 3);
}

// Hand-built tables: rows of units, each a list of "a/b" genotypes ("-"
// for a missing one), alleles as numbers.
Dataset Table(const std::vector<std::vector<std::string>>& rows, int ploidy = 2) {
  Dataset d;
  d.sampleCount = static_cast<int>(rows.size());
  d.locusCount = static_cast<int>(rows[0].size());
  d.ploidy = ploidy;
  for (const auto& row : rows)
    for (const std::string& g : row) {
      if (g == "-") {
        d.alleles.push_back(kMissingAllele);
        d.alleles.push_back(kMissingAllele);
        continue;
      }
      const std::size_t slash = g.find('/');
      const Allele a = static_cast<Allele>(std::stoi(g.substr(0, slash)));
      const Allele b =
          slash == std::string::npos ? a : static_cast<Allele>(std::stoi(g.substr(slash + 1)));
      d.alleles.push_back(std::min(a, b));
      d.alleles.push_back(std::max(a, b));
    }
  return d;
}

TEST(AssociationPermutation, GenotypeNullMovesOnlyTheTypedGenotypes) {
  const std::vector<std::vector<std::vector<std::string>>> tables = {
      {{"1/1", "-", "3/4"},
       {"1/2", "5/5", "-"},
       {"-", "5/6", "3/3"},
       {"2/2", "6/6", "-"},
       {"1/2", "-", "4/4"},
       {"2/3", "5/6", "3/4"},
       {"-", "7/7", "3/3"}},
      {{"1/2", "-"}, {"-", "8/9"}, {"3/3", "8/8"}, {"1/3", "-"}, {"2/2", "9/9"}, {"-", "8/9"}},
  };
  for (std::size_t t = 0; t < tables.size(); ++t) {
    const Dataset d = Table(tables[t]);
    const int n = d.sampleCount, loci = d.locusCount;
    const AssociationInput in = PrepareAssociation(d, AllUnits(n), false);
    bool moved = false;
    for (int i = 0; i < 40; ++i) {
      const std::vector<std::uint32_t> columns = ShuffledGenotypeColumns(in, 77u, i);
      EXPECT_EQ(columns, ShuffledGenotypeColumns(in, 77u, i)) << "seeded draws repeat";
      for (int j = 0; j < loci; ++j) {
        std::vector<std::uint32_t> before, after;
        for (int u = 0; u < n; ++u) {
          const std::uint32_t was = in.genotype[static_cast<std::size_t>(u) * loci + j];
          const std::uint32_t now = columns[static_cast<std::size_t>(j) * n + u];
          // Missing genotypes stay with their units, typed ones stay typed.
          EXPECT_EQ(was == AssociationInput::kMissing, now == AssociationInput::kMissing)
              << "table " << t << " permutation " << i << " locus " << j << " unit " << u;
          if (was == AssociationInput::kMissing) continue;
          before.push_back(was);
          after.push_back(now);
          moved = moved || was != now;
        }
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(before, after) << "table " << t << " permutation " << i << " locus " << j;
      }
    }
    EXPECT_TRUE(moved) << t;
  }
}

TEST(AssociationPermutation, GenotypeNullWithMissingDataRepeatsItsSeed) {
  const Dataset d = Simulate(45, 6, 0, 21, 5);
  const AssociationInput in = PrepareAssociation(d, AllUnits(45), false);
  for (IaMissing rule : {IaMissing::kPoppr, IaMissing::kTypedPairs}) {
    const std::vector<LocusPairSums> sums = ComputeLocusPairSums(in, rule);
    AssociationTest first, again, other;
    ASSERT_TRUE(TestAssociation(in, sums, 60, 9u, nullptr, first).ok());
    ASSERT_TRUE(TestAssociation(in, sums, 60, 9u, nullptr, again).ok());
    ASSERT_TRUE(TestAssociation(in, sums, 60, 10u, nullptr, other).ok());
    EXPECT_EQ(first.permutedRbarD, again.permutedRbarD);
    EXPECT_EQ(first.pRbarD, again.pRbarD);
    EXPECT_NE(first.permutedRbarD, other.permutedRbarD);
    // Each permuted value is the index of the shuffled columns.
    for (int i : {0, 17, 59}) {
      const std::vector<std::uint32_t> columns = ShuffledGenotypeColumns(in, 9u, i);
      AssociationInput shuffled = in;
      for (int u = 0; u < in.rowCount; ++u)
        for (int j = 0; j < in.locusCount; ++j)
          shuffled.genotype[static_cast<std::size_t>(u) * in.locusCount + j] =
              columns[static_cast<std::size_t>(j) * in.rowCount + u];
      EXPECT_DOUBLE_EQ(first.permutedRbarD[i], *IndexOfAssociation(shuffled, sums).rbarD) << i;
    }
  }
}

TEST(AssociationPermutation, SingleVaryingLocusGivesPOne) {
  // One locus varies; the others are monomorphic (one with gaps).
  const std::vector<std::vector<std::vector<std::string>>> tables = {
      {{"1/2", "5/5", "7/7"},
       {"1/1", "5/5", "7/7"},
       {"2/2", "5/5", "-"},
       {"1/3", "5/5", "7/7"},
       {"3/3", "5/5", "7/7"}},
      {{"1/2", "-"}, {"2/2", "4/4"}, {"-", "4/4"}, {"1/1", "4/4"}, {"1/2", "4/4"}, {"3/3", "-"}},
  };
  for (std::size_t t = 0; t < tables.size(); ++t)
    for (IaMissing rule : {IaMissing::kPoppr, IaMissing::kTypedPairs}) {
      SCOPED_TRACE("table " + std::to_string(t) + ", " + IaMissingName(rule));
      const Dataset d = Table(tables[t]);
      const std::vector<int> units = AllUnits(d.sampleCount);
      const AssociationInput in = PrepareAssociation(d, units, false);
      const std::vector<LocusPairSums> sums = ComputeLocusPairSums(in, rule);
      const AssociationResult observed = IndexOfAssociation(in, sums);
      ASSERT_TRUE(observed.ia);
      EXPECT_FALSE(observed.rbarD);
      for (int permutations : {1, 99}) {
        AssociationTest genotypes;
        ASSERT_TRUE(TestAssociation(in, sums, permutations, 3u, nullptr, genotypes).ok());
        ASSERT_TRUE(genotypes.pIa);
        EXPECT_EQ(*genotypes.pIa, 1.0);
        EXPECT_FALSE(genotypes.pRbarD);
        EXPECT_TRUE(genotypes.permutedRbarD.empty());
      }
      // Under poppr's rule the allele null's Ia is 0 whatever is dealt.
      if (rule == IaMissing::kPoppr) {
        AssociationTest alleles;
        ASSERT_TRUE(TestAssociationAlleles(d, units, rule, 99, 3u, nullptr, alleles).ok());
        ASSERT_TRUE(alleles.pIa);
        EXPECT_EQ(*alleles.pIa, 1.0);
      }
    }
}

// The units `units` of `d` as a table of their own.
Dataset UnitsOf(const Dataset& d, const std::vector<int>& units) {
  Dataset out;
  out.sampleCount = static_cast<int>(units.size());
  out.locusCount = d.locusCount;
  out.ploidy = d.ploidy;
  for (int su : units)
    out.alleles.insert(out.alleles.end(), d.allelesOf(su), d.allelesOf(su) + 2 * d.locusCount);
  return out;
}

// Ia and rbarD of a table by the definition, pair by pair: D over all
// pairs (a missing locus adds 0), var(d_j) over all pairs (poppr's rule)
// or over the pairs typed at the locus.
AssociationResult DirectIndex(const Dataset& d, IaMissing rule) {
  const int n = d.sampleCount, loci = d.locusCount;
  std::vector<double> s(loci, 0), s2(loci, 0), typedPairs(loci, 0);
  double sumD = 0, sumD2 = 0;
  for (int a = 0; a < n; ++a)
    for (int b = a + 1; b < n; ++b) {
      double dPair = 0;
      for (int j = 0; j < loci; ++j) {
        if (d.alleleAt(a, j, 0) == kMissingAllele || d.alleleAt(b, j, 0) == kMissingAllele)
          continue;
        // Haploid units repeat their allele: 0 or 2 differing, halved.
        const int dj = d.ploidy == 1 ? Differing(d, a, b, j) / 2 : Differing(d, a, b, j);
        s[j] += dj;
        s2[j] += dj * dj;
        typedPairs[j] += 1;
        dPair += dj;
      }
      sumD += dPair;
      sumD2 += dPair * dPair;
    }
  const double pairs = n * (n - 1) / 2.0;
  double ve = 0, cross = 0;
  std::vector<double> v(loci, 0);
  for (int j = 0; j < loci; ++j) {
    const double m = rule == IaMissing::kPoppr ? pairs : typedPairs[j];
    if (m > 0) v[j] = std::max(0.0, s2[j] / m - (s[j] / m) * (s[j] / m));
    ve += v[j];
  }
  for (int j = 0; j < loci; ++j)
    for (int k = j + 1; k < loci; ++k) cross += std::sqrt(v[j] * v[k]);
  const double vo = sumD2 / pairs - (sumD / pairs) * (sumD / pairs);
  AssociationResult r;
  if (ve > 0) r.ia = vo / ve - 1;
  if (cross > 0) r.rbarD = (vo - ve) / (2 * cross);
  return r;
}

TEST(AssociationPermutation, AlleleNullEqualsADirectComputationOnTheDealtTables) {
  struct Case {
    int n, loci, genets, alleles, ploidy, missingEvery;
  };
  const Case cases[] = {
      {40, 5, 6, 6, 2, 0},
      {45, 4, 0, 8, 2, 6},
      {30, 6, 5, 4, 1, 7},
      {50, 3, 0, 60, 2, 9},  // more classes than units
  };
  for (const Case& c : cases)
    for (IaMissing rule : {IaMissing::kPoppr, IaMissing::kTypedPairs}) {
      SCOPED_TRACE(std::to_string(c.n) + " units, ploidy " + std::to_string(c.ploidy) + ", " +
                   IaMissingName(rule));
      std::mt19937 rng(c.n + c.alleles);
      std::uniform_int_distribution<int> allele(100, 99 + c.alleles);
      Dataset d;
      d.sampleCount = c.n;
      d.locusCount = c.loci;
      d.ploidy = c.ploidy;
      std::vector<Allele> founders(static_cast<std::size_t>(std::max(c.genets, 1)) * c.loci * 2);
      for (Allele& a : founders) a = static_cast<Allele>(allele(rng));
      for (int u = 0; u < c.n; ++u)
        for (int j = 0; j < c.loci; ++j) {
          const std::size_t at =
              (static_cast<std::size_t>(u % std::max(c.genets, 1)) * c.loci + j) * 2;
          Allele a = c.genets > 0 ? founders[at] : static_cast<Allele>(allele(rng));
          Allele b = c.genets > 0 ? founders[at + 1] : static_cast<Allele>(allele(rng));
          if (c.ploidy == 1) b = a;
          if (c.missingEvery > 0 && rng() % c.missingEvery == 0) a = b = kMissingAllele;
          d.alleles.push_back(std::min(a, b));
          d.alleles.push_back(std::max(a, b));
        }
      // Units in another order than the table's, two left out.
      std::vector<int> units;
      for (int u = c.n - 1; u >= 2; --u) units.push_back(u);
      constexpr int kPermutations = 25;
      AssociationTest test;
      ASSERT_TRUE(TestAssociationAlleles(d, units, rule, kPermutations, 31u, nullptr, test).ok());
      const AssociationResult observed = DirectIndex(UnitsOf(d, units), rule);
      ASSERT_TRUE(observed.rbarD && test.observedRbarD && test.pIa && test.pRbarD);
      EXPECT_NEAR(*test.observedRbarD, *observed.rbarD, 1e-12);
      ASSERT_EQ(test.permutedRbarD.size(), static_cast<std::size_t>(kPermutations));
      int iaAtOrAbove = 0, rAtOrAbove = 0;
      for (int i = 0; i < kPermutations; ++i) {
        const Dataset dealt = DealtAlleles(d, units, 31u, i);
        // Missing genotypes in place, the alleles of each locus those of
        // the typed units.
        for (int j = 0; j < c.loci; ++j) {
          std::vector<Allele> before, after;
          for (std::size_t u = 0; u < units.size(); ++u) {
            const bool was = d.alleleAt(units[u], j, 0) == kMissingAllele;
            ASSERT_EQ(was, dealt.alleleAt(static_cast<int>(u), j, 0) == kMissingAllele);
            if (was) continue;
            for (int k = 0; k < c.ploidy; ++k) {
              before.push_back(d.alleleAt(units[u], j, k));
              after.push_back(dealt.alleleAt(static_cast<int>(u), j, k));
            }
          }
          std::sort(before.begin(), before.end());
          std::sort(after.begin(), after.end());
          ASSERT_EQ(before, after) << "permutation " << i << " locus " << j;
        }
        const AssociationResult direct = DirectIndex(dealt, rule);
        EXPECT_NEAR(test.permutedRbarD[i], direct.rbarD.value_or(0.0), 1e-12) << i;
        iaAtOrAbove += direct.ia && *direct.ia >= *observed.ia - 1e-12;
        rAtOrAbove += direct.rbarD.value_or(0.0) >= *observed.rbarD - 1e-12;
      }
      EXPECT_EQ(*test.pIa, (iaAtOrAbove + 1.0) / (kPermutations + 1.0));
      EXPECT_EQ(*test.pRbarD, (rAtOrAbove + 1.0) / (kPermutations + 1.0));
    }
}

TEST(AssociationPermutation, AlleleNullHandlesLociWithManyAllelesAndGenotypes) {
  // 1,200 units on a ring of 1,200 alleles at locus 0, each sharing one
  // allele with each neighbour (classes keyed by a hash map, more dealt
  // genotypes than a table of distances takes), and 5 alleles at locus 1.
  const int n = 1200;
  Dataset d;
  d.sampleCount = n;
  d.locusCount = 2;
  d.ploidy = 2;
  for (int u = 0; u < n; ++u) {
    const Allele a = static_cast<Allele>(1000 + u), b = static_cast<Allele>(1000 + (u + 1) % n);
    const Allele c = static_cast<Allele>(10 + u % 5), e = static_cast<Allele>(10 + (u / 5) % 5);
    d.alleles.insert(d.alleles.end(),
                     {std::min(a, b), std::max(a, b), std::min(c, e), std::max(c, e)});
  }
  const std::vector<int> units = AllUnits(n);
  AssociationTest test;
  ASSERT_TRUE(TestAssociationAlleles(d, units, IaMissing::kPoppr, 2, 5u, nullptr, test).ok());
  ASSERT_EQ(test.permutedRbarD.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    const AssociationResult direct = DirectIndex(DealtAlleles(d, units, 5u, i), IaMissing::kPoppr);
    ASSERT_TRUE(direct.rbarD);
    EXPECT_NEAR(test.permutedRbarD[i], *direct.rbarD, 1e-12) << i;
  }
}

}  // namespace
}  // namespace vireltan
