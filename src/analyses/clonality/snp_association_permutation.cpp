// SPDX-License-Identifier: GPL-3.0-or-later
// The test of clonality on packed SNP calls: each permutation writes a
// shuffled packed copy of the units' calls and runs the popcount pair pass
// on it.
#include <algorithm>
#include <atomic>
#include <thread>

#include "analyses/clonality/snp_association.h"
#include "analyses/clonality/snp_association_internal.h"
#include "common/parallel_for.h"
#include "numeric/random.h"

namespace vireltan {

namespace {

using snp_association::PackedUnits;

// The units' calls locus by locus (locus-major packed columns of N calls),
// read 32 loci at a time when a permutation rebuilds one word of every row.
struct LocusColumns {
  std::size_t words = 0;  // per column
  std::vector<std::uint64_t> data;
  const std::uint64_t* column(int locus) const { return data.data() + locus * words; }
};

// Cancelled (`cancel` polled every 64 units): false.
bool Transpose(const PackedUnits& p, const ProgressSink* cancel, LocusColumns& c) {
  c.words = WordsForCalls(p.n);
  // Calls are ORed into zeroed words; the tail of a column past the last
  // unit is never read.
  c.data.assign(c.words * p.loci, 0);
  for (int u = 0; u < p.n; ++u) {
    if (u % 64 == 0 && cancel && cancel->Cancelled()) return false;
    const std::uint64_t* row = p.rows.data() + u * p.words;
    const std::size_t at = static_cast<std::size_t>(u) / kCallsPerWord;
    const int shift = 2 * (u % kCallsPerWord);
    for (std::size_t w = 0; w < p.words; ++w) {
      std::uint64_t word = row[w];
      const int first = static_cast<int>(w) * kCallsPerWord;
      const int last = std::min(p.loci, first + kCallsPerWord);
      for (int j = first; j < last; ++j, word >>= 2)
        c.data[j * c.words + at] |= (word & 3) << shift;
    }
  }
  return true;
}

// One thread's permutation: the shuffled packed rows, the unpacked calls of
// the 32 loci of one word (32 × N bytes), the allele pool of one locus
// (2N bytes) and the call classes the shuffle leaves (which change only
// under the allele null).
class Permuter {
 public:
  Permuter(const PackedUnits& p, const LocusColumns& c)
      : p_(p),
        c_(c),
        shuffled_(p.rows.size()),
        calls_(static_cast<std::size_t>(kCallsPerWord) * p.n),
        classes_(static_cast<std::size_t>(p.loci)) {
    pool_.resize(2 * static_cast<std::size_t>(p.n));
  }

  const std::vector<std::uint64_t>& shuffled() const { return shuffled_; }
  const std::vector<SnpCallClasses>& classes() const { return classes_; }

  // Loci in order, each drawing from `random` as the allele-table test
  // draws for the same locus (same order of draws, same bounds). Polls
  // `cancel` every 2,048 loci; false when it was set.
  bool Shuffle(IaNull null, RandomGenerator& random, const ProgressSink* cancel) {
    const int n = p_.n;
    for (std::size_t w = 0; w < p_.words; ++w) {
      if (w % 64 == 0 && cancel && cancel->Cancelled()) return false;
      const int first = static_cast<int>(w) * kCallsPerWord;
      const int count = std::min(kCallsPerWord, p_.loci - first);
      for (int k = 0; k < count; ++k) {
        std::uint8_t* calls = calls_.data() + static_cast<std::size_t>(k) * n;
        const std::uint64_t* column = c_.column(first + k);
        for (int u0 = 0; u0 < n; u0 += kCallsPerWord) {
          std::uint64_t word = column[u0 / kCallsPerWord];
          const int last = std::min(n, u0 + kCallsPerWord);
          for (int u = u0; u < last; ++u, word >>= 2)
            calls[u] = static_cast<std::uint8_t>(word & 3);
        }
        if (null == IaNull::kGenotypes) {
          ShuffleCalled(calls, random);
        } else {
          DealAlleles(calls, random, classes_[first + k]);
        }
      }
      // Word w of every row; the loci past the last are missing.
      std::uint64_t padding = 0;
      for (int k = count; k < kCallsPerWord; ++k) padding |= std::uint64_t{kMissingCall} << 2 * k;
      for (int u = 0; u < n; ++u) {
        std::uint64_t word = padding;
        for (int k = 0; k < count; ++k)
          word |= std::uint64_t{calls_[static_cast<std::size_t>(k) * n + u]} << 2 * k;
        shuffled_[u * p_.words + w] = word;
      }
    }
    return true;
  }

 private:
  // The calls of the called units, in unit order, shuffled (Fisher-Yates
  // from the last) and given back to the called units in unit order;
  // missing calls stay with their units.
  void ShuffleCalled(std::uint8_t* calls, RandomGenerator& random) {
    const int n = p_.n;
    std::uint8_t* called = pool_.data();
    int size = 0;
    for (int u = 0; u < n; ++u)
      if (calls[u] != kMissingCall) called[size++] = calls[u];
    for (int i = size - 1; i > 0; --i) std::swap(called[i], called[random.Below(i + 1)]);
    int next = 0;
    for (int u = 0; u < n; ++u)
      if (calls[u] != kMissingCall) calls[u] = called[next++];
  }

  // The allele copies of the called units in unit order (a genotype's
  // copies sorted, reference first, as an allele table with the reference
  // allele coded lower holds them), shuffled, dealt out again two by two
  // (one by one for haploids) to the called units; missing calls stay.
  void DealAlleles(std::uint8_t* calls, RandomGenerator& random, SnpCallClasses& classes) {
    const int n = p_.n;
    std::uint8_t* pool = pool_.data();
    int size = 0;
    for (int u = 0; u < n; ++u) {
      const SnpCall c = calls[u];
      if (c == kMissingCall) continue;
      if (!p_.haploid) pool[size++] = c == kHomAltCall;
      pool[size++] = c != kHomRefCall;
    }
    for (int i = size - 1; i > 0; --i) std::swap(pool[i], pool[random.Below(i + 1)]);
    // Alternate copies dealt to a unit -> its code (a haploid's one copy
    // counts as two).
    constexpr SnpCall kCodeOf[3] = {kHomRefCall, kHetCall, kHomAltCall};
    std::int64_t count[3] = {0, 0, 0};
    std::int64_t missing = 0;
    int next = 0;
    for (int u = 0; u < n; ++u) {
      if (calls[u] == kMissingCall) {
        ++missing;
        continue;
      }
      int alt = pool[next++];
      alt = p_.haploid ? 2 * alt : alt + pool[next++];
      calls[u] = kCodeOf[alt];
      ++count[alt];
    }
    classes = {count[0], count[1], count[2], missing};
  }

  const PackedUnits& p_;
  const LocusColumns& c_;
  std::vector<std::uint64_t> shuffled_;
  std::vector<std::uint8_t> calls_;
  std::vector<std::uint8_t> pool_;
  std::vector<SnpCallClasses> classes_;
};

}  // namespace

double SnpAssociationTestBytes(int units, int loci, int permutations) {
  const double packed = 2.0 * WordsForCalls(loci) * 8.0 * units;  // rows and columns
  const double threads = std::max(1u, std::thread::hardware_concurrency());
  const double perThread = WordsForCalls(loci) * 8.0 * units + 34.0 * units + 16.0 * loci +
                           32.0 * 32 * 8 + 2.0 * 32 * 256 * 8;
  // Ia and rbarD of every permutation, and the permuted rbarD kept.
  return packed + threads * perThread + 40.0 * permutations;
}

Status TestSnpAssociation(const PackedGenotypes& genotypes, int ploidy,
                          const std::vector<int>& units, IaMissing missing, IaNull null,
                          const AssociationResult& observed, int permutations,
                          std::uint32_t runSeed, ProgressSink* progress, AssociationTest& test) {
  using namespace snp_association;
  AssociationTest out;
  out.null = null;
  out.permutations = permutations;
  const int n = static_cast<int>(units.size());
  if (n < 3 || permutations < 1) {
    test = out;
    return Status::Ok();
  }
  // As the allele-table tests: under the genotype shuffle nothing but Σ D²
  // changes, and with rbarD undefined (at most one varying locus) Ia
  // cannot move: every permuted Ia ties the observed one, p = 1. Under the
  // allele null Ia and rbarD are counted apart (V_E changes with the
  // genotypes).
  if (null == IaNull::kGenotypes && !observed.rbarD) {
    if (observed.ia) out.pIa = 1.0;
    test = out;
    return Status::Ok();
  }
  if (!observed.rbarD && !observed.ia) {
    test = out;
    return Status::Ok();
  }
  out.observedRbarD = observed.rbarD;
  const PackedUnits p = GatherUnits(genotypes, ploidy, units);
  const std::vector<LocusPairSums> sums =
      PairSumsOf(CountClasses(p.rows.data(), n, p.words, p.loci), n, p.haploid, missing);
  LocusColumns columns;
  if (!Transpose(p, progress, columns)) return Status::Cancelled();
  std::vector<std::optional<double>> permutedIa(permutations), permutedRbarD(permutations);
  std::atomic<bool> stopped{false};
  const bool finished = ParallelFor(
      permutations,
      [&](int begin, int end) {
        Permuter permuter(p, columns);
        for (int i = begin; i < end; ++i) {
          RandomGenerator random =
              RandomGenerator::ForStream(runSeed, static_cast<std::uint64_t>(i));
          std::int64_t d = 0, d2 = 0;
          if (!permuter.Shuffle(null, random, progress) ||
              !PackedPairDistanceSums(permuter.shuffled().data(), n, p.words, false, progress, d,
                                      d2)) {
            stopped = true;
            return;
          }
          const AssociationResult r =
              null == IaNull::kGenotypes
                  ? Assemble(sums, d, d2, n, p.haploid)
                  : Assemble(PairSumsOf(permuter.classes(), n, p.haploid, missing), d, d2, n,
                             p.haploid);
          permutedIa[i] = r.ia;
          permutedRbarD[i] = r.rbarD;
        }
      },
      progress, 1);
  if (!finished || stopped) return Status::Cancelled();
  int iaAtOrAbove = 0, rAtOrAbove = 0;
  for (int i = 0; i < permutations; ++i) {
    if (observed.ia && permutedIa[i]) iaAtOrAbove += *permutedIa[i] >= *observed.ia;
    if (observed.rbarD) {
      // A permutation whose index is undefined counts as 0 (below).
      const double permuted = permutedRbarD[i].value_or(0.0);
      out.permutedRbarD.push_back(permuted);
      rAtOrAbove += permuted >= *observed.rbarD;
    }
  }
  if (null == IaNull::kGenotypes) {
    // One count serves both: Ia and rbarD grow with the same Σ D².
    const double pValue = (rAtOrAbove + 1.0) / (permutations + 1.0);
    out.pRbarD = pValue;
    if (observed.expectedVariance > 0) out.pIa = pValue;
  } else {
    if (observed.ia) out.pIa = (iaAtOrAbove + 1.0) / (permutations + 1.0);
    if (observed.rbarD) out.pRbarD = (rAtOrAbove + 1.0) / (permutations + 1.0);
  }
  test = std::move(out);
  return Status::Ok();
}

}  // namespace vireltan
