#include "charts/chart_renderer.h"

namespace vireltan {

namespace {
// Constant-initialised, so a registration made by a static object of
// another translation unit can never be overwritten by this definition.
ChartRendererFactory registeredFactory = nullptr;
}  // namespace

std::string PngPathFor(const std::string& svgPath) {
  const std::string svg = ".svg";
  if (svgPath.size() >= svg.size() &&
      svgPath.compare(svgPath.size() - svg.size(), svg.size(), svg) == 0)
    return svgPath.substr(0, svgPath.size() - svg.size()) + ".png";
  return svgPath + ".png";
}

void SetChartRendererFactory(ChartRendererFactory factory) {
  registeredFactory = factory;
}

std::unique_ptr<ChartRenderer> MakeRegisteredChartRenderer() {
  return registeredFactory ? registeredFactory() : nullptr;
}

}  // namespace vireltan
