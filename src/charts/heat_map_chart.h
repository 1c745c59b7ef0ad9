// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A triangular heat map of a symmetric table between groups (pairwise Fst
// between populations): one cell per pair below the diagonal, its colour from
// a sequential scale and its value printed in it (as large as the cells let
// it be, down to 5 points; smaller cells show their marks alone), the group
// names along the left and bottom edges and a colour legend with round
// ticks. Like the network, it is not a plot over axes: the engine writes it
// as an SVG drawing laid out for the figure's printed size, and front ends
// show or convert that drawing.
#include <optional>
#include <string>
#include <vector>

#include "charts/chart_renderer.h"
#include "charts/network_chart.h"

namespace vireltan {

struct HeatMapChart {
  bool visible = false;
  std::string title;                // "Pairwise Fst (θ), \"dataset\""
  std::string legendTitle;          // what the colours stand for ("Fst")
  std::vector<std::string> groups;  // row and column names, in order
  // The value of the pair (i, j), i > j, at index i * (i - 1) / 2 + j:
  // the lower triangle row by row. Empty where undefined (drawn hatched
  // grey, no number).
  std::vector<std::optional<double>> values;
  // Optional marks drawn after a value ("*" where p < 0.05), same indexing;
  // empty vector for none.
  std::vector<std::string> marks;
  std::string foot;  // one line under the drawing ("* p < 0.05 ...")

  std::optional<double> value(int i, int j) const {
    if (i < j) std::swap(i, j);
    return i == j ? std::nullopt : values[static_cast<std::size_t>(i) * (i - 1) / 2 + j];
  }
};

// The drawing as a standalone SVG document (UTF-8) of the figure's size in
// millimetres, texts in points as `options` sets them; `texts`, when given,
// receives every text drawn (for tests that read the layout back).
std::string HeatMapSvg(const HeatMapChart& chart, const FigureOptions& options = {},
                       std::vector<NetworkText>* texts = nullptr);

}  // namespace vireltan
