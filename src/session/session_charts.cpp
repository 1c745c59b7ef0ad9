// SPDX-License-Identifier: GPL-3.0-or-later
// The chart commands: the MLG map, and saving the charts as image files.
#include <algorithm>
#include <utility>

#include "analyses/spatial/mlg_map.h"
#include "analyses/spatial/spatial_sheets.h"
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

// ".ia.svg" -> ".ia": the renderer adds the extension of each format.
std::string WithoutSvg(const std::string& suffix) {
  const std::string svg = ".svg";
  if (suffix.size() >= svg.size() &&
      suffix.compare(suffix.size() - svg.size(), svg.size(), svg) == 0)
    return suffix.substr(0, suffix.size() - svg.size());
  return suffix;
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
  // The suggested MLL threshold is drawn over a histogram only by mll --suggest.
  for (ChartRole role : {ChartRole::kAllelicHistogram, ChartRole::kMicrosatHistogram})
    std::erase_if(chart(role).series,
                  [](const ChartSeries& s) { return s.name == kThresholdLineSeries; });
  for (ChartData& c : charts_) c.visible = false;
  lineages_.network.visible = false;
  pairwiseFstChart_.visible = false;
  for (ChartData& c : associationCharts_) c.visible = false;
}

void Session::RelabelDistances(ChartData& chart, const std::string& oldUnit,
                               const std::string& unit) {
  switch (chart.role) {
    case ChartRole::kMap:
      SetMapAxisTitles(chart, unit);
      break;
    case ChartRole::kSubrange: {
      chart.bottom.title = DistanceClassAxisTitle(unit);
      // The foot ends with the subrange value and its unit.
      const std::string old = " " + CoordinateUnitText(oldUnit);
      if (chart.foot.size() >= old.size() &&
          chart.foot.compare(chart.foot.size() - old.size(), old.size(), old) == 0)
        chart.foot.replace(chart.foot.size() - old.size(), old.size(),
                           " " + CoordinateUnitText(unit));
      break;
    }
    case ChartRole::kCorrelogram:
      chart.bottom.title = DistanceClassAxisTitle(unit);
      break;
    case ChartRole::kIsolationByDistance:
      chart.bottom.title = GeographicDistanceTitle(chart.bottom.title.rfind("ln ", 0) == 0, unit);
      break;
    default:
      break;
  }
}

Status Session::SetCoordinateUnit(const std::string& unit) {
  // Spaces around the unit are not part of it.
  const size_t first = unit.find_first_not_of(' ');
  const std::string trimmed =
      first == std::string::npos ? "" : unit.substr(first, unit.find_last_not_of(' ') - first + 1);
  // Characters, not bytes: "µm" is two.
  const auto characters = std::count_if(trimmed.begin(), trimmed.end(),
                                        [](unsigned char c) { return (c & 0xC0) != 0x80; });
  if (characters > 20)
    return Status::Error("The coordinate unit is too long (" + std::to_string(characters) +
                         " characters): give at most 20, such as m or km.");
  for (unsigned char c : trimmed)
    if (c < 0x20 || c == 0x7f)
      return Status::Error(
          "The coordinate unit cannot hold a tab or a line break: give a short word such as m or "
          "km.");
  const std::string unitNow = trimmed == "coordinate units" ? "" : trimmed;
  if (unitNow == coordinateUnit_) return Status::Ok();
  for (ChartData& c : charts_) RelabelDistances(c, coordinateUnit_, unitNow);
  if (savedMap_) RelabelDistances(*savedMap_, coordinateUnit_, unitNow);
  for (auto& [suffix, c] : chartsToSave_) RelabelDistances(c, coordinateUnit_, unitNow);
  coordinateUnit_ = unitNow;
  return Status::Ok();
}

Status Session::MlgMap(const std::string& coordinateUnit) {
  if (Status allowed = Require(CommandGroup::kSpatialMenu); !allowed) return allowed;
  if (!coordinateUnit.empty())
    if (Status unit = SetCoordinateUnit(coordinateUnit); !unit) return unit;
  HideCharts();
  ChartData& map = chart(ChartRole::kMap);
  const bool lineages = hasSnpData() && lineages_.counting;
  FillMlgMap(dataset(), SpatialPartition(), info_.datasetName, map, {coordinateUnit_, lineages});
  map.visible = true;
  savedMap_ = map;
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
    case ChartRole::kCallRate:
      return ".callrate";
    case ChartRole::kOrdination:
      return ".pcoa";
    case ChartRole::kIsolationByDistance:
      return ".ibd";
    case ChartRole::kAssociation:
      break;  // named per population when saved (".ia", ".<population>.ia")
  }
  return "";
}

Status Session::SaveMap(ChartRenderer& renderer, const FigureOptions& options) {
  // The last map drawn, whatever commands came after it: it can be saved
  // again at another size.
  if (!savedMap_) return Status::Error("There is no map to save: draw the MLG map first.");
  return SaveChartFiles(renderer, *savedMap_, OutputPath(""), options);
}

void Session::NoteChartsShown() {
  // The network stays to be saved until a Save Graph writes it, whatever
  // commands follow it.
  if (lineages_.network.visible) networkToSave_ = true;
  // So do the histograms of the test of clonality.
  for (const ChartData& c : associationCharts_)
    if (c.visible) associationToSave_ = true;
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
  const bool associationShown =
      associationToSave_ || std::any_of(associationCharts_.begin(), associationCharts_.end(),
                                        [](const ChartData& c) { return c.visible; });
  if (chartsToSave_.empty() && !associationShown && !networkToSave_ && !heatMapToSave_)
    return Status::Error(
        "There is no chart to save: no command has drawn one since the last save.");
  // Each chart is written once: the list empties as its files are written,
  // so that after a failure a new Save Graph writes only what is left.
  while (!chartsToSave_.empty()) {
    const auto& [suffix, data] = chartsToSave_.front();
    if (Status s = SaveChartFiles(renderer, data, OutputPath(suffix), options); !s) return s;
    chartsToSave_.erase(chartsToSave_.begin());
  }
  for (std::size_t k = 0; k < associationCharts_.size() && associationShown; ++k) {
    if (Status s = SaveChartFiles(renderer, associationCharts_[k],
                                  OutputPath(WithoutSvg(associationSuffixes_[k])), options);
        !s)
      return s;
    associationCharts_[k].visible = false;
  }
  associationToSave_ = false;
  if (networkToSave_) {
    // The network is drawn by the engine as SVG; the renderer adds its
    // image twins, in the formats and at the size asked for.
    NetworkChart network = lineages_.network;
    network.showTiedAlternatives = options.networkTies;
    network.showNodeLabels = options.networkLabels;
    if (Status s = SaveNetworkFiles(renderer, network, OutputPath(".msn"), options); !s) return s;
    // The node table's positions follow the figure saved.
    if (Status s = WriteNetworkNodeTable(lineages_.networkSortPopulations, options); !s) return s;
    networkToSave_ = false;
    lineages_.network.visible = false;
  }
  if (heatMapToSave_) {
    if (Status s =
            SaveHeatMapFiles(renderer, pairwiseFstChart_, OutputPath(".pairwise-fst"), options);
        !s)
      return s;
    heatMapToSave_ = false;
    pairwiseFstChart_.visible = false;
  }
  // A saved chart is not saved again by the next Save Graph.
  effortCurve_ = EffortCurve::kNone;
  for (ChartData& c : charts_)
    if (c.role != ChartRole::kMap) c.visible = false;
  return Status::Ok();
}

}  // namespace vireltan
