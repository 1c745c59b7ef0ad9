// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/autocorrelation_kinship.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>

#include "autocorrelation_fixtures.h"

namespace vireltan {
namespace {

using autocorrelation_testing::LoadFile;
using autocorrelation_testing::LoadRows;

std::vector<int> AllSus(const Dataset& d) {
  std::vector<int> all(d.sampleCount);
  std::iota(all.begin(), all.end(), 0);
  return all;
}

TEST(AutocorrelationKinship, WorkedPairOfTwoSus) {
  // One diploid locus, 100/102 and 100/100: p(100) = 0.75, p(102) = 0.25,
  // n = 4, a = 2; F = 0 and r = -1/3.
  auto l =
      LoadRows({{"2", "", "", "1", "2"}, {"a", "0", "0", "100102"}, {"b", "1", "0", "100100"}});
  auto f = ComputeAlleleFrequencies(l.dataset, AllSus(l.dataset));
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].alleleCount(), 2);
  EXPECT_EQ(f[0].definedCopies, 4);
  EXPECT_EQ(f[0].alleles, (std::vector<Allele>{100, 102}));
  EXPECT_DOUBLE_EQ(f[0].frequencies[0], 0.75);
  EXPECT_DOUBLE_EQ(f[0].frequencies[1], 0.25);
  KinshipCalculator calc(l.dataset, f);
  KinshipPair p;
  ASSERT_EQ(calc.Pair(0, 1, p), KinshipProblem::kNone);
  EXPECT_NEAR(p.loiselle, 0.0, 1e-15);
  EXPECT_NEAR(p.ritland, -1.0 / 3.0, 1e-15);
  KinshipPair q;
  ASSERT_EQ(calc.Pair(1, 0, q), KinshipProblem::kNone);
  EXPECT_DOUBLE_EQ(q.ritland, p.ritland);
}

TEST(AutocorrelationKinship, MissingFirstAlleleLeavesTheLocusOut) {
  // Locus 2 is missing in b: the pair (a, b) counts locus 1 only, exactly as
  // a one-locus dataset would (locus 1's frequencies are the same).
  auto two = LoadRows({{"3", "", "", "2", "2"},
                       {"a", "0", "0", "100102", "120124"},
                       {"b", "1", "0", "100100", "999999"},
                       {"c", "2", "0", "102104", "120120"}});
  auto one = LoadRows({{"3", "", "", "1", "2"},
                       {"a", "0", "0", "100102"},
                       {"b", "1", "0", "100100"},
                       {"c", "2", "0", "102104"}});
  auto f2 = ComputeAlleleFrequencies(two.dataset, AllSus(two.dataset));
  EXPECT_EQ(f2[1].definedCopies, 4);  // the missing copies are not counted
  EXPECT_EQ(f2[1].alleles, (std::vector<Allele>{120, 124}));
  EXPECT_DOUBLE_EQ(f2[1].frequencies[0], 0.75);
  KinshipCalculator withMissing(two.dataset, f2);
  KinshipCalculator single(one.dataset, ComputeAlleleFrequencies(one.dataset, AllSus(one.dataset)));
  KinshipPair a, b;
  ASSERT_EQ(withMissing.Pair(0, 1, a), KinshipProblem::kNone);
  ASSERT_EQ(single.Pair(0, 1, b), KinshipProblem::kNone);
  EXPECT_DOUBLE_EQ(a.loiselle, b.loiselle);
  EXPECT_DOUBLE_EQ(a.ritland, b.ritland);
  // The pair (a, c) counts both loci and differs.
  ASSERT_EQ(withMissing.Pair(0, 2, a), KinshipProblem::kNone);
  ASSERT_EQ(single.Pair(0, 2, b), KinshipProblem::kNone);
  EXPECT_NE(a.loiselle, b.loiselle);
}

TEST(AutocorrelationKinship, HaploidCopiesCountOncePerSu) {
  auto l = LoadRows({{"4", "", "", "1", "1"},
                     {"a", "0", "0", "120"},
                     {"b", "1", "0", "124"},
                     {"c", "2", "0", "999"},
                     {"d", "3", "0", "120"}});
  auto f = ComputeAlleleFrequencies(l.dataset, AllSus(l.dataset));
  EXPECT_EQ(f[0].definedCopies, 3);  // three typed SUs, one gene copy each
  EXPECT_DOUBLE_EQ(f[0].frequencies[0], 2.0 / 3.0);
}

TEST(AutocorrelationKinship, ZeroDenominatorsAreReportedNotComputed) {
  struct Case {
    testing::Rows rows;
    KinshipProblem problem;
    std::string named;  // the first failing pair in MLG order
  };
  const std::vector<Case> cases = {
      // No locus typed in both a and b.
      {{{"3", "", "", "2", "2"},
        {"a", "0", "0", "100102", "999999"},
        {"b", "1", "0", "999999", "120124"},
        {"c", "2", "0", "100100", "120120"}},
       KinshipProblem::kNoCommonLocus,
       "\"a\" and \"b\""},
      // The only locus typed in both is monomorphic.
      {{{"3", "", "", "2", "2"},
        {"a", "0", "0", "100100", "999999"},
        {"b", "1", "0", "100100", "120124"},
        {"c", "2", "0", "100100", "120120"}},
       KinshipProblem::kMonomorphic,
       "\"c\" and \"a\""},
  };
  for (const Case& c : cases) {
    auto l = LoadRows(c.rows);
    KinshipCalculator calc(l.dataset, ComputeAlleleFrequencies(l.dataset, AllSus(l.dataset)));
    KinshipPair p{42, 42};
    EXPECT_EQ(calc.Pair(0, 1, p), c.problem);
    EXPECT_EQ(p.loiselle, 42);
    KinshipTable table;
    Status s = ComputeKinshipTable(l.dataset, l.mlgs, calc, true, "SUs", nullptr, table);
    ASSERT_FALSE(s.ok());
    EXPECT_NE(s.message().find(c.named), std::string::npos) << s.message();
    EXPECT_NE(s.message().find("division by zero"), std::string::npos) << s.message();
  }
}

// The two coefficients computed as written: frequencies from the sorted
// gene copies, x vectors over every allele, sums over all alleles.
struct Reference {
  std::vector<std::vector<int>> alleles;  // per locus, ascending
  std::vector<std::vector<double>> p;
  std::vector<int> n;
};

Reference ReferenceFrequencies(const Dataset& d, const std::vector<int>& items) {
  Reference r;
  for (int l = 0; l < d.locusCount; ++l) {
    std::map<int, int> counts;
    int typed = 0;
    for (int su : items)
      for (int w = 0; w < 2; ++w) {
        int a = d.alleleAt(su, l, w);
        if (a == kMissingAllele) continue;
        ++counts[a];
        ++typed;
      }
    std::vector<int> alleles;
    std::vector<double> p;
    for (auto [a, c] : counts) {
      alleles.push_back(a);
      p.push_back(static_cast<double>(c) / typed);
    }
    r.alleles.push_back(alleles);
    r.p.push_back(p);
    r.n.push_back(d.haploid() ? typed / 2 : typed);
  }
  return r;
}

KinshipPair ReferencePair(const Dataset& d, const Reference& r, int i, int j) {
  double num = 0, den = 0, cor = 0, rit = 0, rden = 0;
  for (int l = 0; l < d.locusCount; ++l) {
    if (d.alleleAt(i, l, 0) == kMissingAllele || d.alleleAt(j, l, 0) == kMissingAllele) continue;
    double nl = 0, hl = 0, rl = 0;
    for (size_t k = 0; k < r.alleles[l].size(); ++k) {
      const int allele = r.alleles[l][k];
      const double p = r.p[l][k];
      const double xi =
          0.5 * (d.alleleAt(i, l, 0) == allele) + 0.5 * (d.alleleAt(i, l, 1) == allele);
      const double xj =
          0.5 * (d.alleleAt(j, l, 0) == allele) + 0.5 * (d.alleleAt(j, l, 1) == allele);
      nl += (xi - p) * (xj - p);
      hl += p * (1 - p);
      rl += xi * xj / p;
    }
    num += nl;
    den += hl;
    cor += hl / (r.n[l] - 1);
    rit += rl - 1;
    rden += static_cast<double>(r.alleles[l].size()) - 1;
  }
  return {(num + cor) / den, rit / rden};
}

void CheckAgainstReference(const std::string& file) {
  auto l = LoadFile(std::string(VIRELTAN_TEST_DATA_DIR) + "/" + file);
  const Dataset& d = l.dataset;
  // All SUs (the entire dataset) and one genotype per MLG (genets).
  for (bool genets : {false, true}) {
    SCOPED_TRACE(file + (genets ? " genets" : " SUs"));
    const std::vector<int> items = genets ? l.mlgs.representative : AllSus(d);
    KinshipCalculator calc(d, ComputeAlleleFrequencies(d, items));
    KinshipTable table;
    ASSERT_TRUE(
        ComputeKinshipTable(d, l.mlgs, calc, !genets, genets ? "MLGs" : "SUs", nullptr, table)
            .ok());
    const Reference ref = ReferenceFrequencies(d, items);
    for (size_t locus = 0; locus < ref.n.size(); ++locus)
      EXPECT_EQ(calc.frequencies()[locus].definedCopies, ref.n[locus]);
    // Every pair of distinct SUs (sampled when the dataset is large).
    const int n = d.sampleCount;
    int checked = 0;
    for (int i = 0; i < n; i += (n > 300 ? 3 : 1)) {
      for (int j = i + 1; j < n; ++j) {
        const int gi = l.mlgs.mlgOfSu[i] - 1, gj = l.mlgs.mlgOfSu[j] - 1;
        if (genets && gi == gj) continue;
        const KinshipPair expected = ReferencePair(d, ref, i, j);
        const KinshipPair& got = table.at(gi, gj);
        ASSERT_NEAR(got.loiselle, expected.loiselle, 1e-12) << i << " " << j;
        ASSERT_NEAR(got.ritland, expected.ritland, 1e-12) << i << " " << j;
        ++checked;
      }
    }
    EXPECT_GT(checked, 1000);
  }
}

TEST(AutocorrelationKinship, AgreesWithDirectFormulasOnCatsWithMissingData) {
  CheckAgainstReference("nancycats_colonies.txt");
}

TEST(AutocorrelationKinship, AgreesWithDirectFormulasOnClonalIsolates) {
  CheckAgainstReference("pramorum_curry.txt");
}

TEST(AutocorrelationKinship, AgreesWithDirectFormulasOnHaploids) {
  CheckAgainstReference("monilinia_haploid.txt");
}

}  // namespace
}  // namespace vireltan
