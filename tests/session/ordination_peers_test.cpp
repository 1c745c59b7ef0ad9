// SPDX-License-Identifier: GPL-3.0-or-later
// pcoa, ibd and shared-mlgs through the session: ape's and ade4's values
// on two real datasets (tests/data/peers/amova), plink 1.9's principal
// components on a generated study, the Mantel r of the written pairs, the
// MLGs shared among populations counted here, and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <set>
#include <sstream>

#include "numeric/random.h"
#include "session/session.h"
#include "support/sheet_builder.h"
#include "support/strict_csv.h"

namespace vireltan {
namespace {

using testing::ReadStrictCsv;
using testing::ReadWholeFile;
using testing::StrictCsv;
using testing::TempDir;

const std::string kData = std::string(VIRELTAN_TEST_DATA_DIR) + "/";
const std::string kPeers = kData + "peers/amova/";

StrictCsv ReadCsv(const std::string& path) {
  StrictCsv csv = ReadStrictCsv(ReadWholeFile(path));
  EXPECT_TRUE(csv.ok) << path << ": " << csv.error;
  return csv;
}

std::string Scientific(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", v);
  return text;
}

double Number(const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  EXPECT_EQ(*end, '\0') << text;
  return v;
}

struct Fixture {
  TempDir dir;
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session s{messages, progress};
  std::string prefix;
  // Opens tests/data/DATASET.txt from a copy, with the peers' populations
  // unless `populations` is false.
  void Open(const std::string& dataset, bool populations = true) {
    std::filesystem::copy_file(kData + dataset + ".txt", dir.file(dataset + ".txt"));
    s.SetSeed(1);
    ASSERT_TRUE(s.Open(dir.file(dataset + ".txt")).ok());
    if (populations) ASSERT_TRUE(s.LoadPopulations(kPeers + dataset + ".populations.txt").ok());
    prefix = dir.file(dataset);
  }
};

struct PeerCase {
  std::string dataset;
  int negative;  // ape's count of negative eigenvalues
};

class PcoaPeers : public ::testing::TestWithParam<PeerCase> {};

TEST_P(PcoaPeers, EigenvaluesEqualApesOnPopprsDistance) {
  Fixture f;
  f.Open(GetParam().dataset);
  Session::OrdinationRequest r;
  r.missing = DistanceMissing::kPoppr;
  ASSERT_TRUE(f.s.PrincipalCoordinatesAnalysis(r).ok());
  const StrictCsv ours = ReadCsv(f.prefix + ".pcoa.eigenvalues.csv");
  const StrictCsv theirs =
      ReadCsv(kPeers + GetParam().dataset + ".pcoa_allelic_units_eigenvalues.csv");
  ASSERT_EQ(theirs.rows.size(), 20u);
  ASSERT_GE(ours.rows.size(), 20u);
  double largest = 0;
  for (std::size_t k = 0; k < theirs.rows.size(); ++k) {
    ASSERT_EQ(ours.rows[k].at("axis"), theirs.rows[k].at("axis"));
    const double a = Number(ours.rows[k].at("eigenvalue"));
    const double b = Number(theirs.rows[k].at("eigenvalue"));
    EXPECT_NEAR(a, b, 1e-9) << "axis " << k + 1;
    largest = std::max(largest, std::abs(a - b));
  }
  RecordProperty("largest_difference", Scientific(largest));
  int negative = 0;
  for (const auto& row : ours.rows) negative += Number(row.at("eigenvalue")) < 0;
  EXPECT_EQ(negative, GetParam().negative);
  EXPECT_NE(ReadWholeFile(f.prefix + ".outvireltan.txt")
                .find(std::to_string(GetParam().negative) + " negative eigenvalue(s)"),
            std::string::npos);
  // Coordinates: one row per unit, the axes asked.
  const StrictCsv coordinates = ReadCsv(f.prefix + ".pcoa.csv");
  EXPECT_EQ(static_cast<int>(coordinates.rows.size()), f.s.info().unitCount);
  EXPECT_EQ(coordinates.header.at(3), "axis1");
  EXPECT_EQ(coordinates.header.at(12), "axis10");
  // The program's own rule rescales the distances: other eigenvalues where
  // loci are missing (nancycats), the same on complete data.
  Session::OrdinationRequest rescaled;
  ASSERT_TRUE(f.s.PrincipalCoordinatesAnalysis(rescaled).ok());
  const double first = Number(ReadCsv(f.prefix + ".pcoa.eigenvalues.csv").rows[0].at("eigenvalue"));
  const double peer = Number(theirs.rows[0].at("eigenvalue"));
  if (f.s.info().hasMissingData)
    EXPECT_GT(std::abs(first - peer), 1e-3);
  else
    EXPECT_NEAR(first, peer, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Datasets, PcoaPeers,
                         ::testing::Values(PeerCase{"nancycats_colonies", 152},
                                           PeerCase{"pramorum_forest_nursery_nocoords", 57}));

TEST(IsolationByDistance, AmongColoniesRIsAde4s) {
  Fixture f;
  f.Open("nancycats_colonies");
  Session::IsolationRequest r;
  r.amongPopulations = true;
  r.permutations = 99;
  ASSERT_TRUE(f.s.IsolationByDistance(r).ok());
  const StrictCsv ours = ReadCsv(f.prefix + ".ibd.csv");
  const StrictCsv theirs =
      ReadCsv(kPeers + "nancycats_colonies.mantel_fst_vs_centroid_distance.csv");
  const int colonies = 17;
  ASSERT_EQ(ours.rows.size(), static_cast<std::size_t>(colonies * (colonies - 1) / 2));
  EXPECT_NEAR(Number(ours.rows[0].at("r")), Number(theirs.rows[0].at("value")), 1e-9);
  const double p = Number(ours.rows[0].at("p"));
  const double b = p * 100 - 1;
  EXPECT_NEAR(b, std::round(b), 1e-9);
  EXPECT_GE(p, 0.01);
  EXPECT_LE(p, 1.0);
}

struct UnitsCase {
  bool logDistance;
  bool spearman;
  CloneCorrection cloneCorrect;
};

class IbdAmongUnits : public ::testing::TestWithParam<UnitsCase> {};

// r of the written pairs, computed here from the two columns.
TEST_P(IbdAmongUnits, RIsTheCorrelationOfTheWrittenPairs) {
  const UnitsCase c = GetParam();
  Fixture f;
  f.Open("nancycats_colonies");
  Session::IsolationRequest r;
  r.permutations = 19;
  r.spearman = c.spearman;
  r.logDistance = c.logDistance;
  r.cloneCorrect = c.cloneCorrect;
  const Status st = f.s.IsolationByDistance(r);
  if (c.logDistance) {
    // Cats of one colony share its position: ln 0 is refused, nothing written.
    EXPECT_FALSE(st.ok());
    EXPECT_NE(st.message().find("share one position"), std::string::npos) << st.message();
    EXPECT_FALSE(std::filesystem::exists(f.prefix + ".ibd.csv"));
    return;
  }
  ASSERT_TRUE(st.ok()) << st.message();
  const StrictCsv ours = ReadCsv(f.prefix + ".ibd.csv");
  std::vector<double> x, y;
  for (const auto& row : ours.rows) {
    x.push_back(Number(row.at("geographic")));
    y.push_back(Number(row.at("genetic")));
  }
  // Mid-ranks: the values below, plus half the equal ones and one.
  auto ranks = [](const std::vector<double>& v) {
    std::vector<double> sorted = v, out(v.size());
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t i = 0; i < v.size(); ++i) {
      const auto range = std::equal_range(sorted.begin(), sorted.end(), v[i]);
      const double below = static_cast<double>(range.first - sorted.begin());
      const double equal = static_cast<double>(range.second - range.first);
      out[i] = below + (equal + 1) / 2;
    }
    return out;
  };
  if (c.spearman) {
    x = ranks(x);
    y = ranks(y);
  }
  const double mx = std::accumulate(x.begin(), x.end(), 0.0) / x.size();
  const double my = std::accumulate(y.begin(), y.end(), 0.0) / y.size();
  double sxy = 0, sxx = 0, syy = 0;
  for (std::size_t k = 0; k < x.size(); ++k) {
    sxy += (x[k] - mx) * (y[k] - my);
    sxx += (x[k] - mx) * (x[k] - mx);
    syy += (y[k] - my) * (y[k] - my);
  }
  EXPECT_NEAR(Number(ours.rows[0].at("r")), sxy / std::sqrt(sxx * syy), 1e-9);
  EXPECT_NEAR(Number(ours.rows[0].at("p")) * 20 - 1,
              std::round(Number(ours.rows[0].at("p")) * 20 - 1), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Options, IbdAmongUnits,
                         ::testing::Values(UnitsCase{false, false, CloneCorrection::kNone},
                                           UnitsCase{false, false, CloneCorrection::kMlg},
                                           UnitsCase{false, true, CloneCorrection::kMlg},
                                           UnitsCase{true, false, CloneCorrection::kNone}));

// One population: the commands between populations say which file to load
// and write nothing.
TEST(Ordination, OnePopulationIsRefusedAndNothingWritten) {
  Fixture f;
  f.Open("nancycats_colonies", false);
  Session::OrdinationRequest pcoa;
  pcoa.of = Session::OrdinationOf::kPopulations;
  Status st = f.s.PrincipalCoordinatesAnalysis(pcoa);
  EXPECT_FALSE(st.ok());
  EXPECT_NE(st.message().find("Load populations"), std::string::npos) << st.message();
  Session::IsolationRequest ibd;
  ibd.amongPopulations = true;
  st = f.s.IsolationByDistance(ibd);
  EXPECT_FALSE(st.ok());
  EXPECT_NE(st.message().find("populations file"), std::string::npos) << st.message();
  EXPECT_FALSE(f.s.SharedMlgs().ok());
  for (const char* suffix : {".pcoa.csv", ".pcoa.eigenvalues.csv", ".ibd.csv", ".shared-mlgs.csv"})
    EXPECT_FALSE(std::filesystem::exists(f.prefix + suffix)) << suffix;
}

// Every MLG in more than one population, its units per population, counted
// here from the partition.
TEST(SharedMlgs, ListEveryMlgOfSeveralPopulations) {
  Fixture f;
  f.Open("pramorum_forest_nursery_nocoords");
  ASSERT_TRUE(f.s.SharedMlgs().ok());
  const Dataset& d = f.s.dataset();
  std::map<int, std::map<std::string, int>> expected;
  for (int u = 0; u < d.sampleCount; ++u)
    ++expected[f.s.mlgs().mlgOfSu[u]][d.populationNames[d.populationOfSu[u]]];
  std::erase_if(expected, [](const auto& e) { return e.second.size() < 2; });
  ASSERT_FALSE(expected.empty()) << "the dataset should share clones among populations";
  std::map<int, std::map<std::string, int>> ours;
  for (const auto& row : ReadCsv(f.prefix + ".shared-mlgs.csv").rows) {
    ours[static_cast<int>(Number(row.at("MLG")))][row.at("population")] =
        static_cast<int>(Number(row.at("units")));
    std::istringstream names(row.at("designations"));
    int count = 0;
    for (std::string name; std::getline(names, name, ';');) ++count;
    EXPECT_EQ(count, static_cast<int>(Number(row.at("units"))));
  }
  EXPECT_EQ(ours, expected);
}

// --- SNP data against plink 1.9 ---

// A PLINK fileset of n samples and L SNPs (chromosome 1), two groups of
// different allele frequencies; every call present.
void WriteStudy(const std::string& prefix, int n, int loci, std::uint32_t seed) {
  RandomGenerator random(seed);
  std::ofstream fam(prefix + ".fam"), bim(prefix + ".bim");
  for (int i = 0; i < n; ++i) fam << "S" << i << " S" << i << " 0 0 0 -9\n";
  std::vector<double> f0(loci), f1(loci);
  for (int l = 0; l < loci; ++l) {
    bim << "1 snp" << l << " 0 " << 1000 * (l + 1) << " A C\n";
    f0[l] = 0.05 + 0.9 * random.Uniform();
    f1[l] = std::clamp(f0[l] + 0.5 * (random.Uniform() - 0.5), 0.02, 0.98);
  }
  std::ofstream bed(prefix + ".bed", std::ios::binary);
  bed.put(0x6c).put(0x1b).put(0x01);
  // PLINK's two bits: 00 homozygous first allele, 10 heterozygous, 11
  // homozygous second allele (01 missing, not used here).
  static const unsigned char kBits[] = {0b00, 0b10, 0b11};
  for (int l = 0; l < loci; ++l) {
    std::vector<unsigned char> bytes((n + 3) / 4, 0);
    for (int i = 0; i < n; ++i) {
      const double f = i % 4 == 0 ? f1[l] : f0[l];
      const int count = (random.Uniform() < f) + (random.Uniform() < f);
      bytes[i / 4] |= kBits[count] << (2 * (i % 4));
    }
    bed.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
}

std::vector<double> ReadNumbers(const std::string& path) {
  std::ifstream in(path);
  std::vector<double> v;
  for (double x; in >> x;) v.push_back(x);
  return v;
}

struct PlinkCase {
  int n;
  int loci;
};

class PlinkComponents : public ::testing::TestWithParam<PlinkCase> {};

TEST_P(PlinkComponents, EqualPlinksPca) {
  if (std::system("command -v plink1.9 > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "plink1.9 is not installed (Debian package plink1.9): not compared";
  const PlinkCase c = GetParam();
  TempDir dir;
  const std::string prefix = dir.file("study");
  WriteStudy(prefix, c.n, c.loci, 2024 + c.n);
  const std::string plink =
      "plink1.9 --bfile '" + prefix + "' --pca 10 --out '" + prefix + "' > /dev/null 2>&1";
  ASSERT_EQ(std::system(plink.c_str()), 0) << plink;
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session s(messages, progress);
  ASSERT_TRUE(s.Open(prefix + ".bed").ok());
  ASSERT_TRUE(s.PrincipalCoordinatesAnalysis({}).ok());
  const StrictCsv ours = ReadCsv(prefix + ".pcoa.eigenvalues.csv");
  const std::vector<double> theirs = ReadNumbers(prefix + ".eigenval");
  ASSERT_EQ(theirs.size(), 10u);
  ASSERT_EQ(ours.rows.size(), 10u);
  // plink prints six significant digits: agreement within half a unit of
  // the sixth is all its file can show.
  for (int k = 0; k < 10; ++k)
    EXPECT_NEAR(Number(ours.rows[k].at("eigenvalue")), theirs[k], 5e-6 * theirs[k]) << k + 1;
  // The sample coordinates: plink's unit eigenvectors, up to their sign
  // (taken from each axis's largest element).
  std::ifstream vec(prefix + ".eigenvec");
  const StrictCsv coordinates = ReadCsv(prefix + ".pcoa.csv");
  ASSERT_EQ(static_cast<int>(coordinates.rows.size()), c.n);
  std::vector<std::vector<double>> plinks(c.n, std::vector<double>(10)), own = plinks;
  std::vector<int> largest(10, 0);
  for (int i = 0; i < c.n; ++i) {
    std::string fid, iid;
    vec >> fid >> iid;
    EXPECT_EQ(coordinates.rows[i].at("unit"), iid);
    for (int k = 0; k < 10; ++k) {
      vec >> plinks[i][k];
      own[i][k] = Number(coordinates.rows[i].at("axis" + std::to_string(k + 1)));
      if (std::abs(plinks[i][k]) > std::abs(plinks[largest[k]][k])) largest[k] = i;
    }
  }
  double worst = 0;
  for (int k = 0; k < 10; ++k) {
    const double sign = (plinks[largest[k]][k] > 0) == (own[largest[k]][k] > 0) ? 1 : -1;
    for (int i = 0; i < c.n; ++i) {
      EXPECT_NEAR(own[i][k], sign * plinks[i][k], 1e-5) << "unit " << i << " axis " << k + 1;
      worst = std::max(worst, std::abs(own[i][k] - sign * plinks[i][k]));
    }
  }
  RecordProperty("largest_coordinate_difference", Scientific(worst));

  // To all our digits: each eigenpair against plink's relationship matrix
  // in binary doubles, |A v − λ v| relative to λ.
  const std::string rel = "plink1.9 --bfile '" + prefix + "' --make-rel square bin --out '" +
                          prefix + "' > /dev/null 2>&1";
  ASSERT_EQ(std::system(rel.c_str()), 0) << rel;
  std::ifstream bin(prefix + ".rel.bin", std::ios::binary);
  std::vector<double> a(static_cast<std::size_t>(c.n) * c.n);
  bin.read(reinterpret_cast<char*>(a.data()),
           static_cast<std::streamsize>(a.size() * sizeof(double)));
  ASSERT_TRUE(bin.good());
  double worstResidual = 0;
  for (int k = 0; k < 10; ++k) {
    const double lambda = Number(ours.rows[k].at("eigenvalue"));
    double residual = 0;
    for (int i = 0; i < c.n; ++i) {
      double av = 0;
      for (int j = 0; j < c.n; ++j) av += a[static_cast<std::size_t>(i) * c.n + j] * own[j][k];
      residual += std::pow(av - lambda * own[i][k], 2);
    }
    EXPECT_LT(std::sqrt(residual), 1e-9 * lambda) << "axis " << k + 1;
    worstResidual = std::max(worstResidual, std::sqrt(residual) / lambda);
  }
  RecordProperty("largest_relative_residual", Scientific(worstResidual));
}

// 40 samples: the dense path; 150: Spectra's Lanczos iterations.
INSTANTIATE_TEST_SUITE_P(Studies, PlinkComponents,
                         ::testing::Values(PlinkCase{40, 500}, PlinkCase{150, 800}));

}  // namespace
}  // namespace vireltan

namespace vireltan {
namespace {

// --size-by-clone: each genet's marker is √(units of its MLG) wide, at most
// √9; units and populations are refused.
TEST(OrdinationFigure, GenetsAreSizedByTheirClone) {
  Fixture f;
  f.Open("pramorum_forest_nursery_nocoords");
  Session::OrdinationRequest r;
  r.of = Session::OrdinationOf::kGenets;
  r.sizeByClone = true;
  ASSERT_TRUE(f.s.PrincipalCoordinatesAnalysis(r).ok());
  const ChartData& chart = f.s.chart(ChartRole::kOrdination);
  ASSERT_TRUE(chart.visible);
  ASSERT_EQ(chart.series.size(), 1u);
  const StrictCsv genets = ReadCsv(f.prefix + ".pcoa.csv");
  ASSERT_EQ(chart.series[0].points.size(), genets.rows.size());
  std::map<int, int> units;
  for (int m : f.s.mlgs().mlgOfSu) ++units[m];
  for (std::size_t i = 0; i < genets.rows.size(); ++i) {
    const int mlg = static_cast<int>(Number(genets.rows[i].at("MLG")));
    EXPECT_NEAR(chart.series[0].points[i].size, std::sqrt(std::min(units[mlg], 9)), 1e-12);
    EXPECT_NEAR(chart.series[0].points[i].x, Number(genets.rows[i].at("axis1")), 1e-12);
  }
  // One entry per population in the legend, in the order of the file.
  ASSERT_EQ(chart.series[0].colourLegend.size(), f.s.dataset().populationNames.size());
  EXPECT_EQ(chart.series[0].colourLegend[0].text, f.s.dataset().populationNames[0]);
  EXPECT_NE(chart.bottom.title.find("PCo1 ("), std::string::npos);
  r.of = Session::OrdinationOf::kUnits;
  EXPECT_FALSE(f.s.PrincipalCoordinatesAnalysis(r).ok());
}

}  // namespace
}  // namespace vireltan
