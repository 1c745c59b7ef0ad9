// SPDX-License-Identifier: GPL-3.0-or-later
// The session on SNP data, as the window drives it: the lineage panel's
// commands run on SNP distances, and every command that needs an allele
// table says so instead of running on an empty one.
#include <gtest/gtest.h>

#include <filesystem>

#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::TempDir;

// The map of SNP data names its clones MLLs once the lineages are counted,
// the same lineages the spatial analyses use.
TEST(SnpSession, TheMapSaysMllOnceLineagesAreCounted) {
  TempDir dir;
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  ASSERT_TRUE(session.SetOutputDirectory(dir.path().string()).ok());
  SnpOpenOptions options;
  options.samplesPath = std::string(VIRELTAN_TEST_DATA_DIR) + "/snp/clonal.samples.csv";
  session.SetSnpOpenOptions(options);
  ASSERT_TRUE(session.Open(std::string(VIRELTAN_TEST_DATA_DIR) + "/snp/clonal.bcf").ok());
  ASSERT_TRUE(session.MlgMap().ok());
  EXPECT_EQ(session.chart(ChartRole::kMap).title.rfind("MLG map", 0), 0u);
  ASSERT_TRUE(session.SnpLineages(Linkage::kFarthest, 0.1).ok());
  ASSERT_TRUE(session.CountLineages(true).ok());
  ASSERT_TRUE(session.MlgMap().ok());
  const ChartData& map = session.chart(ChartRole::kMap);
  EXPECT_EQ(map.title.rfind("MLL map", 0), 0u) << map.title;
  EXPECT_EQ(map.legendTitle, "MLL (units)");
  EXPECT_EQ(map.foot.rfind("Labels: MLL number", 0), 0u) << map.foot;
  const ChartSeries* units = map.series.empty() ? nullptr : &map.series.front();
  ASSERT_NE(units, nullptr);
  // 20 lineages: the eight largest coloured, the others grey.
  ASSERT_FALSE(units->colourLegend.empty());
  EXPECT_LE(units->colourLegend.size(), 9u);
  if (units->colourLegend.size() == 9u) EXPECT_EQ(units->colourLegend.back().text, "other MLLs");
}

TEST(SnpSession, WindowCommandsRunOrRefuseOnSnpData) {
  TempDir dir;
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  ASSERT_TRUE(session.SetOutputDirectory(dir.path().string()).ok());
  SnpOpenOptions options;
  options.samplesPath = std::string(VIRELTAN_TEST_DATA_DIR) + "/snp/clonal.samples.csv";
  session.SetSnpOpenOptions(options);
  ASSERT_TRUE(session.Open(std::string(VIRELTAN_TEST_DATA_DIR) + "/snp/clonal.bcf").ok());
  ASSERT_TRUE(session.hasSnpData());
  // Before the lineages: the exact MLGs, which genotyping error splits.
  const Status subrangeOfMlgs = session.ClonalSubrange(5);
  const Sheet sheetOfMlgs = subrangeOfMlgs ? session.spatialResults.sheet(1) : Sheet();

  // The lineage panel calls Lineages with an allele-table distance kind:
  // on SNP data it groups on the SNP distance (20 true genets).
  ASSERT_TRUE(session.Lineages(MlgDistanceKind::kAllelic, Linkage::kFarthest, 0.1).ok());
  EXPECT_EQ(session.lineages().partition.lineageCount, 20);
  EXPECT_TRUE(session.SuggestLineageThreshold(MlgDistanceKind::kMicrosat).ok());
  EXPECT_TRUE(session.CountLineages(true).ok());
  EXPECT_TRUE(session.Diversity().ok());
  // The population summary counts the lineages; Hexp over the SNPs.
  ASSERT_TRUE(session.PopulationSummary(0, false).ok());
  // The spatial analyses run on the lineages once they are counted.
  ASSERT_TRUE(session.ClonalSubrange(5).ok());
  const Sheet& sheetOfLineages = session.spatialResults.sheet(1);
  EXPECT_TRUE(!subrangeOfMlgs || sheetOfLineages.rows() != sheetOfMlgs.rows());
  EXPECT_TRUE(session.AggregationIndex(99).ok());
  EXPECT_TRUE(session.MlgMap().ok());

  struct Refused {
    const char* what;
    Status status;
    const char* expected;
  };
  const Refused refused[] = {
      {"psex", session.Psex(), "Psex is not available for SNP data"},
      {"resampling", session.ResampleLoci(10), "not available for SNP data yet"},
      {"microsat", session.MicrosatelliteDistances(), "not available for SNP data yet"},
      {"quorvex", session.ExportQuorvex(), "not available for SNP data yet"},
  };
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.what);
    ASSERT_FALSE(r.status.ok());
    EXPECT_NE(r.status.message().find(r.expected), std::string::npos) << r.status.message();
  }
}

}  // namespace
}  // namespace vireltan
