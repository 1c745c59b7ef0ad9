// SPDX-License-Identifier: GPL-3.0-or-later
// The spatial structure commands: the aggregation index, the edge effect and
// the clonal subrange. Each adds its sheet in front of the spatial results
// workbook and saves the whole workbook beside the dataset.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <utility>

#include "analyses/spatial/aggregation_index.h"
#include "analyses/spatial/clonal_subrange.h"
#include "analyses/spatial/edge_effect.h"
#include "analyses/spatial/fixed_distance_classes.h"
#include "analyses/spatial/spatial_sheets.h"
#include "analyses/spatial/spatial_units.h"
#include "charts/chart_data.h"
#include "session/session.h"

namespace vireltan {

namespace {

Status CheckCount(int value, const std::string& what) {
  if (value >= 1) return Status::Ok();
  return Status::Error("The number of " + what + " must be a whole number of at least 1, not " +
                       std::to_string(value) + ".");
}

// Puts `sheet` in front of the workbook under `name` and saves the workbook.
// When the save fails the sheet is taken out again, so that the workbook in
// memory matches the file and a repeated run can still write its result.
Status AddSpatialSheet(Session& session, const std::string& name, Sheet sheet) {
  Book& book = session.spatialResults;
  book.InsertSheets(1, 1);
  book.sheet(1) = std::move(sheet);
  book.SetSheetName(1, name);
  Status saved = session.SaveSpatialWorkbook();
  if (!saved) book.DeleteSheets(1, 1);
  return saved;
}

// The aggregation index and the edge effect keep the first result of a
// loaded dataset; a repeated run would only throw its result away, so it is
// not started and the user is told why.
bool AlreadyInWorkbook(Session& session, const std::string& name) {
  if (!session.spatialResults.HasSheetNamed(name)) return false;
  session.messages().Show("The spatial results workbook already holds the sheet \"" + name +
                          "\" for this dataset: the new result would not be written. Open the "
                          "dataset again for a new run.");
  return true;
}

// F(r) against the average distance of each class that holds pairs.
void FillSubrangeChart(const ClonalSubrangeResult& result, bool fixedClasses,
                       const std::string& datasetName, const std::string& unit, ChartData& chart) {
  chart = DefaultChart(ChartRole::kSubrange);
  chart.title =
      std::string("Clonal subrange, \"") + datasetName + "\" (" +
      (fixedClasses ? "distance classes from distances.txt" : "equal-size distance classes") + ")";
  chart.bottom.title = DistanceClassAxisTitle(unit);
  chart.left.title = "F(r): share of pairs of one MLG";
  // From 0 up to a round value just above the largest share (F(r) of a
  // clonal survey often stays below 0.4): the curve fills the plot.
  double highest = 0;
  for (const SubrangeClass& cls : result.classes)
    if (cls.pairs > 0 && std::isfinite(cls.same)) highest = std::max(highest, cls.same);
  chart.left.fixedRange = true;
  chart.left.minimum = 0;
  // (Shares near 1 keep the room above 1 that a marker at 1 needs.)
  const double top = highest > 0 ? NiceAxisMaximum(highest) : 1.0;
  chart.left.maximum = top > 1 ? 1.05 : top;
  char subrange[32];
  std::snprintf(subrange, sizeof subrange, result.subrange >= 100 ? "%.0f" : "%.3g",
                result.subrange);
  // The unit comes last: a change of unit replaces it.
  chart.foot = std::string("Clonal subrange (largest distance within an MLG): ") + subrange + " " +
               CoordinateUnitText(unit);
  ChartSeries line{"F(r)", ChartSeries::Kind::kLine, {}, {}};
  line.legend = "F(r) by distance class";
  line.markers = true;
  line.color = "#0072B2";
  for (const SubrangeClass& cls : result.classes) {
    if (cls.pairs > 0) line.points.push_back({cls.average, cls.same, "", ""});
  }
  chart.series = {std::move(line)};
  chart.visible = true;
}

}  // namespace

Status Session::AggregationIndex(int permutations) {
  if (Status snp = RequireOnSnpData("aggregation"); !snp) return snp;
  if (Status allowed = Require(CommandGroup::kSpatialMenu); !allowed) return allowed;
  if (Status valid = CheckCount(permutations, "permutations"); !valid) return valid;
  HideCharts();
  chart(ChartRole::kSubrange).visible = false;
  if (AlreadyInWorkbook(*this, kAggregationSheetName)) return Status::Ok();

  AggregationResult result;
  {
    ProgressPanel panel(progress());
    Status computed =
        ComputeAggregationIndex(UnitsInDesignationOrder(dataset(), SpatialPartition()),
                                permutations, NewRunSeed(), &progress(), result);
    if (!computed) return computed;
  }
  Status saved = AddSpatialSheet(*this, kAggregationSheetName, AggregationIndexSheet(result));
  if (!saved) return saved;
  messages().Note("permutations done");
  return Status::Ok();
}

Status Session::EdgeEffect(int permutations) {
  if (Status snp = RequireOnSnpData("edge-effect"); !snp) return snp;
  if (Status allowed = Require(CommandGroup::kSpatialMenu); !allowed) return allowed;
  if (Status valid = CheckCount(permutations, "permutations"); !valid) return valid;
  HideCharts();
  chart(ChartRole::kSubrange).visible = false;
  if (AlreadyInWorkbook(*this, kEdgeEffectSheetName)) return Status::Ok();

  EdgeEffectResult result;
  {
    ProgressPanel panel(progress());
    const SpatialUnits units = UnitsInDesignationOrder(dataset(), SpatialPartition());
    Status computed =
        ComputeEdgeEffect(units, EdgeReferencePoint(units, info_.halfRangeX, info_.halfRangeY),
                          permutations, NewRunSeed(), &progress(), result);
    if (!computed) return computed;
  }
  Status saved =
      AddSpatialSheet(*this, kEdgeEffectSheetName, EdgeEffectSheet(result, coordinateUnit_));
  if (!saved) return saved;
  messages().Note("permutations done");
  return Status::Ok();
}

Status Session::ClonalSubrange(int classCount) {
  if (Status snp = RequireOnSnpData("subrange"); !snp) return snp;
  if (Status allowed = Require(CommandGroup::kSpatialMenu); !allowed) return allowed;
  if (Status valid = CheckCount(classCount, "distance classes"); !valid) return valid;
  HideCharts();
  chart(ChartRole::kSubrange).visible = false;

  ClonalSubrangeResult result;
  {
    ProgressPanel panel(progress());
    Status computed = ComputeClonalSubrange(UnitsInDesignationOrder(dataset(), SpatialPartition()),
                                            classCount, &progress(), result);
    if (!computed) return computed;
  }
  Status saved = AddSpatialSheet(*this, UniqueSpatialSheetName(kSubrangeSheetName),
                                 ClonalSubrangeSheet(result, false, coordinateUnit_));
  if (!saved) return saved;
  FillSubrangeChart(result, false, info_.datasetName, coordinateUnit_, chart(ChartRole::kSubrange));
  return Status::Ok();
}

Status Session::ClonalSubrangeFixed() {
  if (Status snp = RequireOnSnpData("subrange"); !snp) return snp;
  if (Status allowed = Require(CommandGroup::kSpatialMenu); !allowed) return allowed;
  HideCharts();
  chart(ChartRole::kSubrange).visible = false;

  std::vector<double> limits;
  if (Status read = ReadFixedDistanceClasses(info_.dataDirectory, limits); !read) return read;

  ClonalSubrangeResult result;
  {
    ProgressPanel panel(progress());
    Status computed = ComputeClonalSubrangeFixed(
        UnitsInDesignationOrder(dataset(), SpatialPartition()), limits, &progress(), result);
    if (!computed) return computed;
  }
  Status saved = AddSpatialSheet(*this, UniqueSpatialSheetName(kFixedSubrangeSheetName),
                                 ClonalSubrangeSheet(result, true, coordinateUnit_));
  if (!saved) return saved;
  FillSubrangeChart(result, true, info_.datasetName, coordinateUnit_, chart(ChartRole::kSubrange));
  if (result.outOfRange) {
    messages().Show("The dataset contains values out of the range defined in \"distances.txt\"!");
  }
  return Status::Ok();
}

}  // namespace vireltan
