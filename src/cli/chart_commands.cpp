// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <cstdlib>
#include <memory>

#include "charts/chart_renderer.h"
#include "cli/cli_command.h"

namespace vireltan::cli {

namespace {

// The figure options shared by save-map and save-graph (and, for the
// network, save-graph's own).
std::vector<OptionSpec> FigureOptionSpecs(bool graph) {
  std::vector<OptionSpec> figureOptions{
      {"format", true, "comma list of svg, png and pdf (default svg,png)"},
      {"width", true, "figure width in millimetres, 20 to 1000 (default 160)", true, 20},
      {"height", true, "figure height in millimetres, 20 to 1000 (default 120)", true, 20},
      {"dpi", true,
       "resolution of the PNG image in dots per inch, 30 to 2400, at most 20,000 pixels on a "
       "side (default 300)",
       true, 30},
      {"font-size", true, "size of tick labels, legend and notes in points, 4 to 24 (default 8)"},
      {"title-size", true, "size of the title and axis titles in points, 4 to 24 (default 9)"},
      {"no-title", false, "leave the title out (journals put it in the caption)"},
  };
  if (graph) {
    figureOptions.push_back(
        {"ties-shown", false,
         "network: draw the tied alternative edges too (thin and dashed; they may cross the "
         "tree)"});
    figureOptions.push_back(
        {"hide-ties", false,
         "network: leave out the tied alternative edges (the default; kept for older scripts)"});
    figureOptions.push_back(
        {"no-node-labels", false, "network: leave out the MLG numbers on the nodes"});
  }
  return figureOptions;
}

// A size in points: a number from 4 to 24 (halves allowed).
Status PointsOption(const Options& options, const std::string& name, double& value) {
  auto it = options.find(name);
  if (it == options.end()) return Status::Ok();
  char* end = nullptr;
  const double v = std::strtod(it->second.c_str(), &end);
  if (it->second.empty() || *end != '\0' || !std::isfinite(v) || v < 4 || v > 24)
    return Status::Error("--" + name + " must be a size in points from 4 to 24.");
  value = v;
  return Status::Ok();
}

Status ReadFigureOptions(const Options& options, FigureOptions& figure) {
  if (auto format = options.find("format"); format != options.end())
    if (Status s = ParseFigureFormats(format->second, figure); !s) return s;
  int width = 0, height = 0;
  if (Status s = IntegerOption(options, "width", static_cast<int>(figure.widthMm), width); !s)
    return s;
  if (Status s = IntegerOption(options, "height", static_cast<int>(figure.heightMm), height); !s)
    return s;
  if (Status s = IntegerOption(options, "dpi", figure.dpi, figure.dpi); !s) return s;
  figure.widthMm = width;
  figure.heightMm = height;
  if (Status s = PointsOption(options, "font-size", figure.fontPoints); !s) return s;
  if (Status s = PointsOption(options, "title-size", figure.titlePoints); !s) return s;
  figure.showTitle = !options.count("no-title");
  if (options.count("ties-shown") && options.count("hide-ties"))
    return Status::Error("--ties-shown and --hide-ties ask for opposite things: give one.");
  figure.networkTies = options.count("ties-shown") != 0;
  figure.networkLabels = !options.count("no-node-labels");
  return CheckFigureSize(figure);
}

// Saving needs the Qt chart library of the desktop build; a command line
// built without it says so instead of writing nothing.
Status WithRenderer(Session& session, const Options& options,
                    Status (Session::*save)(ChartRenderer&, const FigureOptions&)) {
  FigureOptions figure;
  if (Status read = ReadFigureOptions(options, figure); !read) return read;
  std::unique_ptr<ChartRenderer> renderer = MakeRegisteredChartRenderer();
  if (!renderer)
    return Status::Error(
        "Charts cannot be saved: this vireltan-cli was built without the desktop build's chart "
        "library (configure with -DVIRELTAN_BUILD_GUI=ON).");
  return (session.*save)(*renderer, figure);
}

}  // namespace

std::vector<Command> ChartCommands() {
  return {
      WithCoordinateUnit(
          {"map",
           "Spatial components > MLG map: every sampling unit at its position, the eight "
           "largest clones each in its own colour and shape, labelled with its MLG number (MLL "
           "once lineages are counted on SNP data); save it with save-map, whatever commands "
           "come between.",
           {},
           [](Session& s, const Options&) { return s.MlgMap(); }}),
      {"save-map",
       "File > Save map: write the map to <data file without extension>.svg and .png (or the "
       "formats asked for); an error unless map came before.",
       FigureOptionSpecs(false),
       [](Session& s, const Options& o) { return WithRenderer(s, o, &Session::SaveMap); }},
      {"save-graph",
       "File > Save Graph: write every chart drawn by the commands before it, each once "
       "(.pareto, .combiind, .combiloc, .permind, .permloc, .gendist, .microsatdist, .subrange, "
       ".correlogram, .ia and .POPULATION.ia, .pairwise-fst, .pcoa, .ibd, and .callrate for the "
       "call rates of SNP data drawn at Open; .svg and .png "
       "unless --format says otherwise); an error when none was "
       "drawn. The minimum spanning network (.msn) waits for it whatever commands follow msn.",
       FigureOptionSpecs(true),
       [](Session& s, const Options& o) { return WithRenderer(s, o, &Session::SaveGraph); }},
  };
}

}  // namespace vireltan::cli
