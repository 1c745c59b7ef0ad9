// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tables a user takes away to R or a spreadsheet (comma-separated files):
// each unit's MLG and MLL, and the nodes of the minimum spanning network.
// Both cost one pass over the units or nodes.
#include <string>
#include <vector>

#include "charts/network_chart.h"
#include "dataset/dataset.h"
#include "sheet/sheet.h"

namespace vireltan {

// Header "designation", "population", "MLG", "MLL", then one row per unit
// in file order: its designation as the file writes it, its population,
// its MLG number and, when `lineageOfMlg` is given (MLL number of MLG m at
// index m-1), its MLL number; the MLL cells stay empty otherwise.
Sheet BuildUnitsTable(const Dataset& dataset, const MlgPartition& mlgs,
                      const std::vector<int>* lineageOfMlg);

// Header "node", "units", "populations", "x (mm)", "y (mm)", then one row
// per node: its MLG (or MLL) number, its units, its populations with their
// units, such as "north (3); south (1)", in the network's population order
// (the file's) or by name when `sortPopulations`, and the centre of its
// disc in the figure of `figure`'s size, in mm from the top left corner
// (to 0.01 mm).
Sheet BuildNetworkNodeTable(const NetworkChart& network, bool sortPopulations,
                            const FigureOptions& figure = {});

}  // namespace vireltan
