// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/chart_files.h"

#include <utility>
#include <vector>

#include "sheet/atomic_file.h"

namespace vireltan {

namespace {

Status WriteError(const std::string& path, const std::string& reason) {
  return Status::Error("Cannot write \"" + path + "\": " + reason);
}

struct PendingFile {
  std::string path;
  const std::string* bytes;
  bool (*whole)(const std::string&);
};

// Checks every rendered file, refuses unusable targets, then writes each.
Status WriteFigure(const std::string& basePath, const FigureOptions& options,
                   const FigureBytes& bytes) {
  std::vector<PendingFile> files;
  if (options.svg) files.push_back({basePath + ".svg", &bytes.svg, IsCompleteSvg});
  if (options.png) files.push_back({basePath + ".png", &bytes.png, IsCompletePng});
  if (options.pdf) files.push_back({basePath + ".pdf", &bytes.pdf, IsCompletePdf});
  for (const PendingFile& f : files) {
    if (!f.whole(*f.bytes)) return WriteError(f.path, "the drawing could not be completed.");
    // Pipes, devices and folders are refused before any file is replaced.
    std::string target;
    if (Status s = ResolveOutputTarget(f.path, target); !s) return s;
  }
  for (const PendingFile& f : files)
    if (Status s = WriteFileAtomically(f.path, *f.bytes); !s) return s;
  return Status::Ok();
}

}  // namespace

bool IsCompleteSvg(const std::string& bytes) {
  // XML 1.0 allows no control character but tab, line feed and return.
  for (unsigned char c : bytes)
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
  size_t end = bytes.find_last_not_of(" \t\r\n");
  const std::string close = "</svg>";
  return end != std::string::npos && end + 1 >= close.size() &&
         bytes.compare(end + 1 - close.size(), close.size(), close) == 0;
}

bool IsCompletePng(const std::string& bytes) {
  static const std::string kSignature("\x89PNG\r\n\x1A\n", 8);
  // The last chunk: length 0, type IEND, its fixed checksum.
  static const std::string kEnd("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
  return bytes.size() >= kSignature.size() + kEnd.size() &&
         bytes.compare(0, kSignature.size(), kSignature) == 0 &&
         bytes.compare(bytes.size() - kEnd.size(), kEnd.size(), kEnd) == 0;
}

bool IsCompletePdf(const std::string& bytes) {
  size_t end = bytes.find_last_not_of(" \t\r\n");
  const std::string close = "%%EOF";
  return bytes.compare(0, 4, "%PDF") == 0 && end != std::string::npos && end + 1 >= close.size() &&
         bytes.compare(end + 1 - close.size(), close.size(), close) == 0;
}

Status SaveChartFiles(ChartRenderer& renderer, const ChartData& chart, const std::string& basePath,
                      const FigureOptions& options) {
  if (Status size = CheckFigureSize(options); !size) return size;
  FigureBytes bytes;
  if (Status drawn = renderer.RenderFigure(chart, options, bytes); !drawn) return drawn;
  return WriteFigure(basePath, options, bytes);
}

namespace {

// Writes an SVG drawing of the engine with the image twins the renderer
// makes of it.
Status SaveDrawingFiles(ChartRenderer& renderer, std::string svg, const std::string& basePath,
                        const FigureOptions& options) {
  FigureBytes bytes;
  bytes.svg = std::move(svg);
  if (!IsCompleteSvg(bytes.svg))
    return WriteError(basePath + ".svg", "the drawing could not be completed.");
  if (Status drawn = renderer.RenderSvgDrawing(bytes.svg, options, bytes); !drawn) return drawn;
  return WriteFigure(basePath, options, bytes);
}

}  // namespace

Status SaveNetworkFiles(ChartRenderer& renderer, const NetworkChart& network,
                        const std::string& basePath, const FigureOptions& options) {
  if (Status size = CheckFigureSize(options); !size) return size;
  return SaveDrawingFiles(renderer, NetworkSvg(network, options), basePath, options);
}

Status SaveHeatMapFiles(ChartRenderer& renderer, const HeatMapChart& heatMap,
                        const std::string& basePath, const FigureOptions& options) {
  if (Status size = CheckFigureSize(options); !size) return size;
  return SaveDrawingFiles(renderer, HeatMapSvg(heatMap, options), basePath, options);
}

}  // namespace vireltan
