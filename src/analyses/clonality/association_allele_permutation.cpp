// SPDX-License-Identifier: GPL-3.0-or-later
// The test of clonality under the allele null model: alleles dealt out
// again among the units at each locus.
//
// Each permutation pools the allele copies of the units typed at a locus
// (in unit order, a genotype's copies as stored), shuffles the pool
// (Fisher-Yates from the last) and gives it back two by two (one by one for
// haploids) to the typed units in unit order. The alleles are handled as
// indices 0..k-1 of the locus; a dealt pair is recoded on the fly as a
// genotype class (an array keyed by the two indices, a hash map when the
// locus has many alleles), and the classes' distances go to the same pass
// over the pairs as the genotype shuffle.
#include <algorithm>
#include <unordered_map>

#include "analyses/clonality/association_pair_pass.h"
#include "analyses/clonality/association_permutation.h"
#include "common/parallel_for.h"
#include "common/word_choice.h"
#include "numeric/random.h"

namespace vireltan {

namespace {

// Loci of up to this many alleles key their classes by an array of k²
// entries; beyond, by a hash map.
constexpr int kLargestKeyArray = 1024;

// The units' alleles at each locus as indices, and the pools a permutation
// shuffles.
struct AllelePools {
  int n = 0, loci = 0;
  bool haploid = false;
  // values[j][x]: the allele of index x at locus j.
  std::vector<std::vector<Allele>> values;
  // pool[j]: the copies of the typed units, in unit order.
  std::vector<std::vector<std::uint32_t>> pool;
  // typed[j * n + u]: unit u has both alleles at locus j.
  std::vector<char> typed;

  AllelePools(const Dataset& d, const std::vector<int>& units)
      : n(static_cast<int>(units.size())), loci(d.locusCount), haploid(d.haploid()) {
    values.resize(loci);
    pool.resize(loci);
    typed.assign(static_cast<std::size_t>(n) * loci, 0);
    const int copies = haploid ? 1 : 2;
    for (int j = 0; j < loci; ++j) {
      std::vector<Allele>& v = values[j];
      for (int u = 0; u < n; ++u) {
        const Allele* a = d.allelesOf(units[u]) + 2 * j;
        if (a[0] == kMissingAllele || a[1] == kMissingAllele) continue;
        typed[static_cast<std::size_t>(j) * n + u] = 1;
        for (int c = 0; c < copies; ++c) v.push_back(a[c]);
      }
      std::sort(v.begin(), v.end());
      v.erase(std::unique(v.begin(), v.end()), v.end());
      for (int u = 0; u < n; ++u) {
        if (!typed[static_cast<std::size_t>(j) * n + u]) continue;
        const Allele* a = d.allelesOf(units[u]) + 2 * j;
        for (int c = 0; c < copies; ++c)
          pool[j].push_back(
              static_cast<std::uint32_t>(std::lower_bound(v.begin(), v.end(), a[c]) - v.begin()));
      }
    }
  }
};

// One thread's permutation: the dealt genotypes as an AssociationInput of
// their own (one row per unit, the classes of each locus with their
// distances) and as columns for the pass.
class AlleleDealer {
 public:
  explicit AlleleDealer(const AllelePools& p) : p_(p) {
    dealt_.unitCount = dealt_.rowCount = p.n;
    dealt_.locusCount = p.loci;
    dealt_.haploid = p.haploid;
    dealt_.genotype.assign(static_cast<std::size_t>(p.n) * p.loci, AssociationInput::kMissing);
    dealt_.weight.assign(p.n, 1);
    dealt_.genotypeCount.assign(p.loci, 0);
    dealt_.alleles.resize(p.loci);
    dealt_.distance.resize(p.loci);
    columns_.assign(static_cast<std::size_t>(p.n) * p.loci, AssociationInput::kMissing);
    int largest = 0;
    for (const auto& v : p.values)
      if (static_cast<int>(v.size()) <= kLargestKeyArray)
        largest = std::max(largest, static_cast<int>(v.size()));
    classOf_.assign(static_cast<std::size_t>(largest) * largest, kNone);
  }

  const AssociationInput& dealt() const { return dealt_; }
  const std::vector<std::uint32_t>& columns() const { return columns_; }

  void Deal(RandomGenerator& random) {
    const int n = p_.n, loci = p_.loci;
    for (int j = 0; j < loci; ++j) {
      pool_ = p_.pool[j];
      for (int i = static_cast<int>(pool_.size()) - 1; i > 0; --i)
        std::swap(pool_[i], pool_[random.Below(i + 1)]);
      const std::uint64_t k = p_.values[j].size();
      const bool byArray = k <= kLargestKeyArray;
      std::vector<std::pair<Allele, Allele>>& pairs = dealt_.alleles[j];
      pairs.clear();
      keys_.clear();
      if (!byArray) classOfLarge_.clear();
      std::uint32_t* column = columns_.data() + static_cast<std::size_t>(j) * n;
      std::size_t next = 0;
      for (int u = 0; u < n; ++u) {
        std::uint32_t id = AssociationInput::kMissing;
        if (p_.typed[static_cast<std::size_t>(j) * n + u]) {
          std::uint32_t x = pool_[next++];
          std::uint32_t y = p_.haploid ? x : pool_[next++];
          if (y < x) std::swap(x, y);
          const std::uint64_t key = x * k + y;
          if (byArray) {
            std::uint32_t* slot = &classOf_[key];
            if (*slot == kNone) {
              *slot = static_cast<std::uint32_t>(pairs.size());
              pairs.emplace_back(p_.values[j][x], p_.values[j][y]);
              keys_.push_back(key);
            }
            id = *slot;
          } else {
            auto [it, added] = classOfLarge_.emplace(key, static_cast<std::uint32_t>(pairs.size()));
            if (added) pairs.emplace_back(p_.values[j][x], p_.values[j][y]);
            id = it->second;
          }
        }
        column[u] = id;
        dealt_.genotype[static_cast<std::size_t>(u) * loci + j] = id;
      }
      if (byArray)
        for (std::uint64_t key : keys_) classOf_[key] = kNone;
      const int g = static_cast<int>(pairs.size());
      dealt_.genotypeCount[j] = g;
      std::vector<std::uint8_t>& table = dealt_.distance[j];
      table.clear();
      if (g > AssociationInput::kLargestTable) continue;
      table.resize(static_cast<std::size_t>(g) * g);
      for (int a = 0; a < g; ++a)
        for (int b = 0; b < g; ++b)
          table[static_cast<std::size_t>(a) * g + b] = static_cast<std::uint8_t>(GenotypeDistance(
              pairs[a].first, pairs[a].second, pairs[b].first, pairs[b].second, p_.haploid));
    }
  }

 private:
  static constexpr std::uint32_t kNone = 0xFFFFFFFF;
  const AllelePools& p_;
  AssociationInput dealt_;
  std::vector<std::uint32_t> columns_;
  std::vector<std::uint32_t> pool_;
  std::vector<std::uint32_t> classOf_;
  std::unordered_map<std::uint64_t, std::uint32_t> classOfLarge_;
  std::vector<std::uint64_t> keys_;
};

}  // namespace

const char* IaNullName(IaNull null) {
  return null == IaNull::kGenotypes ? "genotypes" : "alleles";
}

bool ParseIaNull(const std::string& word, IaNull& null) {
  return ParseByName(word, {IaNull::kGenotypes, IaNull::kAlleles}, IaNullName, null);
}

Dataset DealtAlleles(const Dataset& dataset, const std::vector<int>& units, std::uint32_t runSeed,
                     int permutation) {
  const AllelePools pools(dataset, units);
  AlleleDealer dealer(pools);
  RandomGenerator random =
      RandomGenerator::ForStream(runSeed, static_cast<std::uint64_t>(permutation));
  dealer.Deal(random);
  Dataset out;
  out.sampleCount = pools.n;
  out.locusCount = pools.loci;
  out.ploidy = dataset.ploidy;
  out.alleles.assign(static_cast<std::size_t>(pools.n) * pools.loci * 2, kMissingAllele);
  const AssociationInput& dealt = dealer.dealt();
  for (int u = 0; u < pools.n; ++u)
    for (int j = 0; j < pools.loci; ++j) {
      const std::uint32_t id = dealt.genotype[static_cast<std::size_t>(u) * pools.loci + j];
      Allele* b = out.alleles.data() + (static_cast<std::size_t>(u) * pools.loci + j) * 2;
      if (id == AssociationInput::kMissing) {
        const Allele* a = dataset.allelesOf(units[u]) + 2 * j;
        b[0] = a[0];
        b[1] = a[1];
      } else {
        b[0] = dealt.alleles[j][id].first;
        b[1] = dealt.alleles[j][id].second;
      }
    }
  return out;
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
  const AssociationInput input = PrepareAssociation(dataset, units, false);
  const AssociationResult observed =
      IndexFromSums(SumOfSquaredPairDistances(input), n, ComputeLocusPairSums(input, missing));
  if (!observed.rbarD && !observed.ia) {
    test = out;
    return Status::Ok();
  }
  out.observedRbarD = observed.rbarD;
  const AllelePools pools(dataset, units);
  std::vector<std::optional<double>> ia(permutations), rbarD(permutations);
  const bool finished = ParallelFor(
      permutations,
      [&](int begin, int end) {
        AlleleDealer dealer(pools);
        PairSquareSums pass(progress);
        for (int i = begin; i < end; ++i) {
          RandomGenerator random =
              RandomGenerator::ForStream(runSeed, static_cast<std::uint64_t>(i));
          dealer.Deal(random);
          const std::int64_t sumD2 = pass.Compute(dealer.dealt(), dealer.columns().data());
          const AssociationResult r =
              IndexFromSums(sumD2, n, ComputeLocusPairSums(dealer.dealt(), missing));
          ia[i] = r.ia;
          rbarD[i] = r.rbarD;
        }
      },
      progress, PermutationsPerChunk(n, dataset.locusCount));
  if (!finished) return Status::Cancelled();
  int iaAtOrAbove = 0, rAtOrAbove = 0;
  for (int i = 0; i < permutations; ++i) {
    // A permutation whose index is undefined (V_E = 0) counts as below.
    if (observed.ia && ia[i]) iaAtOrAbove += *ia[i] >= *observed.ia;
    if (observed.rbarD) {
      const double permuted = rbarD[i].value_or(0.0);
      out.permutedRbarD.push_back(permuted);
      rAtOrAbove += permuted >= *observed.rbarD;
    }
  }
  if (observed.ia) out.pIa = (iaAtOrAbove + 1.0) / (permutations + 1.0);
  if (observed.rbarD) out.pRbarD = (rAtOrAbove + 1.0) / (permutations + 1.0);
  test = std::move(out);
  return Status::Ok();
}

}  // namespace vireltan
