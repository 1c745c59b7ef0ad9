#include "session/chart_data.h"

namespace vireltan {

std::array<ChartData, 5> MakeDefaultCharts() {
  using Kind = ChartSeries::Kind;
  std::array<ChartData, 5> charts;
  charts[0].name = "Chart1";  // MLG map
  charts[0].series = {{"Series1", Kind::kPoints, {}, {}}};
  charts[1].name = "Chart2";  // Pareto distribution
  charts[1].bottom.title = "Number of replicates";
  charts[1].left.title = "Inverse cumulated frequency (%) ";
  // Pareto points are plain circles: their labels are not drawn.
  charts[1].series = {{"Series2", Kind::kPoints, {}, {}, false}, {"Series3", Kind::kLine, {}, {}}};
  charts[2].name = "Chart3";  // sampling-effort curves
  charts[2].left.title = "Number of distinct MLG";
  charts[2].left.increment = 1;
  charts[2].series = {{"Series4", Kind::kBoxes, {}, {}}, {"Series5", Kind::kLine, {}, {}}};
  charts[3].name = "Chart4";  // allelic distance histogram
  charts[3].bottom.title = "genetic distance (Number of distinct alleles)";
  charts[3].left.title = "frequency";
  charts[3].series = {{"Series6", Kind::kBars, {}, {}}};
  charts[4].name = "Chart5";  // microsatellite distance histogram
  charts[4].bottom.title = "genetic distance (microsatellites)";
  charts[4].left.title = "frequency";
  charts[4].series = {{"Series7", Kind::kBars, {}, {}}};
  return charts;
}

}  // namespace vireltan
