#include "session/session.h"

#include <filesystem>

#include "dataset/dataset_reader.h"
#include "dataset/mlg_identification.h"
#include "sheet/table_file.h"

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
  if (availability_.allows(group)) return Status::Ok();
  if (!availability_.dataset) return Status::Error("No dataset is loaded: open a data file first.");
  switch (group) {
    case CommandGroup::kSpatialMenu:
      return Status::Error(
          "The dataset has no coordinates (999 in every x and y cell): the spatial commands are "
          "not available.");
    default:
      return Status::Error(
          "The dataset has missing data: Psex, the distance matrices and the MLG menu are not "
          "available.");
  }
}

Status Session::Report(Status status) {
  if (!status.ok() && !status.cancelled()) messages_.Show(status.message());
  return status;
}

void Session::ResetForOpen() {
  for (auto& c : charts) c.clearSeries();
  HideCharts();
  chart(2).title.clear();
  chart(2).subtitle.clear();
  chart(2).foot.clear();
  Chart3ShowsCombiInd = Chart3ShowsCombiLoc = Chart3ShowsResampInd = Chart3ShowsResampLoc = false;
  results.Reset();
  userswindow.Reset();
  autocorr.Reset();
  OneAllelePairs.clear();
  LocusHnb.clear();
  LocusHobs.clear();
  LocusFis.clear();
  SameMlgPairCount = 0;
  loaded_.reset();
  availability_ = CommandAvailability();
}

Status Session::Open(const std::string& path) {
  ResetForOpen();
  DatasetLoaded = true;

  Book file;
  std::vector<std::string> readWarnings;
  Status read = ReadTableFile(path, file, nullptr, &readWarnings);
  if (!read) return read;
  // A front end may run Open off its own thread (a large or hostile file
  // takes seconds to read and check); Cancel is polled between the steps.
  if (progress_.Cancelled()) return Status::Cancelled();
  auto loaded = std::make_unique<LoadedData>();
  DatasetReadReport report;
  Status parsed = ReadDataset(file.first(), path, loaded->dataset, report);
  if (!parsed) return parsed;
  if (progress_.Cancelled()) return Status::Cancelled();

  const Dataset& d = loaded->dataset;
  loaded->mlgs = IdentifyMlgs(d);
  Extents extents = ComputeExtents(d);
  loaded->matrices = PairwiseMatrices(&d, &loaded->mlgs, extents.SpatialDims);
  MlgPairScan scan = ScanMlgPairs(d, loaded->mlgs);
  if (progress_.Cancelled()) return Status::Cancelled();

  // Everything is computed: the new dataset replaces the previous one.
  DataFilePath = path;
  SplitDataPath(path, DataDirectory, DatasetName, OutputPrefix);
  if (!outputDirectory_.empty())
    OutputPrefix = (std::filesystem::path(outputDirectory_) / DatasetName).string();
  SampleCount = d.sampleCount;
  LocusCount = d.locusCount;
  Ploidy = d.ploidy;
  LocusNames = d.locusNames;
  FirstAlleleColumn = 5;
  MinX = extents.MinX;
  MaxX = extents.MaxX;
  MinY = extents.MinY;
  MaxY = extents.MaxY;
  HalfRangeX = extents.HalfRangeX;
  HalfRangeY = extents.HalfRangeY;
  SpatialDims = extents.SpatialDims;
  MlgCount = loaded->mlgs.mlgCount;
  SameMlgPairCount = CountSameMlgPairs(loaded->mlgs);
  MaxMicrosatDistance = scan.maxMicrosatDistance;
  MatricesSheetStage = 0;
  HasMissingData = d.hasMissingData;
  OneAllelePairs = std::move(scan.oneAllelePairs);
  loaded_ = std::move(loaded);

  // The grid the user sees: the file as read, without its header row.
  Sheet& grid = userswindow.first();
  grid.CopyBlock(file.first(), 2, 1, file.first().LastRow(), file.first().LastCol(), 1, 1);
  grid.SetColumnHeading(1, "individu");
  grid.SetColumnHeading(2, "coord. x");
  grid.SetColumnHeading(3, "coord. y");
  for (int k = 1; k <= LocusCount; ++k) grid.SetColumnHeading(3 + k, LocusNames[k - 1]);

  availability_.dataset = true;
  bool complete = !HasMissingData;
  availability_.psex = availability_.allelicMatrix = availability_.microsatMatrix =
      availability_.mlgMenu = complete;
  availability_.spatialMenu = MaxX != 999 || MaxY != 999;

  for (const std::string& warning : readWarnings) messages_.Show(warning);
  for (const std::string& warning : report.warnings) messages_.Show(warning);

  WriteMlgSummary();
  WriteOneAlleleListing();
  Status written = WriteResultsLog();
  if (!written && outputDirectory_.empty())
    return Status::Error(written.message() +
                         " Choose another output folder (--output-dir on the command line).");
  return written;
}

Status Session::SetOutputDirectory(const std::string& directory) {
  if (!directory.empty()) {
    std::error_code ec;
    if (!std::filesystem::is_directory(directory, ec))
      return Status::Error("The output folder \"" + directory + "\" does not exist.");
  }
  outputDirectory_ = directory;
  if (!DataFilePath.empty()) {
    OutputPrefix = directory.empty() ? DataDirectory + DatasetName
                                     : (std::filesystem::path(directory) / DatasetName).string();
  }
  return Status::Ok();
}

void Session::WriteMlgSummary() {
  Sheet& sheet = results.first();
  const Dataset& d = dataset();
  const MlgPartition& p = mlgs();
  sheet.SetTextAt(1, 1, DatasetName);
  sheet.SetTextAt(2, 1, "Distinct MLG designation");
  sheet.SetTextAt(2, 2, "sampling unit designation");
  // One row per MLG: its number, then the designations of its SUs in the
  // order of the genotype-key sort.
  std::vector<int> column(MlgCount, 1);
  for (int su : p.keyOrder) {
    int m = p.mlgOfSu[su];
    int row = m + 2;
    if (column[m - 1] == 1) sheet.SetNumberAt(row, 1, m);
    sheet.SetTextAt(row, ++column[m - 1], d.designationText(su));
  }
  ResultsRow = sheet.LastRow();
  int row = ResultsRow + 2;
  sheet.SetTextAt(row, 1, "G (richness)");
  sheet.SetNumberAt(row, 2, MlgCount);
  sheet.SetTextAt(row, 3, "R [(G-1)/(N-1)]");
  // R is undefined for a single sampling unit: the cell stays empty.
  if (SampleCount > 1)
    sheet.SetNumberAt(row, 4, static_cast<double>(MlgCount - 1) / (SampleCount - 1));
}

void Session::WriteOneAlleleListing() {
  if (OneAllelePairs.empty()) return;
  Sheet& sheet = results.first();
  int header = sheet.LastRow() + 2;
  sheet.SetTextAt(header, 1, "MLGs distant");
  sheet.SetTextAt(header, 2, "1 allele");
  sheet.SetTextAt(header, 3, "scoring error?");
  sheet.SetTextAt(header, 4, "somatic mutation?");
  ResultsRow = header;
  int p = 0;
  for (const auto& [j, k] : OneAllelePairs) {
    ++p;
    int row = ResultsRow + 2 + p;
    sheet.SetTextAt(row, 1, "MLGs");
    sheet.SetNumberAt(row, 2, j);
    sheet.SetNumberAt(row, 3, k);
  }
}

Status Session::WriteResultsLog() {
  return WriteTableFile(results, ResultsLogPath(), FileType::kTextTable);
}

Status Session::SaveSpatialWorkbook() {
  return WriteTableFile(autocorr, SpatialWorkbookPath(), FileType::kXlsxWorkbook);
}

std::string Session::UniqueSpatialSheetName(const std::string& base) const {
  if (!autocorr.HasSheetNamed(base)) return base;
  for (int n = 2;; ++n) {
    std::string candidate = base + " (" + std::to_string(n) + ")";
    if (!autocorr.HasSheetNamed(candidate)) return candidate;
  }
}

Status Session::Close() {
  for (auto& c : charts) c.clearSeries();
  HideCharts();
  // The log is written only while a dataset is open: a second Close would
  // otherwise overwrite the log of the last analyses with an empty file.
  Status written = Status::Ok();
  if (hasData()) written = WriteResultsLog();
  results.Reset();
  userswindow.Reset();
  loaded_.reset();
  availability_ = CommandAvailability();
  return written;
}

Status Session::Quit() {
  HideCharts();
  if (!hasData()) return Status::Ok();
  return WriteResultsLog();
}

}  // namespace vireltan
