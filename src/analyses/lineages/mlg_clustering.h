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
// With whole-number distances several pairs are often equally close, and
// for farthest and average linkage the order of such tied merges can decide
// the groups. Two rules fix the order, so that the result is determined:
//   - poppr's (the default): the merges poppr's mlg.filter makes, one for
//     one (poppr_merges.h): the groups sit in slots numbered as poppr
//     numbers the MLGs (PopprMlgOrder), the first closest pair in slot
//     order is merged, poppr's average is its sum of d / n over the pairs
//     of units in file order (whose roundings tell equal means apart), and
//     poppr's rule chooses the slot that keeps the merged group. The groups
//     and poppr's lineage numbers (the number of the MLG whose slot kept the
//     lineage) are poppr's;
//   - lowest MLG: the first closest pair in MLG-number order, the merged
//     group keeping the place of the first.
// The tie line tells the user when the order of tied merges decides.
// Average linkage weighs by units (poppr's: the mean over pairs of sampling
// units, so a large clone counts for its size) or by MLGs (the mean over
// pairs of MLGs). Nearest linkage gives the same groups whatever the order.
// MLLs are numbered 1, 2, ... in the order of their smallest MLG number,
// or, with poppr's ties, by poppr's numbers (LineagePartition::numbers).
#include <string>
#include <vector>

#include "analyses/distance/mlg_distance_table.h"
#include "common/progress_sink.h"
#include "common/status.h"

namespace vireltan {

enum class Linkage { kFarthest, kAverage, kNearest };

// "farthest", "average", "nearest" (the words of the command line).
const char* LinkageName(Linkage linkage);
// "farthest neighbour", ... (the results' words for it).
std::string LinkageTitle(Linkage linkage);
// "allelic distance" or "microsatellite distance".
const char* DistanceTitle(MlgDistanceKind kind);
bool ParseLinkage(const std::string& word, Linkage& linkage);
// "allelic", "microsat".
const char* DistanceKindName(MlgDistanceKind kind);
bool ParseDistanceKind(const std::string& word, MlgDistanceKind& kind);

enum class TieRule { kPoppr, kLowestMlg };
enum class AverageWeight { kUnits, kMlgs };
// "poppr", "lowest-mlg"; "units", "mlgs" (the words of the command line).
const char* TieRuleName(TieRule rule);
bool ParseTieRule(const std::string& word, TieRule& rule);
const char* AverageWeightName(AverageWeight weight);
bool ParseAverageWeight(const std::string& word, AverageWeight& weight);

struct ClusterOptions {
  Linkage linkage = Linkage::kFarthest;
  TieRule ties = TieRule::kPoppr;
  AverageWeight average = AverageWeight::kUnits;
  // Per MLG (index m-1): its sampling units (clone size) and its place in
  // poppr's order (smaller first; ties keep MLG order). Empty: one unit
  // each, MLG order.
  std::vector<int> units;
  std::vector<int> popprRank;
  // Per sampling unit in file order: its MLG number (poppr's average adds
  // over the pairs of units in this order). Empty: MLG after MLG.
  std::vector<int> mlgOfUnit;
};

// poppr's order of MLGs (0-based rank per MLG, index m-1): poppr numbers
// MLGs by sorting the genotypes as rows of allele counts, written out locus
// by locus, each locus's alleles in the order they first appear in the file
// (unit by unit, smaller allele first); counts compare 0 < 1 < 2 < missing,
// and a locus missing an allele is missing whole (adegenet's rule). Costs
// O(G log G · L) comparisons of short allele lists.
std::vector<int> PopprMlgOrder(const Dataset& dataset, const MlgPartition& mlgs);

// Fills `units`, `popprRank` and `mlgOfUnit` from the MLGs of the dataset.
void SetUnitsOfMlgs(const Dataset& dataset, const MlgPartition& mlgs, ClusterOptions& options);

// Whether the order of tied merges decided the groups (farthest and average
// linkage). A tie is "met" when a merge at distance h had another pair
// at h sharing one of its two groups; the clustering is then run again in
// other orders of the groups (the reverse one and three shuffles of fixed
// seed) and the groups compared.
struct TieCheck {
  bool tiesMet = false;
  bool changes = false;   // some other order gave other groups
  int ordersTried = 0;    // other orders run
  std::vector<int> mlgs;  // MLGs grouped otherwise (changes) or met in ties, ascending
};

struct LineagePartition {
  int lineageCount = 0;                   // number of MLLs
  std::vector<int> lineageOfMlg;          // MLL (1..lineageCount) of MLG m at index m-1
  std::vector<std::vector<int>> members;  // MLG numbers of MLL l at index l-1, ascending
  // The number shown for MLL l at index l-1: l, or with poppr's ties the
  // number poppr gives it (ascending with l).
  std::vector<int> numbers;
  TieCheck ties;
};

// Clusters the G MLGs of `table` and cuts the tree at `threshold`. Holds the
// G(G-1)/2 linkage distances in memory once (4 bytes each for farthest and
// nearest linkage, whose cells are distances of the table; 8 for average
// linkage, whose cells are sums, and 8 more with poppr's ties, which keep
// the MLG distances: 50 or 200 MB for 5,000 MLGs, see ClusteringBytes) and
// costs O(G^2 L) to fill, O(G^2) time to merge in practice, O(G^3) at worst;
// ties met cost up to four more runs. Polls `progress` for cancellation at
// every row and merge.
Status ClusterMlgs(const MlgDistanceRows& table, const ClusterOptions& options, double threshold,
                   ProgressSink& progress, LineagePartition& result);
// The same with ties to the lowest MLG numbers, MLGs weighing one each, and
// no tie check.
Status ClusterMlgs(const MlgDistanceRows& table, Linkage linkage, double threshold,
                   ProgressSink& progress, LineagePartition& result);

// Bytes the clustering of g MLGs holds at once (the memory guard's estimate).
double ClusteringBytes(double g, Linkage linkage);

// The threshold suggestion: the middle of the widest gap between two
// consecutive distinct values among the smaller half (the ceil(P/2)
// smallest) of the P = G(G-1)/2 pairwise distances. Found only when that
// half holds two distinct values; the first widest gap wins.
// `widestGaps` counts the gaps of that same width (to a relative 1e-9):
// more than one means that no gap stands out, as on whole-number distances
// that take every value from 1 up, and the suggestion is then only the
// first of equals.
struct ThresholdSuggestion {
  bool found = false;
  double threshold = 0;
  double below = 0;  // the distinct values either side of the gap
  double above = 0;
  int widestGaps = 0;
  double gap() const { return above - below; }
};
Status SuggestThreshold(const MlgDistanceRows& table, ProgressSink& progress,
                        ThresholdSuggestion& suggestion);
// A sentence warning that no gap stands out (empty when one does).
std::string EqualGapsNote(const ThresholdSuggestion& suggestion);

}  // namespace vireltan
