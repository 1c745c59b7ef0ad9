// SPDX-License-Identifier: GPL-3.0-or-later
// Clonal identity (pgen and Psex) and clonal diversity (indices, Pareto).
#include "analyses/diversity/diversity_indices.h"
#include "analyses/diversity/pareto.h"
#include "analyses/identity/pgen_psex.h"
#include "session/session.h"

namespace vireltan {

Status Session::Psex() {
  if (hasSnpData()) return RequireGroupOnSnpData(CommandGroup::kPsex);
  if (availability_.dataset && !info_.hasMissingData && !availability_.psex)
    return Status::Error(
        "Psex has already been computed for this dataset: open the file again to compute it "
        "anew.");
  if (Status allowed = Require(CommandGroup::kPsex); !allowed) return allowed;

  // The factorial table serves the exact tail up to 500 units. Beyond that
  // the tail is computed in log space, which needs no table and is exact for
  // any N, so there is nothing to warn about; the table is still filled as
  // far as it goes for the commands that read it later.
  const int n = info_.unitCount;
  FillFactorialTable(factorialTable,
                     n <= FactorialTable::kMaxEntries ? n : FactorialTable::kMaxEntries, messages_);

  PsexResult result;
  {
    ProgressPanel panel(progress_);
    Status computed = ComputePsex(dataset(), mlgs(), factorialTable, result, &progress_);
    if (!computed) return computed;
  }
  Sheet block = BuildPsexBlock(result);

  HideCharts();
  LocusHnb.clear();
  LocusHobs.clear();
  LocusFis.clear();
  for (const RoundRobinLocus& locus : result.roundRobin) {
    LocusHnb.push_back(locus.hnb);
    LocusHobs.push_back(locus.hobs);
    LocusFis.push_back(locus.fis);
  }
  // Two empty rows separate this block from the previous contents.
  Sheet& sheet = results.first();
  lastBlockRow_ = sheet.LastRow() + 2;
  sheet.CopyBlock(block, 1, 1, block.LastRow(), block.LastCol(), lastBlockRow_ + 1, 1);
  availability_.psex = false;
  return WriteResultsLog();
}

Status Session::Diversity() {
  if (Status allowed = Require(CommandGroup::kMlgMenu); !allowed) return allowed;
  DiversityIndices indices = ComputeDiversityIndices(CountedPartition().cloneSize);
  HideCharts();
  const int row = NextResultsBlockRow();
  WriteDiversityBlock(results.first(), row, indices);
  MarkLineageBlock(row);
  return WriteResultsLog();
}

Status Session::Pareto() {
  if (Status allowed = Require(CommandGroup::kMlgMenu); !allowed) return allowed;
  ParetoResult pareto = ComputePareto(CountedPartition().cloneSize);
  HideCharts();
  const std::string message = ParetoMessage(pareto.kind);
  if (!message.empty()) messages_.Show(message);
  // Every clone of one size: there is no slope to bound, nothing is written.
  if (pareto.kind == ParetoCase::kOneSize) return Status::Ok();
  if (pareto.kind == ParetoCase::kFull)
    FillParetoChart(chart(ChartRole::kPareto), pareto, info_.datasetName);
  const int row = NextResultsBlockRow();
  WriteParetoBlock(results.first(), row, pareto);
  MarkLineageBlock(row);
  // The bounded cases are saved too: a batch run has no later command that
  // would carry them into the log.
  return WriteResultsLog();
}

}  // namespace vireltan
