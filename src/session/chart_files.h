// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Saving a figure as its SVG, PNG and PDF files, whole or not at all,
// whatever renderer draws it. Every file is first rendered in memory and
// checked (the SVG well-formed and closed by "</svg>" with no character
// XML forbids, the PNG ending in its IEND chunk, the PDF in "%%EOF"); only
// then is each written through a temporary file renamed over the target
// (sheet/atomic_file.h: symbolic links are written through, folders, pipes
// and devices refused). A failure before writing leaves every target as it
// was.
#include <string>

#include "charts/chart_data.h"
#include "charts/chart_renderer.h"
#include "charts/heat_map_chart.h"
#include "charts/network_chart.h"
#include "common/status.h"

namespace vireltan {

// Writes `chart` to `basePath` + ".svg", ".png", ".pdf" as `options`
// choose. The message of a failure names the file and says why.
Status SaveChartFiles(ChartRenderer& renderer, const ChartData& chart, const std::string& basePath,
                      const FigureOptions& options);

// The same for the minimum spanning network, which the engine draws as SVG
// itself (the renderer converts it to PNG and PDF).
Status SaveNetworkFiles(ChartRenderer& renderer, const NetworkChart& network,
                        const std::string& basePath, const FigureOptions& options);

// The same for the pairwise Fst heat map, also an SVG drawing of the engine.
Status SaveHeatMapFiles(ChartRenderer& renderer, const HeatMapChart& heatMap,
                        const std::string& basePath, const FigureOptions& options);

// Whether `bytes` hold a complete SVG document (closed, and without the
// control characters XML 1.0 forbids) / PNG image / PDF document, checked
// by their ends, which a cut-short write loses first.
bool IsCompleteSvg(const std::string& bytes);
bool IsCompletePng(const std::string& bytes);
bool IsCompletePdf(const std::string& bytes);

}  // namespace vireltan
