// SPDX-License-Identifier: GPL-3.0-or-later
// The AMOVA table against poppr's poppr.amova (ade4's method) on two real
// datasets (tests/data/peers/amova), with and without clone correction and
// the within-individual level; the units and loci the missing-data rule
// keeps; a region level from a strata table's header; refusals that write
// nothing; seeded runs that repeat.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <ostream>

#include "analyses/popgen/amova.h"
#include "session/session.h"
#include "support/opened_session.h"
#include "support/sheet_builder.h"
#include "support/strict_csv.h"

namespace vireltan {
namespace {

using testing::ReadStrictCsv;
using testing::ReadStrictCsvFile;
using testing::ReadWholeFile;
using testing::StrictCsv;

const std::string kPeers = std::string(VIRELTAN_TEST_DATA_DIR) + "/peers/amova/";
constexpr double kTolerance = 1e-9;

double Number(const std::string& text, const std::string& what) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  EXPECT_TRUE(!text.empty() && *end == '\0') << what << ": \"" << text << "\"";
  return v;
}

struct PeerCase {
  std::string dataset;
  CloneCorrection rule;
  bool within;
  std::string suffix;
  friend std::ostream& operator<<(std::ostream& out, const PeerCase& c) {
    return out << c.dataset << c.suffix;
  }
};

class AmovaPeers : public ::testing::TestWithParam<PeerCase> {};

TEST_P(AmovaPeers, TableSigmaAndPhiEqualPoppr) {
  const PeerCase& c = GetParam();
  testing::OpenedSession opened(c.dataset, kPeers + c.dataset + ".populations.txt");
  ASSERT_TRUE(opened.opened());
  Session& s = opened.session();
  Session::AmovaRequest request;
  request.cloneCorrect = c.rule;
  request.within = c.within;
  request.permutations = 0;
  ASSERT_TRUE(s.Amova(request).ok());
  const StrictCsv ours = ReadStrictCsvFile(opened.file(c.dataset + ".amova.csv"));
  const std::string peer = kPeers + c.dataset + ".amova_";
  const StrictCsv table = ReadStrictCsvFile(peer + "table_" + c.suffix + ".csv");
  const StrictCsv sigma = ReadStrictCsvFile(peer + "sigma_" + c.suffix + ".csv");
  const StrictCsv phi = ReadStrictCsvFile(peer + "phi_" + c.suffix + ".csv");
  const std::size_t sources = table.rows.size();
  ASSERT_EQ(ours.rows.size(), sources + phi.rows.size());
  double largest = 0;
  auto expect = [&](const std::string& mine, const std::string& theirs, const std::string& what) {
    const double a = Number(mine, what), b = Number(theirs, what + " (poppr)");
    EXPECT_NEAR(a, b, kTolerance) << what;
    largest = std::max(largest, std::abs(a - b));
  };
  for (std::size_t r = 0; r < sources; ++r) {
    const auto& row = ours.rows[r];
    const std::string what = c.dataset + " " + row.at("source");
    expect(row.at("df"), table.rows[r].at("df"), what + " df");
    expect(row.at("sum_sq"), table.rows[r].at("sum_sq"), what + " SS");
    expect(row.at("mean_sq"), table.rows[r].at("mean_sq"), what + " MS");
    expect(row.at("sigma2"), sigma.rows[r].at("sigma2"), what + " sigma2");
    expect(row.at("percent"), sigma.rows[r].at("percent"), what + " %");
  }
  for (std::size_t r = 0; r < phi.rows.size(); ++r)
    expect(ours.rows[sources + r].at("phi"), phi.rows[r].at("phi"),
           c.dataset + " " + phi.rows[r].at("stat"));
  std::cout << "[ max |ours - poppr| ] " << c.dataset << " " << c.suffix << ": " << largest << "\n";
}

INSTANTIATE_TEST_SUITE_P(
    TwoDatasets, AmovaPeers,
    ::testing::Values(
        PeerCase{"nancycats_colonies", CloneCorrection::kNone, true, "all_units"},
        PeerCase{"nancycats_colonies", CloneCorrection::kNone, false, "all_units_no_within"},
        PeerCase{"nancycats_colonies", CloneCorrection::kMlg, true, "one_per_mlg"},
        PeerCase{"nancycats_colonies", CloneCorrection::kMlg, false, "one_per_mlg_no_within"},
        PeerCase{"pramorum_forest_nursery_nocoords", CloneCorrection::kNone, true, "all_units"},
        PeerCase{"pramorum_forest_nursery_nocoords", CloneCorrection::kNone, false,
                 "all_units_no_within"},
        PeerCase{"pramorum_forest_nursery_nocoords", CloneCorrection::kMlg, true, "one_per_mlg"},
        PeerCase{"pramorum_forest_nursery_nocoords", CloneCorrection::kMlg, false,
                 "one_per_mlg_no_within"}));

class AmovaKept : public ::testing::TestWithParam<std::string> {};

TEST_P(AmovaKept, UnitsAndLociArePopprs) {
  const std::string dataset = GetParam();
  testing::TempDir dir;
  std::filesystem::copy_file(std::string(VIRELTAN_TEST_DATA_DIR) + "/" + dataset + ".txt",
                             dir.file(dataset + ".txt"));
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session s(messages, progress);
  ASSERT_TRUE(s.Open(dir.file(dataset + ".txt")).ok());
  const Dataset& d = s.dataset();
  std::vector<int> all(d.sampleCount);
  for (int su = 0; su < d.sampleCount; ++su) all[su] = su;
  const CompleteData kept = KeepCompleteData(d, all, 0.05);
  std::vector<std::string> units, loci, theirUnits, theirLoci;
  for (int su : kept.units) units.push_back(d.designationText(su));
  for (int l : kept.loci) loci.push_back(d.locusNames[l]);
  for (const auto& row : ReadStrictCsvFile(kPeers + dataset + ".amova_units_kept.csv").rows)
    theirUnits.push_back(row.at("designation"));
  for (const auto& row : ReadStrictCsvFile(kPeers + dataset + ".amova_loci_kept.csv").rows)
    theirLoci.push_back(row.at("locus"));
  std::sort(units.begin(), units.end());
  std::sort(theirUnits.begin(), theirUnits.end());
  EXPECT_EQ(units, theirUnits);
  EXPECT_EQ(loci, theirLoci);
}

INSTANTIATE_TEST_SUITE_P(TwoDatasets, AmovaKept,
                         ::testing::Values("nancycats_colonies",
                                           "pramorum_forest_nursery_nocoords"));

// nancycats with a region column: colonies P01..P08 in "North", the rest in
// "South"; `moveOne` puts the first unit of P01 in "South" as well.
std::string WriteRegions(const testing::TempDir& dir, bool moveOne, bool oneRegion = false) {
  std::ifstream in(kPeers + "nancycats_colonies.populations.txt");
  std::ofstream out(dir.file("regions.txt"));
  std::string line;
  std::getline(in, line);
  out << "designation\tPopulation\tRegion\n";
  bool moved = false;
  while (std::getline(in, line)) {
    const std::string pop = line.substr(line.find('\t') + 1);
    std::string region = oneRegion || pop > "P08" ? "South" : "North";
    if (moveOne && !moved && pop == "P01") {
      region = "South";
      moved = true;
    }
    out << line << "\t" << region << "\n";
  }
  return dir.file("regions.txt");
}

struct Opened {
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session s{messages, progress};
};

TEST(AmovaHierarchy, RegionsFromAHeaderedStrataTable) {
  testing::TempDir dir;
  std::filesystem::copy_file(std::string(VIRELTAN_TEST_DATA_DIR) + "/nancycats_colonies.txt",
                             dir.file("nancycats_colonies.txt"));
  Opened o;
  o.s.SetSeed(5);
  ASSERT_TRUE(o.s.Open(dir.file("nancycats_colonies.txt")).ok());
  ASSERT_TRUE(o.s.LoadPopulations(WriteRegions(dir, false)).ok());
  // The population column still gives the populations.
  EXPECT_EQ(o.s.dataset().populationCount(), 17);
  Session::AmovaRequest request;
  request.hierarchy = {"Region", "Population"};
  request.permutations = 99;
  ASSERT_TRUE(o.s.Amova(request).ok());
  const StrictCsv first = ReadStrictCsvFile(dir.file("nancycats_colonies.amova.csv"));
  ASSERT_EQ(first.rows.size(), 5u + 4u);  // 4 sources and the total; 4 Phi
  EXPECT_EQ(first.rows[0].at("source"), "Between Region");
  EXPECT_EQ(first.rows[1].at("source"), "Between Population Within Region");
  EXPECT_EQ(first.rows[2].at("source"), "Between samples Within Population");
  EXPECT_EQ(first.rows[3].at("source"), "Within samples");
  EXPECT_EQ(first.rows[0].at("df"), "1");
  EXPECT_EQ(first.rows[1].at("df"), "15");
  // The total and within-samples lines do not depend on the regions.
  const StrictCsv peer = ReadStrictCsvFile(kPeers + "nancycats_colonies.amova_table_all_units.csv");
  EXPECT_NEAR(Number(first.rows[4].at("sum_sq"), "total"),
              Number(peer.rows[3].at("sum_sq"), "poppr total"), kTolerance);
  EXPECT_NEAR(Number(first.rows[3].at("sum_sq"), "within"),
              Number(peer.rows[2].at("sum_sq"), "poppr within"), kTolerance);
  // SS of regions + populations within regions = SS of populations.
  EXPECT_NEAR(Number(first.rows[0].at("sum_sq"), "") + Number(first.rows[1].at("sum_sq"), ""),
              Number(peer.rows[0].at("sum_sq"), ""), kTolerance);
  for (std::size_t r = 0; r < 4; ++r) {
    const double p = Number(first.rows[r].at("p"), "p");
    const double b = p * 100 - 1;
    EXPECT_NEAR(b, std::round(b), 1e-9);
  }
  // Seeded: the same p-values again.
  o.s.SetSeed(5);
  ASSERT_TRUE(o.s.Amova(request).ok());
  const StrictCsv second = ReadStrictCsvFile(dir.file("nancycats_colonies.amova.csv"));
  for (std::size_t r = 0; r < 4; ++r) EXPECT_EQ(first.rows[r].at("p"), second.rows[r].at("p"));
  // Arlequin's scale halves SS and sigma2, not Phi.
  request.arlequinScale = true;
  request.permutations = 0;
  ASSERT_TRUE(o.s.Amova(request).ok());
  const StrictCsv half = ReadStrictCsvFile(dir.file("nancycats_colonies.amova.csv"));
  for (std::size_t r = 0; r < 5; ++r) {
    EXPECT_NEAR(2 * Number(half.rows[r].at("sum_sq"), ""), Number(first.rows[r].at("sum_sq"), ""),
                kTolerance);
    EXPECT_NEAR(2 * Number(half.rows[r].at("sigma2"), ""), Number(first.rows[r].at("sigma2"), ""),
                kTolerance);
  }
  EXPECT_EQ(half.rows[5].at("phi"), first.rows[5].at("phi"));
}

TEST(AmovaHierarchy, RefusalsWriteNothing) {
  testing::TempDir dir;
  std::filesystem::copy_file(std::string(VIRELTAN_TEST_DATA_DIR) + "/nancycats_colonies.txt",
                             dir.file("nancycats_colonies.txt"));
  Opened o;
  ASSERT_TRUE(o.s.Open(dir.file("nancycats_colonies.txt")).ok());
  Session::AmovaRequest request;
  request.permutations = 9;
  // One population (no strata table loaded).
  Status one = o.s.Amova(request);
  EXPECT_FALSE(one.ok());
  EXPECT_NE(one.message().find("one group"), std::string::npos) << one.message();
  EXPECT_FALSE(std::filesystem::exists(dir.file("nancycats_colonies.amova.csv")));
  // A population in two regions.
  ASSERT_TRUE(o.s.LoadPopulations(WriteRegions(dir, true)).ok());
  request.hierarchy = {"Region", "Population"};
  Status nest = o.s.Amova(request);
  EXPECT_FALSE(nest.ok());
  EXPECT_NE(nest.message().find("does not nest"), std::string::npos) << nest.message();
  EXPECT_NE(nest.message().find("strata row 2"), std::string::npos) << nest.message();
  EXPECT_FALSE(std::filesystem::exists(dir.file("nancycats_colonies.amova.csv")));
  // A column the table does not have.
  request.hierarchy = {"Country", "Population"};
  EXPECT_FALSE(o.s.Amova(request).ok());
  EXPECT_FALSE(std::filesystem::exists(dir.file("nancycats_colonies.amova.csv")));
  // One region: a warning naming it, and the populations alone.
  ASSERT_TRUE(o.s.LoadPopulations(WriteRegions(dir, false, true)).ok());
  request.hierarchy = {"Region", "Population"};
  ASSERT_TRUE(o.s.Amova(request).ok());
  bool warned = false;
  for (const std::string& m : o.messages.messages)
    warned = warned || m.find("Region has one group") != std::string::npos;
  EXPECT_TRUE(warned);
  EXPECT_EQ(ReadStrictCsvFile(dir.file("nancycats_colonies.amova.csv")).rows.at(0).at("source"),
            "Between Population");
}

}  // namespace
}  // namespace vireltan
