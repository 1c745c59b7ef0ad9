// SPDX-License-Identifier: GPL-3.0-or-later
// The test of clonality under the allele null model: alleles dealt out
// again among the units at each locus.
#include <algorithm>

#include "analyses/clonality/association_permutation.h"
#include "common/word_choice.h"
#include "numeric/random.h"

namespace vireltan {

namespace {

// The units' alleles as a dataset of their own (unit i of `units` is unit
// i here), on which a permutation rewrites the allele columns.
Dataset UnitsOnly(const Dataset& d, const std::vector<int>& units) {
  Dataset out;
  out.sampleCount = static_cast<int>(units.size());
  out.locusCount = d.locusCount;
  out.ploidy = d.ploidy;
  out.alleles.reserve(units.size() * static_cast<size_t>(d.locusCount) * 2);
  for (int su : units)
    out.alleles.insert(out.alleles.end(), d.allelesOf(su), d.allelesOf(su) + d.locusCount * 2);
  return out;
}

// Deals the alleles of every locus of `original` out again into `shuffled`
// (same size): the copies of the typed units pooled, shuffled, and given
// back two by two (one by one for haploids, stored twice), each pair
// sorted.
void DealAlleles(const Dataset& original, Dataset& shuffled, RandomGenerator& random,
                 std::vector<Allele>& pool) {
  const int n = original.sampleCount, loci = original.locusCount;
  const int copies = original.haploid() ? 1 : 2;
  for (int j = 0; j < loci; ++j) {
    pool.clear();
    for (int u = 0; u < n; ++u) {
      const Allele* a = original.allelesOf(u) + 2 * j;
      if (a[0] == kMissingAllele || a[1] == kMissingAllele) continue;
      for (int c = 0; c < copies; ++c) pool.push_back(a[c]);
    }
    for (int i = static_cast<int>(pool.size()) - 1; i > 0; --i)
      std::swap(pool[i], pool[random.Below(i + 1)]);
    size_t next = 0;
    for (int u = 0; u < n; ++u) {
      const Allele* a = original.allelesOf(u) + 2 * j;
      Allele* b = shuffled.alleles.data() + (static_cast<size_t>(u) * loci + j) * 2;
      if (a[0] == kMissingAllele || a[1] == kMissingAllele) {
        b[0] = a[0];
        b[1] = a[1];
        continue;
      }
      Allele x = pool[next++];
      Allele y = copies == 2 ? pool[next++] : x;
      b[0] = std::min(x, y);
      b[1] = std::max(x, y);
    }
  }
}

AssociationResult Index(const Dataset& d, const std::vector<int>& all, IaMissing missing) {
  AssociationInput input = PrepareAssociation(d, all, false);
  return IndexOfAssociation(input, ComputeLocusPairSums(input, missing), nullptr);
}

}  // namespace

const char* IaNullName(IaNull null) {
  return null == IaNull::kGenotypes ? "genotypes" : "alleles";
}

bool ParseIaNull(const std::string& word, IaNull& null) {
  return ParseByName(word, {IaNull::kGenotypes, IaNull::kAlleles}, IaNullName, null);
}

Status TestAssociationAlleles(const Dataset& dataset, const std::vector<int>& units,
                              IaMissing missing, int permutations, std::uint32_t runSeed,
                              ProgressSink* progress, AssociationTest& test) {
  AssociationTest out;
  out.null = IaNull::kAlleles;
  out.permutations = permutations;
  const int n = static_cast<int>(units.size());
  if (n < 3 || permutations < 1) {
    test = out;
    return Status::Ok();
  }
  const Dataset original = UnitsOnly(dataset, units);
  std::vector<int> all(static_cast<size_t>(n));
  for (int u = 0; u < n; ++u) all[u] = u;
  const AssociationResult observed = Index(original, all, missing);
  if (!observed.rbarD && !observed.ia) {
    test = out;
    return Status::Ok();
  }
  out.observedRbarD = observed.rbarD;
  Dataset shuffled = original;
  std::vector<Allele> pool;
  int iaAtOrAbove = 0, iaCounted = 0, rAtOrAbove = 0;
  for (int i = 0; i < permutations; ++i) {
    if (progress) {
      if (progress->Cancelled()) return Status::Cancelled();
      progress->SetPosition(static_cast<int>(100.0 * i / permutations));
    }
    RandomGenerator random = RandomGenerator::ForStream(runSeed, static_cast<std::uint64_t>(i));
    DealAlleles(original, shuffled, random, pool);
    const AssociationResult r = Index(shuffled, all, missing);
    // A permutation whose index is undefined (V_E = 0) counts as below.
    if (observed.ia && r.ia) iaAtOrAbove += *r.ia >= *observed.ia;
    iaCounted += 1;
    if (observed.rbarD) {
      const double permuted = r.rbarD.value_or(0.0);
      out.permutedRbarD.push_back(permuted);
      rAtOrAbove += permuted >= *observed.rbarD;
    }
  }
  if (observed.ia) out.pIa = (iaAtOrAbove + 1.0) / (iaCounted + 1.0);
  if (observed.rbarD) out.pRbarD = (rAtOrAbove + 1.0) / (permutations + 1.0);
  test = std::move(out);
  return Status::Ok();
}

}  // namespace vireltan
