// The sampling-effort curves: how the number of distinct MLGs grows with the
// number of loci typed and of sampling units collected, by random resampling
// and by exhaustive combination, as tables in the results log and box plots
// on Chart3.
#include <algorithm>
#include <string>
#include <vector>

#include "analyses/effort/combinations.h"
#include "analyses/effort/effort_input.h"
#include "analyses/effort/effort_tables.h"
#include "analyses/effort/resampling.h"
#include "numeric/rounding.h"
#include "session/session.h"

namespace vireltan {

namespace {

// Width in pixels of the drawn Chart3 (that of a saved chart image); the
// boxes are sized from it.
constexpr double kChart3WidthPixels = 1000;

// One box per subset size: the smallest and largest MLG count met and their
// mean.
struct EffortBox {
  double lowest = 0;
  double average = 0;
  double highest = 0;
};

// Chart3 as a box plot of the MLG counts against the subset size 1..n
// (boxes[i-1]); position 0 holds a flat box at 0. Each box spans the
// smallest to the largest count with its median line at the mean. The
// whiskers are hidden (the Tukey fences of a box spanning the whole range
// would add nothing), so they are given the quartile values.
void FillEffortChart(ChartData& chart, const std::string& bottomTitle, int mlgCount,
                     const std::vector<EffortBox>& boxes) {
  const int n = static_cast<int>(boxes.size());
  chart.clearSeries();
  chart.left.title = "Number of distinct MLG";
  chart.left.increment = 1;
  chart.left.fixedRange = true;
  chart.left.minimum = 0;
  chart.left.maximum = mlgCount + 1;
  chart.bottom.title = bottomTitle;
  chart.bottom.fixedRange = true;
  chart.bottom.minimum = 0;
  chart.bottom.maximum = n + 1;
  ChartSeries* series = chart.findSeries("Series4");
  if (series == nullptr) {
    chart.series.push_back({"Series4", ChartSeries::Kind::kBoxes, {}, {}});
    series = &chart.series.back();
  }
  const double halfWidth =
      static_cast<double>(RoundHalfEven(0.2 * kChart3WidthPixels / std::max(n, 1))) + 1;
  for (int i = 0; i <= n; ++i) {
    EffortBox box = i == 0 ? EffortBox{} : boxes[i - 1];
    BoxStats stats;
    stats.x = i;
    stats.lowerQuartile = stats.lowerWhisker = box.lowest;
    stats.median = box.average;
    stats.upperQuartile = stats.upperWhisker = box.highest;
    stats.halfWidthPixels = halfWidth;
    series->boxes.push_back(stats);
  }
  chart.visible = true;
}

std::vector<EffortBox> BoxesOf(const std::vector<ResamplingRow>& rows) {
  std::vector<EffortBox> boxes;
  for (const ResamplingRow& r : rows)
    boxes.push_back({static_cast<double>(r.mlgMin), r.meanMlg, static_cast<double>(r.mlgMax)});
  return boxes;
}

std::vector<EffortBox> BoxesOf(const std::vector<CombinationRow>& rows) {
  std::vector<EffortBox> boxes;
  for (const CombinationRow& r : rows)
    boxes.push_back({static_cast<double>(r.mlgMin), r.averageMlg, static_cast<double>(r.mlgMax)});
  return boxes;
}

Status CheckPermutations(int permutations) {
  if (permutations >= 2) return Status::Ok();
  return Status::Error("The number of permutations must be a whole number of at least 2 (got " +
                       std::to_string(permutations) +
                       "): the standard errors divide by the number of permutations minus 1.");
}

// Copies a finished block into `results` with its first row at `firstRow`.
void AppendBlock(Sheet& results, const Sheet& block, int firstRow) {
  results.CopyBlock(block, 1, 1, block.LastRow(), block.LastCol(), firstRow, 1);
}

}  // namespace

Status Session::ResampleLoci(int permutations) {
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;
  if (Status valid = CheckPermutations(permutations); !valid) return valid;

  std::vector<ResamplingRow> rows;
  {
    ProgressPanel panel(progress_);
    EffortInput input = PrepareEffortInput(dataset(), mlgs());
    RandomGenerator random = NewGenerator();
    Status run = ResampleLociCurve(input, permutations, random, progress_, rows);
    if (!run) return run;
  }

  HideCharts();
  Chart3ShowsResampLoc = true;
  Chart3ShowsCombiInd = Chart3ShowsCombiLoc = Chart3ShowsResampInd = false;
  FillEffortChart(chart(3), "Number of loci", MlgCount, BoxesOf(rows));
  // The block opens with its own empty row.
  Sheet& sheet = results.first();
  AppendBlock(sheet, LociResamplingBlock(rows, permutations), sheet.LastRow() + 1);
  if (Status written = WriteResultsLog(); !written) return written;
  messages_.Show("permutations done");
  return Status::Ok();
}

Status Session::ResampleIndividuals(int permutations) {
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;
  if (Status valid = CheckPermutations(permutations); !valid) return valid;

  std::vector<ResamplingRow> rows;
  {
    ProgressPanel panel(progress_);
    EffortInput input = PrepareEffortInput(dataset(), mlgs());
    RandomGenerator random = NewGenerator();
    Status run = ResampleIndividualsCurve(input, permutations, random, progress_, rows);
    if (!run) return run;
  }

  HideCharts();
  Chart3ShowsResampInd = true;
  Chart3ShowsCombiInd = Chart3ShowsCombiLoc = Chart3ShowsResampLoc = false;
  FillEffortChart(chart(3), "Number of individuals", MlgCount, BoxesOf(rows));
  // One empty row between the previous block and this one.
  AppendBlock(results.first(), IndividualsResamplingBlock(rows, permutations),
              NextResultsBlockRow());
  if (Status written = WriteResultsLog(); !written) return written;
  messages_.Show("permutations done");
  return Status::Ok();
}

Status Session::Combination1lloci1Click() {
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;

  LociCombinationResult result;
  {
    ProgressPanel panel(progress_);
    EffortInput input = PrepareEffortInput(dataset(), mlgs());
    Status run = CombineLociCurve(input, progress_, result);
    if (!run) return run;
  }

  HideCharts();
  Chart3ShowsCombiLoc = true;
  Chart3ShowsCombiInd = Chart3ShowsResampInd = Chart3ShowsResampLoc = false;
  FillEffortChart(chart(3), "Number of loci", MlgCount, BoxesOf(result.rows));
  AppendBlock(results.first(), LociCombinationBlock(result, LocusNames), NextResultsBlockRow());
  if (Status written = WriteResultsLog(); !written) return written;
  messages_.Show("combinations done");
  return Status::Ok();
}

Status Session::Combination1nindfividuals1Click() {
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;

  // Closed form over the clone sizes: instant for any N, no progress needed.
  std::vector<CombinationRow> rows = CombineIndividualsCurve(mlgs().cloneSize);

  HideCharts();
  Chart3ShowsCombiInd = true;
  Chart3ShowsCombiLoc = Chart3ShowsResampInd = Chart3ShowsResampLoc = false;
  FillEffortChart(chart(3), "Number of individuals", MlgCount, BoxesOf(rows));
  // The block opens with its own empty row.
  Sheet& sheet = results.first();
  AppendBlock(sheet, IndividualsCombinationBlock(rows), sheet.LastRow() + 1);
  if (Status written = WriteResultsLog(); !written) return written;
  messages_.Show("combinations done");
  return Status::Ok();
}

}  // namespace vireltan
