// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the session remembers about multilocus lineages between commands:
// the last grouping, whether the analyses count lineages, the last
// threshold suggestion and the minimum spanning network on show. Reset by
// Open and Close.
#include <optional>
#include <string>
#include <vector>

#include "analyses/distance/mlg_distance_table.h"
#include "analyses/lineages/mlg_clustering.h"
#include "charts/network_chart.h"

namespace vireltan {

struct LineageState {
  bool grouped = false;  // an MLL grouping has been made for this dataset
  MlgDistanceKind distance = MlgDistanceKind::kAllelic;
  DistanceMissing missing = DistanceMissing::kRescale;
  Linkage linkage = Linkage::kFarthest;
  double threshold = 0;
  LineagePartition partition;
  std::vector<int> unitsOfLineage;  // sampling units of MLL l at index l-1
  // The diversity, Pareto and sampling-effort commands count MLLs.
  bool counting = false;
  std::optional<ThresholdSuggestion> suggestion;
  NetworkChart network;  // the minimum spanning network shown, if visible
  // Its node table lists each node's populations by name.
  bool networkSortPopulations = false;
};

}  // namespace vireltan
