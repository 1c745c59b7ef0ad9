// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/identity/pgen_psex.h"

#include <gtest/gtest.h>

#include <cmath>

#include "analyses/identity/identity_fixtures.h"
#include "numeric/binomial_tail.h"

namespace vireltan {
namespace {

using testing::IndependentUpperTail;
using testing::MakeDataset;

RoundRobinLocus ListOf(std::vector<Allele> alleles, std::vector<double> frequencies) {
  RoundRobinLocus list;
  list.alleles = std::move(alleles);
  list.frequencies = std::move(frequencies);
  return list;
}

struct FactorCase {
  const char* name;
  Allele a1, a2;
  double fis;
  int mlgCount;
  double f, g;
  int absentCount;
  double w;  // of the first absent allele
};

// List of the locus: 100 (0.5), 110 (0.25), 120 (0.3 in the G = 10 cases is
// irrelevant: only the looked-up alleles matter).
class GenotypeFactors : public ::testing::TestWithParam<FactorCase> {};

TEST_P(GenotypeFactors, MatchTheHandValues) {
  const FactorCase& c = GetParam();
  RoundRobinLocus list = ListOf({100, 110, 130}, {0.5, 0.25, 0.3});
  LocusProbability lp = GenotypeProbability(c.a1, c.a2, list, c.fis, c.mlgCount);
  EXPECT_NEAR(lp.f, c.f, 1e-15);
  EXPECT_NEAR(lp.g, c.g, 1e-15);
  ASSERT_EQ(lp.absentCount, c.absentCount);
  if (c.absentCount > 0) EXPECT_DOUBLE_EQ(lp.absent[0].w, c.w);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GenotypeFactors,
    ::testing::Values(
        // 2pq = 0.25 and 2pq(1 - F) = 0.225.
        FactorCase{"Heterozygote", 100, 110, 0.1, 10, 0.25, 0.225, 0, 0},
        // p² = 0.25 and p² + p(1 - p)F = 0.275.
        FactorCase{"Homozygote", 100, 100, 0.1, 10, 0.25, 0.275, 0, 0},
        // One allele absent, G = 10: 2 · 0.3 · 0.05 = 0.03.
        FactorCase{"OneAbsent", 130, 140, 0.0, 10, 0.03, 0.03, 1, 0.05},
        FactorCase{"OneAbsentFirst", 90, 130, 0.2, 10, 0.03, 0.024, 1, 0.05},
        // Both absent: 2w² and 2(1 - F)w².
        FactorCase{"BothAbsent", 140, 150, 0.5, 10, 2 * 0.05 * 0.05, 0.05 * 0.05, 2, 0.05},
        // Absent homozygote, w = 1/G: w² and w² + (1 - w)wF.
        FactorCase{"AbsentHomozygote", 150, 150, 0.5, 10, 0.01, 0.01 + 0.9 * 0.1 * 0.5, 1, 0.1}),
    [](const auto& info) { return std::string(info.param.name); });

// Four units, MLG 3 sampled twice (the round-robin example worked by hand
// in round_robin_test.cpp): locus 1 p(100) = .75, p(110) = .25, F1 = 5/17;
// locus 2 p(200) = p(210) = .5, F2 = -0.2, allele 220 absent (w = 1/3).
TEST(Psex, HandWorkedDataset) {
  Dataset d = MakeDataset({{{100, 100}, {200, 210}},
                           {{100, 110}, {200, 210}},
                           {{100, 110}, {220, 220}},
                           {{110, 100}, {220, 220}}});
  MlgPartition mlgs = IdentifyMlgs(d);
  FactorialTable table;
  RecordingMessageSink messages;
  FillFactorialTable(table, 4, messages);
  PsexResult r;
  ASSERT_TRUE(ComputePsex(d, mlgs, table, r).ok());
  ASSERT_EQ(r.rows.size(), 4u);
  const double f1 = 5.0 / 17.0;
  // MLG 1: 100/100 and 200/210.
  EXPECT_NEAR(r.rows[0].pgen, 0.5625 * 0.5, 1e-15);
  EXPECT_NEAR(r.rows[0].pgenFis, (0.5625 + 0.25 * 0.75 * f1) * 0.5 * 1.2, 1e-15);
  // MLG 3: 100/110 and the absent homozygote 220/220.
  const double pgen3 = 0.375 / 9.0;
  const double pgenFis3 = 0.375 * (1 - f1) * (1.0 / 9 + 2.0 / 9 * -0.2);
  for (int s : {2, 3}) {
    EXPECT_EQ(r.rows[s].mlg, 3);
    EXPECT_NEAR(r.rows[s].pgen, pgen3, 1e-15);
    EXPECT_NEAR(r.rows[s].pgenFis, pgenFis3, 1e-15);
  }
  EXPECT_EQ(r.rows[2].nbramets, 0);
  EXPECT_TRUE(std::isnan(r.rows[2].psex));
  EXPECT_EQ(r.rows[3].nbramets, 2);
  EXPECT_EQ(r.rows[3].reencounter, 1);
  EXPECT_NEAR(r.rows[3].psex, 1 - std::pow(1 - pgen3, 4), 1e-9);
  EXPECT_NEAR(r.rows[3].psexFis, 1 - std::pow(1 - pgenFis3, 4), 1e-9);
  ASSERT_EQ(r.absentAlleles[1].size(), 1u);
  EXPECT_EQ(r.absentAlleles[1][0].allele, 220);

  // The printed table: locus 2 lists 200, 210, then 220 with "<" + 1/3, so
  // the allele block has three rows and the statistics rows follow it.
  Sheet block = BuildPsexBlock(r);
  EXPECT_EQ(block.TextAt(1, 1), "round rob");
  EXPECT_EQ(block.TextAt(1, 2), "all. freq");
  EXPECT_EQ(block.TextAt(1, 3), "pgen&psex");
  EXPECT_EQ(block.TextAt(2, 3), "locus");
  EXPECT_EQ(block.NumberAt(2, 4), 2);
  EXPECT_EQ(block.NumberAt(5, 3), 220);
  EXPECT_EQ(block.TextAt(5, 4), "<0.333333333333333");
  EXPECT_TRUE(block.at(5, 1).empty());
  EXPECT_EQ(block.TextAt(6, 1), "Hnb");
  EXPECT_EQ(block.TextAt(7, 3), "Hobs");
  EXPECT_EQ(block.TextAt(8, 1), "fis");
  EXPECT_NEAR(block.NumberAt(8, 4), -0.2, 1e-15);
  // R = 6 table rows; headings at R + 3 = 9, units from row 10.
  EXPECT_EQ(block.TextAt(9, 3), "pgen");
  EXPECT_EQ(block.TextAt(9, 8), "psex (fis) 1 reencounter");
  EXPECT_TRUE(block.at(9, 1).empty());
  EXPECT_EQ(block.TextAt(10, 1), "MLG");
  EXPECT_TRUE(block.at(12, 5).empty());
  EXPECT_EQ(block.NumberAt(13, 5), 2);
  EXPECT_EQ(block.NumberAt(13, 6), 1);
  EXPECT_EQ(block.LastRow(), 13);
}

TEST(Psex, ThreeCopiesGetTwoReencounters) {
  Dataset d = MakeDataset({{{100, 110}, {200, 200}},
                           {{100, 110}, {200, 200}},
                           {{100, 110}, {200, 200}},
                           {{100, 100}, {200, 210}},
                           {{110, 110}, {210, 210}}});
  MlgPartition mlgs = IdentifyMlgs(d);
  FactorialTable table;
  RecordingMessageSink messages;
  FillFactorialTable(table, 5, messages);
  PsexResult r;
  ASSERT_TRUE(ComputePsex(d, mlgs, table, r).ok());
  int reencounters = 0;
  for (const PsexRow& row : r.rows) {
    if (row.nbramets == 0) continue;
    ++reencounters;
    EXPECT_EQ(row.nbramets, row.reencounter + 1);
    EXPECT_NEAR(row.psex, IndependentUpperTail(row.reencounter, 5, row.pgen), 1e-9 * row.psex);
  }
  EXPECT_EQ(reencounters, 2);
}

TEST(Psex, AbsentAlleleIsListedOnce) {
  // Allele 130 at locus 1 is carried only by units that the round robin
  // drops (same locus-2 genotype as a unit with a smaller key).
  Dataset d = MakeDataset({{{100, 110}, {200, 200}},
                           {{110, 130}, {200, 200}},
                           {{120, 130}, {200, 200}},
                           {{100, 100}, {210, 210}}});
  MlgPartition mlgs = IdentifyMlgs(d);
  FactorialTable table;
  RecordingMessageSink messages;
  FillFactorialTable(table, 4, messages);
  PsexResult r;
  ASSERT_TRUE(ComputePsex(d, mlgs, table, r).ok());
  // 130 is met first (in 110/130, w = 1/(2G)), then 120 (in 120/130, where
  // 130 is not listed again).
  ASSERT_EQ(r.absentAlleles[0].size(), 2u);
  EXPECT_EQ(r.absentAlleles[0][0].allele, 130);
  EXPECT_DOUBLE_EQ(r.absentAlleles[0][0].w, 1.0 / 8);
  EXPECT_EQ(r.absentAlleles[0][1].allele, 120);
  Sheet block = BuildPsexBlock(r);
  // Locus 1 lists 100, 110 then 130 and 120 with "<0.125".
  EXPECT_EQ(block.NumberAt(5, 1), 130);
  EXPECT_EQ(block.TextAt(5, 2), "<0.125");
  EXPECT_EQ(block.NumberAt(6, 1), 120);
  EXPECT_EQ(block.TextAt(7, 1), "Hnb");
}

TEST(Psex, HaploidPgenIsTheProductOfAlleleFrequencies) {
  Dataset d = MakeDataset({{{120, 120}, {150, 150}},
                           {{124, 124}, {150, 150}},
                           {{124, 124}, {152, 152}},
                           {{124, 124}, {152, 152}}},
                          1);
  MlgPartition mlgs = IdentifyMlgs(d);
  FactorialTable table;
  RecordingMessageSink messages;
  FillFactorialTable(table, 4, messages);
  PsexResult r;
  ASSERT_TRUE(ComputePsex(d, mlgs, table, r).ok());
  // Round robin, locus 1 grouped by locus 2: {120, 124 at 150} keeps 120,
  // {124 at 152} keeps 124: 0.5 each. Locus 2 grouped by locus 1: {150 at
  // 120}, {150, 152 at 124} keeps 150: allele 152 is absent, w = 1/G = 1/3.
  const PsexRow& last = r.rows[3];
  EXPECT_NEAR(last.pgen, 0.5 * (1.0 / 3.0), 1e-15);
  EXPECT_TRUE(std::isnan(last.pgenFis));
  EXPECT_TRUE(std::isnan(last.psexFis));
  EXPECT_NEAR(last.psex, IndependentUpperTail(1, 4, last.pgen), 1e-9);
  Sheet block = BuildPsexBlock(r);
  // No statistics rows: alleles in rows 3 and 4 (R = 2), headings at R + 3.
  EXPECT_EQ(block.NumberAt(4, 3), 152);
  EXPECT_EQ(block.TextAt(4, 4), "<0.333333333333333");
  EXPECT_EQ(block.TextAt(5, 4), "pgen (fis)");
  EXPECT_EQ(block.LastRow(), 9);
  for (int row = 6; row <= block.LastRow(); ++row) {
    EXPECT_FALSE(block.at(row, 3).empty());
    EXPECT_TRUE(block.at(row, 4).empty());
    EXPECT_TRUE(block.at(row, 8).empty());
  }
}

TEST(Psex, AllDistinctGivesNoPsex) {
  Dataset d = MakeDataset({{{100, 110}}, {{100, 100}}, {{110, 110}}});
  MlgPartition mlgs = IdentifyMlgs(d);
  FactorialTable table;
  RecordingMessageSink messages;
  FillFactorialTable(table, 3, messages);
  PsexResult r;
  ASSERT_TRUE(ComputePsex(d, mlgs, table, r).ok());
  for (const PsexRow& row : r.rows) {
    EXPECT_EQ(row.nbramets, 0);
    EXPECT_TRUE(std::isnan(row.psex));
  }
}

// A rare homozygote at a locus with strong heterozygote excess:
// p² + p(1 - p)F < 0 is no probability, so pgen (fis) is left undefined.
TEST(Psex, NegativeFisCorrectedFrequencyIsLeftUndefined) {
  testing::GenotypeRows rows;
  for (int s = 0; s < 9; ++s) rows.push_back({{100, 200}, {110 + s, 110 + s}});
  rows.push_back({{300, 300}, {150, 150}});
  rows.push_back({{300, 300}, {150, 150}});
  Dataset d = MakeDataset(rows);
  MlgPartition mlgs = IdentifyMlgs(d);
  FactorialTable table;
  RecordingMessageSink messages;
  FillFactorialTable(table, 11, messages);
  PsexResult r;
  ASSERT_TRUE(ComputePsex(d, mlgs, table, r).ok());
  // Locus 1: p(300) = 0.1, Hobs = 0.9, F = -0.4115 < -0.1/0.9.
  EXPECT_LT(r.roundRobin[0].fis, -0.4);
  const PsexRow& clone = r.rows.back();
  EXPECT_EQ(clone.nbramets, 2);
  EXPECT_TRUE(std::isnan(clone.pgenFis));
  EXPECT_TRUE(std::isnan(clone.psexFis));
  EXPECT_FALSE(std::isnan(clone.psex));
  EXPECT_EQ(r.undefinedFisCount, 2);
  EXPECT_FALSE(std::isnan(r.rows[0].pgenFis));
}

struct FormatCase {
  double value;
  const char* text;
};

TEST(Psex, SubstituteFrequencyText) {
  for (FormatCase c :
       {FormatCase{0.0125, "0.0125"}, FormatCase{0.05, "0.05"},
        FormatCase{1.0 / 3.0, "0.333333333333333"}, FormatCase{1.0 / 140, "0.00714285714285714"},
        FormatCase{0.5, "0.5"}, FormatCase{1.0, "1"}, FormatCase{2.5e-5, "0.000025"},
        FormatCase{1.0 / 200000, "5E-6"}, FormatCase{1.0 / 30000, "0.0000333333333333333"},
        FormatCase{1.0 / 300000, "3.33333333333333E-6"}})
    EXPECT_EQ(FormatGeneral15(c.value), c.text) << c.value;
}

// Both ways of summing the tail against a direct long-double sum: the
// factorial table up to 500 units, log space beyond.
TEST(Psex, BinomialTailAgreesWithAnIndependentSumAroundFiveHundred) {
  FactorialTable table;
  RecordingMessageSink messages;
  FillFactorialTable(table, 500, messages);
  EXPECT_TRUE(messages.messages.empty());
  for (int n : {499, 500, 501, 502, 2000}) {
    for (double p : {1e-30, 1e-9, 1e-3, 0.2, 0.5, 0.999, 1.0 - 1e-9}) {
      for (int k : {1, 2, 3, n / 2, n - 1, n}) {
        const long double expected = IndependentUpperTail(k, n, p);
        const double actual = BinomialTail(k, n, p, table);
        const double tolerance = n <= 500 ? 1e-8 : 1e-11;
        if (expected < 1e-300L) {
          EXPECT_LT(actual, 1e-290) << "n=" << n << " p=" << p << " k=" << k;
        } else {
          EXPECT_NEAR(actual / static_cast<double>(expected), 1.0, tolerance)
              << "n=" << n << " p=" << p << " k=" << k;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vireltan
