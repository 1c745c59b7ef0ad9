// SPDX-License-Identifier: GPL-3.0-or-later
// Tables to take away: each unit's MLG and MLL, the population summary as a
// CSV file (the title row's facts in columns of their own), and the minimum
// spanning network's nodes. Every one a data table: one header row, every
// row with all of the fields.
#include "analyses/lineages/mlg_clustering.h"
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
  const std::string path = OutputPath(".units.csv");
  Status written = WriteDataCsv(table, path);
  if (written) lastSummary_ = "units table written to " + path;
  return written;
}

Status Session::WriteNetworkNodeTable(bool sortPopulations, const FigureOptions& figure) {
  // SNP data have no allele table, which the group check asks for; the
  // node table needs only the units and their lineages.
  if (Status allowed = hasSnpData() ? Status::Ok() : Require(CommandGroup::kDataset); !allowed)
    return allowed;
  if (lineages_.network.nodes.empty())
    return Status::Error(
        "No minimum spanning network yet: build it first (MLG > Minimum spanning network, or "
        "msn).");
  // The positions of the figure as drawn: tied edges shown or not change
  // the legend and so the room left to the network.
  NetworkChart drawn = lineages_.network;
  drawn.showTiedAlternatives = figure.networkTies;
  drawn.showNodeLabels = figure.networkLabels;
  return WriteDataCsv(BuildNetworkNodeTable(drawn, sortPopulations, figure),
                      OutputPath(".msn.nodes.csv"));
}

Status Session::AppendSummaryBlock(const Sheet& block, bool cloneCorrect,
                                   const std::vector<std::string>& notes,
                                   const SummarySettings& settings) {
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
  if (Status written =
          WriteDataCsv(SummaryCsvTable(block, cloneCorrect, settings), OutputPath(".summary.csv"));
      !written) {
    sheet.DeleteRows(row, sheet.LastRow());  // the results stay as they were
    return written;
  }
  return WriteResultsLog();
}

Sheet Session::SummaryCsvTable(const Sheet& block, bool cloneCorrect,
                               const SummarySettings& settings) const {
  // The block's header and its population rows (the last row, the subsample
  // size, becomes the eMLG_n column); then what the log's title row says, in
  // columns of their own with the same value in every row.
  Sheet table;
  const int width = static_cast<int>(block.rows().front().size());
  const int lastRow = block.LastRow() - 1;
  table.CopyBlock(block, 1, 1, lastRow, width, 1, 1);
  const bool mll = lineages_.counting;
  auto text = [](std::string value) { return Cell::Text(std::move(value)); };
  const std::vector<std::pair<const char*, Cell>> columns = {
      {"dataset", text(info_.datasetName)},
      {"units_counted", text(cloneCorrect ? "clone-corrected" : "all units")},
      {"counted", text(mll ? "MLL" : "MLG")},
      {"mll_distance", text(!mll           ? ""
                            : hasSnpData() ? "snp"
                                           : DistanceKindName(lineages_.distance))},
      {"mll_linkage", text(mll ? LinkageName(lineages_.linkage) : "")},
      {"mll_threshold", mll ? Cell::Number(lineages_.threshold) : Cell()},
      {"eMLG_n", Cell::Number(settings.rarefyTo)},
      {"Ia_missing", text(settings.missing ? IaMissingName(*settings.missing) : "")},
      {"null", text(settings.null ? IaNullName(*settings.null) : "")},
      {"permutations", settings.null ? Cell::Number(settings.permutations) : Cell()},
  };
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const int col = width + 1 + static_cast<int>(c);
    table.SetTextAt(1, col, columns[c].first);
    for (int r = 2; r <= lastRow; ++r) table.set(r, col, columns[c].second);
  }
  return table;
}

}  // namespace vireltan
