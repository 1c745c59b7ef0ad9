// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/effort/effort_tables.h"

#include <cmath>

namespace vireltan {

namespace {

// Undefined values are never written: the cell stays empty.
void SetFinite(Sheet& sheet, int row, int col, double value) {
  if (std::isfinite(value)) sheet.SetNumberAt(row, col, value);
}

void SetTexts(Sheet& sheet, int row, const std::vector<std::string>& texts) {
  for (size_t c = 0; c < texts.size(); ++c) sheet.SetTextAt(row, static_cast<int>(c) + 1, texts[c]);
}

// Columns 2..9 of a resampling row.
void WriteResamplingValues(Sheet& sheet, int row, const ResamplingRow& r) {
  SetFinite(sheet, row, 2, r.meanAlleles);
  SetFinite(sheet, row, 3, r.seAlleles);
  SetFinite(sheet, row, 4, r.meanMlg);
  SetFinite(sheet, row, 5, r.seMlg);
  sheet.SetNumberAt(row, 6, r.mlgMin);
  sheet.SetNumberAt(row, 7, r.mlgMax);
  SetFinite(sheet, row, 8, r.meanDiversity);
  SetFinite(sheet, row, 9, r.seDiversity);
}

void WriteCombinationValues(Sheet& sheet, int row, int size, const CombinationRow& r) {
  sheet.SetNumberAt(row, 1, size);
  SetFinite(sheet, row, 2, r.averageMlg);
  sheet.SetNumberAt(row, 3, r.mlgMin);
  sheet.SetNumberAt(row, 4, r.mlgMax);
}

}  // namespace

Sheet LociResamplingBlock(const std::vector<ResamplingRow>& rows, int permutations) {
  Sheet block;
  block.SetTextAt(2, 1, "locus");
  block.SetTextAt(2, 2, "Nb permutations");
  block.SetNumberAt(2, 3, permutations);
  SetTexts(block, 3,
           {"Nb of loci", "Nb alleles", "SE Nballeles", "averageMLG", "SEaverageMLG", "MLGmin",
            "MLGmax", "Hnb", "SE Hnb"});
  const int loci = static_cast<int>(rows.size());
  for (int k = 1; k <= loci; ++k) {
    const int row = k + 3;
    block.SetTextAt(row, 1, std::to_string(k) + "loc");
    WriteResamplingValues(block, row, rows[k - 1]);
  }
  if (loci > 0) {
    block.SetNumberAt(loci + 3, 3, 0);
    block.SetNumberAt(loci + 3, 5, 0);
  }
  return block;
}

Sheet IndividualsResamplingBlock(const std::vector<ResamplingRow>& rows, int permutations) {
  Sheet block;
  block.SetTextAt(1, 1, "SU");
  block.SetTextAt(1, 2, "Nb permutations");
  block.SetNumberAt(1, 3, permutations);
  SetTexts(block, 3,
           {"Nb SU", "Nb alleles", "SE Nb alleles", "averageMLG", "SEaverageMLG", "MLGmin",
            "MLGmax", "Hnb", "SEHnb"});
  const int n = static_cast<int>(rows.size());
  for (int k = 1; k <= n; ++k) {
    const int row = k + 3;
    block.SetNumberAt(row, 1, k);
    WriteResamplingValues(block, row, rows[k - 1]);
  }
  if (n > 0) {
    block.SetNumberAt(4, 5, 0);  // one unit is always one MLG
    block.SetNumberAt(n + 3, 3, 0);
    block.SetNumberAt(n + 3, 5, 0);
    block.SetNumberAt(n + 3, 9, 0);
  }
  return block;
}

Sheet LociCombinationBlock(const LociCombinationResult& result,
                           const std::vector<std::string>& locusNames) {
  Sheet block;
  SetTexts(block, 1, {"combinations ", "of loci"});
  SetTexts(block, 2, {"Nb loci", "averageMLG", "MLGmin", "MLGmax"});
  const int loci = static_cast<int>(result.rows.size());
  for (int k = 1; k <= loci; ++k) WriteCombinationValues(block, k + 3, k, result.rows[k - 1]);
  int row = loci + 5;
  block.SetTextAt(row, 1, "minimum combinations");
  block.SetTextAt(row, 2, std::to_string(result.minimumSize) + " loci");
  for (const std::vector<bool>& flags : result.minimumCombinations) {
    ++row;
    int col = 0;
    for (size_t j = 0; j < flags.size(); ++j) {
      if (!flags[j]) continue;
      block.SetTextAt(row, ++col, j < locusNames.size() ? locusNames[j] : "");
    }
  }
  return block;
}

Sheet IndividualsCombinationBlock(const std::vector<CombinationRow>& rows) {
  Sheet block;
  SetTexts(block, 2, {"SU", "combinations"});
  SetTexts(block, 3, {"Nb SU", "averageMLG", "MLGmin", "MLGmax"});
  for (size_t j = 1; j <= rows.size(); ++j)
    WriteCombinationValues(block, static_cast<int>(j) + 3, static_cast<int>(j), rows[j - 1]);
  return block;
}

}  // namespace vireltan
