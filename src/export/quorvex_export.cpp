// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/quorvex_export.h"

#include "export/clone_corrected.h"
#include "sheet/book.h"
#include "sheet/table_file.h"

namespace vireltan {

Sheet BuildQuorvexTable(const Dataset& dataset, const MlgPartition& mlgs,
                        const std::string& populationName) {
  Sheet table;
  const int loci = dataset.locusCount;
  for (int k = 1; k <= loci; ++k) table.SetTextAt(1, 2 + k, dataset.locusNames[k - 1]);
  const std::vector<int> sus = LastSuOfEachMlg(mlgs);
  for (int m = 1; m <= mlgs.mlgCount; ++m) {
    const int row = m + 1;
    const int su = sus[m - 1];
    table.SetTextAt(row, 1, populationName);
    table.set(row, 2, dataset.designations[su]);
    for (int k = 1; k <= loci; ++k) {
      table.SetTextAt(
          row, 2 + k,
          AlleleText(dataset.alleleAt(su, k - 1, 0)) + AlleleText(dataset.alleleAt(su, k - 1, 1)));
    }
  }
  return table;
}

Status WriteQuorvexFile(const Dataset& dataset, const MlgPartition& mlgs,
                        const std::string& populationName, const std::string& path) {
  Book book;
  book.first() = BuildQuorvexTable(dataset, mlgs, populationName);
  return WriteTableFile(book, path, FileType::kTextTable);
}

}  // namespace vireltan
