// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/clonality/snp_gene_diversity.h"

#include <cstdint>

namespace vireltan {

std::optional<double> SnpMeanGeneDiversity(const PackedGenotypes& g, int ploidy,
                                           const std::vector<int>& units) {
  const int loci = g.locusCount();
  // Stored alternate copies (2 per haploid alternate call, see
  // packed_genotypes.h) and called units per locus.
  std::vector<std::int64_t> alt(static_cast<std::size_t>(loci), 0);
  std::vector<std::int64_t> called(static_cast<std::size_t>(loci), 0);
  for (int su : units) {
    const std::uint64_t* row = g.row(su);
    for (int k = 0; k < loci; ++k) {
      const SnpCall c = CallAt(row, k);
      if (c == kMissingCall) continue;
      ++called[k];
      alt[k] += AltAlleleCount(c);
    }
  }
  double sum = 0;
  int counted = 0;
  for (int k = 0; k < loci; ++k) {
    const double n = static_cast<double>(called[k]) * ploidy;
    if (n < 2) continue;
    const double p = static_cast<double>(alt[k]) / (2.0 * called[k]);
    sum += n / (n - 1) * (1 - p * p - (1 - p) * (1 - p));
    ++counted;
  }
  if (counted == 0) return std::nullopt;
  return sum / counted;
}

}  // namespace vireltan
