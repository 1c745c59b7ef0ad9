// SPDX-License-Identifier: GPL-3.0-or-later
// The population summary on SNP data: Hexp, Ia and rbarD over the SNPs on
// the packed calls, and the test of clonality on them.
#include "analyses/clonality/population_summary.h"
#include "analyses/clonality/snp_association.h"
#include "analyses/clonality/snp_gene_diversity.h"
#include "analyses/snp/call_rates.h"
#include "common/memory_guard.h"
#include "dataset/population_units.h"
#include "session/session.h"

namespace vireltan {

namespace {

// Whether any kept call is missing.
bool HasMissingCalls(const PackedGenotypes& g) {
  for (int i = 0; i < g.sampleCount(); ++i)
    if (MissingCallsOf(g, i) > 0) return true;
  return false;
}

}  // namespace

Status Session::SnpPopulationSummary(int rarefyTo, bool cloneCorrect, bool sortPopulations,
                                     IaMissing missing, int permutations, IaNull null) {
  PopulationSummaryOptions options;
  if (Status ok = MakeSummaryOptions(rarefyTo, cloneCorrect, sortPopulations, missing, options);
      !ok)
    return ok;
  // The SNP dataset holds no allele table: Ia and rbarD are computed below
  // on the packed calls.
  options.withAssociation = false;
  const MlgPartition counted = CountedPartition();
  const PackedGenotypes& g = snp().genotypes;
  const int ploidy = snp().ploidy;
  PopulationSummaryResult summary;
  std::vector<std::optional<AssociationTest>> tests;
  {
    ProgressPanel panel(progress_);
    // The summary takes the first tenth of the bar, each row's index and
    // test a slice of the rest as large as its samples: the bar only moves
    // forward.
    {
      ProgressRange phase(progress_, 0, 10);
      summary = SummarisePopulations(dataset(), counted, options, &phase);
    }
    if (progress_.Cancelled()) return Status::Cancelled();
    // The units of each row as the allele-table summary takes them (the
    // test then draws the same permutations).
    const std::vector<std::vector<int>> units =
        SummaryRowUnits(dataset(), counted, cloneCorrect, summary.populationOrder);
    if (permutations > 0)
      if (Status fits = CheckMemory(
              "The test of clonality", static_cast<int>(units.back().size()),
              [&](int n) { return SnpAssociationTestBytes(n, g.locusCount(), permutations); },
              AvailableMemory());
          !fits)
        return fits;
    const std::uint32_t runSeed = NewRunSeed();
    std::vector<std::size_t> work;
    for (const std::vector<int>& u : units) work.push_back(u.size() < 3 ? 0 : u.size());
    for (std::size_t k = 0; k < units.size() && k < summary.rows.size(); ++k) {
      PopulationSummaryRow& row = summary.rows[k];
      row.hexp = SnpMeanGeneDiversity(g, ploidy, units[k]);
      tests.emplace_back();
      if (units[k].size() < 3) continue;
      ProgressRange rowPhase = ProgressRange::Share(progress_, k, work, 10, 100);
      // The index, then its test (when asked for), each half of the row's slice.
      ProgressRange indexPhase(rowPhase, 0, permutations > 0 ? 50 : 100);
      ProgressRange testPhase(rowPhase, 50, 100);
      // O(N² L / 32) word operations per row, on both cores.
      const AssociationResult r = SnpIndexOfAssociation(g, ploidy, units[k], missing, &indexPhase);
      if (progress_.Cancelled()) return Status::Cancelled();
      row.ia = r.ia;
      row.rbarD = r.rbarD;
      if (permutations < 1) continue;
      // Every row draws from the same streams: a population that holds all
      // the units gets the p-values of the total.
      AssociationTest test;
      if (Status run = TestSnpAssociation(g, ploidy, units[k], missing, null, r, permutations,
                                          runSeed, &testPhase, test);
          !run)
        return run;
      tests.back() = std::move(test);
    }
  }
  const bool missingCalls = HasMissingCalls(g);
  std::vector<std::string> notes = AssociationRuleNotes(
      missingCalls, missing, permutations > 0 ? std::optional<IaNull>(null) : std::nullopt);
  notes.push_back("with many SNPs read rbarD: Ia grows with the number of loci");
  SummarySettings settings{summary.rarefyTo, std::nullopt, std::nullopt, 0};
  if (missingCalls) settings.missing = missing;
  if (permutations > 0) {
    settings.null = null;
    settings.permutations = permutations;
    return AppendTestedSummary(summary, tests, cloneCorrect, notes, settings);
  }
  Sheet block = PopulationSummaryBlock(summary, cloneCorrect);
  HideCharts();
  return AppendSummaryBlock(block, cloneCorrect, notes, settings);
}

}  // namespace vireltan
