// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Clonal diversity from clone sizes (sampling units per distinct MLG).
//
//   Shannon          H  = -Σ p_g ln p_g, p_g = n_g / N (natural log)
//   its evenness     V  = H / ln G
//   Simpson          S  = Σ n_g(n_g - 1) / (N(N - 1))   (draws without replacement)
//   unbiased D*      D  = 1 - S
//   Hill's number       = 1 / S   (inverse Simpson)
//   Simpson evenness E  = (D - Dmin) / (Dmax - Dmin), with
//                    Dmin = (G - 1)(2N - G) / (N(N - 1))  (one clone plus singletons)
//                    Dmax = (G - 1)N / ((N - 1)G)         (clones of equal size)
//
// Degenerate samples leave some indices undefined (NaN here, an empty cell
// in the results): every unit its own MLG (G = N) makes S = 0, so Hill's
// number and E are undefined; a single MLG (G = 1) makes V and E 0/0; a
// single unit (N = 1) leaves only H defined.
#include <vector>

#include "sheet/sheet.h"

namespace vireltan {

struct DiversityIndices {
  int sampleCount = 0;         // N = Σ n_g
  int mlgCount = 0;            // G
  double shannon = 0;          // H
  double shannonEvenness = 0;  // V
  double simpsonSum = 0;       // S
  double simpson = 0;          // D = 1 - S
  double simpsonEvenness = 0;  // E
  double hill = 0;
  double dmin = 0;
  double dmax = 0;
};

// `cloneSizes` holds n_1..n_G (any order, each >= 1).
DiversityIndices ComputeDiversityIndices(const std::vector<int>& cloneSizes);

// Writes the four-row block with its first row at `row`: "diversity indices",
// then the Shannon, Simpson and Hill rows. Undefined values leave the cell
// empty.
void WriteDiversityBlock(Sheet& sheet, int row, const DiversityIndices& indices);

}  // namespace vireltan
