// The chart commands: the MLG map, and saving the charts as image files.
#include <utility>

#include "analyses/spatial/mlg_map.h"
#include "session/chart_files.h"
#include "session/session.h"

namespace vireltan {

namespace {

void EmptySeries(ChartData& chart, const char* seriesName) {
  if (ChartSeries* s = chart.findSeries(seriesName)) {
    s->points.clear();
    s->boxes.clear();
  }
}

}  // namespace

void Session::HideCharts() {
  EmptySeries(chart(1), "Series1");
  EmptySeries(chart(2), "Series2");
  EmptySeries(chart(2), "Series3");
  EmptySeries(chart(4), "Series6");
  EmptySeries(chart(5), "Series7");
  for (ChartData& c : charts) c.visible = false;
  subrangeChart.visible = false;
  correlogramChart.visible = false;
}

Status Session::MlgMap() {
  if (Status allowed = Require(CommandGroup::kSpatialMenu); !allowed) return allowed;
  HideCharts();
  FillMlgMap(dataset(), mlgs(), MapExtents{MinX, MaxX, MinY, MaxY}, chart(1));
  chart(1).visible = true;
  return Status::Ok();
}

Status Session::SaveMap(ChartRenderer& renderer) {
  ChartData& map = chart(1);
  if (map.visible) {
    Status saved = SaveChartFiles(renderer, map, OutputPath(".svg"));
    if (!saved) return saved;
  } else {
    messages_.Show("no map visible");
  }
  EmptySeries(map, "Series1");
  map.visible = false;
  return Status::Ok();
}

Status Session::SaveGraph(ChartRenderer& renderer) {
  bool saved = false;
  auto save = [&](int number, const char* suffix) {
    Status s = SaveChartFiles(renderer, chart(number), OutputPath(suffix));
    if (s) saved = true;
    return s;
  };
  if (chart(2).visible) {
    if (Status s = save(2, ".pareto.svg"); !s) return s;
  }
  if (chart(3).visible) {
    // Chart3 holds one sampling-effort curve; its flag names the file. A
    // flag is cleared once saved, so a second Save Graph does not repeat it.
    std::pair<bool*, const char*> curves[] = {{&Chart3ShowsCombiInd, ".combiind.svg"},
                                              {&Chart3ShowsCombiLoc, ".combiloc.svg"},
                                              {&Chart3ShowsResampInd, ".permind.svg"},
                                              {&Chart3ShowsResampLoc, ".permloc.svg"}};
    for (auto& [flag, suffix] : curves) {
      if (!*flag) continue;
      if (Status s = save(3, suffix); !s) return s;
      *flag = false;
    }
  }
  if (chart(4).visible) {
    if (Status s = save(4, ".gendist.svg"); !s) return s;
  }
  if (chart(5).visible) {
    if (Status s = save(5, ".microsatdist.svg"); !s) return s;
  }
  // The charts of the clonal subrange and of the autocorrelation.
  std::pair<ChartData*, const char*> extras[] = {{&subrangeChart, ".subrange.svg"},
                                                 {&correlogramChart, ".correlogram.svg"}};
  for (auto& [extra, suffix] : extras) {
    if (!extra->visible) continue;
    if (Status s = SaveChartFiles(renderer, *extra, OutputPath(suffix)); !s) return s;
    saved = true;
  }
  if (!saved) messages_.Show("no graph visible");
  EmptySeries(chart(2), "Series2");
  for (int number = 2; number <= 5; ++number) chart(number).visible = false;
  subrangeChart.visible = false;
  correlogramChart.visible = false;
  return Status::Ok();
}

}  // namespace vireltan
