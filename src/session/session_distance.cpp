// SPDX-License-Identifier: GPL-3.0-or-later
// Genotypic distance histograms and the two export formats.
#include <filesystem>

#include "analyses/distance/distance_histogram.h"
#include "analyses/distance/mlg_distance_table.h"
#include "export/arlequin_export.h"
#include "export/population_exports.h"
#include "export/quorvex_export.h"
#include "session/session.h"

namespace vireltan {

namespace {

// The matrix file must never replace the dataset it was computed from.
Status CheckMatrixFilePath(const Session& session, const std::string& path) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec) &&
      std::filesystem::equivalent(path, session.info().dataFilePath, ec))
    return Status::Error("The matrix file \"" + path +
                         "\" is the data file itself: choose another name.");
  return Status::Ok();
}

Status RunDistanceCommand(Session& session, MlgDistanceKind kind, const std::string& matrixFilePath,
                          DistanceMissing missing) {
  if (Status snp = session.RequireOnSnpData(
          kind == MlgDistanceKind::kAllelic ? "allelic-distance" : "microsat-distance");
      !snp)
    return snp;
  const bool allelic = kind == MlgDistanceKind::kAllelic;
  Status allowed =
      session.Require(allelic ? CommandGroup::kAllelicMatrix : CommandGroup::kMicrosatMatrix);
  if (!allowed) return allowed;
  if (!matrixFilePath.empty()) {
    Status safe = CheckMatrixFilePath(session, matrixFilePath);
    if (!safe) return safe;
  }

  // Compute everything aside first: a cancelled or failed run changes
  // neither the charts nor the results.
  MlgDistanceTable table(session.dataset(), session.mlgs(), kind, missing);
  const int classes =
      allelic ? AllelicDistanceClassCount(session.info().locusCount, session.info().ploidy)
              : session.MaxMicrosatDistance();
  DistanceHistogram histogram;
  Status tabulated = TabulateMlgDistances(table, classes, session.progress(), histogram);
  if (!tabulated) return tabulated;
  const bool writeBlock = session.info().mlgCount <= kMaxMlgsInMatrixBlock;
  Sheet block;
  if (writeBlock) BuildMatrixBlock(table, block);
  if (!matrixFilePath.empty()) {
    Status written = WriteDistanceMatrixFile(table, matrixFilePath, session.progress());
    if (!written) return written;
  }

  session.HideCharts();
  const std::string of = ", \"" + session.info().datasetName + "\"";
  if (allelic) {
    ChartData& chart = session.chart(ChartRole::kAllelicHistogram);
    FillAllelicDistanceChart(histogram, chart);
    chart.title = "Allelic distances between MLGs" + of;
  } else {
    ChartData& chart = session.chart(ChartRole::kMicrosatHistogram);
    FillMicrosatDistanceChart(histogram, session.info().ploidy, chart);
    chart.title = "Microsatellite distances between MLGs" + of;
  }
  // Past 254 MLGs the matrix would not fit the 255 columns of a worksheet
  // row: the chart alone is shown and the results log is left as it was.
  if (!writeBlock) return Status::Ok();
  int row = session.NextResultsBlockRow();
  if (session.info().hasMissingData) {
    // A title row naming the rule for missing loci above the matrix.
    Sheet& sheet = session.results.first();
    sheet.SetTextAt(
        row, 1,
        allelic ? "Allelic distances between MLGs" : "Microsatellite distances between MLGs");
    sheet.SetTextAt(row, 2, MissingRuleTitle(missing));
    sheet.SetTextAt(row, 3, MissingPairsTitle(table.pairsWithMissingLocus()));
    ++row;
  }
  session.results.first().CopyBlock(block, 1, 1, block.LastRow(), block.LastCol(), row, 1);
  session.NoteMatrixBlock(row, session.info().mlgCount);
  return session.WriteResultsLog();
}

}  // namespace

Status Session::AllelicDistances(DistanceMissing missing) {
  if (hasSnpData()) return SnpAllelicDistances("");
  return RunDistanceCommand(*this, MlgDistanceKind::kAllelic, "", missing);
}

Status Session::MicrosatelliteDistances(DistanceMissing missing) {
  return RunDistanceCommand(*this, MlgDistanceKind::kMicrosat, "", missing);
}

Status Session::AllelicDistancesWithMatrixFile(const std::string& matrixFilePath,
                                               DistanceMissing missing) {
  if (hasSnpData()) {
    if (Status safe = CheckMatrixFilePath(*this, matrixFilePath); !safe) return safe;
    return SnpAllelicDistances(matrixFilePath);
  }
  return RunDistanceCommand(*this, MlgDistanceKind::kAllelic, matrixFilePath, missing);
}

Status Session::MicrosatelliteDistancesWithMatrixFile(const std::string& matrixFilePath,
                                                      DistanceMissing missing) {
  return RunDistanceCommand(*this, MlgDistanceKind::kMicrosat, matrixFilePath, missing);
}

Status Session::ExportQuorvex() {
  Status allowed = Require(CommandGroup::kDataset);
  if (!allowed) return allowed;
  if (Status range = CheckAlleleRange(dataset(), 100, 999, "Quorvex"); !range) return range;
  HideCharts();
  return WriteQuorvexFile(dataset(), CountedPartition(), info_.datasetName,
                          OutputPath(".quorvex.txt"));
}

Status Session::ExportArlequin() {
  Status allowed = Require(CommandGroup::kDataset);
  if (!allowed) return allowed;
  if (Status range = CheckAlleleRange(dataset(), 100, 999, "Arlequin"); !range) return range;
  HideCharts();
  return WriteArlequinFile(dataset(), CountedPartition(), info_.datasetName,
                           OutputPath(".arlequin.arp"));
}

}  // namespace vireltan
