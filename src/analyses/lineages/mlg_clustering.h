// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Multilocus lineages (MLLs): MLGs grouped by hierarchical clustering on a
// genetic distance between MLGs.
//
// Scoring errors and somatic mutations make ramets of one genet differ by an
// allele or two, so their MLGs are distinct although they belong to one
// clone. Clustering the MLGs and cutting the tree at a threshold T groups
// such near-identical MLGs: two MLGs belong to one MLL when they are joined
// at a linkage distance of at most T. The linkage sets how the distance
// between two groups follows from the distances between their MLGs:
//   - farthest neighbour (complete linkage): the largest MLG distance, so
//     every two MLGs of an MLL are at most T apart;
//   - average neighbour (UPGMA): the mean MLG distance;
//   - nearest neighbour (single linkage): the smallest, so MLLs are the
//     groups connected by chains of MLG pairs at most T apart.
// The tree is built by merging the closest pair of groups step by step.
// When several pairs are equally close the pair whose smallest MLG numbers
// (a, b), a < b, come first is merged, so the result is fully determined.
// MLLs are numbered 1, 2, ... in the order of their smallest MLG number.
#include <string>
#include <vector>

#include "analyses/distance/mlg_distance_table.h"
#include "common/progress_sink.h"
#include "common/status.h"

namespace vireltan {

enum class Linkage { kFarthest, kAverage, kNearest };

// "farthest", "average", "nearest" (the words of the command line).
const char* LinkageName(Linkage linkage);
bool ParseLinkage(const std::string& word, Linkage& linkage);
// "allelic", "microsat".
const char* DistanceKindName(MlgDistanceKind kind);
bool ParseDistanceKind(const std::string& word, MlgDistanceKind& kind);

struct LineagePartition {
  int lineageCount = 0;                   // number of MLLs
  std::vector<int> lineageOfMlg;          // MLL number (1..) of MLG m at index m-1
  std::vector<std::vector<int>> members;  // MLG numbers of MLL l at index l-1, ascending
};

// Clusters the G MLGs of `table` and cuts the tree at `threshold`. Holds the
// G(G-1)/2 linkage distances in memory (8 bytes each: 100 MB for 5,000 MLGs)
// and costs O(G^2) time in practice, O(G^3) at worst. Polls `progress` for
// cancellation.
Status ClusterMlgs(const MlgDistanceRows& table, Linkage linkage, double threshold,
                   ProgressSink& progress, LineagePartition& result);

// The threshold suggestion: the middle of the widest gap between two
// consecutive distinct values among the smaller half (the ceil(P/2)
// smallest) of the P = G(G-1)/2 pairwise distances. Found only when that
// half holds two distinct values; the first widest gap wins.
struct ThresholdSuggestion {
  bool found = false;
  double threshold = 0;
  double below = 0;  // the distinct values either side of the gap
  double above = 0;
  double gap() const { return above - below; }
};
Status SuggestThreshold(const MlgDistanceRows& table, ProgressSink& progress,
                        ThresholdSuggestion& suggestion);

}  // namespace vireltan
