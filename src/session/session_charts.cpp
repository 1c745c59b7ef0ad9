// The chart commands: the MLG map, and saving the charts as image files.
#include <algorithm>
#include <utility>

#include "analyses/spatial/mlg_map.h"
#include "session/session.h"

namespace vireltan {

namespace {

void EmptySeries(ChartData& chart, const char* seriesName) {
  if (ChartSeries* s = chart.findSeries(seriesName)) {
    s->points.clear();
    s->boxes.clear();
  }
}

// The file name suffix of the curve on the sampling-effort chart.
const char* EffortCurveSuffix(EffortCurve curve) {
  switch (curve) {
    case EffortCurve::kCombinedIndividuals:
      return ".combiind";
    case EffortCurve::kCombinedLoci:
      return ".combiloc";
    case EffortCurve::kResampledIndividuals:
      return ".permind";
    case EffortCurve::kResampledLoci:
      return ".permloc";
    case EffortCurve::kNone:
      break;
  }
  return nullptr;
}

}  // namespace

void Session::HideCharts() {
  EmptySeries(chart(ChartRole::kMap), kMapUnitsSeries);
  EmptySeries(chart(ChartRole::kPareto), kParetoPointsSeries);
  EmptySeries(chart(ChartRole::kPareto), kParetoFitSeries);
  EmptySeries(chart(ChartRole::kAllelicHistogram), kAllelicBarsSeries);
  EmptySeries(chart(ChartRole::kMicrosatHistogram), kMicrosatBarsSeries);
  for (ChartData& c : charts_) c.visible = false;
}

Status Session::MlgMap() {
  if (Status allowed = Require(CommandGroup::kSpatialMenu); !allowed) return allowed;
  HideCharts();
  ChartData& map = chart(ChartRole::kMap);
  FillMlgMap(dataset(), mlgs(), info_.datasetName, map);
  map.visible = true;
  return Status::Ok();
}

std::string Session::ChartFileSuffix(ChartRole role) const {
  switch (role) {
    case ChartRole::kMap:
      return "";
    case ChartRole::kPareto:
      return ".pareto";
    case ChartRole::kSamplingEffort: {
      const char* suffix = EffortCurveSuffix(effortCurve_);
      return suffix ? suffix : ".effort";
    }
    case ChartRole::kAllelicHistogram:
      return ".gendist";
    case ChartRole::kMicrosatHistogram:
      return ".microsatdist";
    case ChartRole::kSubrange:
      return ".subrange";
    case ChartRole::kCorrelogram:
      return ".correlogram";
  }
  return "";
}

Status Session::SaveMap(ChartRenderer& renderer, const FigureOptions& options) {
  const ChartData& map = chart(ChartRole::kMap);
  if (!map.visible) return Status::Error("There is no map to save: draw the MLG map first.");
  // The map stays drawn: it can be saved again at another size.
  return renderer.SaveFigure(map, OutputPath(""), options);
}

void Session::NoteChartsShown() {
  for (const ChartData& c : charts_) {
    if (!c.visible || c.role == ChartRole::kMap) continue;
    if (c.role == ChartRole::kSamplingEffort && effortCurve_ == EffortCurve::kNone) continue;
    const std::string suffix = ChartFileSuffix(c.role);
    auto same = std::find_if(chartsToSave_.begin(), chartsToSave_.end(),
                             [&](const auto& entry) { return entry.first == suffix; });
    if (same != chartsToSave_.end()) {
      same->second = c;
    } else {
      chartsToSave_.emplace_back(suffix, c);
    }
  }
}

Status Session::SaveGraph(ChartRenderer& renderer, const FigureOptions& options) {
  NoteChartsShown();
  if (chartsToSave_.empty())
    return Status::Error(
        "There is no chart to save: no command has drawn one since the last save.");
  // Each chart is written once: the list empties as its files are written,
  // so that after a failure a new Save Graph writes only what is left.
  while (!chartsToSave_.empty()) {
    const auto& [suffix, data] = chartsToSave_.front();
    if (Status s = renderer.SaveFigure(data, OutputPath(suffix), options); !s) return s;
    chartsToSave_.erase(chartsToSave_.begin());
  }
  // A saved chart is not saved again by the next Save Graph.
  effortCurve_ = EffortCurve::kNone;
  for (ChartData& c : charts_)
    if (c.role != ChartRole::kMap) c.visible = false;
  return Status::Ok();
}

}  // namespace vireltan
