// SPDX-License-Identifier: GPL-3.0-or-later
// The population-genetics commands on the command line: the same seed gives
// the window's numbers; the clone-correction words; refusals write nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli_runner.h"
#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;

const std::string kData = VIRELTAN_TEST_DATA_DIR;

int RunCli(const std::vector<std::string>& args, std::string* err = nullptr) {
  std::ostringstream out, errors;
  const int status = cli::Run(args, out, errors);
  if (err) *err = errors.str();
  return status;
}

class PopgenCli : public ::testing::Test {
 protected:
  void SetUp() override {
    data = dir.file("pram.txt");
    std::filesystem::copy_file(kData + "/pramorum_forest_nursery_nocoords.txt", data);
    pops = kData + "/peers/popgen/pramorum_forest_nursery_nocoords.populations.txt";
  }
  TempDir dir;
  std::string data, pops;
};

// Permutation and Monte-Carlo p-values: (b+1)/(P+1) from the same streams
// whichever front end runs them.
TEST_F(PopgenCli, SameSeedGivesTheSessionsNumbers) {
  std::string err;
  ASSERT_EQ(RunCli({"--seed=5", "--quiet", data, "strata", "--file=" + pops, "pairwise-fst",
                    "--permutations=99", "--clone-correct=mlg", "hwe", "--permutations=99",
                    "fstats", "--bootstrap=50"},
                   &err),
            0)
      << err;
  std::map<std::string, std::string> cli;
  for (const char* suffix : {".pairwise-fst.csv", ".hwe.csv", ".fstats.csv"})
    cli[suffix] = ReadWholeFile(dir.file(std::string("pram") + suffix));

  RecordingMessageSink messages;
  NullProgressSink progress;
  Session s(messages, progress);
  s.SetSeed(5);
  ASSERT_TRUE(s.Open(data).ok());
  ASSERT_TRUE(s.LoadPopulations(pops).ok());
  Session::PopgenRequest r;
  r.cloneCorrect = CloneCorrection::kMlg;
  r.permutations = 99;
  ASSERT_TRUE(s.PairwiseFst(r).ok());
  r.bootstraps = 50;
  ASSERT_TRUE(s.HardyWeinberg(r).ok());
  r.cloneCorrect = CloneCorrection::kNone;
  ASSERT_TRUE(s.FStatistics(r).ok());
  for (const auto& [suffix, text] : cli) EXPECT_EQ(ReadWholeFile(dir.file("pram" + suffix)), text);
  // Every p of the pairs is a count over 100.
  const std::string pairs = cli[".pairwise-fst.csv"];
  EXPECT_NE(pairs.find(",0.01,99,"), std::string::npos) << pairs;
}

TEST_F(PopgenCli, CloneCorrectionWords) {
  struct Case {
    std::vector<std::string> options;
    int status;
    std::string counted;  // in the CSV's units_counted column
  };
  const std::vector<Case> cases = {
      {{"--clone-correct"}, 0, "one unit per MLG in each population (148 of 729 units)"},
      {{"--clone-correct=none"}, 0, "all units"},
      {{}, 0, "all units"},
      {{"--clone-correct=mll"}, 1, ""},
      {{"--clone-correct=genet"}, 1, ""}};
  for (const Case& c : cases) {
    std::filesystem::remove(dir.file("pram.popgen.csv"));
    std::vector<std::string> args = {"--quiet", data, "strata", "--file=" + pops, "popgen"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    std::string err;
    EXPECT_EQ(RunCli(args, &err), c.status) << err;
    const bool written = std::filesystem::exists(dir.file("pram.popgen.csv"));
    EXPECT_EQ(written, c.status == 0);
    if (written)
      EXPECT_NE(ReadWholeFile(dir.file("pram.popgen.csv")).find("," + c.counted + ","),
                std::string::npos)
          << c.counted;
  }
  // The summary's bare flag still means one unit per MLG.
  std::string err;
  ASSERT_EQ(RunCli({"--quiet", data, "summary", "--clone-correct"}, &err), 0) << err;
  EXPECT_NE(ReadWholeFile(dir.file("pram.summary.csv")).find("clone-corrected"), std::string::npos);
  EXPECT_EQ(RunCli({"--quiet", data, "summary", "--clone-correct=mll"}, &err), 1);
}

}  // namespace
}  // namespace vireltan
