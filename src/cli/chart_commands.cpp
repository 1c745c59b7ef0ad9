#include <memory>

#include "charts/chart_renderer.h"
#include "cli/cli_command.h"

namespace vireltan::cli {

namespace {

// Saving needs the Qt chart library of the desktop build; a command line
// built without it says so instead of writing nothing.
Status WithRenderer(Session& session, Status (Session::*save)(ChartRenderer&)) {
  std::unique_ptr<ChartRenderer> renderer = MakeRegisteredChartRenderer();
  if (!renderer)
    return Status::Error(
        "Charts cannot be saved: this vireltan-cli was built without the desktop build's chart "
        "library (configure with -DVIRELTAN_BUILD_GUI=ON).");
  return (session.*save)(*renderer);
}

}  // namespace

std::vector<Command> ChartCommands() {
  return {
      {"map",
       "Spatial components > MLG map: every sampling unit at its position, labelled with its "
       "MLG number (save it with save-map).",
       {},
       [](Session& s, const Options&) { return s.MlgMap(); }},
      {"save-map",
       "File > Save map: write the map to <data file without extension>.svg and .png (\"no map "
       "visible\" unless map came before).",
       {},
       [](Session& s, const Options&) { return WithRenderer(s, &Session::SaveMap); }},
      {"save-graph",
       "File > Save Graph: write each chart shown by the last analyses (.pareto, .combiind, "
       ".combiloc, .permind, .permloc, .gendist, .microsatdist, .subrange, .correlogram; .svg "
       "and .png; \"no graph visible\" when none is shown).",
       {},
       [](Session& s, const Options&) { return WithRenderer(s, &Session::SaveGraph); }},
  };
}

}  // namespace vireltan::cli
