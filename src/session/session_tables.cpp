// SPDX-License-Identifier: GPL-3.0-or-later
// Tables to take away: each unit's MLG and MLL, the population summary as a
// CSV file with its title, and the minimum spanning network's nodes.
#include "export/unit_tables.h"
#include "session/session.h"
#include "sheet/text_table_writer.h"

namespace vireltan {

Status Session::WriteUnitsTable() {
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;
  // Each MLG's lineage by the lineage's number (poppr's, with its ties).
  std::vector<int> numberOfMlg;
  const LineagePartition& l = lineages_.partition;
  if (lineages_.grouped)
    for (int lineage : l.lineageOfMlg) numberOfMlg.push_back(l.numbers[lineage - 1]);
  const Sheet table =
      BuildUnitsTable(dataset(), mlgs(), lineages_.grouped ? &numberOfMlg : nullptr);
  return WriteCsvTable(table, OutputPath(".units.csv"));
}

Status Session::WriteNetworkNodeTable(bool sortPopulations) {
  // SNP data have no allele table, which the group check asks for; the
  // node table needs only the units and their lineages.
  if (Status allowed = hasSnpData() ? Status::Ok() : Require(CommandGroup::kDataset); !allowed)
    return allowed;
  if (lineages_.network.nodes.empty())
    return Status::Error(
        "No minimum spanning network yet: build it first (MLG > Minimum spanning network, or "
        "msn).");
  return WriteCsvTable(BuildNetworkNodeTable(lineages_.network, sortPopulations),
                       OutputPath(".msn.nodes.csv"));
}

Status Session::AppendSummaryBlock(const Sheet& block, bool cloneCorrect,
                                   const std::vector<std::string>& notes) {
  Sheet& sheet = results.first();
  const int row = NextResultsBlockRow();
  sheet.SetTextAt(row, 1, "Population summary");
  sheet.SetTextAt(row, 2, info_.datasetName);
  sheet.SetTextAt(row, 3, cloneCorrect ? "clone-corrected" : "all units");
  // What is counted: MLGs, or the lineages (MarkLineageBlock names them).
  if (!lineages_.counting) sheet.SetTextAt(row, 4, "counting MLGs");
  // How Ia and rbarD treat missing genotypes, and the test's null model.
  for (const std::string& note : notes)
    sheet.SetTextAt(row, static_cast<int>(sheet.rows()[row - 1].size()) + 1, note);
  sheet.CopyBlock(block, 1, 1, block.LastRow(), block.LastCol(), row + 1, 1);
  MarkLineageBlock(row);
  Sheet table;
  table.CopyBlock(sheet, row, 1, sheet.LastRow(), sheet.LastCol(), 1, 1);
  if (Status written = WriteCsvTable(table, OutputPath(".summary.csv")); !written) {
    sheet.DeleteRows(row, sheet.LastRow());  // the results stay as they were
    return written;
  }
  return WriteResultsLog();
}

}  // namespace vireltan
