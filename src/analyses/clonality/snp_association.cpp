// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/clonality/snp_association.h"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <mutex>

#include "analyses/clonality/snp_association_internal.h"
#include "common/parallel_for.h"
#include "common/popcount_kernel.h"

namespace vireltan {

namespace {

// Rows per tile side and words per chunk: 2 × 32 rows × 256 words × 8 bytes
// of masks (128 kB) and the calls they mask stay in a core's L2 cache while
// the 32 × 32 pairs of a tile walk over them.
constexpr int kTileRows = 32;
constexpr std::size_t kChunkWords = 256;

struct PairTile {
  std::int64_t differing[kTileRows][kTileRows];
  std::uint64_t maskI[kTileRows][kChunkWords];
  std::uint64_t maskJ[kTileRows][kChunkWords];
};

// The pairs of one tile over one chunk of words, added to t.differing
// (rows iFirst.. against jFirst..; on the diagonal tile only the pairs
// j > i are read afterwards). The one loop the pass spends its time in,
// built three ways.
using ChunkKernel = void (*)(const std::uint64_t* rows, std::size_t words, std::size_t from,
                             std::size_t count, int iFirst, int iCount, int jFirst, int jCount,
                             bool diagonal, PairTile& t);

// AVX-512 with its popcount instruction: blocks of 4 × 4 pairs over 8 words
// at once, each word of a row loaded once per block (16 loads for 16
// pair-words of 8 words), the 16 sums kept in registers over the chunk.
__attribute__((target("avx512f,avx512vpopcntdq"))) void ChunkWide(
    const std::uint64_t* rows, std::size_t words, std::size_t from, std::size_t count, int iFirst,
    int iCount, int jFirst, int jCount, bool diagonal, PairTile& t) {
  constexpr int kBlock = 4;
  const __mmask8 tail = static_cast<__mmask8>(count % 8 == 0 ? 0xFF : (1u << (count % 8)) - 1);
  for (int i0 = 0; i0 < iCount; i0 += kBlock) {
    const int ni = std::min(kBlock, iCount - i0);
    const std::uint64_t* a[kBlock];
    const std::uint64_t* ma[kBlock];
    // A block past the last row repeats a row; its sums are not read.
    for (int p = 0; p < kBlock; ++p) {
      const int i = i0 + std::min(p, ni - 1);
      a[p] = rows + static_cast<std::size_t>(iFirst + i) * words + from;
      ma[p] = t.maskI[i];
    }
    for (int j0 = diagonal ? i0 : 0; j0 < jCount; j0 += kBlock) {
      const int nj = std::min(kBlock, jCount - j0);
      const std::uint64_t* b[kBlock];
      const std::uint64_t* mb[kBlock];
      for (int q = 0; q < kBlock; ++q) {
        const int j = j0 + std::min(q, nj - 1);
        b[q] = rows + static_cast<std::size_t>(jFirst + j) * words + from;
        mb[q] = t.maskJ[j];
      }
      __m512i acc[kBlock][kBlock];
      for (auto& row : acc)
        for (__m512i& v : row) v = _mm512_setzero_si512();
      for (std::size_t w = 0; w < count; w += 8) {
        const __mmask8 m = w + 8 <= count ? static_cast<__mmask8>(0xFF) : tail;
        __m512i vb[kBlock], vmb[kBlock];
        for (int q = 0; q < kBlock; ++q) {
          vb[q] = _mm512_maskz_loadu_epi64(m, b[q] + w);
          vmb[q] = _mm512_maskz_loadu_epi64(m, mb[q] + w);
        }
        for (int p = 0; p < kBlock; ++p) {
          const __m512i va = _mm512_maskz_loadu_epi64(m, a[p] + w);
          const __m512i vma = _mm512_maskz_loadu_epi64(m, ma[p] + w);
          for (int q = 0; q < kBlock; ++q) {
            // (a ^ b) & ma & mb: 0x80 is the truth table of x & y & z.
            const __m512i x = _mm512_xor_si512(va, vb[q]);
            const __m512i both = _mm512_ternarylogic_epi64(x, vma, vmb[q], 0x80);
            acc[p][q] = _mm512_add_epi64(acc[p][q], _mm512_popcnt_epi64(both));
          }
        }
      }
      for (int p = 0; p < ni; ++p)
        for (int q = 0; q < nj; ++q) {
          alignas(64) std::int64_t lanes[8];
          _mm512_store_si512(lanes, acc[p][q]);
          std::int64_t sum = 0;
          for (std::int64_t lane : lanes) sum += lane;
          t.differing[i0 + p][j0 + q] += sum;
        }
    }
  }
}

// Pair by pair, word by word: inlined into each caller below, so that it
// is compiled with the scalar popcount instruction or as portable code.
__attribute__((always_inline)) inline void ChunkBody(const std::uint64_t* rows, std::size_t words,
                                                     std::size_t from, std::size_t count,
                                                     int iFirst, int iCount, int jFirst, int jCount,
                                                     bool diagonal, PairTile& t) {
  for (int i = 0; i < iCount; ++i) {
    const std::uint64_t* a = rows + static_cast<std::size_t>(iFirst + i) * words + from;
    const std::uint64_t* ma = t.maskI[i];
    for (int j = diagonal ? i + 1 : 0; j < jCount; ++j) {
      const std::uint64_t* b = rows + static_cast<std::size_t>(jFirst + j) * words + from;
      const std::uint64_t* mb = t.maskJ[j];
      std::int64_t diff = 0;
      for (std::size_t w = 0; w < count; ++w) diff += std::popcount((a[w] ^ b[w]) & ma[w] & mb[w]);
      t.differing[i][j] += diff;
    }
  }
}

__attribute__((target("popcnt"))) void ChunkPopcnt(const std::uint64_t* rows, std::size_t words,
                                                   std::size_t from, std::size_t count, int iFirst,
                                                   int iCount, int jFirst, int jCount,
                                                   bool diagonal, PairTile& t) {
  ChunkBody(rows, words, from, count, iFirst, iCount, jFirst, jCount, diagonal, t);
}

void ChunkPortable(const std::uint64_t* rows, std::size_t words, std::size_t from,
                   std::size_t count, int iFirst, int iCount, int jFirst, int jCount, bool diagonal,
                   PairTile& t) {
  ChunkBody(rows, words, from, count, iFirst, iCount, jFirst, jCount, diagonal, t);
}

ChunkKernel ChooseKernel() {
  switch (ChoosePopcountKernel()) {
    case PopcountKernel::kAvx512:
      return ChunkWide;
    case PopcountKernel::kPopcnt:
      return ChunkPopcnt;
    case PopcountKernel::kPortable:
      break;
  }
  return ChunkPortable;
}

// The pairs of tile row I with every tile row J >= I, added to sumD and
// sumD2. D of a pair is at most 2L, and Σ D² over the N(N−1)/2 pairs stays
// below 2^63 up to N = 5,000 and L = 200,000 even then.
void TileRow(const std::uint64_t* rows, int n, std::size_t words, int I, ChunkKernel kernel,
             PairTile& t, std::int64_t& sumD, std::int64_t& sumD2) {
  const int iFirst = I * kTileRows, iCount = std::min(kTileRows, n - iFirst);
  const int blocks = (n + kTileRows - 1) / kTileRows;
  for (int J = I; J < blocks; ++J) {
    const int jFirst = J * kTileRows, jCount = std::min(kTileRows, n - jFirst);
    for (int i = 0; i < iCount; ++i)
      for (int j = 0; j < jCount; ++j) t.differing[i][j] = 0;
    for (std::size_t from = 0; from < words; from += kChunkWords) {
      const std::size_t count = std::min(words, from + kChunkWords) - from;
      for (int i = 0; i < iCount; ++i) {
        const std::uint64_t* a = rows + static_cast<std::size_t>(iFirst + i) * words + from;
        for (std::size_t w = 0; w < count; ++w) t.maskI[i][w] = CalledMask(a[w]);
      }
      for (int j = 0; j < jCount; ++j) {
        const std::uint64_t* b = rows + static_cast<std::size_t>(jFirst + j) * words + from;
        for (std::size_t w = 0; w < count; ++w) t.maskJ[j][w] = CalledMask(b[w]);
      }
      kernel(rows, words, from, count, iFirst, iCount, jFirst, jCount, I == J, t);
    }
    for (int i = 0; i < iCount; ++i)
      for (int j = (I == J ? i + 1 : 0); j < jCount; ++j) {
        const std::int64_t d = t.differing[i][j];
        sumD += d;
        sumD2 += d * d;
      }
  }
}

}  // namespace

LocusPairSums SnpLocusPairSums(const SnpCallClasses& c, std::int64_t units, bool haploid,
                               IaMissing missing) {
  LocusPairSums s;
  const std::int64_t typed = c.ref + c.het + c.alt;
  // Under poppr's rule a pair with the locus missing counts with d_j = 0:
  // it adds to the pairs, not to the sums.
  s.pairs = missing == IaMissing::kPoppr ? units * (units - 1) / 2 : typed * (typed - 1) / 2;
  if (haploid) {
    s.sum = s.sumSquares = c.ref * c.alt;  // d = 1 between the two alleles
  } else {
    const std::int64_t ones = c.ref * c.het + c.het * c.alt;  // d = 1
    const std::int64_t twos = c.ref * c.alt;                  // d = 2
    s.sum = ones + 2 * twos;
    s.sumSquares = ones + 4 * twos;
  }
  return s;
}

double SnpLocusCrossTerm(const std::vector<LocusPairSums>& locusSums) {
  // Σ_{j<k} s_j s_k = ((Σ s_j)² − Σ s_j²) / 2 with s_j = √v_j; the squares
  // are taken of the same roots, so that the difference is not below 0.
  double roots = 0, squares = 0;
  int varying = 0;
  for (const LocusPairSums& l : locusSums) {
    const double v = l.variance();
    if (v <= 0) continue;
    const double s = std::sqrt(v);
    roots += s;
    squares += s * s;
    ++varying;
  }
  if (varying < 2) return 0.0;
  return std::max(0.0, (roots * roots - squares) / 2);
}

bool PackedPairDistanceSums(const std::uint64_t* rows, int n, std::size_t words, bool parallel,
                            ProgressSink* cancel, std::int64_t& sumD, std::int64_t& sumD2) {
  sumD = sumD2 = 0;
  if (n < 2) return !(cancel && cancel->Cancelled());
  const ChunkKernel kernel = ChooseKernel();
  const int blocks = (n + kTileRows - 1) / kTileRows;
  if (!parallel) {
    // One tile row at a time: at N = 5,000 and L = 10,000 a tile row is
    // about 5·10^7 word operations, a few hundredths of a second.
    auto tile = std::make_unique<PairTile>();
    for (int I = 0; I < blocks; ++I) {
      if (cancel && cancel->Cancelled()) return false;
      TileRow(rows, n, words, I, kernel, *tile, sumD, sumD2);
    }
    return true;
  }
  std::mutex merge;
  // Integer sums: the result does not depend on how the rows are shared.
  return ParallelFor(
      blocks,
      [&](int begin, int end) {
        auto tile = std::make_unique<PairTile>();
        std::int64_t d = 0, d2 = 0;
        for (int I = begin; I < end; ++I) TileRow(rows, n, words, I, kernel, *tile, d, d2);
        std::lock_guard<std::mutex> lock(merge);
        sumD += d;
        sumD2 += d2;
      },
      cancel, 1);
}

namespace snp_association {

PackedUnits GatherUnits(const PackedGenotypes& g, int ploidy, const std::vector<int>& units) {
  PackedUnits p;
  p.n = static_cast<int>(units.size());
  p.loci = g.locusCount();
  p.words = g.wordsPerSample();
  p.haploid = ploidy == 1;
  p.rows.resize(static_cast<std::size_t>(p.n) * p.words);
  for (int u = 0; u < p.n; ++u)
    std::copy(g.row(units[u]), g.row(units[u]) + p.words, p.rows.data() + u * p.words);
  return p;
}

std::vector<SnpCallClasses> CountClasses(const std::uint64_t* rows, int n, std::size_t words,
                                         int loci) {
  // Counts by the 2-bit code itself (00 ref, 01 het, 10 missing, 11 alt),
  // word by word: no per-call branch.
  std::vector<std::int64_t> byCode(static_cast<std::size_t>(words) * kCallsPerWord * 4, 0);
  for (int u = 0; u < n; ++u) {
    const std::uint64_t* row = rows + static_cast<std::size_t>(u) * words;
    for (std::size_t w = 0; w < words; ++w) {
      std::uint64_t word = row[w];
      std::int64_t* counts = byCode.data() + w * kCallsPerWord * 4;
      for (int k = 0; k < kCallsPerWord; ++k, word >>= 2) ++counts[4 * k + (word & 3)];
    }
  }
  std::vector<SnpCallClasses> classes(static_cast<std::size_t>(loci));
  for (int j = 0; j < loci; ++j) {
    const std::int64_t* c = byCode.data() + static_cast<std::size_t>(j) * 4;
    classes[j] = {c[kHomRefCall], c[kHetCall], c[kHomAltCall], c[kMissingCall]};
  }
  return classes;
}

std::vector<LocusPairSums> PairSumsOf(const std::vector<SnpCallClasses>& classes, int n,
                                      bool haploid, IaMissing missing) {
  std::vector<LocusPairSums> sums;
  sums.reserve(classes.size());
  for (const SnpCallClasses& c : classes) sums.push_back(SnpLocusPairSums(c, n, haploid, missing));
  return sums;
}

AssociationResult Assemble(const std::vector<LocusPairSums>& sums, std::int64_t storedSumD,
                           std::int64_t storedSumD2, int n, bool haploid) {
  AssociationResult r;
  for (const LocusPairSums& s : sums) r.expectedVariance += s.variance();
  if (n < 3) return r;
  // A haploid difference is stored as 2 bits: D is half the stored count.
  const std::int64_t sumD = haploid ? storedSumD / 2 : storedSumD;
  const std::int64_t sumD2 = haploid ? storedSumD2 / 4 : storedSumD2;
  const double pairs = static_cast<double>(n) * (n - 1) / 2;
  const double mean = static_cast<double>(sumD) / pairs;
  r.observedVariance = std::max(0.0, static_cast<double>(sumD2) / pairs - mean * mean);
  const double excess = VarianceExcess(sumD, sumD2, n, sums, r.expectedVariance);
  if (r.expectedVariance > 0) r.ia = excess / r.expectedVariance;
  const double cross = SnpLocusCrossTerm(sums);
  if (cross > 0) r.rbarD = excess / (2 * cross);
  return r;
}

}  // namespace snp_association

AssociationResult SnpIndexOfAssociation(const PackedGenotypes& genotypes, int ploidy,
                                        const std::vector<int>& units, IaMissing missing,
                                        ProgressSink* progress) {
  using namespace snp_association;
  const PackedUnits p = GatherUnits(genotypes, ploidy, units);
  const std::vector<LocusPairSums> sums =
      PairSumsOf(CountClasses(p.rows.data(), p.n, p.words, p.loci), p.n, p.haploid, missing);
  if (p.n < 3) return Assemble(sums, 0, 0, p.n, p.haploid);
  std::int64_t sumD = 0, sumD2 = 0;
  if (!PackedPairDistanceSums(p.rows.data(), p.n, p.words, true, progress, sumD, sumD2))
    return AssociationResult();
  return Assemble(sums, sumD, sumD2, p.n, p.haploid);
}

}  // namespace vireltan
