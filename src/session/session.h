// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program-wide state of one run of Vireltan and the commands that act on
// it. The window and the command line both drive one Session: they collect
// options, call a command and show what it returns.
//
// A command reports its messages through the MessageSink, its progress
// through the ProgressSink (whose cancel flag it polls between chunks of
// work), and draws random numbers from generators made by NewGenerator().
// A command that fails or is cancelled leaves no partial output: results
// blocks and files are written only once everything is computed.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "analyses/clonality/association_permutation.h"
#include "analyses/distance/snp_distance.h"
#include "analyses/effort/exhaustive_estimate.h"
#include "analyses/lineages/spanning_network.h"
#include "analyses/popgen/allele_count_table.h"
#include "analyses/spatial/autocorrelation_options.h"
#include "charts/chart_data.h"
#include "charts/chart_renderer.h"
#include "charts/heat_map_chart.h"
#include "common/message_sink.h"
#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/dataset.h"
#include "dataset/pairwise_matrices.h"
#include "dataset/population_units.h"
#include "dataset/snp/snp_study.h"
#include "numeric/factorial_table.h"
#include "numeric/random.h"
#include "session/command_availability.h"
#include "session/lineage_state.h"
#include "session/population_selection.h"
#include "sheet/book.h"

namespace vireltan {

struct PopulationSummaryResult;

// What Open loads: the dataset, its MLGs and the matrices over them. Held
// by pointer so that a new Open can be built aside and swapped in whole.
struct LoadedData {
  Dataset dataset;
  MlgPartition mlgs;
  PairwiseMatrices matrices;  // points into dataset and mlgs
  // SNP data (VCF, BCF, PLINK): the packed study; `dataset` then holds the
  // samples without an allele table. Null for allele tables.
  std::unique_ptr<SnpStudy> snp;
  // The SNP distances between MLGs, once a command has needed them.
  std::unique_ptr<SnpDistanceMatrix> snpDistances;
};

// What Open learned about the loaded dataset. Only Open and Close change it;
// the commands and the front ends read it.
struct DatasetInfo {
  bool openAttempted = false;  // an Open has been tried since the start
  std::string dataFilePath;
  std::string dataDirectory;            // ends with the path separator
  std::string datasetName;              // file name without directory and extension
  std::string outputPrefix;             // dataFilePath without its extension
  int unitCount = 0;                    // N: sampling units analysed
  int locusCount = 0;                   // L: loci analysed
  int ploidy = 0;                       // only its parity matters: odd = one allele per locus
  std::vector<std::string> locusNames;  // 0-based: locusNames[k-1] names locus k
  int firstAlleleColumn = 4;            // column of locus 1 in the dataset grid (1-based)
  // Extents of the coordinates, in the file's units; 999 marks "no coordinates".
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  double halfRangeX = 0, halfRangeY = 0;
  double spatialDims = 0;  // number of coordinate axes present (0, 1, 2)
  int mlgCount = 0;        // G: distinct MLGs
  std::int64_t sameMlgPairCount = 0;
  // Largest allele-size distance between two MLGs: compares every pair of
  // MLGs, so it is found by the first allele-size histogram (-1 until then).
  int maxMicrosatDistance = -1;
  bool hasMissingData = false;
  int unitsWithMissingData = 0;                  // units lacking an allele somewhere
  std::vector<std::string> lociWithMissingData;  // loci where an allele lacks
  // MLG pairs one allele apart (j < k), as listed in the results.
  std::vector<std::pair<int, int>> oneAllelePairs;
};

// Which curve the sampling-effort chart holds; Save Graph names its file
// after it.
enum class EffortCurve {
  kNone,
  kCombinedIndividuals,   // ".combiind.svg"
  kCombinedLoci,          // ".combiloc.svg"
  kResampledIndividuals,  // ".permind.svg"
  kResampledLoci,         // ".permloc.svg"
};

// The front end that shows the session's messages: where a message tells
// the user what to do, it names a menu path in the window and a command or
// option on the command line.
enum class FrontEnd { kCommandLine, kWindow };

class Session {
 public:
  Session(MessageSink& messages, ProgressSink& progress);

  // Command line by default; the window sets kWindow.
  void SetFrontEnd(FrontEnd frontEnd) { frontEnd_ = frontEnd; }
  FrontEnd frontEnd() const { return frontEnd_; }
  // True when the command of command-line name `command` runs on SNP data
  // (the window disables the others while SNP data are open).
  static bool RunsOnSnpData(const std::string& command);
  // The one-line summary of what the last command found ("24 lineages at
  // T = 3.5"), for the window's status bar; empty when the command has no
  // summary of its own. Reset as each command starts.
  const std::string& lastSummary() const { return lastSummary_; }
  void ClearLastSummary() { lastSummary_.clear(); }

  // --- The loaded dataset's description (set by Open and Close only) ---
  const DatasetInfo& info() const { return info_; }
  // info().maxMicrosatDistance, computed on first use (O(G² L)).
  int MaxMicrosatDistance();

  // --- Worksheets ---
  Book results;         // results worksheet; its text copy is the results log
  Book spatialResults;  // spatial results workbook
  Book datasetGrid;     // the dataset as read, without its header row

  // --- Charts, one per role ---
  ChartData& chart(ChartRole role) { return charts_.at(static_cast<int>(role)); }
  const ChartData& chart(ChartRole role) const { return charts_.at(static_cast<int>(role)); }
  // The curve on the sampling-effort chart, kNone once saved or hidden.
  EffortCurve effortCurve() const { return effortCurve_; }
  void SetEffortCurve(EffortCurve curve) { effortCurve_ = curve; }

  // --- Chart commands (session_charts.cpp) ---
  // Empties the map, the Pareto chart and the two histograms and hides
  // every chart: what every command that shows a chart or a panel does first.
  void HideCharts();
  // Spatial components > MLG map: every sampling unit at its position,
  // labelled with its MLG number (MLL while lineages make the clones); the
  // eight largest clones keep one colour and shape in every figure. A
  // `coordinateUnit` given ("m") becomes the session's unit first (see
  // SetCoordinateUnit). The map stays available to SaveMap until the next
  // map or dataset, whatever commands follow.
  Status MlgMap(const std::string& coordinateUnit = "");
  // The unit of the coordinates ("m", "km"; File > Coordinate unit…, the
  // commands' --coordinate-unit=), kept for the session whatever datasets
  // are opened: written into the distance axis titles of the map, the
  // subrange chart and the correlogram, after the clonal subrange value,
  // in the headings of the edge effect's distances and as a note in the
  // title row of the subrange and autocorrelation sheets. Empty (the
  // default, or "coordinate units"): "coordinate units", no note. Refused:
  // more than 20 characters, or a tab or line break. The charts already
  // drawn are relabelled.
  Status SetCoordinateUnit(const std::string& unit);
  const std::string& coordinateUnit() const { return coordinateUnit_; }
  // Writes `unit` where `chart`, drawn with `oldUnit`, shows a distance
  // (map axes, distance axes, the subrange value): for copies of charts
  // kept outside the session, such as the window's charts page.
  static void RelabelDistances(ChartData& chart, const std::string& oldUnit,
                               const std::string& unit);
  // File > Save map: writes the shown map to outputPrefix + ".svg", ".png"
  // and/or ".pdf" as `options` choose; an error when no map is drawn. The
  // map stays drawn.
  Status SaveMap(ChartRenderer& renderer, const FigureOptions& options = {});
  // Remembers each chart now shown (but the map) for the next SaveGraph,
  // in place of an earlier one of the same file name. The command line
  // calls it after each command, so that save-graph writes every chart the
  // run has drawn, not only the last one.
  void NoteChartsShown();
  // File > Save Graph: writes every chart remembered (and every chart now
  // shown) to its own files (".pareto", ".combiind", ".combiloc",
  // ".permind", ".permloc", ".gendist", ".microsatdist", ".subrange",
  // ".correlogram", then ".svg", ".png", ".pdf"), each once; an error when
  // there is none. The saved charts are then no longer shown.
  Status SaveGraph(ChartRenderer& renderer, const FigureOptions& options = {});
  // The file name suffix of `role`'s chart (".pareto"...; the effort chart
  // is named after its curve).
  std::string ChartFileSuffix(ChartRole role) const;

  // Numerical state shared by the analyses.
  FactorialTable factorialTable;

  // --- Interfaces ---
  MessageSink& messages() { return messages_; }
  ProgressSink& progress() { return progress_; }

  // Random numbers: seeded from the clock unless a seed was set, in which
  // case every generator made starts from that seed, so a run can be
  // repeated exactly.
  void SetSeed(std::optional<std::uint32_t> seed) { seed_ = seed; }
  RandomGenerator NewGenerator() const;
  // The seed of one run of a permutation test: the --seed value when given,
  // else drawn from the clock. Each permutation i then draws from its own
  // stream RandomGenerator::ForStream(runSeed, i), so a seeded run gives the
  // same result whatever the number of threads.
  std::uint32_t NewRunSeed() const;

  // --- What the loaded dataset allows ---
  const CommandAvailability& availability() const { return availability_; }
  // Ok when `group` is allowed now, else an error that says why.
  Status Require(CommandGroup group) const;

  // The loaded data; only valid while availability().dataset is true.
  bool hasData() const { return loaded_ != nullptr; }
  const Dataset& dataset() const { return loaded_->dataset; }
  const MlgPartition& mlgs() const { return loaded_->mlgs; }
  const PairwiseMatrices& matrices() const { return loaded_->matrices; }

  // --- File commands ---
  // Resets tables, charts and menus left by the previous dataset; Open calls
  // it once the new file has been read.
  void ResetForOpen();
  // Loads a dataset (File > Open with `path` chosen). Warnings are shown and
  // loading goes on; a file that cannot be read or holds an invalid cell
  // stops loading with a message naming the file, row and column, no
  // output file is touched, and the dataset loaded before stays loaded with
  // its results and charts.
  Status Open(const std::string& path);
  // File > Close: writes the results log, then empties the tables.
  Status Close();
  // File > Quit: writes the results log (the front end then exits).
  Status Quit();

  // SNP data: the sample sheet and filters the next Open of a VCF, BCF or
  // PLINK file uses (the command line's --samples and --min-... options).
  void SetSnpOpenOptions(const SnpOpenOptions& options) { snpOpenOptions_ = options; }
  const SnpOpenOptions& snpOpenOptions() const { return snpOpenOptions_; }
  bool hasSnpData() const { return loaded_ && loaded_->snp; }
  const SnpStudy& snp() const { return *loaded_->snp; }
  // Ok unless SNP data are loaded and `command` (its command-line name)
  // needs an allele table; the error then says why it is refused.
  Status RequireOnSnpData(const std::string& command) const;

  // Output folder: where every output file goes. Empty (the default) puts
  // them beside the data file; otherwise `directory` must be an existing
  // folder, and takes effect at once (for a loaded dataset too). A
  // read-only data folder can then still be opened and analysed.
  Status SetOutputDirectory(const std::string& directory);
  const std::string& outputDirectory() const { return outputDirectory_; }

  // Output file names.
  std::string ResultsLogPath() const { return info_.outputPrefix + ".outvireltan.txt"; }
  std::string OutputPath(const std::string& suffix) const { return info_.outputPrefix + suffix; }
  // Rewrites the results log from the results worksheet. A log at that path
  // that this session has not written (left by an earlier run) is first
  // kept under its name dated with its modification time (see
  // KeepWithModificationTime; for a symbolic link, its target is renamed and
  // the link left as it is), and a note says where it went.
  Status WriteResultsLog();
  // First row of a new results block: two rows below the last used row,
  // leaving one empty row between blocks.
  int NextResultsBlockRow() const { return results.first().LastRow() + 2; }
  // Where distance matrices sit in the results: the row of their header
  // ("MLGs" and the MLG numbers) and their number of MLGs. The log file
  // keeps zeros on the diagonal and below it; the window shows them blank.
  struct MatrixBlock {
    int headerRow = 0;
    int mlgs = 0;
  };
  const std::vector<MatrixBlock>& resultsMatrixBlocks() const { return matrixBlocks_; }
  void NoteMatrixBlock(int headerRow, int mlgs) { matrixBlocks_.push_back({headerRow, mlgs}); }

  // --- Analyses (each group's commands are implemented in its own file,
  // src/session/session_<group>.cpp, calling the analysis functions) ---

  // Clonal identity and diversity (session_identity.cpp).
  // Tests > Psex: round-robin allele frequencies, pgen, pgen (fis) and Psex
  // for every sampling unit, appended to `results` and the log. Runs once per
  // loaded dataset: afterwards availability().psex is false (the menu item
  // disabled) until the next Open.
  Status Psex();
  // MLG > Diversity and richness: Shannon, Simpson, evenness and Hill.
  Status Diversity();
  // MLG > Pareto distribution: the clone-size fit, and its chart in the full
  // case.
  Status Pareto();
  // Per locus (0-based), set by each Psex run: unbiased gene diversity,
  // observed heterozygosity and Fis of the round-robin genotypes.
  std::vector<double> LocusHnb, LocusHobs, LocusFis;

  // Row of the header of the last block written by Open or Psex.
  int lastBlockRow() const { return lastBlockRow_; }
  // How far the autocorrelation's "all freq& dist matrices" sheet has been
  // written for this dataset: 0 not yet, 1 entire dataset, 2 with genets.
  int matricesSheetStage() const { return matricesSheetStage_; }

  // Genotypic distances and exports.
  // Tests > matrix of allelic distance: the histogram of allelic distances
  // between MLGs and, for at most 254 MLGs, the matrix block in `results`
  // and the results log.
  // `missing`: the rule for loci missing in either MLG (see
  // MlgDistanceTable); with missing alleles the block opens with a title
  // row naming the rule and the number of MLG pairs it applied to. SNP data
  // have their own distance and take no rule.
  Status AllelicDistances(DistanceMissing missing = DistanceMissing::kRescale);
  // Tests > Matrix of microsatellite distance: the same for allele-size
  // distances.
  Status MicrosatelliteDistances(DistanceMissing missing = DistanceMissing::kRescale);
  // The same two commands, also writing the full symmetric G x G matrix to
  // `matrixFilePath` as a tab-separated table, for any G.
  Status AllelicDistancesWithMatrixFile(const std::string& matrixFilePath,
                                        DistanceMissing missing = DistanceMissing::kRescale);
  Status MicrosatelliteDistancesWithMatrixFile(const std::string& matrixFilePath,
                                               DistanceMissing missing = DistanceMissing::kRescale);
  // Format > Quorvex (".quorvex.txt") and Format > Arlequin (".arlequin.arp"):
  // the clone-corrected dataset, one genotype per MLG.
  Status ExportQuorvex();
  Status ExportArlequin();

  // Populations, GenAlEx and Genepop (session_populations.cpp).
  // File > Load populations (`strata`): gives every sampling unit the
  // population of its designation in a designation/population table, then
  // appends the populations of each MLG to `results` and the log.
  Status LoadPopulations(const std::string& strataPath);
  // Format > GenAlEx (".genalex.xlsx", with coordinates when present; on
  // SNP data ".genalex.csv", alleles 1 reference, 2 alternate, 0 missing) and
  // Format > Genepop (".genepop.gen"): all units or, `cloneCorrect`, one unit
  // per MLG (MLL while counting lineages) per population (the first in file
  // order).
  Status ExportGenAlEx(bool cloneCorrect);
  Status ExportGenepop(bool cloneCorrect);
  // MLG > Population summary: N, MLG, eMLG, SE, H, G, lambda, E.5, Hexp, Ia
  // and rbarD per population and in total, appended to `results` and the
  // log, and written to outputPrefix + ".summary.csv" (see
  // AppendSummaryBlock). `rarefyTo` 0: poppr's default, max(smallest
  // population, 10). Populations in file order, or by name when
  // `sortPopulations`; Ia and rbarD with `missing`'s rule.
  Status PopulationSummary(int rarefyTo, bool cloneCorrect, bool sortPopulations = false,
                           IaMissing missing = IaMissing::kPoppr);

  // Population genetics of the units counted (session_popgen.cpp,
  // session_fstatistics.cpp, session_hardy_weinberg.cpp). Each appends its
  // block(s) to `results` under a title row naming the dataset and the
  // units counted, writes its CSV table(s) and the log; on failure nothing
  // is written. On SNP data the same statistics come from the packed calls.
  struct PopgenRequest {
    CloneCorrection cloneCorrect = CloneCorrection::kNone;
    int rarefyAlleles = 0;         // popgen: Ar's gene copies; 0 the smallest typed
    int bootstraps = 1000;         // fstats: resamplings of loci for the 95 % interval
    int permutations = 999;        // pairwise-fst (0: no test), hwe's Monte-Carlo test
    bool sortPopulations = false;  // populations by name instead of file order
    // Groups other than the dataset's populations (AMOVA's lowest level):
    // the group of every SU and the groups' names; empty: the populations.
    std::vector<int> groupOfSu;
    std::vector<std::string> groupNames;
  };
  // Populations > Genetic diversity (`popgen`): the diversity table
  // (".popgen.csv") and the locus table (".popgen.loci.csv").
  Status GeneticDiversity(const PopgenRequest& request);
  // Populations > F-statistics (`fstats`): Weir & Cockerham's θ, f and F
  // per locus and overall with bootstrap intervals (".fstats.csv").
  Status FStatistics(const PopgenRequest& request);
  // Populations > Pairwise Fst (`pairwise-fst`): θ for every pair of
  // populations with its permutation test (".pairwise-fst.csv") and the
  // heat map (saved by SaveGraph as ".pairwise-fst.svg" ...).
  Status PairwiseFst(const PopgenRequest& request);
  // Populations > Hardy–Weinberg (`hwe`): χ² and exact tests per population
  // and locus with Benjamini–Hochberg adjusted p (".hwe.csv"). The window
  // and the command line default to one unit per MLG here.
  Status HardyWeinberg(const PopgenRequest& request);
  // Populations > AMOVA (`amova`): the analysis of molecular variance over
  // a hierarchy of strata columns (session_amova.cpp): the table of sources
  // with σ², their permutation tests and the Φ statistics (".amova.csv").
  struct AmovaRequest {
    std::vector<std::string> hierarchy;  // strata column names, top first; empty: the population
    bool within = true;                  // diploids: each unit split into its two allele sets
    CloneCorrection cloneCorrect = CloneCorrection::kNone;  // at the lowest level
    double maxMissing = 0.05;    // loci missing in more than this fraction of units are left out
    bool arlequinScale = false;  // sums of squares and σ² halved, as Arlequin and GenAlEx
    int permutations = 999;      // of each σ²; 0 no test
    bool sortPopulations = false;
  };
  Status Amova(const AmovaRequest& request);
  // The units a population-genetics command counts (clone correction,
  // population order); an error when the rule cannot apply (no lineages
  // for `mll`).
  Status SelectPopulations(const PopgenRequest& request, PopulationSelection& selection) const;
  // The heat map of the last pairwise Fst, while shown.
  const HeatMapChart& pairwiseFstChart() const { return pairwiseFstChart_; }

  // Ordination, isolation by distance and MLGs shared among populations
  // (session_ordination.cpp, session_isolation.cpp). Same rules as the
  // population-genetics commands: a title row, CSV table(s), nothing
  // written on failure.
  enum class OrdinationOf { kUnits, kGenets, kPopulations };
  struct OrdinationRequest {
    // Units: every unit; genets: one unit per MLG (per MLL while lineages
    // are counted) in each population; populations: pairwise θ between them.
    OrdinationOf of = OrdinationOf::kUnits;
    MlgDistanceKind distance = MlgDistanceKind::kAllelic;
    DistanceMissing missing = DistanceMissing::kRescale;
    int axes = 10;             // coordinates kept (fewer when fewer axes exist)
    bool sizeByClone = false;  // the figure draws each genet by the size of its clone
    bool sortPopulations = false;
  };
  // Populations > Principal coordinates (`pcoa`): classical scaling of the
  // distances (allele tables) or principal components of the standardized
  // genotypes (SNP data); ".pcoa.csv" (coordinates), ".pcoa.eigenvalues.csv"
  // and the figure (Save Graph: ".pcoa.svg"...).
  Status PrincipalCoordinatesAnalysis(const OrdinationRequest& request);
  struct IsolationRequest {
    bool amongPopulations = false;  // Fst/(1−Fst) against centroid distance
    MlgDistanceKind distance = MlgDistanceKind::kAllelic;
    DistanceMissing missing = DistanceMissing::kRescale;
    CloneCorrection cloneCorrect = CloneCorrection::kNone;
    bool logDistance = false;  // ln of the geographic distance
    bool spearman = false;     // Spearman's rank correlation instead of Pearson's
    int permutations = 999;
    bool sortPopulations = false;
  };
  // Populations > Isolation by distance (`ibd`): the Mantel test of genetic
  // against geographic distance (".ibd.csv") and its scatter (".ibd.svg").
  Status IsolationByDistance(const IsolationRequest& request);
  // Populations > Shared MLGs (`shared-mlgs`): every MLG (MLL while
  // lineages are counted) found in more than one population, with its units
  // per population (".shared-mlgs.csv").
  Status SharedMlgs(bool sortPopulations = false);

  // Tables to take away (session_tables.cpp).
  // MLG > Units table (`units-table`; also after every `mll`): each unit's
  // designation, population, MLG and MLL (empty before any grouping) to
  // outputPrefix + ".units.csv".
  Status WriteUnitsTable();
  // The minimum spanning network's nodes (number, units, populations and
  // their position in the figure of `figure`'s size: the default size when
  // the network is built, the size saved at Save Graph) to outputPrefix +
  // ".msn.nodes.csv"; an error when no network was built.
  Status WriteNetworkNodeTable(bool sortPopulations = false, const FigureOptions& figure = {});

  // Sampling-effort curves (session_effort.cpp). Each appends its block to
  // `results`, rewrites the log, shows its box plot on the sampling-effort
  // chart (recording which curve it holds) and ends with "permutations done"
  // or "combinations done". A permutation count below 2 is refused before
  // any work (the standard errors divide by P - 1).
  // Tests > resampling1-l loci: P draws per number of loci.
  Status ResampleLoci(int permutations);
  // Tests > resampling 1-n individuals: P draws per number of sampling units.
  Status ResampleIndividuals(int permutations);
  // Tests > Combination 1-l loci: every subset of loci, with the smallest
  // combinations that separate all MLGs. The work grows as 2^L: above
  // kExhaustiveSubsetLimit subsets nothing is run unless `force` is set
  // (the window asks first, with EstimateCombinationLoci; the command line
  // wants --force), and the error says how large and long the run would be.
  Status CombineLoci(bool force = false);
  // Subsets and expected duration of CombineLoci on the loaded
  // dataset (timed on its first subsets, some ten milliseconds).
  ExhaustiveEstimate EstimateCombinationLoci() const;
  // Tests > Combination1-n individuals: every subset of sampling units.
  Status CombineIndividuals();

  // Spatial structure (session_spatial.cpp). Each adds its sheet in front of
  // `spatialResults` and saves the workbook; permutations run on all cores, each
  // from its own stream of NewRunSeed(). A count below 1 is refused before
  // any work; degenerate data (one MLG, no single-unit MLG...) give a message
  // and no sheet.
  // Spatial components > Aggregation index: Ac and p (Ac),
  // sheet "aggregation index", once per loaded dataset.
  Status AggregationIndex(int permutations);
  // Spatial components > Edge effect: Ee and p (Ee),
  // sheet "Edge effect", once per loaded dataset.
  Status EdgeEffect(int permutations);
  // Spatial components > Clonal sub range with a number of distance classes:
  // sheet "clonal subrange" (" (2)", ... when repeated).
  Status ClonalSubrange(int classCount);
  // Spatial components > Clonal sub range with fixed distance classes:
  // classes from dataDirectory + "distances.txt", sheet "clonal subrange
  // fix.". Both fill the subrange chart: F(r) against the average distance
  // of each class.
  Status ClonalSubrangeFixed();

  // Spatial autocorrelation.
  // Checks the chosen class rule and procedure (the first options panel),
  // shows the program's messages ("Choose how the distance classes ...", "The file
  // distances.txt is missing ...") and says what the panels do next.
  AutocorrelationValidation CheckAutocorrelationOptions(const AutocorrelationOptions& options);
  // Spatial components > Spatial autocorrelation: Loiselle kinship and Ritland
  // relationship by distance class for the entire dataset and the chosen
  // dataset without replicates, regressions, permutation tests (or the
  // resampling of genets); stores the "all freq& dist matrices" sheet and
  // the result sheet named by the option pair in `spatialResults` and saves
  // the workbook, unless a sheet of that name exists already. Fills the
  // correlogram: class mean Loiselle kinship against the class's average
  // distance with the 95% envelope of the permuted means. Ends with
  // "permutations done".
  Status SpatialAutocorrelation(const AutocorrelationOptions& options);

  // The spatial results workbook: its file name, and a save of the whole
  // book (numbers as numbers, texts as texts).
  std::string SpatialWorkbookPath() const { return info_.outputPrefix + ".spatialcomponents.xlsx"; }
  // A sheet too large for a workbook sheet (more than 16,384 columns or
  // 1,048,576 rows) goes to PREFIX.<sheet name>.csv beside it, and the
  // workbook's sheet holds a one-line note naming that file.
  Status SaveSpatialWorkbook();
  // The CSV file beside the workbook for the sheet `sheetName`.
  std::string SpatialSideFilePath(const std::string& sheetName) const;
  // `base` when no sheet of `spatialResults` has that name, else `base` followed by
  // " (2)", " (3)" ...: a workbook cannot hold two sheets of one name.
  std::string UniqueSpatialSheetName(const std::string& base) const;

  // Multilocus lineages (session_lineages.cpp).
  // MLG > Multilocus lineages: clusters the MLGs on `distance` with
  // `linkage`, ties broken by `ties`, average linkage weighed by `average`;
  // cuts at `threshold` and appends the MLL block (title row, header "MLL
  // units MLGs", one row per MLL, then for farthest and average linkage the
  // rule of ties and whether their order decided the groups) to `results`
  // and the log. Refused up front when the linkage table would not fit in
  // memory. `missing`: the rule for loci missing in either MLG; with
  // missing alleles the title row names it and the MLG pairs it applied to.
  Status Lineages(MlgDistanceKind distance, Linkage linkage, double threshold,
                  TieRule ties = TieRule::kPoppr, AverageWeight average = AverageWeight::kUnits,
                  DistanceMissing missing = DistanceMissing::kRescale);
  // mll --suggest: the threshold suggestion and its gap, appended to the
  // results; draws the distance histogram with the suggestion marked.
  Status SuggestLineageThreshold(MlgDistanceKind distance,
                                 DistanceMissing missing = DistanceMissing::kRescale);
  // The same on SNP data (session_snp_lineages.cpp), on the SNP distance
  // between MLGs (share of differing alleles, 0..1). SNP data have no
  // allele table to number MLGs as poppr does: both tie rules take the
  // MLGs in MLG order.
  Status SnpLineages(Linkage linkage, double threshold, TieRule ties = TieRule::kPoppr,
                     AverageWeight average = AverageWeight::kUnits);
  // mll --from-replicates: the threshold from the replicate pairs of the
  // sample sheet, then the grouping at it.
  Status SnpLineagesFromReplicates(Linkage linkage, TieRule ties = TieRule::kPoppr,
                                   AverageWeight average = AverageWeight::kUnits);
  Status SuggestSnpLineageThreshold();
  // export-vcf: the SNP data as PREFIX.vcf, all samples or, `cloneCorrect`,
  // one per MLG (MLL while counting lineages) per population.
  Status ExportSnpVcf(bool cloneCorrect);
  // export-genalex on SNP data, streamed from the packed calls
  // (session_populations.cpp).
  Status ExportSnpGenAlEx(bool cloneCorrect);
  // summary on SNP data (session_snp_summary.cpp): the population summary
  // with Hexp, Ia and rbarD over the SNPs on the packed calls and, when
  // `permutations` > 0, the test of clonality under `null` as
  // PopulationSummaryTest gives it on allele tables.
  Status SnpPopulationSummary(int rarefyTo, bool cloneCorrect, bool sortPopulations = false,
                              IaMissing missing = IaMissing::kPoppr, int permutations = 0,
                              IaNull null = IaNull::kAlleles);
  // MLG > Count lineages instead of genotypes: needs a grouping first.
  Status CountLineages(bool on);
  const LineageState& lineages() const { return lineages_; }
  // The partition the diversity and effort commands count: the MLGs, or
  // the MLLs (as if each were one genotype) while counting lineages.
  MlgPartition CountedPartition() const;
  // The clones of the map and the spatial analyses: on SNP data the
  // lineages once they are counted (exact MLGs there are mostly single
  // samples, genotyping error setting clonemates apart), else the MLGs.
  MlgPartition SpatialPartition() const;
  // While counting lineages, appends the note saying so to the title row
  // of the block starting at `firstRow`.
  void MarkLineageBlock(int firstRow);
  // MLG > Minimum spanning network: nodes MLGs (or MLLs with `overLineages`),
  // the edge list written to outputPrefix + ".msn.txt"; the drawing is kept
  // for the window and Save Graph (".msn.svg").
  // `ties`: which tied alternatives to the tree are kept (each edge of the
  // result and the drawing says whether it is in the tree). Refused up
  // front when the distances would not fit in memory.
  // The node table (.msn.nodes.csv) lists each node's populations in the
  // order of the file, or by name with `sortPopulations`.
  // `missing`: the rule for loci missing in either MLG, named in the
  // drawing's title when the data have missing alleles.
  Status SpanningNetwork(MlgDistanceKind distance, bool overLineages,
                         NetworkTies ties = NetworkTies::kPoppr, bool sortPopulations = false,
                         DistanceMissing missing = DistanceMissing::kRescale);
  // Whether the network on show draws its tied alternative edges (dashed)
  // beside its tree; hidden by default. The window's "Show tied edges";
  // save-graph's --ties-shown sets it for the files it writes.
  void ShowNetworkTies(bool shown) { lineages_.network.showTiedAlternatives = shown; }
  // The histograms of the permuted rbarD of the last test of clonality:
  // one per population when the data have populations, the last for all
  // units; Save Graph names them by associationChartSuffix.
  const std::vector<ChartData>& associationCharts() const { return associationCharts_; }
  // Their file name suffixes, at the same index (".ia.svg", ".ia.<population>.svg").
  const std::vector<std::string>& associationSuffixes() const { return associationSuffixes_; }
  // summary --permutations=P (MLG > Test of clonality): the population
  // summary with p.Ia after Ia and p.rD after rbarD, from P permutations
  // under `null` (alleles dealt out again, or genotypes shuffled among units
  // at each locus), Ia and rbarD with `missing`'s rule
  // (session_clonality.cpp); the block's title row says which; fills the
  // histograms of the permuted rbarD.
  Status PopulationSummaryTest(int rarefyTo, bool cloneCorrect, int permutations,
                               bool sortPopulations = false, IaMissing missing = IaMissing::kPoppr,
                               IaNull null = IaNull::kAlleles);

  // Shows `status`'s message when it failed (not when cancelled) and
  // passes it on; for front ends.
  Status Report(Status status);

 private:
  // Empties every chart and forgets which effort curve was shown.
  void ResetCharts();
  void WriteMlgSummary();
  void WriteOneAlleleListing();
  void WriteMlgPopulations(int firstRow);
  // SNP data (session_snp.cpp).
  // Ok for the command groups that run on SNP data; else why not.
  Status RequireGroupOnSnpData(CommandGroup group) const;
  // The population-genetics commands (popgen, fstats, pairwise-fst, hwe):
  // any loaded dataset, SNP data included (their allele counts come from
  // the packed calls).
  Status RequirePopulationGeneticsData() const;
  Status OpenSnp(const std::string& path);
  void WriteSnpSummary();
  // The data page of SNP data: summary, call-rate histogram, samples.
  void BuildSnpDataPage();
  // The SNP distances between MLGs, computed on first use.
  Status SnpDistances(const SnpDistanceMatrix*& matrix);
  Status SnpAllelicDistances(const std::string& matrixFilePath);
  // Writes the MLL block of a SNP grouping and remembers it.
  Status FinishSnpLineages(const ClusterOptions& options, double threshold,
                           LineagePartition partition);
  // The rows under a lineage block from `row` on: the tie rule, the average's
  // weights, and whether the order of tied merges decided the groups
  // (farthest and average linkage).
  void WriteTieRows(int row, const ClusterOptions& options, const TieCheck& ties);
  // How a summary was computed, for the columns of ".summary.csv": the
  // subsample size n of eMLG, Ia's rule for missing genotypes (set only when
  // some are missing), and the test of clonality's null model and
  // permutations (set only when it ran).
  struct SummarySettings {
    int rarefyTo = 0;
    std::optional<IaMissing> missing;
    std::optional<IaNull> null;
    int permutations = 0;
  };
  // Appends a population summary block (PopulationSummaryBlock, its last row
  // the subsample size) to `results` under a title row naming the dataset,
  // the clone correction, what is counted (MLGs or the lineages) and
  // `notes`; writes the block's header and rows to ".summary.csv" with the
  // title's facts and `settings` in columns of their own (every row the
  // same), then the results log.
  Status AppendSummaryBlock(const Sheet& block, bool cloneCorrect,
                            const std::vector<std::string>& notes, const SummarySettings& settings);
  // The ".summary.csv" table of a block AppendSummaryBlock appends: its
  // header and population rows, then the columns dataset, units_counted,
  // counted (MLG or MLL), mll_distance, mll_linkage, mll_threshold, eMLG_n,
  // Ia_missing, null and permutations (empty where they do not apply).
  Sheet SummaryCsvTable(const Sheet& block, bool cloneCorrect,
                        const SummarySettings& settings) const;
  // The tested summary's block (p.Ia after Ia, p.rD after rbarD; `tests`
  // one per row of `summary`, empty where not run), the histograms of the
  // permuted rbarD, then AppendSummaryBlock.
  Status AppendTestedSummary(const PopulationSummaryResult& summary,
                             const std::vector<std::optional<AssociationTest>>& tests,
                             bool cloneCorrect, const std::vector<std::string>& notes,
                             const SummarySettings& settings);

  // The allele count table of the selection, from the allele table or the
  // packed SNP calls; false when cancelled.
  bool CountSelection(const PopulationSelection& selection, AlleleCountTable& table);
  // The checks and selection of a command between populations: data that
  // allow it, the units counted, and two populations or more.
  Status SelectBetweenPopulations(const PopgenRequest& request, const char* what,
                                  PopulationSelection& selection) const;
  // Refuses commands between populations when there are fewer than two.
  Status RequireTwoPopulations(const PopulationSelection& selection, const char* what) const;
  // Appends a title row (what, dataset, units counted, notes) and `block`
  // under it to `results`; returns the title's row.
  int AppendTitledBlock(const std::string& what, const PopulationSelection& selection,
                        const std::vector<std::string>& notes, const Sheet& block);
  // The same, `block` moved in rather than copied (tables of a million rows).
  int AppendTitledBlock(const std::string& what, const PopulationSelection& selection,
                        const std::vector<std::string>& notes, Sheet&& block);

  // Every message leaves through here, control characters escaped.
  EscapingMessageSink messages_;
  ProgressSink& progress_;
  std::optional<std::uint32_t> seed_;
  std::string outputDirectory_;
  FrontEnd frontEnd_ = FrontEnd::kCommandLine;
  std::string lastSummary_;
  // Sets lastSummary_ to "N lineages of G MLGs at T = t" after a grouping.
  void SummariseLineages();
  // `window` or `commandLine`, as the front end names a thing to do.
  const char* InWords(const char* window, const char* commandLine) const {
    return frontEnd_ == FrontEnd::kWindow ? window : commandLine;
  }
  // The results logs this session has written (absolute paths): those are
  // rewritten; any other file found at a log's path is kept first. Close
  // keeps the list, so that opening the same data again in this session
  // rewrites its log without another copy.
  std::set<std::string> resultsLogsWritten_;
  SnpOpenOptions snpOpenOptions_;
  CommandAvailability availability_;
  std::unique_ptr<LoadedData> loaded_;
  DatasetInfo info_;
  std::array<ChartData, kChartRoleCount> charts_ = MakeDefaultCharts();
  EffortCurve effortCurve_ = EffortCurve::kNone;
  // Charts drawn since the last SaveGraph, with their file name suffixes.
  std::vector<std::pair<std::string, ChartData>> chartsToSave_;
  // The last map drawn, for SaveMap; whether the network awaits SaveGraph.
  std::optional<ChartData> savedMap_;
  std::string coordinateUnit_;  // "" for "coordinate units"
  bool networkToSave_ = false;
  bool associationToSave_ = false;  // the clonality histograms await SaveGraph
  int lastBlockRow_ = 0;
  int matricesSheetStage_ = 0;
  // Sheets of the spatial workbook too large for a workbook sheet, written
  // as CSV files beside it: sheet name -> size (rows, columns) written.
  std::map<std::string, std::pair<int, int>> spatialSideFiles_;
  LineageState lineages_;
  std::vector<ChartData> associationCharts_;
  std::vector<MatrixBlock> matrixBlocks_;
  std::vector<std::string> associationSuffixes_;  // ".ia.svg" for all units
  HeatMapChart pairwiseFstChart_;
  bool heatMapToSave_ = false;  // the pairwise Fst heat map awaits SaveGraph
};

}  // namespace vireltan
