// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/diversity/diversity_indices.h"

#include <cmath>
#include <cstdint>

namespace vireltan {

namespace {

void SetNumberIfDefined(Sheet& sheet, int row, int col, double value) {
  if (std::isfinite(value)) sheet.SetNumberAt(row, col, value);
}

}  // namespace

DiversityIndices ComputeDiversityIndices(const std::vector<int>& cloneSizes) {
  DiversityIndices r;
  std::int64_t n = 0;
  for (int size : cloneSizes) n += size;
  const std::int64_t g = static_cast<std::int64_t>(cloneSizes.size());
  r.sampleCount = static_cast<int>(n);
  r.mlgCount = static_cast<int>(g);

  // Integer products stay exact up to N of about 3 * 10^9; the quotients are
  // taken as reals. N(N - 1) = 0 (a single unit) gives NaN, never written.
  const double pairs = static_cast<double>(n * (n - 1));
  double s = 0.0;
  double h = 0.0;
  for (int size : cloneSizes) {
    const std::int64_t ng = size;
    s += static_cast<double>(ng * (ng - 1)) / pairs;
    const double p = static_cast<double>(ng) / static_cast<double>(n);
    h -= p * std::log(p);
  }
  if (pairs == 0.0) s = std::nan("");
  r.simpsonSum = s;
  r.shannon = h;
  r.dmin = static_cast<double>((g - 1) * (2 * n - g)) / pairs;
  r.dmax = static_cast<double>((g - 1) * n) / static_cast<double>((n - 1) * g);

  r.simpson = 1.0 - s;
  r.hill = 1.0 / s;                                          // inf when S = 0 (G = N): left empty
  r.shannonEvenness = h / std::log(static_cast<double>(g));  // 0/0 when G = 1
  r.simpsonEvenness = (r.simpson - r.dmin) / (r.dmax - r.dmin);  // 0/0 when G = N or G = 1
  return r;
}

void WriteDiversityBlock(Sheet& sheet, int row, const DiversityIndices& d) {
  sheet.SetTextAt(row, 1, "diversity indices");
  sheet.SetTextAt(row + 1, 1, "Shannon H´´");
  SetNumberIfDefined(sheet, row + 1, 2, d.shannon);
  sheet.SetTextAt(row + 1, 3, "EvenessV´H´´");
  SetNumberIfDefined(sheet, row + 1, 4, d.shannonEvenness);
  sheet.SetTextAt(row + 2, 1, "Simpson D*");
  SetNumberIfDefined(sheet, row + 2, 2, d.simpson);
  sheet.SetTextAt(row + 2, 3, "Eveness ED*");
  SetNumberIfDefined(sheet, row + 2, 4, d.simpsonEvenness);
  sheet.SetTextAt(row + 3, 1, "Hill´s");
  SetNumberIfDefined(sheet, row + 3, 2, d.hill);
}

}  // namespace vireltan
