// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "cli/cli_runner.h"
#include "cli/terminal_progress.h"

namespace vireltan {
namespace {

TEST(CliVersion, PrintsProgramAndVersion) {
  std::ostringstream out, err;
  EXPECT_EQ(cli::Run({"--version"}, out, err), 0);
  EXPECT_TRUE(std::regex_match(out.str(), std::regex("vireltan [0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << out.str();
  EXPECT_EQ(err.str(), "");
}

struct LineCase {
  int percent;
  int seconds;
  const char* expected;
};

TEST(ProgressLine, NamePercentAndElapsedTime) {
  for (const LineCase& c : {LineCase{42, 7, "resample-loci  42%  0:07 elapsed"},
                            LineCase{-1, 125, "resample-loci  2:05 elapsed"},
                            LineCase{100, 3725, "resample-loci  100%  1:02:05 elapsed"},
                            LineCase{130, 0, "resample-loci  100%  0:00 elapsed"}}) {
    EXPECT_EQ(cli::TerminalProgress::LineText("resample-loci", c.percent,
                                              std::chrono::seconds(c.seconds)),
              c.expected);
  }
}

}  // namespace
}  // namespace vireltan
