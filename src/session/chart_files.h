// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Saving a chart as its SVG, PNG and PDF files, whole or not at all, whatever
// renderer draws it.
//
// The old files are kept aside (copies beside them) while the renderer
// writes; the new files are then checked by their ends (the SVG closed by
// "</svg>", the PNG ending in its IEND chunk: a write cut short by a full
// disk loses them first). Unless the renderer succeeded and both files are
// whole, the old files are put back and new ones removed. Symbolic links
// are written through and targets that are not regular files refused, as
// for every other output.
#include <string>

#include "charts/chart_data.h"
#include "charts/chart_renderer.h"
#include "common/status.h"

namespace vireltan {

// Writes `chart` to `basePath` + ".svg", ".png", ".pdf" as `options`
// choose. On failure every target is as it was, no other file remains, and
// the message names the file and says why.
Status SaveChartFiles(ChartRenderer& renderer, const ChartData& chart, const std::string& basePath,
                      const FigureOptions& options);

// Whether `bytes` hold a complete SVG document / PNG image (checked by
// their ends, which a cut-short write loses first).
bool IsCompleteSvg(const std::string& bytes);
bool IsCompletePng(const std::string& bytes);
bool IsCompletePdf(const std::string& bytes);

}  // namespace vireltan
