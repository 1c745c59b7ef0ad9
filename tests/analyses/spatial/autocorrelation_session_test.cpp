// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numeric>
#include <sstream>

#include "analyses/spatial/autocorrelation_kinship.h"
#include "autocorrelation_fixtures.h"
#include "cli/cli_runner.h"
#include "numeric/heap_sort.h"
#include "session/session.h"
#include "sheet/table_file.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::Rows;
using testing::TempDir;
using testing::WriteTsv;

// Eight SUs, two clones of two, six MLGs; distances up to about 12.7.
const Rows kMeadow{
    {"8", "", "", "3", "2", "A", "B", "C"},         {"s1", "0", "0", "100102", "120124", "140140"},
    {"s2", "1", "0", "100102", "120124", "140140"}, {"s3", "0", "1", "100104", "120120", "140142"},
    {"s4", "5", "5", "102104", "122124", "142142"}, {"s5", "6", "5", "102104", "122124", "142142"},
    {"s6", "9", "9", "100100", "120122", "140144"}, {"s7", "3", "7", "104104", "124124", "144144"},
    {"s8", "8", "2", "100102", "122122", "140142"}};

class CountingProgress : public ProgressSink {
 public:
  void Begin() override { ++begins; }
  void SetPosition(int percent) override {
    if (percent < last) decreased = true;
    last = percent;
  }
  void End() override { ++ends; }
  int begins = 0, ends = 0, last = 0;
  bool decreased = false;
};

class AutocorrelationSession : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  CountingProgress progress;
  Session session{messages, progress};
  TempDir dir;

  void Open(const Rows& rows = kMeadow) {
    WriteTsv(dir.path() / "meadow.txt", rows);
    ASSERT_TRUE(session.Open(dir.file("meadow.txt")).ok());
    session.SetSeed(7);
    messages.messages.clear();
  }
  static AutocorrelationOptions Options(int rule, int procedure, const std::string& n,
                                        const std::string& k = "4") {
    AutocorrelationOptions o;
    o.equalCountClasses = rule == 1;
    o.fixedClasses = rule == 2;
    o.centralCoordinates = procedure == 3;
    o.genetsWeighted = procedure == 4;
    o.genetsResampled = procedure == 5;
    o.classCountText = k;
    o.permutationsText = n;
    return o;
  }
  std::string Workbook() const { return session.SpatialWorkbookPath(); }
  const Sheet& SheetNamed(const std::string& name) const {
    for (int i = 1; i <= session.spatialResults.NumSheets(); ++i)
      if (session.spatialResults.SheetName(i) == name) return session.spatialResults.sheet(i);
    ADD_FAILURE() << "no sheet " << name;
    return session.spatialResults.sheet(1);
  }
  std::vector<std::string> Texts(const Sheet& s, int row, int first, int last) const {
    std::vector<std::string> texts;
    for (int c = first; c <= last; ++c) texts.push_back(s.TextAt(row, c));
    return texts;
  }
};

TEST_F(AutocorrelationSession, CentralCoordinatesLayout) {
  Open();
  ASSERT_TRUE(session.SpatialAutocorrelation(Options(1, 3, "20")).ok());
  EXPECT_EQ(messages.messages, std::vector<std::string>{"permutations done"});
  EXPECT_EQ(progress.begins, 1);
  EXPECT_EQ(progress.ends, 1);
  EXPECT_EQ(progress.last, 100);
  EXPECT_FALSE(progress.decreased);
  ASSERT_EQ(session.spatialResults.NumSheets(), 3);
  EXPECT_EQ(session.spatialResults.SheetName(1), "Autocorr-Nb&Central");
  EXPECT_EQ(session.spatialResults.SheetName(2), "all freq& dist matrices");
  EXPECT_EQ(session.spatialResults.SheetName(3), "1");
  EXPECT_EQ(session.matricesSheetStage(), 2);

  const Sheet& s = session.spatialResults.sheet(1);
  EXPECT_EQ(Texts(s, 1, 1, 3), (std::vector<std::string>{"VIRELTAN", "AUTOCORRELATION", "meadow"}));
  EXPECT_EQ(s.TextAt(2, 1), "Nb permutations");
  EXPECT_EQ(s.NumberAt(2, 2), 20);
  EXPECT_EQ(Texts(s, 3, 1, 21), (std::vector<std::string>{"ENTIRE DATASET",
                                                          "distance class",
                                                          "minimum distance",
                                                          "average distance",
                                                          "maximum distance",
                                                          "ln[average distance]",
                                                          "nb pairs",
                                                          "Fij(Loiselle)",
                                                          "p(1-sided)",
                                                          "Fij(Ritland)",
                                                          "p(1-sided)",
                                                          "REGRESSION",
                                                          "b(Loiselle)/dist",
                                                          "b(Loiselle)/ln(dist)",
                                                          "b(Ritland)",
                                                          "b(Ritland)/ln(dist)",
                                                          "",
                                                          "[-a/b(Loiselle)]",
                                                          "[-a/b(Loiselle)/ln(dist)]",
                                                          "[-a/b(Ritland)]",
                                                          "[-a/b(Ritland)/ln(dist)]"}));
  // 28 pairs in 4 classes of 7.
  for (int c = 1; c <= 4; ++c) {
    EXPECT_EQ(s.NumberAt(3 + c, 2), c);
    EXPECT_EQ(s.NumberAt(3 + c, 7), 7);
    EXPECT_GE(s.NumberAt(3 + c, 9), 0);
    EXPECT_LE(s.NumberAt(3 + c, 9), 1);
  }
  EXPECT_EQ(s.NumberAt(5, 3), s.NumberAt(4, 5));  // class 2 starts at class 1's maximum
  EXPECT_EQ(s.TextAt(8, 1), "average");
  EXPECT_EQ(Texts(s, 4, 12, 12), std::vector<std::string>{"Observed values"});
  EXPECT_EQ(s.TextAt(13, 12), "p(obs=exp)");
  // Each slope's p-values are (b + 1)/21 over 20 permutations; ties count on
  // both one-sided p, so p(obs<exp) + p(obs>exp) - p(obs=exp) = 1.
  for (int col = 13; col <= 16; ++col) {
    for (int row = 11; row <= 13; ++row) {
      const double b1 = s.NumberAt(row, col) * 21;
      EXPECT_NEAR(b1, std::round(b1), 1e-9) << row << "," << col;
      EXPECT_GE(std::round(b1), 1) << row << "," << col;
    }
    EXPECT_NEAR(s.NumberAt(11, col) + s.NumberAt(12, col) - s.NumberAt(13, col), 1.0, 1e-12);
  }
  for (int c = 1; c <= 4; ++c)
    for (int col : {9, 11}) {
      const double b1 = s.NumberAt(3 + c, col) * 21;
      EXPECT_NEAR(b1, std::round(b1), 1e-9) << c << "," << col;
      EXPECT_GE(std::round(b1), 1) << c << "," << col;
    }
  // The genets at their centroids: 15 pairs as 4, 4, 4, 3.
  EXPECT_EQ(s.TextAt(16, 1), "WITHOUT REPLICATES");
  EXPECT_EQ(s.TextAt(17, 1), "Central coordinates");
  EXPECT_EQ(s.TextAt(16, 9), "p(1-sided test)");
  EXPECT_EQ(s.TextAt(16, 11), "p(1-sided test)");
  EXPECT_EQ(s.TextAt(16, 13), "b(Loiselle)");
  EXPECT_EQ(s.TextAt(17, 12), "Observed values");
  EXPECT_EQ(s.TextAt(18, 12), "Mean perm. values");
  EXPECT_EQ(s.TextAt(19, 12), "SD perm. values");
  EXPECT_EQ(s.TextAt(26, 12), "p(obs=exp)");
  EXPECT_EQ(s.NumberAt(17, 7), 4);
  EXPECT_EQ(s.NumberAt(20, 7), 3);
  EXPECT_EQ(s.TextAt(21, 1), "average");
  // Beyond the specified tables: the Sp statistic, -b/(1-F1).
  EXPECT_EQ(s.TextAt(28, 1), "Sp STATISTIC");
  EXPECT_EQ(s.TextAt(29, 1), "ENTIRE DATASET");
  EXPECT_DOUBLE_EQ(s.NumberAt(29, 2), s.NumberAt(4, 14));
  EXPECT_DOUBLE_EQ(s.NumberAt(29, 3), s.NumberAt(4, 8));
  EXPECT_DOUBLE_EQ(s.NumberAt(29, 4), -s.NumberAt(4, 14) / (1 - s.NumberAt(4, 8)));

  // The file holds the same workbook, the result sheet first.
  Book saved;
  ASSERT_TRUE(ReadTableFile(Workbook(), saved).ok());
  EXPECT_EQ(saved.first().TextAt(1, 1), "VIRELTAN");
  EXPECT_EQ(saved.first().NumberAt(7, 7), 7);

  EXPECT_TRUE(session.chart(ChartRole::kCorrelogram).visible);
  // Two curves: each a 95% envelope and a mean line, and the zero line.
  const ChartData& correlogram = session.chart(ChartRole::kCorrelogram);
  ASSERT_EQ(correlogram.series.size(), 5u);
  EXPECT_EQ(correlogram.series[0].kind, ChartSeries::Kind::kBand);
  EXPECT_EQ(correlogram.series[0].points.size(), 4u);
  EXPECT_EQ(correlogram.series[0].high.size(), 4u);
  for (size_t c = 0; c < 4; ++c)
    EXPECT_LE(correlogram.series[0].points[c].y, correlogram.series[0].high[c]) << c;
  EXPECT_EQ(correlogram.series[2].name, "zero");
  EXPECT_EQ(correlogram.series[3].points.size(), 4u);
  EXPECT_NE(correlogram.series[3].legend.find(", mean"), std::string::npos);
}

TEST_F(AutocorrelationSession, EntireTableIsTheSortedPairsCutIntoClasses) {
  Open();
  ASSERT_TRUE(session.SpatialAutocorrelation(Options(1, 0, "10", "3")).ok());
  const Sheet& s = session.spatialResults.sheet(1);
  // Every pair of SUs with its distance and coefficients, sorted, walked.
  const Dataset& d = session.dataset();
  std::vector<int> all(8);
  std::iota(all.begin(), all.end(), 0);
  KinshipCalculator calc(d, ComputeAlleleFrequencies(d, all));
  std::vector<SortTriple> list(1);
  std::vector<KinshipPair> coefficients;
  const std::vector<int>& order = session.mlgs().designationOrder;
  for (int i = 0; i < 8; ++i)
    for (int j = i + 1; j < 8; ++j) {
      const int a = order[i], b = order[j];
      const double dx = d.x[a] - d.x[b], dy = d.y[a] - d.y[b];
      KinshipPair p;
      ASSERT_EQ(calc.Pair(a, b, p), KinshipProblem::kNone);
      list.push_back({std::sqrt(dx * dx + dy * dy), static_cast<double>(coefficients.size()), 0});
      coefficients.push_back(p);
    }
  HeapSortTriples(28, list);
  std::vector<autocorrelation_testing::ListedPair> sorted;
  double meanL = 0;
  for (int i = 1; i <= 28; ++i) {
    const KinshipPair& c = coefficients[static_cast<size_t>(list[i].first)];
    sorted.push_back({list[i].key, c.loiselle, c.ritland});
    meanL += c.loiselle / 28;
  }
  const auto walked = autocorrelation_testing::LiteralWalk(sorted, true, 3, {});
  for (int c = 1; c <= 3; ++c) {
    EXPECT_EQ(s.NumberAt(3 + c, 7), walked[c].count);
    EXPECT_NEAR(s.NumberAt(3 + c, 3), walked[c].minimum, 1e-12);
    EXPECT_NEAR(s.NumberAt(3 + c, 4), walked[c].average, 1e-12);
    EXPECT_NEAR(s.NumberAt(3 + c, 5), walked[c].maximum, 1e-12);
    EXPECT_NEAR(s.NumberAt(3 + c, 6), std::log(walked[c].average), 1e-12);
    EXPECT_NEAR(s.NumberAt(3 + c, 8), walked[c].loiselle, 1e-12);
    EXPECT_NEAR(s.NumberAt(3 + c, 10), walked[c].ritland, 1e-12);
  }
  EXPECT_NEAR(s.NumberAt(7, 8), meanL, 1e-12);
  // The slope of Loiselle kinship on distance, fitted by hand.
  double sx = 0, sy = 0;
  for (int c = 1; c <= 3; ++c) sx += walked[c].average, sy += walked[c].loiselle;
  double stt = 0, sty = 0;
  for (int c = 1; c <= 3; ++c) {
    const double t = walked[c].average - sx / 3;
    stt += t * t;
    sty += t * walked[c].loiselle;
  }
  const double b = sty / stt, a = (sy - sx * b) / 3;
  EXPECT_NEAR(s.NumberAt(4, 13), b, 1e-12);
  EXPECT_NEAR(s.NumberAt(4, 18), -a / b, 1e-9);
}

TEST_F(AutocorrelationSession, MatricesSheetIsBuiltOnce) {
  Open();
  ASSERT_TRUE(session.SpatialAutocorrelation(Options(1, 3, "10")).ok());
  const Sheet m = SheetNamed("all freq& dist matrices");
  EXPECT_EQ(m.TextAt(1, 1), "SPATIAL AUTOCORRELATION");
  EXPECT_EQ(m.TextAt(1, 2), "meadow");
  EXPECT_EQ(m.TextAt(2, 1), "ALLELIC FREQUENCIES");
  EXPECT_EQ(Texts(m, 3, 1, 5), (std::vector<std::string>{"A", "", "B", "", "C"}));
  EXPECT_EQ(Texts(m, 4, 1, 2), (std::vector<std::string>{"N. alleles", "Defined genotypes"}));
  // Locus A: alleles 100, 102, 104 among 16 copies.
  EXPECT_EQ(m.NumberAt(5, 1), 3);
  EXPECT_EQ(m.NumberAt(5, 2), 16);
  EXPECT_EQ(Texts(m, 6, 1, 2), (std::vector<std::string>{"allele", "frequencies"}));
  EXPECT_EQ(m.NumberAt(8, 1), 100);
  EXPECT_DOUBLE_EQ(m.NumberAt(8, 2), 6.0 / 16);
  // Three alleles at most per locus, so the frequency table ends at its row
  // M = 9 (sheet row 10) and the matrices start at row M + 4.
  const int top = 9 + 4;
  EXPECT_EQ(m.TextAt(top, 1), "DISTANCE MATRIX");
  const int loiselle = top + 1;
  const int ritland = top + 8 + 3;
  const int distances = top + 2 * 8 + 5;
  EXPECT_EQ(m.TextAt(loiselle, 1), "Fij Loiselle");
  EXPECT_EQ(m.NumberAt(loiselle, 9), 8);
  EXPECT_EQ(m.NumberAt(loiselle + 8, 1), 8);
  EXPECT_EQ(m.TextAt(ritland, 1), "Fij Ritland");
  EXPECT_EQ(m.TextAt(distances, 1), "geographic distances");
  // s4 (index 4) and s8 (index 8): distance √(9 + 9).
  EXPECT_DOUBLE_EQ(m.NumberAt(distances + 4, 9), std::sqrt(18.0));
  // s1 and s2 are one clone: their kinship is the genotype with itself.
  const Dataset& d = session.dataset();
  std::vector<int> all(8);
  std::iota(all.begin(), all.end(), 0);
  KinshipCalculator calc(d, ComputeAlleleFrequencies(d, all));
  KinshipPair self;
  ASSERT_EQ(calc.Pair(0, 1, self), KinshipProblem::kNone);
  EXPECT_DOUBLE_EQ(m.NumberAt(loiselle + 1, 3), self.loiselle);
  EXPECT_DOUBLE_EQ(m.NumberAt(ritland + 1, 3), self.ritland);
  EXPECT_TRUE(m.TextAt(loiselle + 2, 2).empty());  // only i < j is filled
  // The block without replicates follows the entire one.
  const int entireEnd = distances + 8;
  EXPECT_EQ(m.TextAt(entireEnd + 1, 1), "WITHOUT REPLICATES");
  EXPECT_EQ(m.TextAt(entireEnd + 2, 1), "ALLELIC FREQUENCIES");
  EXPECT_EQ(m.NumberAt(entireEnd + 5, 2), 12);  // 6 genotypes, 12 copies

  // Another option pair adds its sheet; the matrices sheet stays as it was.
  ASSERT_TRUE(session.SpatialAutocorrelation(Options(1, 4, "10")).ok());
  EXPECT_EQ(session.spatialResults.SheetName(1), "Autocorr-Nb&Weighted");
  EXPECT_EQ(SheetNamed("all freq& dist matrices").rows(), m.rows());
}

TEST_F(AutocorrelationSession, SecondRunWithTheSameOptionsWritesNothing) {
  Open();
  ASSERT_TRUE(session.SpatialAutocorrelation(Options(1, 3, "10")).ok());
  const std::string first = ReadWholeFile(Workbook());
  const auto written = std::filesystem::last_write_time(Workbook());
  const Sheet before = session.spatialResults.sheet(1);
  messages.messages.clear();
  session.SetSeed(8);  // other permutations: the results would differ
  ASSERT_TRUE(session.SpatialAutocorrelation(Options(1, 3, "10")).ok());
  EXPECT_EQ(messages.messages, std::vector<std::string>{"permutations done"});
  EXPECT_EQ(session.spatialResults.NumSheets(), 3);
  EXPECT_EQ(session.spatialResults.sheet(1).rows(), before.rows());
  EXPECT_EQ(ReadWholeFile(Workbook()), first);
  EXPECT_EQ(std::filesystem::last_write_time(Workbook()), written);
}

TEST_F(AutocorrelationSession, WeightedDatasetLeavesClonePairsOut) {
  Open();
  ASSERT_TRUE(session.SpatialAutocorrelation(Options(1, 4, "15", "5")).ok());
  const Sheet& s = session.spatialResults.sheet(1);
  EXPECT_EQ(session.spatialResults.SheetName(1), "Autocorr-Nb&Weighted");
  // Entire: 28 pairs in 5 classes (6, 6, 6, 5, 5); weighted: 26 pairs.
  EXPECT_EQ(s.NumberAt(4, 7), 6);
  EXPECT_EQ(s.NumberAt(8, 7), 5);
  const int w = 13 + 2;
  EXPECT_EQ(s.TextAt(w + 1, 1), "WEIGHTED DATASET");
  EXPECT_EQ(s.TextAt(w + 1, 9), "p(1-sided)");
  EXPECT_EQ(s.TextAt(w + 3, 12), "Mean permuted values");
  double pairs = 0;
  for (int c = 1; c <= 5; ++c) pairs += s.NumberAt(w + 1 + c, 7);
  EXPECT_EQ(pairs, 26);
  EXPECT_EQ(s.NumberAt(w + 2, 7), 6);
  EXPECT_EQ(s.TextAt(w + 7, 1), "average");
}

TEST_F(AutocorrelationSession, FixedLimitsOutOfRangeAddAClassAndWarnAfterSaving) {
  Open();
  WriteTsv(dir.path() / "distances.txt", {{"2", "6"}});
  ASSERT_TRUE(session.SpatialAutocorrelation(Options(2, 3, "10")).ok());
  EXPECT_EQ(messages.messages,
            (std::vector<std::string>{
                "The dataset contains values out of the range defined in \"distances.txt\"!",
                "permutations done"}));
  EXPECT_TRUE(std::filesystem::exists(Workbook()));
  const Sheet& s = session.spatialResults.sheet(1);
  EXPECT_EQ(session.spatialResults.SheetName(1), "Autocorr-Fx&Central");
  EXPECT_EQ(s.NumberAt(4, 5), 2);
  EXPECT_EQ(s.NumberAt(5, 5), 6);
  EXPECT_DOUBLE_EQ(s.NumberAt(6, 5), std::sqrt(81.0 + 81.0));  // the largest distance
  EXPECT_EQ(s.TextAt(7, 1), "average");                        // three classes
  EXPECT_EQ(s.NumberAt(4, 7) + s.NumberAt(5, 7) + s.NumberAt(6, 7), 28);

  // Limits covering every pair: no message, the last maximum is the
  // largest distance, not the limit.
  messages.messages.clear();
  WriteTsv(dir.path() / "distances.txt", {{"3", "8", "20"}});
  ASSERT_TRUE(session.SpatialAutocorrelation(Options(2, 4, "10")).ok());
  EXPECT_EQ(messages.messages, std::vector<std::string>{"permutations done"});
  EXPECT_DOUBLE_EQ(session.spatialResults.sheet(1).NumberAt(6, 5), std::sqrt(162.0));
  EXPECT_EQ(session.spatialResults.sheet(1).NumberAt(5, 5), 8);
}

TEST_F(AutocorrelationSession, MissingDistancesFileStopsTheRun) {
  Open();
  Status s = session.SpatialAutocorrelation(Options(2, 3, "10"));
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.message(), "The file distances.txt is missing from the folder of the data file");
  EXPECT_FALSE(std::filesystem::exists(Workbook()));
}

TEST_F(AutocorrelationSession, ResamplingBlockAndConfidenceTables) {
  Open();
  ASSERT_TRUE(session.SpatialAutocorrelation(Options(1, 5, "30", "3")).ok());
  const Sheet& s = session.spatialResults.sheet(1);
  EXPECT_EQ(session.spatialResults.SheetName(1), "Autocorr-Nb&Permutations");
  const int w = 13 + 2;  // the entire dataset's table ends at row 13
  EXPECT_EQ(s.TextAt(w + 1, 1), "WITHOUT REPLICATES");
  EXPECT_EQ(s.TextAt(w + 2, 1), "permutation replicates coordinates\"");
  EXPECT_EQ(s.TextAt(w + 3, 1), "Mean values");
  EXPECT_EQ(Texts(s, w + 2, 2, 13),
            (std::vector<std::string>{"distance classes", "minimum distance", "average distance",
                                      "maximum distance", "ln[average distance]", "nb pairs",
                                      "Fij(Loiselle)", "", "Fij(Ritland)", "", "REGRESSION",
                                      "b(Loiselle)/dist"}));
  EXPECT_EQ(s.TextAt(w + 2, 18), "[-a/b(Loiselle)/dist]");
  // 15 genet pairs in 3 classes of 5, in every replicate.
  for (int c = 1; c <= 3; ++c) {
    EXPECT_EQ(s.NumberAt(w + 2 + c, 2), c);
    EXPECT_EQ(s.NumberAt(w + 2 + c, 7), 5);
  }
  EXPECT_EQ(s.TextAt(w + 6, 1), "average");
  EXPECT_EQ(s.TextAt(w + 3, 12), "Mean(observed values)");
  EXPECT_EQ(s.TextAt(w + 13, 12), "p[(min obs) => (max exp)]");
  EXPECT_EQ(s.TextAt(w + 18, 12), "p[(max obs) <=(min exp)]");
  // Their values are (b + 1)/31 over the 30 replicates, never 0.
  for (int col = 13; col <= 16; ++col)
    for (int row : {w + 13, w + 14, w + 17, w + 18}) {
      const double b1 = s.NumberAt(row, col) * 31;
      EXPECT_NEAR(b1, std::round(b1), 1e-9) << row << "," << col;
      EXPECT_GE(std::round(b1), 1) << row << "," << col;
      EXPECT_LE(std::round(b1), 31) << row << "," << col;
    }
  // Mean slope written, and the observed intercepts' summary.
  EXPECT_NE(s.TextAt(w + 3, 13), "");
  EXPECT_NE(s.TextAt(w + 8, 21), "");
  EXPECT_EQ(s.TextAt(w + 9, 21), "");

  const int a = w + 18;  // LastRow before the CI(95%) table
  EXPECT_EQ(s.TextAt(a + 2, 1), "CI(95%)");
  EXPECT_EQ(s.TextAt(a + 2, 12), "Fij(Ritland) inf.");
  EXPECT_EQ(s.TextAt(a + 2, 15), "CI 95% random sup.");
  for (int c = 1; c <= 3; ++c) {
    EXPECT_EQ(s.TextAt(a + 2 + c, 7), "5/5");  // nb pairs: the same on both sides
    const std::string average = s.TextAt(a + 2 + c, 4);
    EXPECT_NE(average.find('/'), std::string::npos) << average;
    EXPECT_EQ(average.find(','), std::string::npos) << average;
  }
  const int b = a + 3 + 4;
  EXPECT_EQ(s.TextAt(b, 1), "CI(90%)");
  EXPECT_EQ(s.TextAt(b + 2, 10), "CI 90% random inf.");
  EXPECT_EQ(s.TextAt(b + 2, 12), "Fij(Ritland)inf.");
  EXPECT_EQ(s.TextAt(b + 5, 7), "5/5");
  EXPECT_EQ(s.TextAt(b + 7, 1), "Sp STATISTIC");
  EXPECT_EQ(s.TextAt(b + 9, 1), "WITHOUT REPLICATES, resampling (means)");
}

TEST_F(AutocorrelationSession, SeededRunsRepeatExactly) {
  Open();
  ASSERT_TRUE(session.SpatialAutocorrelation(Options(1, 5, "25", "3")).ok());
  ASSERT_TRUE(session.SpatialAutocorrelation(Options(1, 4, "25", "3")).ok());
  RecordingMessageSink otherMessages;
  NullProgressSink otherProgress;
  Session other(otherMessages, otherProgress);
  TempDir otherDir;
  WriteTsv(otherDir.path() / "meadow.txt", kMeadow);
  ASSERT_TRUE(other.Open(otherDir.file("meadow.txt")).ok());
  other.SetSeed(7);
  ASSERT_TRUE(other.SpatialAutocorrelation(Options(1, 5, "25", "3")).ok());
  ASSERT_TRUE(other.SpatialAutocorrelation(Options(1, 4, "25", "3")).ok());
  ASSERT_EQ(other.spatialResults.NumSheets(), session.spatialResults.NumSheets());
  for (int i = 1; i <= other.spatialResults.NumSheets(); ++i)
    EXPECT_EQ(other.spatialResults.sheet(i).rows(), session.spatialResults.sheet(i).rows()) << i;
}

TEST_F(AutocorrelationSession, CancelWritesNothing) {
  Open();
  progress.RequestCancel();
  Status s = session.SpatialAutocorrelation(Options(1, 3, "50"));
  EXPECT_TRUE(s.cancelled());
  EXPECT_FALSE(std::filesystem::exists(Workbook()));
  EXPECT_EQ(session.spatialResults.NumSheets(), 1);
  EXPECT_EQ(session.matricesSheetStage(), 0);
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_EQ(progress.ends, 1);
}

TEST_F(AutocorrelationSession, UndefinedValuesStopTheRunWithAMessage) {
  struct Case {
    Rows rows;
    AutocorrelationOptions options;
    std::string part;
  };
  Rows noCommonLocus = kMeadow;
  noCommonLocus[2] = {"s2", "1", "0", "999999", "999999", "140142"};
  noCommonLocus[3] = {"s3", "0", "1", "100104", "120120", "999999"};
  const std::vector<Case> cases = {
      {noCommonLocus, Options(1, 0, "10"), "no locus typed in both"},
      {kMeadow, Options(1, 0, "10", "1"), "same average distance"},
  };
  for (const Case& c : cases) {
    Open(c.rows);
    Status s = session.SpatialAutocorrelation(c.options);
    ASSERT_FALSE(s.ok());
    EXPECT_NE(s.message().find(c.part), std::string::npos) << s.message();
    EXPECT_NE(s.message().find("division by zero"), std::string::npos) << s.message();
    EXPECT_FALSE(std::filesystem::exists(Workbook()));
  }
}

TEST_F(AutocorrelationSession, RefusedBeforeAnyWork) {
  Open();
  for (const AutocorrelationOptions& o :
       {Options(1, 3, "abc"), Options(1, 3, "0"), Options(1, 3, "10", "-2"), Options(0, 3, "10")}) {
    Status s = session.SpatialAutocorrelation(o);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(progress.begins, 0);
  }
  EXPECT_FALSE(std::filesystem::exists(Workbook()));
  // A dataset without coordinates has no spatial menu.
  Rows nowhere = kMeadow;
  for (size_t r = 1; r < nowhere.size(); ++r) nowhere[r][1] = nowhere[r][2] = "999";
  Open(nowhere);
  EXPECT_FALSE(session.SpatialAutocorrelation(Options(1, 3, "10")).ok());
}

TEST_F(AutocorrelationSession, EntireDatasetAloneGetsItsOwnSheetName) {
  Open();
  ASSERT_TRUE(session.SpatialAutocorrelation(Options(1, 0, "10")).ok());
  EXPECT_EQ(session.spatialResults.SheetName(1), "Autocorr-Nb");
  EXPECT_EQ(session.matricesSheetStage(), 1);
  ASSERT_TRUE(session.SpatialAutocorrelation(Options(1, 5, "10")).ok());
  EXPECT_EQ(session.matricesSheetStage(), 2);
}

// The command line runs every procedure.
class AutocorrelationCli : public ::testing::Test {
 protected:
  TempDir dir;
  int Run(std::vector<std::string> args, std::string* err = nullptr) {
    std::ostringstream out, errors;
    int status = cli::Run(args, out, errors);
    if (err) *err = errors.str();
    return status;
  }
};

TEST_F(AutocorrelationCli, EveryProcedure) {
  WriteTsv(dir.path() / "m.txt", kMeadow);
  WriteTsv(dir.path() / "distances.txt", {{"3", "8", "20"}});
  const std::string data = dir.file("m.txt");
  std::string err;
  EXPECT_EQ(Run({"--seed=3", data, "autocorrelation", "--classes=4", "--procedure=central",
                 "--permutations=20", "autocorrelation", "--fixed", "--procedure=weighted",
                 "--permutations=20", "autocorrelation", "--classes=3", "--procedure=resampling",
                 "--permutations=20", "autocorrelation", "--classes=4", "--permutations=20"},
                &err),
            0)
      << err;
  EXPECT_NE(err.find("permutations done"), std::string::npos);
  Book saved;
  ASSERT_TRUE(ReadTableFile(dir.file("m.spatialcomponents.xlsx"), saved).ok());
  EXPECT_EQ(saved.first().TextAt(1, 1), "VIRELTAN");

  EXPECT_EQ(Run({data, "autocorrelation", "--classes=4", "--procedure=clonal"}, &err), 1);
  EXPECT_NE(err.find("central, weighted or resampling"), std::string::npos) << err;
  EXPECT_EQ(Run({data, "autocorrelation", "--permutations=10"}, &err), 1);
  EXPECT_EQ(Run({data, "autocorrelation", "--classes=4", "--fixed"}, &err), 1);
  EXPECT_EQ(Run({data, "autocorrelation", "--classes=0"}, &err), 2);  // found before any work
  EXPECT_NE(err.find("at least 1"), std::string::npos) << err;
  EXPECT_EQ(Run({data, "autocorrelation", "--classes=x"}, &err), 2);
  EXPECT_EQ(Run({data, "autocorrelation", "--classes=4", "--permutations=1e3"}, &err), 2);
  EXPECT_EQ(Run({data, "autocorrelation", "--classes"}, &err), 2);
}

}  // namespace
}  // namespace vireltan
