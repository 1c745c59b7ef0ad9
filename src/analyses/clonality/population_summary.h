// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The per-population clonal summary, the first table of most clonal
// studies: per population (and for all units, "Total")
//   N       units;  MLG  distinct MLGs among them;
//   eMLG    expected MLGs in a subsample of n units drawn without
//           replacement (rarefaction, Hurlbert 1971) and SE, the square root
//           of its variance (Heck et al. 1975); a population of at most n
//           units keeps its MLG count, with SE 0 (as poppr gives);
//   H       Shannon −Σ p_i ln p_i; G Stoddart and Taylor 1/Σ p_i²;
//   lambda  Simpson 1 − Σ p_i²; E.5 evenness (G − 1)/(e^H − 1) (Grünwald et
//           al. 2003; empty for a single MLG; 1 when all MLGs are equally
//           frequent, below 1 otherwise), p_i the share of MLG i; computed
//           from the integer clone sizes so that exact values stay exact;
//   Hexp    Nei's unbiased gene diversity (n/(n−1))(1 − Σ_a p_a²) per locus,
//           n the typed gene copies of the locus, averaged over the loci
//           with at least two copies;
//   Ia, rbarD  the index of association (index_of_association.h).
#include <optional>
#include <string>
#include <vector>

#include "analyses/clonality/association_permutation.h"
#include "analyses/clonality/index_of_association.h"
#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/dataset.h"
#include "dataset/population_units.h"
#include "sheet/sheet.h"

namespace vireltan {

struct Rarefaction {
  double expected = 0;       // eMLG
  std::optional<double> se;  // always set (0 when the sample is at most n units)
};
// Rarefaction of a sample with the given clone sizes (their sum is the
// sample size) to `n` units. Computed from the clone sizes grouped by
// value: O(S²) for S distinct clone sizes, at most about √(2N), plus O(N)
// for the chances of missing m units. A subsample whose MLG count cannot
// vary (every unit its own MLG, n = 1, no clone small enough to be missed)
// gets that count and SE 0 exactly.
Rarefaction RarefyMlgs(const std::vector<int>& cloneSizes, int n);

struct PopulationSummaryOptions {
  std::optional<int> rarefyTo;   // n; by default poppr's: max(smallest population, 10)
  bool cloneCorrect = false;     // one unit per MLG per population, the first in file order
  bool withAssociation = true;   // Ia and rbarD (the O(N² L) part)
  bool sortPopulations = false;  // rows by population name instead of file order
  IaMissing missing = IaMissing::kPoppr;  // var(d_j) with missing genotypes
};

// The options of the summary command; an error when rarefyTo is negative
// (0: poppr's default n).
Status MakeSummaryOptions(int rarefyTo, bool cloneCorrect, bool sortPopulations, IaMissing missing,
                          PopulationSummaryOptions& options);

// The title row's words on how Ia and rbarD treat missing genotypes (when
// the data have some) and on the test's null model (when it ran).
std::vector<std::string> AssociationRuleNotes(bool missingData, IaMissing missing,
                                              std::optional<IaNull> null);

struct PopulationSummaryRow {
  std::string name;
  int units = 0;
  int mlgs = 0;
  Rarefaction rarefied;
  double shannon = 0, stoddartTaylor = 0, simpson = 0;
  std::optional<double> evenness, hexp, ia, rbarD;
};

struct PopulationSummaryResult {
  int rarefyTo = 0;
  IaMissing missing = IaMissing::kPoppr;   // the rule Ia and rbarD were computed with
  std::vector<PopulationSummaryRow> rows;  // populations in order, then "Total"
  std::vector<int> populationOrder;        // population index of each row but "Total"
};

// The summary; `progress` is polled between populations (cancelled: rows
// incomplete, the caller checks Cancelled()).
PopulationSummaryResult SummarisePopulations(const Dataset& dataset, const MlgPartition& mlgs,
                                             const PopulationSummaryOptions& options,
                                             ProgressSink* progress = nullptr);

// The results block: header row "Pop N MLG eMLG SE H G lambda E.5 Hexp Ia
// rbarD", one row per population, "Total", then the subsample size (and
// "clone-corrected" when it is).
Sheet PopulationSummaryBlock(const PopulationSummaryResult& summary, bool cloneCorrected);

}  // namespace vireltan
