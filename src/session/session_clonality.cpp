// SPDX-License-Identifier: GPL-3.0-or-later
// The test of clonality: the population summary with permutation p-values
// for Ia and rbarD, and the histograms of the permuted rbarD.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

#include "analyses/clonality/association_permutation.h"
#include "analyses/clonality/population_summary.h"
#include "common/memory_guard.h"
#include "session/file_name_tag.h"
#include "session/session.h"
#include "sheet/table_file.h"

namespace vireltan {

namespace {

// The share of the test of clonality's bar (percent) that the summary of
// the populations takes; the tests of the rows share the rest.
constexpr int kSummaryProgressShare = 10;

// The work of each row's test, in units (rows of fewer than 3 are not
// tested).
std::vector<std::size_t> TestedUnits(const std::vector<std::vector<int>>& units) {
  std::vector<std::size_t> work;
  for (const std::vector<int>& u : units) work.push_back(u.size() < 3 ? 0 : u.size());
  return work;
}

// The permuted rbarD as a histogram of 30 classes, in percent of the
// permutations, with the observed value as a red vertical line.
ChartData AssociationChart(const AssociationTest& test, const std::string& population,
                           const std::string& datasetName) {
  ChartData chart = DefaultChart(ChartRole::kAssociation);
  // The population in the title: inside the plot it would cover the bars.
  chart.title = "rbarD of " + std::to_string(test.permutations) + " permutations, " + population +
                " (\"" + datasetName + "\")";
  chart.foot = "observed rbarD = " + FormatNumber(*test.observedRbarD) +
               ", p = " + FormatNumber(*test.pRbarD);
  double lo = *test.observedRbarD, hi = lo;
  for (double r : test.permutedRbarD) {
    lo = std::min(lo, r);
    hi = std::max(hi, r);
  }
  constexpr int kClasses = 30;
  const double width = hi > lo ? (hi - lo) / kClasses : 1.0;
  std::vector<int> counts(kClasses, 0);
  for (double r : test.permutedRbarD)
    ++counts[std::min(kClasses - 1, static_cast<int>((r - lo) / width))];
  ChartSeries& bars = *chart.findSeries(kAssociationBarsSeries);
  bars.barWidth = width;  // a lone bar is one class wide, not the whole axis
  double top = 0;
  for (int c = 0; c < kClasses; ++c) {
    const double percent = 100.0 * counts[c] / test.permutations;
    top = std::max(top, percent);
    if (counts[c] > 0) bars.points.push_back({lo + (c + 0.5) * width, percent, "", ""});
  }
  ChartSeries& line = *chart.findSeries(kAssociationObservedSeries);
  line.points = {{*test.observedRbarD, 0, "", "red"},
                 {*test.observedRbarD, top * 1.05, "observed", "red"}};
  // Bars stand on 0: the axes are fixed around them and the observed value.
  chart.left.fixedRange = true;
  chart.left.minimum = 0;
  chart.left.maximum = top * 1.1;
  chart.bottom.fixedRange = true;
  chart.bottom.minimum = lo - width;
  chart.bottom.maximum = hi + width;
  chart.visible = true;
  return chart;
}

}  // namespace

Status Session::PopulationSummaryTest(int rarefyTo, bool cloneCorrect, int permutations,
                                      bool sortPopulations, IaMissing missing, IaNull null) {
  if (hasSnpData() && permutations >= 1)
    return SnpPopulationSummary(rarefyTo, cloneCorrect, sortPopulations, missing, permutations,
                                null);
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;
  if (permutations < 1)
    return Status::Error("The number of permutations must be a whole number of at least 1.");
  PopulationSummaryOptions options;
  if (Status ok = MakeSummaryOptions(rarefyTo, cloneCorrect, sortPopulations, missing, options);
      !ok)
    return ok;
  const MlgPartition counted = CountedPartition();
  const Dataset& d = dataset();
  PopulationSummaryResult summary;
  std::vector<std::optional<AssociationTest>> tests;
  {
    ProgressPanel panel(progress_);
    {
      ProgressRange phase(progress_, 0, kSummaryProgressShare);
      summary = SummarisePopulations(d, counted, options, &phase);
    }
    if (progress_.Cancelled()) return Status::Cancelled();
    // The units of each row as the summary took them.
    const std::vector<std::vector<int>> units =
        SummaryRowUnits(d, counted, cloneCorrect, summary.populationOrder);
    // The tables of distances grow with N² when genotypes are rare (or,
    // under the allele null, when a locus has many alleles).
    {
      AssociationInput whole = PrepareAssociation(d, units.back(), false);
      if (Status fits = CheckMemory(
              "The test of clonality", whole.unitCount,
              [&](int n) {
                return null == IaNull::kGenotypes ? AssociationTestBytes(whole, n)
                                                  : AssociationAlleleTestBytes(whole, n);
              },
              AvailableMemory());
          !fits)
        return fits;
    }
    const std::uint32_t runSeed = NewRunSeed();
    const std::vector<std::size_t> work = TestedUnits(units);
    for (std::size_t k = 0; k < units.size(); ++k) {
      tests.emplace_back();
      if (units[k].size() < 3) continue;
      // Each row's test is a slice of the bar as large as its units.
      ProgressRange phase = ProgressRange::Share(progress_, k, work, kSummaryProgressShare, 100);
      AssociationTest test;
      // Every row draws from the same streams: a population that holds all
      // the units gets the p-values of the total.
      Status run = Status::Ok();
      if (null == IaNull::kAlleles) {
        run = TestAssociationAlleles(d, units[k], missing, permutations, runSeed, &phase, test);
      } else {
        AssociationInput input = PrepareAssociation(d, units[k], false);
        run = TestAssociation(input, ComputeLocusPairSums(input, missing), permutations, runSeed,
                              &phase, test);
      }
      if (!run) return run;
      tests.back() = std::move(test);
    }
  }

  SummarySettings settings{summary.rarefyTo, std::nullopt, null, permutations};
  if (d.hasMissingData) settings.missing = missing;
  return AppendTestedSummary(summary, tests, cloneCorrect,
                             AssociationRuleNotes(d.hasMissingData, missing, null), settings);
}

Status Session::AppendTestedSummary(const PopulationSummaryResult& summary,
                                    const std::vector<std::optional<AssociationTest>>& tests,
                                    bool cloneCorrect, const std::vector<std::string>& notes,
                                    const SummarySettings& settings) {
  // The summary block with p.Ia after Ia and p.rD after rbarD.
  Sheet block = PopulationSummaryBlock(summary, cloneCorrect);
  block.InsertColumns(12, 1);
  block.SetTextAt(1, 12, "p.Ia");
  block.SetTextAt(1, 14, "p.rD");
  for (std::size_t k = 0; k < tests.size() && k < summary.rows.size(); ++k) {
    if (!tests[k] || summary.rows[k].units == 0) continue;
    const int row = static_cast<int>(k) + 2;
    if (tests[k]->pIa && summary.rows[k].ia) block.SetNumberAt(row, 12, *tests[k]->pIa);
    if (tests[k]->pRbarD && summary.rows[k].rbarD) block.SetNumberAt(row, 14, *tests[k]->pRbarD);
  }

  HideCharts();
  associationCharts_.clear();
  associationSuffixes_.clear();
  std::set<std::string> usedTags;
  // A histogram per population when the data have populations, and one
  // for all units (the last row).
  for (std::size_t k = 0; k < tests.size(); ++k) {
    const bool total = k + 1 == tests.size();
    if (!total && !dataset().populationsGiven) continue;
    if (!tests[k] || !tests[k]->observedRbarD || !tests[k]->pRbarD) continue;
    associationCharts_.push_back(
        AssociationChart(*tests[k], summary.rows[k].name, info_.datasetName));
    // All units: ".ia.svg"; a population: its name, kept short and to
    // letters, digits, '-' and '_', and distinct from the others.
    std::string suffix = ".ia.svg";
    if (!total) suffix = ".ia." + UniqueFileNameTag(summary.rows[k].name, usedTags) + ".svg";
    associationSuffixes_.push_back(suffix);
  }
  return AppendSummaryBlock(block, cloneCorrect, notes, settings);
}

}  // namespace vireltan
