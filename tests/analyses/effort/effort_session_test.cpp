// SPDX-License-Identifier: GPL-3.0-or-later
// The four sampling-effort commands as the window and the command line run
// them: the blocks they append to the results, the log, the chart and its
// flags, the messages, and what a refusal or a cancel leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/cli_runner.h"
#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::Rows;
using testing::TempDir;
using testing::WriteTsv;

// Six SUs, three loci; s1 and s2 are one clone: G = 5.
const Rows kMeadow{
    {"6", "", "", "3", "2", "A", "B", "C"},         {"s1", "1", "1", "120124", "150152", "170170"},
    {"s2", "2", "2", "124120", "150152", "170170"}, {"s3", "3", "3", "120120", "150152", "170172"},
    {"s4", "4", "4", "124124", "152152", "170170"}, {"s5", "5", "5", "120124", "150150", "172172"},
    {"s6", "6", "6", "120124", "150152", "172172"}};

// Cancels the run as soon as it reports any progress beyond the start.
class CancellingProgress : public ProgressSink {
 public:
  void SetPosition(int percent) override {
    if (percent > 0) RequestCancel();
  }
};

class EffortCommands : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  TempDir dir;
  int before = 0;  // last used row of the results after Open

  void SetUp() override {
    WriteTsv(dir.path() / "meadow.txt", kMeadow);
    ASSERT_TRUE(session.Open(dir.file("meadow.txt")).ok());
    ASSERT_EQ(session.info().mlgCount, 5);
    session.SetSeed(17);
    before = results().LastRow();
  }
  const Sheet& results() const { return session.results.first(); }
  std::string Log() const { return ReadWholeFile(session.ResultsLogPath()); }
  std::vector<std::string> RowTexts(int row) const {
    std::vector<std::string> texts;
    for (int c = 1; c <= results().LastCol(); ++c) texts.push_back(results().TextAt(row, c));
    while (!texts.empty() && texts.back().empty()) texts.pop_back();
    return texts;
  }
  void ExpectOnlyEffortChartShown() {
    for (int c = 0; c < kChartRoleCount; ++c) {
      const ChartRole role = static_cast<ChartRole>(c);
      EXPECT_EQ(session.chart(role).visible, role == ChartRole::kSamplingEffort) << c;
    }
  }
  // The sampling-effort chart: ranges, and one box per size 1..n.
  void ExpectBoxes(const char* bottomTitle, int n) {
    ChartData& chart = session.chart(ChartRole::kSamplingEffort);
    EXPECT_EQ(chart.bottom.title, bottomTitle);
    EXPECT_EQ(chart.left.title, "Number of distinct MLGs");
    EXPECT_TRUE(chart.bottom.fixedRange);
    EXPECT_DOUBLE_EQ(chart.bottom.minimum, 0.4);
    EXPECT_DOUBLE_EQ(chart.bottom.maximum, n + 0.6);
    EXPECT_TRUE(chart.left.fixedRange);
    EXPECT_EQ(chart.left.maximum, 6);
    ChartSeries* boxes = chart.findSeries(kEffortBoxesSeries);
    ASSERT_NE(boxes, nullptr);
    ASSERT_EQ(boxes->boxes.size(), static_cast<size_t>(n));
    EXPECT_EQ(boxes->boxes.front().x, 1);
    // The mean is drawn as its own line over the boxes.
    ASSERT_NE(chart.findSeries(kEffortMeanSeries), nullptr);
    EXPECT_EQ(chart.findSeries(kEffortMeanSeries)->points.size(), static_cast<size_t>(n));
    const BoxStats& last = boxes->boxes.back();
    EXPECT_EQ(last.x, n);
    EXPECT_EQ(last.lowerQuartile, 5);
    EXPECT_EQ(last.median, 5);
    EXPECT_EQ(last.upperQuartile, 5);
    for (const BoxStats& b : boxes->boxes) {
      EXPECT_LE(b.lowerQuartile, b.median);
      EXPECT_LE(b.median, b.upperQuartile);
    }
  }
};

TEST_F(EffortCommands, ResampleLociAppendsItsBlockChartAndLog) {
  ASSERT_TRUE(session.ResampleLoci(20).ok());
  EXPECT_TRUE(RowTexts(before + 1).empty());
  EXPECT_EQ(RowTexts(before + 2), (std::vector<std::string>{"locus", "Nb permutations", "20"}));
  EXPECT_EQ(RowTexts(before + 3),
            (std::vector<std::string>{"Nb of loci", "Nb alleles", "SE Nballeles", "averageMLG",
                                      "SEaverageMLG", "MLGmin", "MLGmax", "Hnb", "SE Hnb"}));
  EXPECT_EQ(results().TextAt(before + 4, 1), "1loc");
  EXPECT_EQ(results().TextAt(before + 5, 1), "2loc");
  const int last = before + 6;
  EXPECT_EQ(results().TextAt(last, 1), "3loc");
  EXPECT_EQ(results().LastRow(), last);
  // Every locus: 2 + 2 + 2 alleles, the 5 MLGs, no spread.
  EXPECT_EQ(results().NumberAt(last, 2), 6);
  EXPECT_EQ(results().TextAt(last, 3), "0");
  EXPECT_EQ(results().NumberAt(last, 4), 5);
  EXPECT_EQ(results().TextAt(last, 5), "0");
  EXPECT_EQ(results().NumberAt(last, 6), 5);
  EXPECT_EQ(results().NumberAt(last, 7), 5);
  EXPECT_EQ(messages.messages, (std::vector<std::string>{"permutations done"}));
  EXPECT_TRUE((session.effortCurve() == EffortCurve::kResampledLoci));
  EXPECT_FALSE((session.effortCurve() == EffortCurve::kResampledIndividuals) ||
               (session.effortCurve() == EffortCurve::kCombinedIndividuals) ||
               (session.effortCurve() == EffortCurve::kCombinedLoci));
  ExpectOnlyEffortChartShown();
  ExpectBoxes("Number of loci", 3);
  // Half-width: 0.2 x 1000 px / 3 = 66.7, rounded, plus 1.
  EXPECT_EQ(session.chart(ChartRole::kSamplingEffort)
                .findSeries(kEffortBoxesSeries)
                ->boxes[0]
                .halfWidthPixels,
            68);
  EXPECT_NE(Log().find("locus\tNb permutations\t20\n"), std::string::npos);
  EXPECT_NE(Log().find("\n3loc\t6\t0\t5\t0\t5\t5\t"), std::string::npos);
}

TEST_F(EffortCommands, ResampleIndividualsLeavesOneEmptyRowBeforeItsBlock) {
  ASSERT_TRUE(session.ResampleIndividuals(30).ok());
  EXPECT_TRUE(RowTexts(before + 1).empty());
  EXPECT_EQ(RowTexts(before + 2), (std::vector<std::string>{"SU", "Nb permutations", "30"}));
  EXPECT_TRUE(RowTexts(before + 3).empty());
  EXPECT_EQ(RowTexts(before + 4),
            (std::vector<std::string>{"Nb SU", "Nb alleles", "SE Nb alleles", "averageMLG",
                                      "SEaverageMLG", "MLGmin", "MLGmax", "Hnb", "SEHnb"}));
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(results().NumberAt(before + 4 + k, 1), k);
  const int first = before + 5, last = before + 10;
  EXPECT_EQ(results().LastRow(), last);
  EXPECT_EQ(results().TextAt(first, 4), "1");
  EXPECT_EQ(results().TextAt(first, 5), "0");
  EXPECT_EQ(results().NumberAt(first, 6), 1);
  EXPECT_EQ(results().NumberAt(first, 7), 1);
  for (int col : {3, 5, 9}) EXPECT_EQ(results().TextAt(last, col), "0") << col;
  EXPECT_EQ(results().NumberAt(last, 4), 5);
  EXPECT_EQ(results().NumberAt(last, 6), 5);
  EXPECT_EQ(results().NumberAt(last, 7), 5);
  EXPECT_EQ(messages.messages, (std::vector<std::string>{"permutations done"}));
  EXPECT_TRUE((session.effortCurve() == EffortCurve::kResampledIndividuals));
  EXPECT_FALSE((session.effortCurve() == EffortCurve::kResampledLoci));
  ExpectOnlyEffortChartShown();
  ExpectBoxes("Number of sampling units", 6);
  EXPECT_NE(Log().find("SU\tNb permutations\t30\n\nNb SU\t"), std::string::npos);
}

TEST_F(EffortCommands, CombineLociListsTheMinimumCombinationsByName) {
  ASSERT_TRUE(session.CombineLoci().ok());
  EXPECT_TRUE(RowTexts(before + 1).empty());
  EXPECT_EQ(RowTexts(before + 2), (std::vector<std::string>{"combinations ", "of loci"}));
  EXPECT_EQ(RowTexts(before + 3),
            (std::vector<std::string>{"Nb loci", "averageMLG", "MLGmin", "MLGmax"}));
  EXPECT_TRUE(RowTexts(before + 4).empty());
  // Each locus alone gives 3 MLGs; pairs give 4 ({A, B}), 4 ({A, C}) and
  // 5 ({B, C}, the one minimum combination).
  EXPECT_EQ(RowTexts(before + 5), (std::vector<std::string>{"1", "3", "3", "3"}));
  EXPECT_DOUBLE_EQ(results().NumberAt(before + 6, 2), 13.0 / 3);
  EXPECT_EQ(results().NumberAt(before + 6, 3), 4);
  EXPECT_EQ(results().NumberAt(before + 6, 4), 5);
  EXPECT_EQ(RowTexts(before + 7), (std::vector<std::string>{"3", "5", "5", "5"}));
  EXPECT_TRUE(RowTexts(before + 8).empty());
  EXPECT_EQ(RowTexts(before + 9), (std::vector<std::string>{"minimum combinations", "2 loci"}));
  EXPECT_EQ(RowTexts(before + 10), (std::vector<std::string>{"B", "C"}));
  EXPECT_EQ(results().LastRow(), before + 10);
  EXPECT_EQ(messages.messages, (std::vector<std::string>{"combinations done"}));
  EXPECT_TRUE((session.effortCurve() == EffortCurve::kCombinedLoci));
  EXPECT_FALSE((session.effortCurve() == EffortCurve::kResampledLoci) ||
               (session.effortCurve() == EffortCurve::kCombinedIndividuals));
  ExpectBoxes("Number of loci", 3);
}

TEST_F(EffortCommands, CombineIndividualsBlockStartsWithItsOwnEmptyRow) {
  ASSERT_TRUE(session.CombineIndividuals().ok());
  EXPECT_TRUE(RowTexts(before + 1).empty());
  EXPECT_EQ(RowTexts(before + 2), (std::vector<std::string>{"SU", "combinations"}));
  EXPECT_EQ(RowTexts(before + 3),
            (std::vector<std::string>{"Nb SU", "averageMLG", "MLGmin", "MLGmax"}));
  EXPECT_EQ(RowTexts(before + 4), (std::vector<std::string>{"1", "1", "1", "1"}));
  // Two of six units: only the pair {s1, s2} (1 of 15) holds one MLG.
  EXPECT_DOUBLE_EQ(results().NumberAt(before + 5, 2), 2 - 1.0 / 15);
  EXPECT_EQ(RowTexts(before + 9), (std::vector<std::string>{"6", "5", "5", "5"}));
  EXPECT_EQ(results().LastRow(), before + 9);
  EXPECT_EQ(messages.messages, (std::vector<std::string>{"combinations done"}));
  EXPECT_TRUE((session.effortCurve() == EffortCurve::kCombinedIndividuals));
  ExpectBoxes("Number of sampling units", 6);
}

TEST_F(EffortCommands, RepeatedRunsAppendFurtherBlocks) {
  ASSERT_TRUE(session.CombineIndividuals().ok());
  ASSERT_TRUE(session.ResampleLoci(5).ok());
  EXPECT_EQ(results().TextAt(before + 2, 1), "SU");
  EXPECT_EQ(results().TextAt(before + 11, 1), "locus");
  EXPECT_TRUE((session.effortCurve() == EffortCurve::kResampledLoci));
  EXPECT_FALSE((session.effortCurve() == EffortCurve::kCombinedIndividuals));
  std::string log = Log();
  EXPECT_LT(log.find("SU\tcombinations"), log.find("locus\tNb permutations\t5"));
}

TEST_F(EffortCommands, TooFewPermutationsAreRefusedBeforeAnyWork) {
  ASSERT_TRUE(session.CombineLoci().ok());
  messages.messages.clear();
  const std::string log = Log();
  const int rows = results().LastRow();
  for (int p : {1, 0, -5}) {
    Status loci = session.ResampleLoci(p);
    Status units = session.ResampleIndividuals(p);
    ASSERT_FALSE(loci.ok());
    ASSERT_FALSE(units.ok());
    EXPECT_NE(loci.message().find("at least 2"), std::string::npos) << loci.message();
  }
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_EQ(results().LastRow(), rows);
  EXPECT_EQ(Log(), log);
  EXPECT_TRUE((session.effortCurve() == EffortCurve::kCombinedLoci));
  EXPECT_TRUE(session.chart(ChartRole::kSamplingEffort).visible);
}

TEST_F(EffortCommands, CancelWritesNothing) {
  CancellingProgress cancelling;
  Session s{messages, cancelling};
  ASSERT_TRUE(s.Open(dir.file("meadow.txt")).ok());
  const std::string log = ReadWholeFile(s.ResultsLogPath());
  const int rows = s.results.first().LastRow();
  EXPECT_TRUE(s.ResampleLoci(1000).cancelled());
  EXPECT_TRUE(s.ResampleIndividuals(1000).cancelled());
  EXPECT_EQ(s.results.first().LastRow(), rows);
  EXPECT_EQ(ReadWholeFile(s.ResultsLogPath()), log);
  EXPECT_FALSE((s.effortCurve() == EffortCurve::kResampledLoci) ||
               (s.effortCurve() == EffortCurve::kResampledIndividuals));
  EXPECT_FALSE(s.chart(ChartRole::kSamplingEffort).visible);
  EXPECT_TRUE(s.chart(ChartRole::kSamplingEffort).findSeries(kEffortBoxesSeries)->boxes.empty());
}

TEST_F(EffortCommands, SameSeedRepeatsTheRunExactly) {
  ASSERT_TRUE(session.ResampleIndividuals(25).ok());
  RecordingMessageSink otherMessages;
  Session other{otherMessages, progress};
  TempDir otherDir;
  WriteTsv(otherDir.path() / "meadow.txt", kMeadow);
  ASSERT_TRUE(other.Open(otherDir.file("meadow.txt")).ok());
  other.SetSeed(17);
  ASSERT_TRUE(other.ResampleIndividuals(25).ok());
  for (int r = before + 1; r <= results().LastRow(); ++r)
    for (int c = 1; c <= 9; ++c)
      EXPECT_EQ(results().at(r, c), other.results.first().at(r, c)) << r << "," << c;
}

TEST(EffortCommandsWithoutData, AreRefused) {
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  EXPECT_FALSE(session.ResampleLoci(10).ok());
  EXPECT_FALSE(session.CombineLoci().ok());
  EXPECT_FALSE(session.CombineIndividuals().ok());
  EXPECT_FALSE(session.ResampleIndividuals(10).ok());
}

TEST(EffortCommandsWithMissingData, RunAndCountMissingGenotypesApart) {
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  TempDir dir;
  WriteTsv(dir.path() / "gaps.txt", {{"3", "", "", "2", "2"},
                                     {"a", "1", "1", "120124", "150152"},
                                     {"b", "1", "1", "120124", "999999"},
                                     {"c", "1", "1", "120124", "150152"}});
  ASSERT_TRUE(session.Open(dir.file("gaps.txt")).ok());
  ASSERT_EQ(session.info().mlgCount, 2);
  const int before = session.results.first().LastRow();
  ASSERT_TRUE(session.CombineLoci().ok());
  const Sheet& r = session.results.first();
  // Locus 1 alone: 1 MLG; locus 2 alone: the missing genotype is apart, 2.
  EXPECT_EQ(r.NumberAt(before + 5, 2), 1.5);
  EXPECT_EQ(r.TextAt(before + 8, 1), "minimum combinations");
  EXPECT_EQ(r.TextAt(before + 8, 2), "1 loci");
  EXPECT_EQ(r.TextAt(before + 9, 1), "locus2");  // no names in the header
  EXPECT_EQ(r.LastRow(), before + 9);
  ASSERT_TRUE(session.ResampleLoci(10).ok());
  // k = L: locus 1 gives 2 alleles, locus 2 gives 2 (999 is no allele).
  EXPECT_EQ(r.NumberAt(r.LastRow(), 2), 4);
}

// A haploid locus is carried as its allele twice, so a census of n haploid
// units runs over 2n copies: one unit shows one allele and no diversity;
// two units with alleles 120 and 130 give copies 120, 120, 130, 130,
// p = 1/2 each and h = 4/3 (1 - 1/2) = 2/3.
TEST(EffortCommandsOnHaploidData, CountEachAlleleTwice) {
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  TempDir dir;
  WriteTsv(dir.path() / "haploid.txt",
           {{"2", "", "", "1", "1", "M1"}, {"a", "1", "1", "120"}, {"b", "2", "2", "130"}});
  ASSERT_TRUE(session.Open(dir.file("haploid.txt")).ok());
  ASSERT_EQ(session.info().mlgCount, 2);
  const int before = session.results.first().LastRow();
  ASSERT_TRUE(session.ResampleIndividuals(4).ok());
  const Sheet& r = session.results.first();
  const int one = before + 5, two = before + 6;
  ASSERT_EQ(r.LastRow(), two);
  EXPECT_EQ(r.NumberAt(one, 2), 1);  // one allele whichever unit is drawn
  EXPECT_EQ(r.NumberAt(one, 8), 0);
  EXPECT_EQ(r.NumberAt(two, 2), 2);
  EXPECT_NEAR(r.NumberAt(two, 8), 2.0 / 3.0, 1e-15);
  EXPECT_EQ(r.NumberAt(two, 6), 2);
}

// Records the progress panel's life: how often it opens and closes, and
// every position reported.
class PanelWatch : public ProgressSink {
 public:
  void Begin() override { ++begun; }
  void SetPosition(int percent) override {
    positions.push_back(percent);
    if (cancelAt >= 0 && percent >= cancelAt) RequestCancel();
  }
  void End() override { ++ended; }
  int begun = 0, ended = 0, cancelAt = -1;
  std::vector<int> positions;
};

TEST(EffortProgress, PanelOpensAndClosesOnceOnEveryWayOut) {
  TempDir dir;
  WriteTsv(dir.path() / "meadow.txt", kMeadow);
  RecordingMessageSink messages;
  PanelWatch watch;
  Session session{messages, watch};
  ASSERT_TRUE(session.Open(dir.file("meadow.txt")).ok());
  for (bool loci : {true, false}) {
    watch.begun = watch.ended = 0;
    watch.positions.clear();
    ASSERT_TRUE((loci ? session.ResampleLoci(50) : session.ResampleIndividuals(50)).ok());
    EXPECT_EQ(watch.begun, 1);
    EXPECT_EQ(watch.ended, 1);
    ASSERT_FALSE(watch.positions.empty());
    EXPECT_TRUE(std::is_sorted(watch.positions.begin(), watch.positions.end()));
    EXPECT_EQ(watch.positions.front(), 0);
    EXPECT_EQ(watch.positions.back(), 100);
  }
  // Cancelled halfway: the panel is closed all the same, nothing is added.
  const int rows = session.results.first().LastRow();
  watch.begun = watch.ended = 0;
  watch.cancelAt = 50;
  EXPECT_TRUE(session.ResampleIndividuals(50).cancelled());
  EXPECT_EQ(watch.begun, 1);
  EXPECT_EQ(watch.ended, 1);
  EXPECT_EQ(session.results.first().LastRow(), rows);
}

struct CliResult {
  int status;
  std::string err;
};

CliResult RunCli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int status = cli::Run(args, out, err);
  return {status, err.str()};
}

TEST(EffortCli, RunsTheFourCommandsAndRepeatsASeededRun) {
  TempDir dir;
  WriteTsv(dir.path() / "meadow.txt", kMeadow);
  const std::string data = dir.file("meadow.txt");
  std::vector<std::string> args{"--seed=3",
                                data,
                                "resample-loci",
                                "--permutations=40",
                                "combine-loci",
                                "combine-individuals",
                                "resample-individuals",
                                "--permutations=15"};
  CliResult first = RunCli(args);
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.err,
            "permutations done\ncombinations done\ncombinations done\npermutations done\n");
  std::string log = ReadWholeFile(dir.file("meadow.outvireltan.txt"));
  EXPECT_NE(log.find("locus\tNb permutations\t40"), std::string::npos);
  EXPECT_NE(log.find("minimum combinations\t2 loci\nB\tC"), std::string::npos);
  EXPECT_NE(log.find("SU\tNb permutations\t15"), std::string::npos);
  ASSERT_EQ(RunCli(args).status, 0);
  EXPECT_EQ(ReadWholeFile(dir.file("meadow.outvireltan.txt")), log);
}

TEST(EffortCli, DefaultsToAThousandPermutations) {
  TempDir dir;
  WriteTsv(dir.path() / "meadow.txt", kMeadow);
  ASSERT_EQ(RunCli({dir.file("meadow.txt"), "resample-loci"}).status, 0);
  EXPECT_NE(ReadWholeFile(dir.file("meadow.outvireltan.txt")).find("locus\tNb permutations\t1000"),
            std::string::npos);
}

struct BadOption {
  const char* name;
  std::vector<std::string> args;
  int status;
  const char* errPiece;
};

class EffortCliBadOptions : public ::testing::TestWithParam<BadOption> {};

TEST_P(EffortCliBadOptions, AreRefusedWithAClearMessage) {
  TempDir dir;
  WriteTsv(dir.path() / "meadow.txt", kMeadow);
  std::vector<std::string> args{dir.file("meadow.txt")};
  args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
  CliResult r = RunCli(args);
  EXPECT_EQ(r.status, GetParam().status);
  EXPECT_NE(r.err.find(GetParam().errPiece), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("permutations done"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EffortCliBadOptions,
    ::testing::Values(
        BadOption{"NotANumber", {"resample-loci", "--permutations=many"}, 2, "whole number"},
        BadOption{"Fraction", {"resample-individuals", "--permutations=2.5"}, 2, "whole number"},
        BadOption{"One", {"resample-loci", "--permutations=1"}, 2, "at least 2"},
        BadOption{"Negative", {"resample-individuals", "--permutations=-3"}, 2, "at least 2"},
        BadOption{"NoValue", {"resample-loci", "--permutations"}, 2, "needs a value"},
        BadOption{
            "NotAnOptionOfCombinations", {"combine-loci", "--permutations=5"}, 2, "has no option"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace vireltan
