// SPDX-License-Identifier: GPL-3.0-or-later
// SNP data through Format > GenAlEx and the spatial autocorrelation: the
// exported table read back by the program's own GenAlEx reader is the same
// data (MLGs, Hexp, populations, coordinates), and the autocorrelation on
// the packed calls equals the one on that table opened as an allele table.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <numeric>

#include "analyses/clonality/population_summary.h"
#include "analyses/clonality/snp_gene_diversity.h"
#include "dataset/genalex_reader.h"
#include "dataset/mlg_identification.h"
#include "session/session.h"
#include "sheet/table_file.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::TempDir;

const std::string kData = std::string(VIRELTAN_TEST_DATA_DIR) + "/snp/";

void OpenSnp(Session& session, const std::string& outputDir) {
  ASSERT_TRUE(session.SetOutputDirectory(outputDir).ok());
  SnpOpenOptions options;
  options.samplesPath = kData + "clonal.samples.csv";
  session.SetSnpOpenOptions(options);
  const Status s = session.Open(kData + "clonal.bcf");
  ASSERT_TRUE(s.ok()) << s.message();
}

Dataset ReadBack(const std::string& path) {
  Book book;
  Dataset d;
  const Status read = ReadTableFile(path, book);
  EXPECT_TRUE(read.ok()) << read.message();
  EXPECT_TRUE(LooksLikeGenAlEx(book.first()));
  DatasetReadReport report;
  const Status s = ReadGenAlEx(book.first(), path, d, report);
  EXPECT_TRUE(s.ok()) << s.message();
  return d;
}

TEST(SnpGenAlEx, RoundTripGivesTheSameMlgsAndHexp) {
  TempDir dir;
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  OpenSnp(session, dir.path().string());
  ASSERT_TRUE(session.ExportGenAlEx(false).ok());
  const Dataset back = ReadBack((dir.path() / "clonal.genalex.csv").string());
  const Dataset& samples = session.dataset();
  ASSERT_EQ(back.sampleCount, samples.sampleCount);
  ASSERT_EQ(back.locusCount, session.snp().locusCount());
  EXPECT_EQ(back.locusNames, session.info().locusNames);
  EXPECT_EQ(back.ploidy % 2, session.snp().ploidy % 2);

  // Units are written grouped by population: matched by name.
  std::map<std::string, int> row;
  for (int i = 0; i < back.sampleCount; ++i) row[back.designationText(i)] = i;
  ASSERT_EQ(row.size(), static_cast<size_t>(samples.sampleCount));
  const MlgPartition backMlgs = IdentifyMlgs(back);
  const MlgPartition& mlgs = session.mlgs();
  EXPECT_EQ(backMlgs.mlgCount, mlgs.mlgCount);
  for (int a = 0; a < samples.sampleCount; ++a) {
    const int ra = row.at(samples.designationText(a));
    EXPECT_EQ(back.x[ra], samples.x[a]);
    EXPECT_EQ(back.y[ra], samples.y[a]);
    EXPECT_EQ(back.populationNames[back.populationOfSu[ra]],
              samples.populationNames[samples.populationOfSu[a]]);
    for (int b = a + 1; b < samples.sampleCount; ++b) {
      const int rb = row.at(samples.designationText(b));
      EXPECT_EQ(backMlgs.mlgOfSu[ra] == backMlgs.mlgOfSu[rb], mlgs.mlgOfSu[a] == mlgs.mlgOfSu[b])
          << a << " " << b;
    }
  }

  // Hexp: the allele-table summary of the table against the mean gene
  // diversity of the packed calls.
  PopulationSummaryOptions options;
  options.withAssociation = false;
  const PopulationSummaryResult summary = SummarisePopulations(back, backMlgs, options);
  std::vector<int> all(samples.sampleCount);
  std::iota(all.begin(), all.end(), 0);
  const std::optional<double> hexp =
      SnpMeanGeneDiversity(session.snp().genotypes, session.snp().ploidy, all);
  ASSERT_TRUE(hexp && summary.rows.back().hexp);
  EXPECT_NEAR(*summary.rows.back().hexp, *hexp, 1e-12);
}

AutocorrelationOptions Options(bool central) {
  AutocorrelationOptions o;
  o.equalCountClasses = true;
  o.classCountText = "5";
  o.permutationsText = "30";
  o.centralCoordinates = central;
  return o;
}

// The SNP session and the allele-table session of its GenAlEx export give
// the same sheet, number by number (same seed).
TEST(SnpAutocorrelationSession, EqualsTheRunOnTheExportedAlleleTable) {
  TempDir dir;
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session snp{messages, progress};
  OpenSnp(snp, dir.path().string());
  ASSERT_TRUE(snp.ExportGenAlEx(false).ok());
  Session table{messages, progress};
  ASSERT_TRUE(table.SetOutputDirectory(dir.path().string()).ok());
  const Status opened = table.Open((dir.path() / "clonal.genalex.csv").string());
  ASSERT_TRUE(opened.ok()) << opened.message();
  ASSERT_FALSE(table.hasSnpData());
  for (bool central : {false, true}) {
    SCOPED_TRACE(central ? "central" : "entire");
    snp.SetSeed(5);
    table.SetSeed(5);
    const Status a = snp.SpatialAutocorrelation(Options(central));
    ASSERT_TRUE(a.ok()) << a.message();
    const Status b = table.SpatialAutocorrelation(Options(central));
    ASSERT_TRUE(b.ok()) << b.message();
    EXPECT_TRUE(snp.chart(ChartRole::kCorrelogram).visible);
    const Sheet& x = snp.spatialResults.sheet(1);
    const Sheet& y = table.spatialResults.sheet(1);
    ASSERT_EQ(x.name(), y.name());
    ASSERT_EQ(x.LastRow(), y.LastRow());
    ASSERT_EQ(x.LastCol(), y.LastCol());
    int numbers = 0;
    for (int r = 2; r <= x.LastRow(); ++r)
      for (int c = 1; c <= x.LastCol(); ++c) {
        if (!x.at(r, c).isNumber()) {
          EXPECT_EQ(x.TextAt(r, c), y.TextAt(r, c)) << r << " " << c;
          continue;
        }
        ASSERT_TRUE(y.at(r, c).isNumber()) << r << " " << c;
        EXPECT_NEAR(x.NumberAt(r, c), y.NumberAt(r, c), 1e-10) << r << " " << c;
        ++numbers;
      }
    EXPECT_GT(numbers, 50);
  }
}

}  // namespace
}  // namespace vireltan
