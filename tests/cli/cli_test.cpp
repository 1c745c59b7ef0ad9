// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "cli/cli_runner.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;

struct CliResult {
  int status;
  std::string out;
  std::string err;
};

CliResult RunCli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int status = cli::Run(args, out, err);
  return {status, out.str(), err.str()};
}

class CliTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string example;
  void SetUp() override {
    example = dir.file("seagrass_meadow.txt");
    std::filesystem::copy_file(std::string(VIRELTAN_EXAMPLES_DIR) + "/seagrass_meadow.txt",
                               example);
  }
};

TEST_F(CliTest, OpensTheDatasetAndWritesTheLogBesideIt) {
  CliResult r = RunCli({example});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string log = ReadWholeFile(dir.file("seagrass_meadow.outvireltan.txt"));
  EXPECT_NE(log.find("Distinct MLG designation"), std::string::npos);
  EXPECT_NE(log.find("G (richness)"), std::string::npos);
  EXPECT_NE(log.find("MLGs distant"), std::string::npos);
}

TEST_F(CliTest, ASecondRunKeepsTheFirstRunsLogAndSaysWhere) {
  ASSERT_EQ(RunCli({example}).status, 0);
  const std::string first = ReadWholeFile(dir.file("seagrass_meadow.outvireltan.txt"));
  CliResult again = RunCli({example});
  EXPECT_EQ(again.status, 0) << again.err;
  std::vector<std::string> kept;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("seagrass_meadow.outvireltan.20", 0) == 0) kept.push_back(entry.path());
  }
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(ReadWholeFile(kept[0]), first);
  // Standard error names the kept file; the log holds the second run.
  EXPECT_NE(again.err.find(kept[0]), std::string::npos) << again.err;
  EXPECT_NE(ReadWholeFile(dir.file("seagrass_meadow.outvireltan.txt")).find("G (richness)"),
            std::string::npos);
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  const char* errPiece;
};

class CliUsage : public CliTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(CliUsage, ExitStatusAndMessage) {
  std::vector<std::string> args;
  for (const std::string& a : GetParam().args) args.push_back(a == "DATA" ? example : a);
  CliResult r = RunCli(args);
  EXPECT_EQ(r.status, GetParam().status) << r.err;
  EXPECT_NE(r.err.find(GetParam().errPiece), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliUsage,
    ::testing::Values(UsageCase{"no_arguments", {}, 2, "no data file"},
                      UsageCase{"unknown_global_option", {"--colour", "DATA"}, 2, "--colour"},
                      UsageCase{"bad_seed", {"--seed=abc", "DATA"}, 2, "seed"},
                      UsageCase{"unknown_command", {"DATA", "frobnicate"}, 2, "frobnicate"},
                      UsageCase{"option_before_command", {"DATA", "--x=1"}, 2, "must follow"},
                      UsageCase{"unknown_option", {"DATA", "close", "--fast"}, 2, "--fast"},
                      UsageCase{"absent_file", {"/nonexistent/x.txt"}, 1, "x.txt"},
                      UsageCase{"non_integer_option_before_any_work",
                                {"DATA", "combine-loci", "resample-loci", "--permutations=x"},
                                2,
                                "--permutations=x"},
                      UsageCase{"close_works", {"DATA", "close"}, 0, ""}),
    [](const ::testing::TestParamInfo<UsageCase>& info) { return info.param.name; });

TEST(CliHelp, ListsCommandsAndExitsZero) {
  CliResult r = RunCli({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Usage: vireltan-cli"), std::string::npos);
  EXPECT_NE(r.out.find("close"), std::string::npos);
}

TEST_F(CliTest, WarningsGoToStandardErrorOnePerLine) {
  std::string path = dir.file("bad_header.txt");
  testing::WriteTsv(path, {{"9", "", "", "1", "0"}, {"a", "1", "1", "120124"}});
  CliResult r = RunCli({path});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "!!the number of lines in the dataset does not correspond to the number of sampling "
            "units, please check (sampling units: 9 in the header, 1 in the file)\n"
            "ploidy level is not defined, it will be set to 2\n");
}

// The installed program itself, as a user runs it.
TEST_F(CliTest, ExecutableRuns) {
  std::string command = std::string(VIRELTAN_CLI_PATH) + " '" + example + "' 2>&1";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace vireltan
