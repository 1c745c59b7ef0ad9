// SPDX-License-Identifier: GPL-3.0-or-later
// The sampling-effort curves: how the number of distinct MLGs grows with the
// number of loci typed and of sampling units collected, by random resampling
// and by exhaustive combination, as tables in the results log and box plots
// on the sampling-effort chart.
#include <algorithm>
#include <cmath>
#include <limits>
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

// Width in pixels of the drawn sampling-effort chart (that of a saved chart
// image); the boxes are sized from it.
constexpr double kEffortChartWidthPixels = 1000;

// One box per subset size: the smallest and largest MLG count met and their
// mean.
struct EffortBox {
  double lowest = 0;
  double average = 0;
  double highest = 0;
  double se = std::numeric_limits<double>::quiet_NaN();  // resampling only
};

// The sampling-effort chart: for each subset size 1..n (boxes[i-1]) a box
// spanning the smallest to the largest MLG count met, the mean count as a
// line with markers and, for resampling, the mean +- one standard error as
// a band. The whiskers are hidden (the Tukey fences of a box spanning the
// whole range would add nothing), so they are given the quartile values.
void FillEffortChart(ChartData& chart, const std::string& title, const std::string& bottomTitle,
                     int mlgCount, const std::vector<EffortBox>& boxes) {
  const int n = static_cast<int>(boxes.size());
  chart.clearSeries();
  chart.title = title;
  chart.left.title = "Number of distinct MLGs";
  chart.left.increment = 1;
  chart.left.fixedRange = true;
  chart.left.minimum = 0;
  chart.left.maximum = mlgCount + 1;
  chart.bottom.title = bottomTitle;
  chart.bottom.fixedRange = true;
  chart.bottom.minimum = 0.4;
  chart.bottom.maximum = n + 0.6;
  chart.bottom.increment = 1;
  ChartSeries* series = chart.findSeries(kEffortBoxesSeries);
  if (series == nullptr) {
    chart.series.push_back({kEffortBoxesSeries, ChartSeries::Kind::kBoxes, {}, {}});
    series = &chart.series.back();
  }
  series->legend = "min\u2013max range";
  const double halfWidth =
      static_cast<double>(RoundHalfEven(0.2 * kEffortChartWidthPixels / std::max(n, 1))) + 1;
  ChartSeries se{"MLG count standard error", ChartSeries::Kind::kBand, {}, {}};
  se.legend = "mean \u00b1 SE";
  se.color = "#0072B2";
  for (int i = 1; i <= n; ++i) {
    const EffortBox& box = boxes[i - 1];
    BoxStats stats;
    stats.x = i;
    stats.lowerQuartile = stats.lowerWhisker = box.lowest;
    stats.median = box.average;
    stats.upperQuartile = stats.upperWhisker = box.highest;
    stats.halfWidthPixels = halfWidth;
    series->boxes.push_back(stats);
    if (std::isfinite(box.se)) {
      se.points.push_back({static_cast<double>(i), box.average - box.se, "", ""});
      se.high.push_back(box.average + box.se);
    }
  }
  // The SE band goes under the mean line; a previous run's band goes.
  std::erase_if(chart.series,
                [](const ChartSeries& s) { return s.name == "MLG count standard error"; });
  if (!se.points.empty()) chart.series.insert(chart.series.begin(), std::move(se));
  if (ChartSeries* mean = chart.findSeries(kEffortMeanSeries)) {
    mean->legend = "mean";
    mean->markers = n <= 30;  // more markers would merge into a thick line
    mean->color = "#0072B2";
    for (int i = 1; i <= n; ++i)
      mean->points.push_back({static_cast<double>(i), boxes[i - 1].average, "", ""});
  }
  chart.visible = true;
}

std::vector<EffortBox> BoxesOf(const std::vector<ResamplingRow>& rows) {
  std::vector<EffortBox> boxes;
  for (const ResamplingRow& r : rows)
    boxes.push_back(
        {static_cast<double>(r.mlgMin), r.meanMlg, static_cast<double>(r.mlgMax), r.seMlg});
  return boxes;
}

std::vector<EffortBox> BoxesOf(const std::vector<CombinationRow>& rows) {
  std::vector<EffortBox> boxes;
  for (const CombinationRow& r : rows)
    boxes.push_back({static_cast<double>(r.mlgMin), r.averageMlg, static_cast<double>(r.mlgMax)});
  return boxes;
}

// The loci curves count genotypes over subsets of loci, which lineages,
// grouped on all loci at once, do not define.
Status CheckNotCountingLineages(const Session& s) {
  if (!s.lineages().counting) return Status::Ok();
  return Status::Error(
      "The loci curves count genotypes over subsets of loci and cannot count lineages: switch "
      "MLG > Count lineages instead of genotypes off first.");
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

const char* EffortCurveTitle(EffortCurve curve) {
  switch (curve) {
    case EffortCurve::kCombinedIndividuals:
      return "Combinations of sampling units";
    case EffortCurve::kCombinedLoci:
      return "Combinations of loci";
    case EffortCurve::kResampledIndividuals:
      return "Resampling of sampling units";
    case EffortCurve::kResampledLoci:
      return "Resampling of loci";
    case EffortCurve::kNone:
      break;
  }
  return "Sampling effort";
}

// Shows a finished curve: the sampling-effort chart holding `shown`, the
// block appended to `results` from `firstRow`, the log rewritten, then
// the closing message. Called only once the computation has succeeded, so a
// cancelled or failed run leaves chart and results as they were.
Status PublishCurve(Session& s, EffortCurve shown, const char* axisTitle,
                    const std::vector<EffortBox>& boxes, const Sheet& block, int firstRow,
                    const char* closing) {
  s.HideCharts();
  s.SetEffortCurve(shown);
  FillEffortChart(s.chart(ChartRole::kSamplingEffort),
                  std::string(EffortCurveTitle(shown)) + ", \"" + s.info().datasetName + "\"",
                  axisTitle, s.info().mlgCount, boxes);
  AppendBlock(s.results.first(), block, firstRow);
  s.MarkLineageBlock(firstRow);
  if (Status written = s.WriteResultsLog(); !written) return written;
  s.messages().Note(closing);
  return Status::Ok();
}

}  // namespace

Status Session::ResampleLoci(int permutations) {
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;
  if (Status counted = CheckNotCountingLineages(*this); !counted) return counted;
  if (Status valid = CheckPermutations(permutations); !valid) return valid;

  std::vector<ResamplingRow> rows;
  {
    ProgressPanel panel(progress_);
    EffortInput input = PrepareEffortInput(dataset(), mlgs());
    RandomGenerator random = NewGenerator();
    Status run = ResampleLociCurve(input, permutations, random, progress_, rows);
    if (!run) return run;
  }

  // The block opens with its own empty row.
  return PublishCurve(*this, EffortCurve::kResampledLoci, "Number of loci", BoxesOf(rows),
                      LociResamplingBlock(rows, permutations), results.first().LastRow() + 1,
                      "permutations done");
}

Status Session::ResampleIndividuals(int permutations) {
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;
  if (Status valid = CheckPermutations(permutations); !valid) return valid;

  std::vector<ResamplingRow> rows;
  {
    ProgressPanel panel(progress_);
    EffortInput input = PrepareEffortInput(dataset(), CountedPartition());
    RandomGenerator random = NewGenerator();
    Status run = ResampleIndividualsCurve(input, permutations, random, progress_, rows);
    if (!run) return run;
  }

  // One empty row between the previous block and this one.
  return PublishCurve(*this, EffortCurve::kResampledIndividuals, "Number of sampling units",
                      BoxesOf(rows), IndividualsResamplingBlock(rows, permutations),
                      NextResultsBlockRow(), "permutations done");
}

ExhaustiveEstimate Session::EstimateCombinationLoci() const {
  if (!hasData()) return ExhaustiveEstimate();
  return EstimateLociCombinations(PrepareEffortInput(dataset(), mlgs()));
}

Status Session::CombineLoci(bool force) {
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;
  if (Status counted = CheckNotCountingLineages(*this); !counted) return counted;

  LociCombinationResult result;
  {
    ProgressPanel panel(progress_);
    EffortInput input = PrepareEffortInput(dataset(), mlgs());
    // 2^L subsets: measured and refused before any work when too many.
    if (std::ldexp(1.0, input.locusCount) - 1 > kExhaustiveSubsetLimit && !force) {
      ExhaustiveEstimate estimate = EstimateLociCombinations(input);
      return Status::Error(LociCombinationRefusal(estimate, input.locusCount));
    }
    Status run = CombineLociCurve(input, progress_, result);
    if (!run) return run;
  }

  return PublishCurve(*this, EffortCurve::kCombinedLoci, "Number of loci", BoxesOf(result.rows),
                      LociCombinationBlock(result, info_.locusNames), NextResultsBlockRow(),
                      "combinations done");
}

Status Session::CombineIndividuals() {
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;

  // Closed form over the clone sizes: instant for any N, no progress needed.
  std::vector<CombinationRow> rows = CombineIndividualsCurve(CountedPartition().cloneSize);

  // The block opens with its own empty row.
  return PublishCurve(*this, EffortCurve::kCombinedIndividuals, "Number of sampling units",
                      BoxesOf(rows), IndividualsCombinationBlock(rows),
                      results.first().LastRow() + 1, "combinations done");
}

}  // namespace vireltan
