// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/chart_renderer.h"

#include <cmath>
#include <string>

namespace vireltan {

namespace {
// Constant-initialised, so a registration made by a static object of
// another translation unit can never be overwritten by this definition.
ChartRendererFactory registeredFactory = nullptr;
}  // namespace

Status ParseFigureFormats(const std::string& list, FigureOptions& options) {
  FigureOptions chosen = options;
  chosen.svg = chosen.png = chosen.pdf = false;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    const std::string name = list.substr(start, comma - start);
    if (name == "svg") {
      chosen.svg = true;
    } else if (name == "png") {
      chosen.png = true;
    } else if (name == "pdf") {
      chosen.pdf = true;
    } else {
      return Status::Error("Unknown figure format \"" + name.substr(0, 20) +
                           "\": choose among svg, png and pdf, separated by commas.");
    }
    start = comma + 1;
  }
  options = chosen;
  return Status::Ok();
}

Status CheckFigureSize(const FigureOptions& options) {
  auto within = [](double v, double lo, double hi) { return v >= lo && v <= hi; };
  if (!within(options.widthMm, 20, 1000) || !within(options.heightMm, 20, 1000))
    return Status::Error("The figure width and height must be from 20 to 1000 mm.");
  if (!within(options.dpi, 30, 2400))
    return Status::Error("The resolution must be from 30 to 2400 dots per inch.");
  if (!within(options.fontPoints, 4, 24) || !within(options.titlePoints, 4, 24))
    return Status::Error("The text sizes must be from 4 to 24 points.");
  if (options.png) {
    const double w = FigurePixels(options.widthMm, options.dpi);
    const double h = FigurePixels(options.heightMm, options.dpi);
    if (w > kMaxFigurePixelsPerSide || h > kMaxFigurePixelsPerSide ||
        w * h > kMaxFigureMegapixels * 1e6)
      return Status::Error("The PNG image would be " + std::to_string(static_cast<long>(w)) +
                           " x " + std::to_string(static_cast<long>(h)) +
                           " pixels; the limit is 20,000 pixels on a side and 400 megapixels: "
                           "lower the resolution or the size.");
  }
  return Status::Ok();
}

int FigurePixels(double millimetres, int dpi) {
  return static_cast<int>(std::lround(millimetres / 25.4 * dpi));
}

std::vector<std::string> FigurePaths(const std::string& basePath, const FigureOptions& options) {
  std::vector<std::string> paths;
  if (options.svg) paths.push_back(basePath + ".svg");
  if (options.png) paths.push_back(basePath + ".png");
  if (options.pdf) paths.push_back(basePath + ".pdf");
  return paths;
}

void SetChartRendererFactory(ChartRendererFactory factory) {
  registeredFactory = factory;
}

std::unique_ptr<ChartRenderer> MakeRegisteredChartRenderer() {
  return registeredFactory ? registeredFactory() : nullptr;
}

}  // namespace vireltan
