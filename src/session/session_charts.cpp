// The chart commands: the MLG map, and saving the charts as image files.
#include <utility>

#include "analyses/spatial/mlg_map.h"
#include "session/chart_files.h"
#include "session/session.h"
#include "sheet/atomic_file.h"

namespace vireltan {

namespace {

void EmptySeries(ChartData& chart, const char* seriesName) {
  if (ChartSeries* s = chart.findSeries(seriesName)) {
    s->points.clear();
    s->boxes.clear();
  }
}

// The file suffix of the curve on the sampling-effort chart.
const char* EffortCurveSuffix(EffortCurve curve) {
  switch (curve) {
    case EffortCurve::kCombinedIndividuals:
      return ".combiind.svg";
    case EffortCurve::kCombinedLoci:
      return ".combiloc.svg";
    case EffortCurve::kResampledIndividuals:
      return ".permind.svg";
    case EffortCurve::kResampledLoci:
      return ".permloc.svg";
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
  // The suggested MLL threshold is drawn over a histogram only by mll --suggest.
  for (ChartRole role : {ChartRole::kAllelicHistogram, ChartRole::kMicrosatHistogram})
    std::erase_if(chart(role).series,
                  [](const ChartSeries& s) { return s.name == kThresholdLineSeries; });
  for (ChartData& c : charts_) c.visible = false;
  lineages_.network.visible = false;
  for (ChartData& c : associationCharts_) c.visible = false;
}

Status Session::MlgMap() {
  if (Status allowed = Require(CommandGroup::kSpatialMenu); !allowed) return allowed;
  HideCharts();
  ChartData& map = chart(ChartRole::kMap);
  FillMlgMap(dataset(), mlgs(), MapExtents{info_.minX, info_.maxX, info_.minY, info_.maxY}, map);
  map.visible = true;
  return Status::Ok();
}

Status Session::SaveMap(ChartRenderer& renderer) {
  ChartData& map = chart(ChartRole::kMap);
  if (map.visible) {
    Status saved = SaveChartFiles(renderer, map, OutputPath(".svg"));
    if (!saved) return saved;
  } else {
    messages_.Show("no map visible");
  }
  EmptySeries(map, kMapUnitsSeries);
  map.visible = false;
  return Status::Ok();
}

Status Session::SaveGraph(ChartRenderer& renderer) {
  bool saved = false;
  auto save = [&](ChartRole role, const char* suffix) {
    Status s = SaveChartFiles(renderer, chart(role), OutputPath(suffix));
    if (s) saved = true;
    return s;
  };
  if (chart(ChartRole::kPareto).visible) {
    if (Status s = save(ChartRole::kPareto, ".pareto.svg"); !s) return s;
  }
  if (chart(ChartRole::kSamplingEffort).visible) {
    // The chart holds one sampling-effort curve, which names the file. It is
    // forgotten once saved, so a second Save Graph does not repeat it.
    if (const char* suffix = EffortCurveSuffix(effortCurve_)) {
      if (Status s = save(ChartRole::kSamplingEffort, suffix); !s) return s;
      effortCurve_ = EffortCurve::kNone;
    }
  }
  const std::pair<ChartRole, const char*> others[] = {
      {ChartRole::kAllelicHistogram, ".gendist.svg"},
      {ChartRole::kMicrosatHistogram, ".microsatdist.svg"},
      {ChartRole::kSubrange, ".subrange.svg"},
      {ChartRole::kCorrelogram, ".correlogram.svg"}};
  for (const auto& [role, suffix] : others) {
    if (!chart(role).visible) continue;
    if (Status s = save(role, suffix); !s) return s;
  }
  for (std::size_t k = 0; k < associationCharts_.size(); ++k) {
    if (!associationCharts_[k].visible) continue;
    if (Status s =
            SaveChartFiles(renderer, associationCharts_[k], OutputPath(associationSuffixes_[k]));
        !s)
      return s;
    saved = true;
    associationCharts_[k].visible = false;
  }
  if (lineages_.network.visible) {
    // The network is drawn by the engine as SVG; the renderer adds its
    // image twins.
    const std::string svgPath = OutputPath(".msn.svg");
    if (Status s = WriteFileAtomically(svgPath, NetworkSvg(lineages_.network)); !s) return s;
    if (Status s = renderer.ConvertSvgDrawing(svgPath); !s) return s;
    saved = true;
    lineages_.network.visible = false;
  }
  if (!saved) messages_.Show("no graph visible");
  EmptySeries(chart(ChartRole::kPareto), kParetoPointsSeries);
  for (ChartData& c : charts_)
    if (c.role != ChartRole::kMap) c.visible = false;
  return Status::Ok();
}

}  // namespace vireltan
