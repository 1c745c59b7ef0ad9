// SPDX-License-Identifier: GPL-3.0-or-later
// SNP data (VCF, BCF, PLINK): Open, its summary in the results, which
// commands run on it, and the distance command.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <set>

#include "analyses/distance/distance_histogram.h"
#include "analyses/distance/snp_distance_histogram.h"
#include "analyses/snp/call_rates.h"
#include "dataset/dataset_reader.h"
#include "dataset/population_units.h"
#include "dataset/snp/snp_study.h"
#include "export/population_exports.h"
#include "export/vcf_export.h"
#include "session/session.h"
#include "sheet/table_file.h"

namespace vireltan {

namespace {

// The name of a SNP dataset: the file name without its SNP extension
// (".vcf.gz" whole), so that study.vcf.gz, study.bcf and study.bed all
// write study.outvireltan.txt.
std::string SnpDatasetName(const std::string& fileName) {
  std::string lower = fileName;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const char* ext : {".vcf.gz", ".vcf.bgz", ".vcf", ".bcf", ".bed"}) {
    const std::string e = ext;
    if (lower.size() > e.size() && lower.compare(lower.size() - e.size(), e.size(), e) == 0)
      return fileName.substr(0, fileName.size() - e.size());
  }
  return fileName;
}

// The commands that run on SNP data; every other one needs an allele table.
const std::set<std::string>& SnpCommands() {
  static const std::set<std::string> commands = {"allelic-distance",
                                                 "mll",
                                                 "use-lineages",
                                                 "msn",
                                                 "diversity",
                                                 "pareto",
                                                 "export-vcf",
                                                 "map",
                                                 "save-map",
                                                 "save-graph",
                                                 "close",
                                                 "summary",
                                                 "aggregation",
                                                 "edge-effect",
                                                 "subrange",
                                                 "autocorrelation",
                                                 "export-genalex",
                                                 "popgen",
                                                 "fstats",
                                                 "pairwise-fst",
                                                 "hwe",
                                                 "amova",
                                                 "pcoa",
                                                 "ibd",
                                                 "shared-mlgs"};
  return commands;
}

}  // namespace

namespace {

std::string PsexOnSnpData(FrontEnd frontEnd) {
  return std::string(
             "Psex is not available for SNP data: it multiplies the genotype frequencies of every "
             "locus as if the loci were independent, and thousands of linked SNPs are not, so the "
             "probability would be vanishingly small and meaningless. Group the samples into "
             "lineages from their distances instead (") +
         (frontEnd == FrontEnd::kWindow ? "MLG > Multilocus lineages, T from replicates"
                                        : "mll --from-replicates") +
         ").";
}

// The window disables what SNP data do not allow; its words name no
// command.
std::string NotOnSnpData(const std::string& what, FrontEnd frontEnd) {
  const std::string notYet =
      what + " is not available for SNP data yet: it works on allele tables.";
  if (frontEnd == FrontEnd::kWindow) return notYet;
  return notYet +
         " On SNP data: "
         "allelic-distance, mll, use-lineages, msn, diversity, pareto, summary (with Ia, rbarD "
         "and their permutation test), map, aggregation, edge-effect, subrange, autocorrelation "
         "(on the lineages once counted), popgen, fstats, pairwise-fst, hwe, amova, pcoa, ibd, "
         "shared-mlgs, export-vcf and export-genalex.";
}

}  // namespace

bool Session::RunsOnSnpData(const std::string& command) {
  return SnpCommands().count(command) > 0;
}

Status Session::RequireOnSnpData(const std::string& command) const {
  if (!hasSnpData() || SnpCommands().count(command)) return Status::Ok();
  if (command == "psex") return Status::Error(PsexOnSnpData(frontEnd_));
  return Status::Error(NotOnSnpData("'" + command + "'", frontEnd_));
}

Status Session::RequireGroupOnSnpData(CommandGroup group) const {
  switch (group) {
    case CommandGroup::kPsex:
      return Status::Error(PsexOnSnpData(frontEnd_));
    case CommandGroup::kDataset:
      return Status::Error(NotOnSnpData("This command", frontEnd_));
    case CommandGroup::kMicrosatMatrix:
      return Status::Error(NotOnSnpData("The microsatellite distance", frontEnd_));
    default:
      return Status::Ok();
  }
}

Status Session::RequirePopulationGeneticsData() const {
  if (hasSnpData()) return Status::Ok();
  return Require(CommandGroup::kDataset);
}

Status Session::OpenSnp(const std::string& path) {
  std::filesystem::path p(path);
  const std::string fileName = p.filename().string();
  const std::string directory = path.substr(0, path.size() - fileName.size());
  const std::string name = SnpDatasetName(fileName);

  auto loaded = std::make_unique<LoadedData>();
  auto study = std::make_unique<SnpStudy>();
  {
    ProgressPanel panel(progress_);
    Status read = LoadSnpStudy(path, snpOpenOptions_, name, progress_, *study);
    if (!read) return read;
  }
  loaded->dataset = SnpSampleDataset(*study);
  const Dataset& d = loaded->dataset;
  loaded->mlgs = IdentifyPackedMlgs(*study, d);
  const Extents extents = ComputeExtents(d);
  loaded->matrices = PairwiseMatrices(&d, &loaded->mlgs, extents.SpatialDims);
  loaded->snp = std::move(study);
  if (progress_.Cancelled()) return Status::Cancelled();

  // Everything is read: the new dataset replaces the previous one (a file
  // that fails to load keeps it).
  ResetForOpen();
  DatasetInfo& info = info_;
  info.dataFilePath = path;
  info.dataDirectory = directory;
  info.datasetName = name;
  info.outputPrefix = outputDirectory_.empty()
                          ? directory + name
                          : (std::filesystem::path(outputDirectory_) / name).string();
  const SnpStudy& s = *loaded->snp;
  info.unitCount = s.sampleCount();
  info.locusCount = s.locusCount();
  info.ploidy = s.ploidy;
  info.locusNames.clear();
  for (const SnpLocus& l : s.loci)
    info.locusNames.push_back(l.id != "." ? l.id : l.chromosome + ":" + std::to_string(l.position));
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
  info.hasMissingData = false;  // missing calls are expected in SNP data: the distances allow them
  info.unitsWithMissingData = 0;
  info.lociWithMissingData.clear();
  info.oneAllelePairs.clear();
  matricesSheetStage_ = 0;
  loaded_ = std::move(loaded);

  availability_.dataset = true;
  availability_.allelicMatrix = availability_.mlgMenu = true;
  availability_.psex = availability_.microsatMatrix = false;
  availability_.spatialMenu = info.maxX != 999 || info.maxY != 999;

  if (!s.skippedSitesWarning.empty()) messages_.Show(s.skippedSitesWarning);
  if (s.filters.allMissingLoci > 0)
    messages_.Show(std::to_string(s.filters.allMissingLoci) +
                   " SNP(s) without a single call were removed.");
  if (s.replicatePairsLost > 0)
    messages_.Show(std::to_string(s.replicatePairsLost) +
                   " replicate pair(s) of the sample sheet lost a sample to the least call "
                   "rate of a sample (" +
                   InWords("File > Open", "--min-call-rate-sample") + ") and are left out.");

  BuildSnpDataPage();
  WriteMlgSummary();
  WriteSnpSummary();
  if (d.populationsGiven) WriteMlgPopulations(NextResultsBlockRow());
  Status written = WriteResultsLog();
  if (!written && outputDirectory_.empty())
    return Status::Error(written.message() + " Choose another output folder (" +
                         InWords("File > Output folder", "--output-dir on the command line") +
                         ").");
  return written;
}

void Session::WriteSnpSummary() {
  // The block is the same whatever the file format, so that one study
  // written as VCF, BCF or PLINK gives one log.
  const SnpStudy& s = snp();
  const SnpFilterReport& f = s.filters;
  const SnpFilterOptions& o = snpOpenOptions_.filters;
  Sheet& sheet = results.first();
  int row = NextResultsBlockRow();
  sheet.SetTextAt(row, 1, "SNP data");
  sheet.SetTextAt(++row, 1, "samples read");
  sheet.SetNumberAt(row, 2, f.samplesRead);
  sheet.SetTextAt(row, 3, "biallelic SNPs read");
  sheet.SetNumberAt(row, 4, f.lociRead);
  sheet.SetTextAt(row, 5, "ploidy");
  sheet.SetNumberAt(row, 6, s.ploidy);
  // The sites left out, as the message at Open counts them.
  if (const std::int64_t skipped = s.skippedNotBiallelic + s.skippedNotSnp + s.skippedPloidy;
      skipped > 0) {
    sheet.SetTextAt(++row, 1, "sites skipped");
    sheet.SetNumberAt(row, 2, static_cast<double>(skipped));
    sheet.SetTextAt(row, 3, "multi-allelic");
    sheet.SetNumberAt(row, 4, static_cast<double>(s.skippedNotBiallelic));
    sheet.SetTextAt(row, 5, "not a single-base substitution");
    sheet.SetNumberAt(row, 6, static_cast<double>(s.skippedNotSnp));
    sheet.SetTextAt(row, 7, "other ploidy");
    sheet.SetNumberAt(row, 8, static_cast<double>(s.skippedPloidy));
  }
  auto filterRow = [&](const std::string& what, double option, int removed) {
    sheet.SetTextAt(++row, 1, what);
    sheet.SetNumberAt(row, 2, option);
    sheet.SetTextAt(row, 3, "removed");
    sheet.SetNumberAt(row, 4, removed);
  };
  sheet.SetTextAt(++row, 1, "SNPs without calls removed");
  sheet.SetNumberAt(row, 2, f.allMissingLoci);
  filterRow("min call rate per locus", o.minCallRateLocus, f.lowCallRateLoci);
  filterRow("min call rate per sample", o.minCallRateSample, f.lowCallRateSamples);
  for (std::size_t i = 0; i < f.removedSamples.size(); ++i)
    sheet.SetTextAt(row, 5 + static_cast<int>(i), f.removedSamples[i]);
  filterRow("min minor allele frequency", o.minMaf, f.lowMafLoci);

  // Call rates of what is kept.
  const PackedGenotypes& g = s.genotypes;
  const int n = g.sampleCount(), l = g.locusCount();
  std::int64_t missing = 0;
  double lowest = 1;
  int replicates = 0;
  for (int i = 0; i < n; ++i) {
    const std::int64_t m = MissingCallsOf(g, i);
    missing += m;
    lowest = std::min(lowest, 1.0 - static_cast<double>(m) / l);
    if (s.samples.replicateOf[i] >= 0) ++replicates;
  }
  sheet.SetTextAt(++row, 1, "samples");
  sheet.SetNumberAt(row, 2, n);
  sheet.SetTextAt(row, 3, "SNPs");
  sheet.SetNumberAt(row, 4, l);
  sheet.SetTextAt(row, 5, "call rate");
  sheet.SetNumberAt(row, 6, std::round(1e6 * (1.0 - static_cast<double>(missing) / n / l)) / 1e6);
  sheet.SetTextAt(row, 7, "lowest sample call rate");
  sheet.SetNumberAt(row, 8, std::round(1e6 * lowest) / 1e6);
  sheet.SetTextAt(row, 9, "replicate pairs");
  sheet.SetNumberAt(row, 10, replicates);
}

void Session::BuildSnpDataPage() {
  // A grid of 100,000 SNP columns would say nothing: the data page holds
  // the summary, the histogram of sample call rates in classes of 5% (as
  // numbers; the call-rate chart drawn above them, which save-graph writes
  // as .callrate, has classes over the rates met), and one row per sample
  // (name, population, coordinates, call rate).
  const SnpStudy& s = snp();
  const PackedGenotypes& g = s.genotypes;
  const int n = g.sampleCount(), l = g.locusCount();
  const std::vector<double> rate = SampleCallRates(g);
  const std::vector<int> counts = CallRateClassCounts(rate);
  FillCallRateChart(rate, info_.datasetName, chart(ChartRole::kCallRate));
  Sheet page;
  page.SetTextAt(1, 1, "SNP data");
  page.SetTextAt(1, 2, info_.datasetName);
  page.SetTextAt(2, 1, "samples");
  page.SetNumberAt(2, 2, n);
  page.SetTextAt(3, 1, "SNPs");
  page.SetNumberAt(3, 2, l);
  page.SetTextAt(4, 1, "ploidy");
  page.SetNumberAt(4, 2, s.ploidy);
  page.SetTextAt(6, 1, "sample call rate from");
  page.SetTextAt(6, 2, "to");
  page.SetTextAt(6, 3, "samples");
  constexpr int kClasses = kCallRateClasses;
  for (int c = 0; c < kClasses; ++c) {
    page.SetNumberAt(7 + c, 1, static_cast<double>(c) / kClasses);
    page.SetNumberAt(7 + c, 2, static_cast<double>(c + 1) / kClasses);
    page.SetNumberAt(7 + c, 3, counts[c]);
  }
  const int header = 8 + kClasses;
  const char* titles[] = {"sample", "population", "x", "y", "call rate", "replicate of"};
  for (int c = 0; c < 6; ++c) page.SetTextAt(header, c + 1, titles[c]);
  for (int i = 0; i < n; ++i) {
    const int row = header + 1 + i;
    page.SetTextAt(row, 1, s.sampleNames[i]);
    page.SetTextAt(row, 2, s.samples.populationNames[s.samples.populationOfSample[i]]);
    page.SetNumberAt(row, 3, s.samples.x[i]);
    page.SetNumberAt(row, 4, s.samples.y[i]);
    page.SetNumberAt(row, 5, std::round(rate[i] * 1e6) / 1e6);
    if (s.samples.replicateOf[i] >= 0)
      page.SetTextAt(row, 6, s.sampleNames[s.samples.replicateOf[i]]);
  }
  const std::string name = datasetGrid.first().name();
  datasetGrid.first() = std::move(page);
  datasetGrid.first().setName(name);
}

Status Session::SnpDistances(const SnpDistanceMatrix*& matrix) {
  if (!loaded_->snpDistances) {
    std::vector<int> rows = mlgs().representative;
    auto computed = std::make_unique<SnpDistanceMatrix>();
    ProgressPanel panel(progress_);
    if (Status s = ComputeSnpDistances(snp().genotypes, rows, progress_, *computed); !s) return s;
    if (computed->pairsWithoutCommonLoci() > 0)
      messages_.Show(std::to_string(computed->pairsWithoutCommonLoci()) +
                     " pair(s) of MLGs have no locus called in both: their distance is set to 1.");
    loaded_->snpDistances = std::move(computed);
  }
  matrix = loaded_->snpDistances.get();
  return Status::Ok();
}

Status Session::SnpAllelicDistances(const std::string& matrixFilePath) {
  if (Status allowed = Require(CommandGroup::kAllelicMatrix); !allowed) return allowed;
  const SnpDistanceMatrix* matrix = nullptr;
  if (Status s = SnpDistances(matrix); !s) return s;
  const SnpDistanceHistogram histogram = TabulateSnpDistances(*matrix);
  const bool writeBlock = info_.mlgCount <= kMaxMlgsInMatrixBlock;
  Sheet block;
  if (writeBlock) BuildMatrixBlock(*matrix, block);
  if (!matrixFilePath.empty()) {
    ProgressPanel panel(progress_);
    if (Status w = WriteDistanceMatrixFile(*matrix, matrixFilePath, progress_); !w) return w;
  }
  std::vector<double> replicateDistances;
  const std::vector<int>& partner = snp().samples.replicateOf;
  for (std::size_t i = 0; i < partner.size(); ++i)
    if (partner[i] >= 0)
      replicateDistances.push_back(matrix->Distance(mlgs().mlgOfSu[i], mlgs().mlgOfSu[partner[i]]));
  HideCharts();
  ChartData& chart = this->chart(ChartRole::kAllelicHistogram);
  FillSnpDistanceChart(histogram, replicateDistances, -1, chart);
  chart.title = "SNP distances between MLGs, \"" + info_.datasetName + "\"";
  if (!writeBlock) return Status::Ok();
  results.first().CopyBlock(block, 1, 1, block.LastRow(), block.LastCol(), NextResultsBlockRow(),
                            1);
  return WriteResultsLog();
}

Status Session::ExportSnpVcf(bool cloneCorrect) {
  if (!hasSnpData())
    return Status::Error(std::string(InWords("Format > VCF", "export-vcf")) +
                         " writes SNP data: open a VCF, BCF or PLINK file first.");
  // Never named like the data file (study.vcf): the export would replace it.
  const std::string path = OutputPath(cloneCorrect ? ".clonecorrected.vcf" : ".all.vcf");
  std::error_code ec;
  if (std::filesystem::exists(path, ec) &&
      std::filesystem::equivalent(path, info_.dataFilePath, ec))
    return Status::Error("The export \"" + path + "\" would replace the data file: rename it.");
  HideCharts();
  return WriteSnpVcf(snp(), UnitsToExport(dataset(), CountedPartition(), cloneCorrect),
                     info_.datasetName, path);
}

}  // namespace vireltan
