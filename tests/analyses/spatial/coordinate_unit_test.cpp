// SPDX-License-Identifier: GPL-3.0-or-later
// The unit of the coordinates: set once in the session (or by any spatial
// command's --coordinate-unit=), carried into the distance axis titles, the
// clonal subrange value and notes of the spatial sheets, the existing
// headings left as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli_runner.h"
#include "session/session.h"
#include "sheet/xlsx_reader.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::TempDir;

class CoordinateUnitTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  TempDir dir;
  std::string example;

  void SetUp() override {
    example = dir.file("meadow.txt");
    std::filesystem::copy_file(std::string(VIRELTAN_EXAMPLES_DIR) + "/seagrass_meadow.txt",
                               example);
    session.SetSeed(3);
    ASSERT_TRUE(session.Open(example).ok());
  }
  Status Autocorrelation() {
    AutocorrelationOptions a;
    a.equalCountClasses = true;
    a.classCountText = "4";
    a.permutationsText = "9";
    return session.SpatialAutocorrelation(a);
  }
};

TEST_F(CoordinateUnitTest, WithoutAUnitTheTextsStayAsTheyWere) {
  EXPECT_EQ(session.coordinateUnit(), "");
  ASSERT_TRUE(session.ClonalSubrange(5).ok());
  const ChartData& subrange = session.chart(ChartRole::kSubrange);
  EXPECT_EQ(subrange.bottom.title, "Average distance of the class (coordinate units)");
  EXPECT_NE(subrange.foot.find(" coordinate units"), std::string::npos) << subrange.foot;
  const Sheet& sheet = session.spatialResults.sheet(1);
  EXPECT_EQ(sheet.TextAt(1, 3), "");  // no note
  ASSERT_TRUE(session.MlgMap().ok());
  EXPECT_EQ(session.chart(ChartRole::kMap).bottom.title, "X coordinate");
}

TEST_F(CoordinateUnitTest, TheUnitGoesIntoTitlesTheSubrangeValueAndTheNotes) {
  ASSERT_TRUE(session.SetCoordinateUnit("m").ok());
  ASSERT_TRUE(session.ClonalSubrange(5).ok());
  const ChartData& subrange = session.chart(ChartRole::kSubrange);
  EXPECT_EQ(subrange.bottom.title, "Average distance of the class (m)");
  const std::string& foot = subrange.foot;
  ASSERT_GE(foot.size(), 2u);
  EXPECT_EQ(foot.substr(foot.size() - 2), " m") << foot;
  EXPECT_NE(foot.find("Clonal subrange (largest distance within an MLG): "), std::string::npos);
  // The existing headings untouched; the unit in the title row.
  const Sheet& sheet = session.spatialResults.sheet(1);
  EXPECT_EQ(sheet.TextAt(1, 1), "CLONAL SUBRANGE ");
  EXPECT_EQ(sheet.TextAt(1, 3), "distances in m");
  EXPECT_EQ(sheet.TextAt(2, 1), "clonal subrange");
  EXPECT_EQ(sheet.TextAt(2, 3), "average distance");

  ASSERT_TRUE(Autocorrelation().ok());
  EXPECT_EQ(session.chart(ChartRole::kCorrelogram).bottom.title,
            "Average distance of the class (m)");
  const Sheet& result = session.spatialResults.sheet(1);
  EXPECT_EQ(result.TextAt(1, 2), "AUTOCORRELATION");
  EXPECT_EQ(result.TextAt(1, 4), "distances in m");

  ASSERT_TRUE(session.EdgeEffect(19).ok());
  const Sheet& edge = session.spatialResults.sheet(1);
  EXPECT_EQ(edge.TextAt(2, 1), "Ee");
  EXPECT_EQ(edge.TextAt(2, 3), "Nb perm");
  EXPECT_EQ(edge.TextAt(2, 4), "mean distance to the centre, single-unit MLGs (m)");
  EXPECT_EQ(edge.TextAt(2, 5), "mean distance to the centre, all units (m)");
  EXPECT_GT(edge.NumberAt(3, 5), 0);

  ASSERT_TRUE(session.MlgMap().ok());
  EXPECT_EQ(session.chart(ChartRole::kMap).bottom.title, "X (m)");
  EXPECT_EQ(session.chart(ChartRole::kMap).left.title, "Y (m)");
}

// A unit chosen after the charts are drawn relabels them: the window's
// field and menu item change the figures already on show.
TEST_F(CoordinateUnitTest, ChangingTheUnitRelabelsTheChartsDrawn) {
  ASSERT_TRUE(session.ClonalSubrange(5).ok());
  const std::string footBefore = session.chart(ChartRole::kSubrange).foot;
  ASSERT_TRUE(session.SetCoordinateUnit(" km ").ok());
  EXPECT_EQ(session.coordinateUnit(), "km");
  const ChartData& subrange = session.chart(ChartRole::kSubrange);
  EXPECT_EQ(subrange.bottom.title, "Average distance of the class (km)");
  EXPECT_EQ(
      subrange.foot,
      footBefore.substr(0, footBefore.size() - std::string("coordinate units").size()) + "km");
  // Back to none: "coordinate units" typed is the same as empty.
  ASSERT_TRUE(session.SetCoordinateUnit("coordinate units").ok());
  EXPECT_EQ(session.coordinateUnit(), "");
  EXPECT_EQ(session.chart(ChartRole::kSubrange).foot, footBefore);
}

TEST_F(CoordinateUnitTest, AUnitTooLongOrWithALineBreakIsRefused) {
  ASSERT_TRUE(session.SetCoordinateUnit("m").ok());
  const struct {
    const char* unit;
    const char* says;
  } cases[] = {{"metres metres metres metres", "too long (27 characters)"},
               {"m\nkm", "line break"},
               {"m\tkm", "tab"}};
  for (const auto& c : cases) {
    const Status s = session.SetCoordinateUnit(c.unit);
    EXPECT_FALSE(s.ok()) << c.unit;
    EXPECT_NE(s.message().find(c.says), std::string::npos) << s.message();
    EXPECT_EQ(session.coordinateUnit(), "m") << "a refused unit leaves the unit as it was";
  }
  // Twenty characters of two bytes each are twenty characters.
  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += "\u00b5";
  EXPECT_TRUE(session.SetCoordinateUnit(twenty).ok());
  EXPECT_FALSE(session.SetCoordinateUnit(twenty + "m").ok());
}

// The command line says the same as the session: the option on any spatial
// command sets the unit for it and the commands after it.
TEST_F(CoordinateUnitTest, TheCommandLineWritesWhatTheSessionWrites) {
  ASSERT_TRUE(session.SetCoordinateUnit("m").ok());
  ASSERT_TRUE(session.ClonalSubrange(5).ok());
  const Sheet expected = session.spatialResults.sheet(1);

  TempDir cliDir;
  const std::string data = cliDir.file("meadow.txt");
  std::filesystem::copy_file(example, data);
  std::ostringstream out, err;
  ASSERT_EQ(cli::Run({data, "edge-effect", "--permutations=9", "--coordinate-unit=m", "subrange",
                      "--classes=5"},
                     out, err),
            0)
      << err.str();
  Sheet back;
  ASSERT_TRUE(ReadXlsxWorkbook(cliDir.file("meadow.spatialcomponents.xlsx"), back).ok());
  EXPECT_EQ(back.name(), "clonal subrange");
  EXPECT_EQ(back.TextAt(1, 3), "distances in m");
  EXPECT_DOUBLE_EQ(back.NumberAt(3, 1), expected.NumberAt(3, 1));

  std::ostringstream out2, err2;
  EXPECT_EQ(cli::Run({data, "subrange", "--coordinate-unit=m\tkm"}, out2, err2), 1);
  EXPECT_NE(err2.str().find("tab or a line break"), std::string::npos) << err2.str();
}

}  // namespace
}  // namespace vireltan
