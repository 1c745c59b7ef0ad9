// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The agglomeration behind ClusterMlgs with poppr's ties (mlg_clustering.h),
// merge for merge as poppr's mlg.filter makes it, so that both the groups and
// poppr's lineage numbers come out. Internal to the lineage analyses.
//
// The groups sit in slots numbered as poppr numbers the MLGs (slot s starts
// with the MLG poppr numbers s + 1). At every merge:
//   - the distance between two groups is the largest (farthest), smallest
//     (nearest) or mean (average) distance over the pairs of their units;
//     poppr forms the mean by adding d / (na nb) once per pair of units, the
//     pairs taken as the units come in the file (first unit, then second),
//     and the roundings of that sum can make one of two equal means the
//     smaller;
//   - the closest pair is the first met at the smallest distance when the
//     slots are scanned row by row (first slot, then second); it is merged
//     while it is at most the threshold apart;
//   - one of the two slots keeps the merged group: for each slot, add
//     d / c over its positive distances to the groups in the first c slots
//     (c: the groups before the merge, empty slots counted in the range);
//     the slot with the smaller sum keeps the group, the lower slot when the
//     sums are equal;
//   - a lineage's number is the number of the slot that holds it at the end.
// Exact distances (the largest, the smallest, or sum / (na nb) with the sum
// kept as a double, exact for whole and half distances) decide every
// comparison they can; poppr's rounded means are formed only where two exact
// values are equal, from the units of the two groups (O(na nb) additions).
#include <vector>

#include "analyses/distance/mlg_distance_table.h"
#include "analyses/lineages/mlg_clustering.h"
#include "common/progress_sink.h"
#include "common/status.h"

namespace vireltan::clustering {

struct PopprMergeInput {
  Linkage linkage = Linkage::kFarthest;
  // Per MLG (0-based): its slot, poppr's number minus 1.
  std::vector<int> slotOfMlg;
  // The units as the file lists them, each as its MLG (0-based). Average
  // linkage over MLGs passes one unit per MLG.
  std::vector<int> mlgOfUnit;
};

struct PopprMergeResult {
  std::vector<int> slotOfMlg;  // per MLG: the slot holding its lineage at the end
  // MLGs met in ties (a merge at distance h while another pair at h shared
  // one of its groups), farthest and average linkage.
  std::vector<char> tiedMlgs;
};

// Holds the G(G-1)/2 linkage cells (4 bytes for farthest and nearest
// linkage, 8 for average) and, for average linkage, the MLG distances (8
// more): ClusteringBytes. Each merge costs O(G) besides the rows whose
// nearest group changed (O(G) each) and the rounded means of equal exact
// values. Polls `progress` at every row and merge.
Status RunPopprMerges(const MlgDistanceRows& table, const PopprMergeInput& input, double threshold,
                      ProgressSink& progress, PopprMergeResult& result);

}  // namespace vireltan::clustering
