// SPDX-License-Identifier: GPL-3.0-or-later
// The locus census and the genotype count that every sampling-effort curve
// relies on: allele counts, gene diversity with missing alleles, and the
// partition refinement that replaces sorting text keys.
#include <gtest/gtest.h>

#include <numeric>

#include "analyses/effort/effort_input.h"
#include "analyses/effort/locus_census.h"
#include "analyses/effort/partition_refiner.h"
#include "effort_reference.h"

namespace vireltan {
namespace {

using testing::Genotype;
using testing::MakeDataset;

struct CensusCase {
  const char* name;
  std::vector<std::pair<int, int>> locus;  // one allele pair per SU
  int alleles;
  double diversity;
};

class Census : public ::testing::TestWithParam<CensusCase> {};

TEST_P(Census, CountsAllelesAndGeneDiversity) {
  std::vector<Genotype> sus;
  for (auto pair : GetParam().locus) sus.push_back({pair});
  Dataset d = MakeDataset(sus);
  EffortInput input = PrepareEffortInput(d, IdentifyMlgs(d));
  LocusCensus c = CensusOfLocus(input, 0);
  EXPECT_EQ(c.alleles, GetParam().alleles);
  EXPECT_NEAR(c.geneDiversity, GetParam().diversity, 1e-15);
}

// h = 2n/(2n-1) (1 - sum p^2): p over the observed copies, 2n over all.
INSTANTIATE_TEST_SUITE_P(
    Cases, Census,
    ::testing::Values(CensusCase{"OneHeterozygote", {{120, 124}}, 2, 1.0},
                      CensusCase{"OneHomozygote", {{120, 120}}, 1, 0.0},
                      // 4 copies 120,124,120,130: p = 1/2, 1/4, 1/4 -> 4/3 (1 - 6/16).
                      CensusCase{
                          "TwoDiploids", {{120, 124}, {120, 130}}, 3, 4.0 / 3.0 * (1 - 6.0 / 16)},
                      // Copies 120, 999, 120, 124: p over 3 observed = 2/3, 1/3; factor 4/3.
                      CensusCase{"MissingCopyLeftOutOfFrequencies",
                                 {{120, 999}, {120, 124}},
                                 2,
                                 4.0 / 3.0 * (1 - 5.0 / 9)},
                      CensusCase{"OneMissingCopyAlone", {{120, 999}}, 1, 0.0},
                      // No observed allele: no diversity, rather than 2n/(2n-1) > 1.
                      CensusCase{"EveryCopyMissing", {{999, 999}, {999, 999}}, 0, 0.0}),
    [](const auto& info) { return info.param.name; });

// Splitting locus by locus gives the number of distinct rows that sorting
// text keys gives, missing alleles included, for every prefix of loci.
TEST(PartitionRefiner, MatchesTheSortedKeyCountOnRandomData) {
  for (std::uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
    Dataset d = testing::RandomDataset(seed, 40, 6, 25, 3, 0.1);
    EffortInput in = PrepareEffortInput(d, IdentifyMlgs(d));
    PartitionRefiner refiner(in);
    std::vector<int> classes(d.sampleCount, 0), refined(d.sampleCount);
    testing::AlleleTable table(d.sampleCount);
    const testing::AlleleTable all = testing::AlleleRows(d);
    for (int j = 0; j < d.locusCount; ++j) {
      for (int s = 0; s < d.sampleCount; ++s) {
        table[s].push_back(all[s][2 * j]);
        table[s].push_back(all[s][2 * j + 1]);
      }
      int counted = refiner.CountRefined(classes, j);
      int count = refiner.Refine(classes, j, refined);
      std::swap(classes, refined);
      EXPECT_EQ(count, testing::ReferenceGenotypeCount(table)) << "seed " << seed << " locus " << j;
      EXPECT_EQ(counted, count);
    }
    EXPECT_EQ(*std::max_element(classes.begin(), classes.end()) + 1, in.mlgCount);
  }
}

}  // namespace
}  // namespace vireltan
