// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/session.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "analyses/distance/mlg_distance_table.h"
#include "dataset/data_file.h"
#include "dataset/dataset_reader.h"
#include "dataset/mlg_identification.h"
#include "dataset/one_allele_pairs.h"
#include "numeric/rounding.h"
#include "sheet/atomic_file.h"
#include "sheet/table_file.h"
#include "sheet/text_table_writer.h"

namespace vireltan {

namespace {

// Splits a chosen path into directory (with its separator), name without
// extension and the prefix of every output file. The extension is the part
// from the last dot of the file name, dot included.
void SplitDataPath(const std::string& path, std::string& directory, std::string& name,
                   std::string& prefix) {
  std::filesystem::path p(path);
  std::string fileName = p.filename().string();
  directory = path.substr(0, path.size() - fileName.size());
  size_t dot = fileName.rfind('.');
  name = dot == std::string::npos ? fileName : fileName.substr(0, dot);
  prefix = directory + name;
}

}  // namespace

Session::Session(MessageSink& messages, ProgressSink& progress)
    : messages_(messages), progress_(progress) {}

RandomGenerator Session::NewGenerator() const {
  return seed_ ? RandomGenerator(*seed_) : RandomGenerator::FromClock();
}

std::uint32_t Session::NewRunSeed() const {
  return seed_ ? *seed_ : RandomGenerator::FromClock().state();
}

Status Session::Require(CommandGroup group) const {
  if (hasSnpData())
    if (Status snp = RequireGroupOnSnpData(group); !snp) return snp;
  if (availability_.allows(group)) return Status::Ok();
  if (!availability_.dataset) return Status::Error("No dataset is loaded: open a data file first.");
  switch (group) {
    case CommandGroup::kSpatialMenu:
      return Status::Error(
          "The dataset has no coordinates (999 in every x and y cell): the spatial commands are "
          "not available.");
    default:
      return Status::Error(
          "The dataset has missing data: Psex, the diversity indices and the Pareto "
          "distribution are not available.");
  }
}

Status Session::Report(Status status) {
  if (!status.ok() && !status.cancelled()) messages_.Show(status.message());
  return status;
}

void Session::ResetCharts() {
  for (ChartData& c : charts_) c.clearSeries();
  HideCharts();
  effortCurve_ = EffortCurve::kNone;
  chartsToSave_.clear();
  savedMap_.reset();
  networkToSave_ = false;
  heatMapToSave_ = false;
  pairwiseFstChart_ = {};
  associationToSave_ = false;
}

void Session::ResetForOpen() {
  ResetCharts();
  // SNP data draw their distance histogram with axes of their own.
  chart(ChartRole::kAllelicHistogram) =
      MakeDefaultCharts()[static_cast<int>(ChartRole::kAllelicHistogram)];
  ChartData& pareto = chart(ChartRole::kPareto);
  pareto.title.clear();
  pareto.subtitle.clear();
  pareto.foot.clear();
  results.Reset();
  matrixBlocks_.clear();
  datasetGrid.Reset();
  spatialResults.Reset();
  spatialSideFiles_.clear();
  info_.oneAllelePairs.clear();
  LocusHnb.clear();
  LocusHobs.clear();
  LocusFis.clear();
  info_.sameMlgPairCount = 0;
  loaded_.reset();
  availability_ = CommandAvailability();
  lineages_ = LineageState();
  associationCharts_.clear();
  associationSuffixes_.clear();
}

Status Session::Open(const std::string& path) {
  // The file is read and its MLGs found before anything of the loaded
  // dataset is touched: a file that fails to load (or a cancelled load)
  // keeps the dataset, its results and its charts.
  info_.openAttempted = true;
  if (IsSnpDataPath(path)) return OpenSnp(path);

  std::string directory, name, prefix;
  SplitDataPath(path, directory, name, prefix);
  LoadedFile file;
  auto loaded = std::make_unique<LoadedData>();
  DatasetReadReport report;
  Status parsed = LoadDataFile(path, name, loaded->dataset, report, file, &progress_);
  if (!parsed) return parsed;
  if (progress_.Cancelled()) return Status::Cancelled();

  const Dataset& d = loaded->dataset;
  loaded->mlgs = IdentifyMlgs(d);
  if (progress_.Cancelled()) return Status::Cancelled();
  Extents extents = ComputeExtents(d);
  loaded->matrices = PairwiseMatrices(&d, &loaded->mlgs, extents.SpatialDims);
  std::vector<std::pair<int, int>> oneAllelePairs = FindOneAllelePairs(d, loaded->mlgs);
  if (progress_.Cancelled()) return Status::Cancelled();

  // Everything is computed: the new dataset replaces the previous one.
  ResetForOpen();
  DatasetInfo& info = info_;
  info.dataFilePath = path;
  SplitDataPath(path, info.dataDirectory, info.datasetName, info.outputPrefix);
  if (!outputDirectory_.empty())
    info.outputPrefix = (std::filesystem::path(outputDirectory_) / info.datasetName).string();
  info.unitCount = d.sampleCount;
  info.locusCount = d.locusCount;
  info.ploidy = d.ploidy;
  info.locusNames = d.locusNames;
  info.firstAlleleColumn = 5;
  info.minX = extents.MinX;
  info.maxX = extents.MaxX;
  info.minY = extents.MinY;
  info.maxY = extents.MaxY;
  info.halfRangeX = extents.HalfRangeX;
  info.halfRangeY = extents.HalfRangeY;
  info.spatialDims = extents.SpatialDims;
  info.mlgCount = loaded->mlgs.mlgCount;
  info.sameMlgPairCount = CountSameMlgPairs(loaded->mlgs);
  info.maxMicrosatDistance = -1;
  info.hasMissingData = d.hasMissingData;
  info.unitsWithMissingData = 0;
  info.lociWithMissingData.clear();
  if (d.hasMissingData) {
    std::vector<bool> locusMissing(static_cast<size_t>(d.locusCount), false);
    for (int su = 0; su < d.sampleCount; ++su) {
      bool any = false;
      for (int k = 0; k < d.locusCount; ++k) {
        const Allele* a = d.allelesOf(su) + 2 * k;
        if (a[0] == kMissingAllele || a[1] == kMissingAllele) any = locusMissing[k] = true;
      }
      if (any) ++info.unitsWithMissingData;
    }
    for (int k = 0; k < d.locusCount; ++k)
      if (locusMissing[k]) info.lociWithMissingData.push_back(d.locusNames[k]);
  }
  info.oneAllelePairs = std::move(oneAllelePairs);
  matricesSheetStage_ = 0;
  loaded_ = std::move(loaded);

  // The grid the user sees: the file as read, without its header row.
  // (GenAlEx and Genepop files: the units as the native layout holds them),
  // with the population of each unit in the last column.
  std::string gridName = datasetGrid.first().name();
  datasetGrid.first() = BuildDatasetGrid(d, file);
  datasetGrid.first().setName(gridName);

  availability_.dataset = true;
  bool complete = !info.hasMissingData;
  // The distances leave out loci missing in either genotype (and scale to
  // all loci, unless poppr's rule is asked for), so the distance commands,
  // lineages and the network run on incomplete data too.
  availability_.allelicMatrix = availability_.microsatMatrix = true;
  availability_.psex = availability_.mlgMenu = complete;
  availability_.spatialMenu = info.maxX != 999 || info.maxY != 999;

  for (const std::string& warning : file.readWarnings) messages_.Show(warning);
  for (const std::string& warning : report.warnings) {
    if (warning != kMissingDataWarning) {
      messages_.Show(warning);
      continue;
    }
    // Which units and loci: the user can then mend the file.
    std::string loci;
    for (const std::string& name : info.lociWithMissingData)
      loci += (loci.empty() ? "" : ", ") + name;
    messages_.Show("!!Missing data: " + std::to_string(info.unitsWithMissingData) +
                   " sampling unit(s) lack an allele at one locus or more (loci: " + loci +
                   "). MLG membership might be wrong; Psex, the diversity indices and the "
                   "Pareto distribution are not available. The distances, lineages and the "
                   "network use the loci typed in both units.");
  }

  WriteMlgSummary();
  WriteOneAlleleListing();
  if (d.populationsGiven) WriteMlgPopulations(NextResultsBlockRow());
  Status written = WriteResultsLog();
  if (!written && outputDirectory_.empty())
    return Status::Error(written.message() + " Choose another output folder (" +
                         InWords("File > Output folder", "--output-dir on the command line") +
                         ").");
  return written;
}

Status Session::SetOutputDirectory(const std::string& directory) {
  if (!directory.empty()) {
    std::error_code ec;
    const auto status = std::filesystem::status(directory, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_directory(status))
      return Status::Error("The output folder \"" + directory + "\" is not a folder but a file.");
    if (!std::filesystem::is_directory(status))
      return Status::Error("The output folder \"" + directory + "\" does not exist.");
  }
  outputDirectory_ = directory;
  if (!info_.dataFilePath.empty()) {
    info_.outputPrefix = directory.empty()
                             ? info_.dataDirectory + info_.datasetName
                             : (std::filesystem::path(directory) / info_.datasetName).string();
  }
  return Status::Ok();
}

void Session::WriteMlgSummary() {
  Sheet& sheet = results.first();
  const Dataset& d = dataset();
  const MlgPartition& p = mlgs();
  const int mlgCount = info_.mlgCount;
  sheet.SetTextAt(1, 1, info_.datasetName);
  sheet.SetTextAt(2, 1, "Distinct MLG designation");
  sheet.SetTextAt(2, 2, "sampling unit designation");
  // One row per MLG: its number, then the designations of its SUs in the
  // order of the genotype-key sort.
  std::vector<int> column(mlgCount, 1);
  for (int su : p.keyOrder) {
    int m = p.mlgOfSu[su];
    int row = m + 2;
    if (column[m - 1] == 1) sheet.SetNumberAt(row, 1, m);
    sheet.SetTextAt(row, ++column[m - 1], d.designationText(su));
  }
  lastBlockRow_ = sheet.LastRow();
  int row = lastBlockRow_ + 2;
  sheet.SetTextAt(row, 1, "G (richness)");
  sheet.SetNumberAt(row, 2, mlgCount);
  sheet.SetTextAt(row, 3, "R [(G-1)/(N-1)]");
  // R is undefined for a single sampling unit: the cell stays empty.
  if (info_.unitCount > 1)
    sheet.SetNumberAt(row, 4, static_cast<double>(mlgCount - 1) / (info_.unitCount - 1));
}

void Session::WriteOneAlleleListing() {
  if (info_.oneAllelePairs.empty()) return;
  Sheet& sheet = results.first();
  int header = sheet.LastRow() + 2;
  sheet.SetTextAt(header, 1, "MLGs distant");
  sheet.SetTextAt(header, 2, "1 allele");
  sheet.SetTextAt(header, 3, "scoring error?");
  sheet.SetTextAt(header, 4, "somatic mutation?");
  lastBlockRow_ = header;
  int p = 0;
  for (const auto& [j, k] : info_.oneAllelePairs) {
    ++p;
    int row = lastBlockRow_ + 2 + p;
    sheet.SetTextAt(row, 1, "MLGs");
    sheet.SetNumberAt(row, 2, j);
    sheet.SetNumberAt(row, 3, k);
  }
}

int Session::MaxMicrosatDistance() {
  if (info_.maxMicrosatDistance < 0 && hasData()) {
    if (info_.hasMissingData) {
      // Scaled distances: the largest one met, rounded as the histogram
      // rounds (one more pass over the G(G-1)/2 pairs).
      MlgDistanceTable table(dataset(), mlgs(), MlgDistanceKind::kMicrosat);
      std::vector<double> row(static_cast<size_t>(info_.mlgCount), 0.0);
      long long largest = 0;
      for (int j = 1; j < info_.mlgCount; ++j) {
        table.FillRow(j, j + 1, row);
        for (int k = j + 1; k <= info_.mlgCount; ++k)
          largest = std::max(largest, RoundHalfEven(row[k - 1]));
      }
      info_.maxMicrosatDistance = static_cast<int>(largest);
    } else {
      info_.maxMicrosatDistance = vireltan::MaxMicrosatDistance(dataset(), mlgs());
    }
  }
  return info_.maxMicrosatDistance;
}

Status Session::WriteResultsLog() {
  const std::string path = ResultsLogPath();
  std::error_code ec;
  std::string key = std::filesystem::absolute(path, ec).lexically_normal().string();
  if (ec) key = path;
  if (!resultsLogsWritten_.contains(key)) {
    // A log from an earlier run: its results stay, under a dated name.
    std::string kept;
    if (Status status = KeepWithModificationTime(path, kept); !status)
      return Status::Error(status.message() +
                           " The results log from an earlier run could not be kept under "
                           "another name, so it was not replaced.");
    if (!kept.empty()) {
      messages_.Note("The results log from an earlier run, \"" + path + "\", was kept as \"" +
                     kept + "\"; the results of this session go to a new log.");
    }
  }
  Status written = WriteTableFile(results, path, FileType::kTextTable);
  if (written) resultsLogsWritten_.insert(key);
  return written;
}

std::string Session::SpatialSideFilePath(const std::string& sheetName) const {
  // Letters and digits kept, every other run of characters one "_".
  std::string name;
  for (unsigned char c : sheetName) {
    if (std::isalnum(c) || c >= 0x80)
      name += static_cast<char>(c);
    else if (!name.empty() && name.back() != '_')
      name += '_';
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  if (name.empty()) name = "sheet";
  return info_.outputPrefix + "." + name + ".csv";
}

Status Session::SaveSpatialWorkbook() {
  // The workbook in memory starts with an empty sheet that the results push
  // back; the file holds the results only.
  Book saved = spatialResults;
  for (int i = saved.NumSheets(); i >= 1 && saved.NumSheets() > 1; --i)
    if (saved.sheet(i).LastRow() == 0 && saved.sheet(i).LastCol() == 0) saved.DeleteSheets(i, 1);
  // A table no workbook sheet can hold (the allele frequencies of more
  // than 16,383 SNPs side by side) goes to a CSV file of its own; the sheet
  // keeps a note where the table would be. The CSV is written first: the
  // workbook never names a file that is not there.
  std::vector<std::string> written;
  std::map<std::string, std::pair<int, int>> sideFiles;
  for (int i = 1; i <= saved.NumSheets(); ++i) {
    Sheet& sheet = saved.sheet(i);
    if (FitsXlsxSheet(sheet)) continue;
    const std::string name = saved.SheetName(i);
    const std::string path = SpatialSideFilePath(name);
    const std::pair<int, int> size{sheet.LastRow(), sheet.LastCol()};
    if (spatialSideFiles_.count(name) == 0 || spatialSideFiles_[name] != size) {
      if (Status csv = WriteCsvTable(sheet, path); !csv) return csv;
      written.push_back(path);
    }
    sideFiles[name] = size;
    const std::string file = std::filesystem::path(path).filename().string();
    const std::string where =
        "This table (" + std::to_string(size.first) + " rows, " + std::to_string(size.second) +
        " columns) is larger than a workbook sheet holds (" + std::to_string(kXlsxMaxRows) +
        " rows, " + std::to_string(kXlsxMaxColumns) + " columns): it is in the file \"" + file +
        "\" beside this workbook.";
    sheet = Sheet();
    sheet.SetTextAt(1, 1, where);
  }
  if (Status s = WriteTableFile(saved, SpatialWorkbookPath(), FileType::kXlsxWorkbook); !s)
    return s;
  spatialSideFiles_ = std::move(sideFiles);
  for (const std::string& path : written)
    messages_.Show(
        "A table of the spatial results is larger than a workbook sheet holds: it is "
        "written as \"" +
        path + "\" beside the workbook \"" + SpatialWorkbookPath() + "\", whose sheet says so.");
  return Status::Ok();
}

std::string Session::UniqueSpatialSheetName(const std::string& base) const {
  if (!spatialResults.HasSheetNamed(base)) return base;
  for (int n = 2;; ++n) {
    std::string candidate = base + " (" + std::to_string(n) + ")";
    if (!spatialResults.HasSheetNamed(candidate)) return candidate;
  }
}

Status Session::Close() {
  ResetCharts();
  // The log is written only while a dataset is open: a second Close would
  // otherwise overwrite the log of the last analyses with an empty file.
  Status written = Status::Ok();
  if (hasData()) written = WriteResultsLog();
  results.Reset();
  matrixBlocks_.clear();
  datasetGrid.Reset();
  // The spatial workbook is on disk already; its sheets leave the screen.
  spatialResults.Reset();
  spatialSideFiles_.clear();
  loaded_.reset();
  availability_ = CommandAvailability();
  lineages_ = LineageState();
  return written;
}

Status Session::Quit() {
  HideCharts();
  if (!hasData()) return Status::Ok();
  return WriteResultsLog();
}

}  // namespace vireltan
