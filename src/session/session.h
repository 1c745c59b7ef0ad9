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
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analyses/effort/exhaustive_estimate.h"
#include "analyses/spatial/autocorrelation_options.h"
#include "common/message_sink.h"
#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/dataset.h"
#include "dataset/pairwise_matrices.h"
#include "numeric/factorial_table.h"
#include "numeric/random.h"
#include "session/chart_data.h"
#include "session/chart_renderer.h"
#include "session/command_availability.h"
#include "sheet/book.h"

namespace vireltan {

// What Open loads: the dataset, its MLGs and the matrices over them. Held
// by pointer so that a new Open can be built aside and swapped in whole.
struct LoadedData {
  Dataset dataset;
  MlgPartition mlgs;
  PairwiseMatrices matrices;  // points into dataset and mlgs
};

class Session {
 public:
  Session(MessageSink& messages, ProgressSink& progress);

  // --- Dataset description (set by Open) ---
  int SampleCount = 0;                  // N: sampling units analysed
  int LocusCount = 0;                   // L: loci analysed
  int Ploidy = 0;                       // only its parity matters: odd = one allele per locus
  std::vector<std::string> LocusNames;  // 0-based: LocusNames[k-1] names locus k
  int FirstAlleleColumn = 4;
  std::string DataFilePath;
  std::string DataDirectory;  // ends with the path separator
  std::string DatasetName;    // file name without directory and extension
  std::string OutputPrefix;   // DataFilePath without its extension
  double MinX = 0, MaxX = 0, MinY = 0, MaxY = 0;
  double HalfRangeX = 0, HalfRangeY = 0;
  double SpatialDims = 0;  // number of coordinate axes present (0, 1, 2)
  bool DatasetLoaded = false;

  // --- MLGs and matrices (set by Open) ---
  int MlgCount = 0;
  int ResultsRow = 0;
  std::int64_t SameMlgPairCount = 0;
  int MaxMicrosatDistance = 0;
  int MatricesSheetStage = 0;
  bool HasMissingData = false;
  // MLG pairs one allele apart (j < k), as listed in the results.
  std::vector<std::pair<int, int>> OneAllelePairs;

  // --- Which curve Chart3 shows (for the file name of Save Graph) ---
  bool Chart3ShowsCombiInd = false;
  bool Chart3ShowsCombiLoc = false;
  bool Chart3ShowsResampInd = false;
  bool Chart3ShowsResampLoc = false;

  // --- Worksheets ---
  Book results;      // results worksheet; its text copy is the results log
  Book autocorr;     // spatial results workbook
  Book userswindow;  // the dataset as read, without its header row

  // --- Charts (Chart1 .. Chart5 at indices 0..4) ---
  std::array<ChartData, 5> charts = MakeDefaultCharts();
  ChartData& chart(int number) { return charts.at(number - 1); }

  // --- Chart commands (session_charts.cpp) ---
  // Empties Series1, Series2, Series3, Series6 and Series7 and hides the
  // five charts and the two spatial charts: what every command that shows a
  // chart or a panel does first.
  void HideCharts();
  // Spatial components > MLG map: Chart1 shows every sampling unit at its
  // position, labelled with its MLG number.
  Status MlgMap();
  // File > Save map: writes the visible Chart1 to OutputPrefix + ".svg" (and
  // ".png"), else shows "no map visible"; then empties Series1 and hides the
  // map. A failed save keeps the map shown so that it can be saved again.
  Status SaveMap(ChartRenderer& renderer);
  // File > Save Graph: writes each visible chart of Chart2..Chart5 to its own
  // file (".pareto.svg", ".combiind.svg", ".combiloc.svg", ".permind.svg",
  // ".permloc.svg", ".gendist.svg", ".microsatdist.svg", and ".subrange.svg"
  // and ".correlogram.svg" for the two spatial charts, each with a PNG),
  // else shows "no graph visible"; then empties Series2 and hides Chart2 to
  // Chart5 and the spatial charts (kept when a save failed).
  Status SaveGraph(ChartRenderer& renderer);

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
  // Resets tables, charts and menus left by the previous dataset; the window
  // calls it before showing the file dialog (so a cancelled dialog still
  // leaves empty tables), Open calls it too.
  void ResetForOpen();
  // Loads a dataset (File > Open with `path` chosen). Warnings are shown and
  // loading goes on; a file that cannot be read or holds an invalid cell
  // stops loading with a message naming the file, row and column, and no
  // output file is touched.
  Status Open(const std::string& path);
  // File > Close: writes the results log, then empties the tables.
  Status Close();
  // File > Quit: writes the results log (the front end then exits).
  Status Quit();

  // Output folder: where every output file goes. Empty (the default) puts
  // them beside the data file; otherwise `directory` must be an existing
  // folder, and takes effect at once (for a loaded dataset too). A
  // read-only data folder can then still be opened and analysed.
  Status SetOutputDirectory(const std::string& directory);
  const std::string& outputDirectory() const { return outputDirectory_; }

  // Output file names.
  std::string ResultsLogPath() const { return OutputPrefix + ".outvireltan.txt"; }
  std::string OutputPath(const std::string& suffix) const { return OutputPrefix + suffix; }
  // Rewrites the results log from the results worksheet.
  Status WriteResultsLog();
  // First row of a new results block: two rows below the last used row,
  // leaving one empty row between blocks.
  int NextResultsBlockRow() const { return results.first().LastRow() + 2; }

  // --- Analyses (each group's commands are implemented in its own file,
  // src/session/session_<group>.cpp, calling the analysis functions) ---

  // Clonal identity and diversity (session_identity.cpp).
  // Tests > Psex: round-robin allele frequencies, pgen, pgen (fis) and Psex
  // for every sampling unit, appended to `results` and the log. Runs once per
  // loaded dataset: afterwards availability().psex is false (the menu item
  // disabled) until the next Open.
  Status Psex1Click();
  // MLG > Diversity and richness: Shannon, Simpson, evenness and Hill.
  Status diversityindices1Click();
  // MLG > Pareto distribution: the clone-size fit, Chart2 in the full case.
  Status Pareto1Click();
  // Per locus (0-based), set by each Psex run: unbiased gene diversity,
  // observed heterozygosity and Fis of the round-robin genotypes.
  std::vector<double> LocusHnb, LocusHobs, LocusFis;

  // Genotypic distances and exports.
  // Tests > matrix of allelic distance: histogram on Chart4 and, for at most
  // 254 MLGs, the matrix block in `results` and the results log.
  Status numberofdistinctalleles1Click();
  // Tests > Matrix of microsatellite distance: the same on Chart5.
  Status Matrixofmicrosatellitedistance1Click();
  // The same two commands, also writing the full symmetric G x G matrix to
  // `matrixFilePath` as a tab-separated table, for any G.
  Status AllelicDistanceWithMatrixFile(const std::string& matrixFilePath);
  Status MicrosatDistanceWithMatrixFile(const std::string& matrixFilePath);
  // Format > Quorvex (".quorvex.txt") and Format > Arlequin (".arlequin.arp"):
  // the clone-corrected dataset, one genotype per MLG.
  Status Quorvex1Click();
  Status Arlequin1Click();

  // Sampling-effort curves (session_effort.cpp). Each appends its block to
  // `results`, rewrites the log, shows its box plot on Chart3 (setting its
  // Chart3 flag, clearing the other three) and ends with "permutations done"
  // or "combinations done". A permutation count below 2 is refused before
  // any work (the standard errors divide by P - 1).
  // Tests > resampling1-l loci, run (Button4Click): P draws per number of loci.
  Status ResampleLoci(int permutations);
  // Tests > resampling 1-n individuals, run (Button2Click): P draws per
  // number of sampling units.
  Status ResampleIndividuals(int permutations);
  // Tests > Combination 1-l loci: every subset of loci, with the smallest
  // combinations that separate all MLGs. The work grows as 2^L: above
  // kExhaustiveSubsetLimit subsets nothing is run unless `force` is set
  // (the window asks first, with EstimateCombinationLoci; the command line
  // wants --force), and the error says how large and long the run would be.
  Status Combination1lloci1Click(bool force = false);
  // Subsets and expected duration of Combination1lloci1Click on the loaded
  // dataset (timed on its first subsets, some ten milliseconds).
  ExhaustiveEstimate EstimateCombinationLoci() const;
  // Tests > Combination1-n individuals: every subset of sampling units.
  Status Combination1nindfividuals1Click();

  // Spatial structure (session_spatial.cpp). Each adds its sheet in front of
  // `autocorr` and saves the workbook; permutations run on all cores, each
  // from its own stream of NewRunSeed(). A count below 1 is refused before
  // any work; degenerate data (one MLG, no single-unit MLG...) give a message
  // and no sheet.
  // Spatial components > Aggregation index, run (Button1Click): Ac and p (Ac),
  // sheet "aggregation index", once per loaded dataset.
  Status AggregationIndex(int permutations);
  // Spatial components > Edge effect, run (Button7Click): Ee and p (Ee),
  // sheet "Edge effect", once per loaded dataset.
  Status EdgeEffect(int permutations);
  // Spatial components > Clonal sub range, Number of distance classes, run
  // (Button3Click): sheet "clonal subrange" (" (2)", ... when repeated).
  Status ClonalSubrange(int classCount);
  // Spatial components > Clonal sub range, Fixed distance classses
  // (Button6Click): classes from DataDirectory + "distances.txt", sheet
  // "clonal subrange fix.".
  Status ClonalSubrangeFixed();
  // F(r) against the average distance of each class, filled (and made
  // visible) by the last clonal subrange run; saved as ".subrange.svg"/PNG.
  ChartData subrangeChart;

  // Spatial autocorrelation.
  // Button9 ("run" of the first panel, GroupBox9): checks the ticked boxes,
  // shows the program's messages ("you have to chose ...", "fichier
  // distances.txt absent") and says what the panels do next.
  AutocorrelationValidation CheckAutocorrelationOptions(const AutocorrelationOptions& options);
  // Button11 ("run" of GroupBox10): Loiselle kinship and Ritland
  // relationship by distance class for the entire dataset and the chosen
  // dataset without replicates, regressions, permutation tests (or the
  // resampling of genets); stores the "all freq& dist matrices" sheet and
  // the result sheet named by the option pair in `autocorr` and saves the
  // workbook, unless a sheet of that name exists already. Fills
  // correlogramChart. Ends with "permutations done".
  Status SpatialAutocorrelation(const AutocorrelationOptions& options);
  // The correlogram of the last run: class mean Loiselle kinship against
  // the class's average distance with the 95% envelope of the permuted
  // means; Save Graph writes it as OutputPrefix + ".correlogram.svg".
  ChartData correlogramChart;

  // The spatial results workbook: its file name, and a save of the whole
  // book (numbers as numbers, texts as texts).
  std::string SpatialWorkbookPath() const { return OutputPrefix + ".spatialcomponents.xlsx"; }
  Status SaveSpatialWorkbook();
  // `base` when no sheet of `autocorr` has that name, else `base` followed by
  // " (2)", " (3)" ...: a workbook cannot hold two sheets of one name.
  std::string UniqueSpatialSheetName(const std::string& base) const;

  // Shows `status`'s message when it failed (not when cancelled) and
  // passes it on; for front ends.
  Status Report(Status status);

 private:
  void WriteMlgSummary();
  void WriteOneAlleleListing();

  MessageSink& messages_;
  ProgressSink& progress_;
  std::optional<std::uint32_t> seed_;
  std::string outputDirectory_;
  CommandAvailability availability_;
  std::unique_ptr<LoadedData> loaded_;
};

}  // namespace vireltan
