// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <memory>

#include "charts/chart_renderer.h"
#include "cli/cli_command.h"

namespace vireltan::cli {

namespace {

// The figure options shared by save-map and save-graph.
std::vector<OptionSpec> FigureOptionSpecs() {
  return {
      {"format", true, "comma list of svg, png and pdf (default svg,png)"},
      {"width", true, "figure width in millimetres, 20 to 1000 (default 160)", true, 20},
      {"height", true, "figure height in millimetres, 20 to 1000 (default 120)", true, 20},
      {"dpi", true, "resolution of the PNG image in dots per inch, 30 to 2400 (default 300)", true,
       30},
  };
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
      {"map",
       "Spatial components > MLG map: every sampling unit at its position, coloured by clone and "
       "labelled with its MLG number (save it with save-map).",
       {},
       [](Session& s, const Options&) { return s.MlgMap(); }},
      {"save-map",
       "File > Save map: write the map to <data file without extension>.svg and .png (or the "
       "formats asked for); an error unless map came before.",
       FigureOptionSpecs(),
       [](Session& s, const Options& o) { return WithRenderer(s, o, &Session::SaveMap); }},
      {"save-graph",
       "File > Save Graph: write every chart drawn by the commands before it, each once "
       "(.pareto, .combiind, .combiloc, .permind, .permloc, .gendist, .microsatdist, .subrange, "
       ".correlogram; .svg and .png unless --format says otherwise); an error when none was "
       "drawn.",
       FigureOptionSpecs(),
       [](Session& s, const Options& o) { return WithRenderer(s, o, &Session::SaveGraph); }},
  };
}

}  // namespace vireltan::cli
