// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/unit_tables.h"

#include <algorithm>
#include <cmath>

#include "charts/network_layout.h"

namespace vireltan {

Sheet BuildUnitsTable(const Dataset& d, const MlgPartition& mlgs,
                      const std::vector<int>* lineageOfMlg) {
  Sheet table;
  const char* header[] = {"designation", "population", "MLG", "MLL"};
  for (int c = 0; c < 4; ++c) table.SetTextAt(1, c + 1, header[c]);
  for (int su = 0; su < d.sampleCount; ++su) {
    const int row = su + 2;
    const int mlg = mlgs.mlgOfSu[su];
    table.SetTextAt(row, 1, d.designationText(su));
    table.SetTextAt(row, 2, d.populationNames[d.populationOfSu[su]]);
    table.SetNumberAt(row, 3, mlg);
    if (lineageOfMlg) table.SetNumberAt(row, 4, (*lineageOfMlg)[mlg - 1]);
  }
  return table;
}

Sheet BuildNetworkNodeTable(const NetworkChart& network, bool sortPopulations,
                            const FigureOptions& figure) {
  Sheet table;
  table.SetTextAt(1, 1, "node");
  table.SetTextAt(1, 2, "units");
  table.SetTextAt(1, 3, "populations");
  table.SetTextAt(1, 4, "x (mm)");
  table.SetTextAt(1, 5, "y (mm)");
  const NetworkLayout layout = LayOutNetwork(network, figure);
  // To a hundredth of a millimetre: finer than any printer places a dot.
  auto mm = [](double v) { return std::round(v * 100) / 100; };
  int row = 1;
  for (const NetworkNode& node : network.nodes) {
    ++row;
    table.SetNumberAt(row, 4, mm(layout.x[row - 2]));
    table.SetNumberAt(row, 5, mm(layout.y[row - 2]));
    table.SetNumberAt(row, 1, node.number);
    table.SetNumberAt(row, 2, node.units);
    std::vector<NetworkSlice> slices = node.slices;
    if (sortPopulations)
      std::stable_sort(
          slices.begin(), slices.end(),
          [](const NetworkSlice& a, const NetworkSlice& b) { return a.group < b.group; });
    std::string populations;
    for (const NetworkSlice& slice : slices)
      populations += (populations.empty() ? "" : "; ") + slice.group + " (" +
                     std::to_string(slice.count) + ")";
    table.SetTextAt(row, 3, populations);
  }
  return table;
}

}  // namespace vireltan
