// SPDX-License-Identifier: GPL-3.0-or-later
// Commands of several phases (a summary then a test per population, a
// histogram then a suggestion) report one forward bar: the percentages a
// command reports never go back, whatever each phase reports of its own.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <vector>

#include "common/progress_sink.h"
#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

namespace fs = std::filesystem;

// Every percentage reported, and how often the panel was shown.
class RecordingProgress : public ProgressSink {
 public:
  void Begin() override { ++begins; }
  void SetPosition(int percent) override { positions.push_back(percent); }
  std::vector<int> positions;
  int begins = 0;
};

TEST(ProgressRangeTest, PhasesLaidEndToEndByTheirWeights) {
  RecordingProgress bar;
  const std::array<int, 3> weights = {1, 0, 3};
  {
    ProgressRange first = ProgressRange::Share(bar, 0, weights, 20, 100);
    first.SetPosition(0);
    first.SetPosition(100);
    ProgressRange empty = ProgressRange::Share(bar, 1, weights, 20, 100);
    empty.SetPosition(50);
    ProgressRange last = ProgressRange::Share(bar, 2, weights, 20, 100);
    last.SetPosition(50);
    last.SetPosition(150);  // beyond its end: held at it
  }
  EXPECT_EQ(bar.positions, (std::vector<int>{20, 40, 40, 70, 100}));
  // A phase neither shows nor hides the panel, and stops with the command.
  ProgressRange phase(bar, 0, 50);
  phase.Begin();
  EXPECT_EQ(bar.begins, 0);
  bar.RequestCancel();
  EXPECT_TRUE(phase.Cancelled());
}

struct MultiPhaseCase {
  const char* name;
  const char* data;  // in tests/data
  bool populations;  // the colonies of the cats as populations
  std::function<Status(Session&)> run;
};

TEST(ProgressPhasesTest, MultiPhaseCommandsOnlyMoveForward) {
  const MultiPhaseCase cases[] = {
      {"test of clonality, alleles permuted", "nancycats_colonies.txt", true,
       [](Session& s) { return s.PopulationSummaryTest(0, false, 19); }},
      {"test of clonality, genotypes permuted", "nancycats_colonies.txt", true,
       [](Session& s) {
         return s.PopulationSummaryTest(0, true, 19, false, IaMissing::kPoppr, IaNull::kGenotypes);
       }},
      {"threshold suggestion", "monilinia_haploid.txt", false,
       [](Session& s) { return s.SuggestLineageThreshold(MlgDistanceKind::kAllelic); }},
  };
  for (const MultiPhaseCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    fs::copy_file(fs::path(VIRELTAN_TEST_DATA_DIR) / c.data, dir.path() / c.data);
    RecordingMessageSink messages;
    RecordingProgress progress;
    Session session(messages, progress);
    ASSERT_TRUE(session.Open(dir.file(c.data)).ok());
    if (c.populations)
      ASSERT_TRUE(session
                      .LoadPopulations(std::string(VIRELTAN_TEST_DATA_DIR) +
                                       "/peers/popgen/nancycats_colonies.populations.txt")
                      .ok());
    progress.positions.clear();
    progress.begins = 0;
    ASSERT_TRUE(c.run(session).ok());
    ASSERT_FALSE(progress.positions.empty());
    EXPECT_EQ(progress.begins, 1) << "the panel is shown once per command";
    for (std::size_t i = 1; i < progress.positions.size(); ++i)
      ASSERT_LE(progress.positions[i - 1], progress.positions[i])
          << "went back at report " << i << " of " << progress.positions.size();
    // The last phase was reached (the suggestion itself reports no steps).
    EXPECT_GE(progress.positions.back(), 50);
  }
}

}  // namespace
}  // namespace vireltan
