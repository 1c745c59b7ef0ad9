// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/distance/snp_distance.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "common/memory_guard.h"
#include "common/parallel_for.h"
#include "common/popcount_kernel.h"

namespace vireltan {

namespace {

constexpr std::uint64_t kLowBits = 0x5555555555555555ULL;
// Rows per tile side and words per chunk: 2 × 32 rows × 256 words × 8 bytes
// = 128 kB of calls, which stays in a core's L2 cache while the 32 × 32
// pairs of the tile walk over it.
constexpr int kTileRows = 32;
constexpr std::size_t kChunkWords = 256;

// The per-word arithmetic, inlined into the two builds of the tile kernel
// below (the hardware popcount one and the portable one).
__attribute__((always_inline)) inline void AccumulateWords(const std::uint64_t* a,
                                                           const std::uint64_t* b, std::size_t from,
                                                           std::size_t to, std::int64_t& differing,
                                                           std::int64_t& called) {
  std::int64_t diff = 0, both = 0;
  for (std::size_t w = from; w < to; ++w) {
    const std::uint64_t x = a[w], y = b[w];
    const std::uint64_t calledLow = ~(MissingLowBits(x) | MissingLowBits(y)) & kLowBits;
    diff += std::popcount((x ^ y) & (calledLow | calledLow << 1));
    both += std::popcount(calledLow);
  }
  differing += diff;
  called += both;
}

// A tile's sums, and the called masks of its rows over the current chunk
// (computed once per row and chunk rather than once per pair: the pair
// loop then costs an AND, an XOR, an AND and two popcounts per word).
struct TileSums {
  std::int64_t differing[kTileRows][kTileRows];
  std::int64_t calledBits[kTileRows][kTileRows];  // 2 per locus called in both
  std::uint64_t maskI[kTileRows][kChunkWords];
  std::uint64_t maskJ[kTileRows][kChunkWords];
};

// Pairs (i, j) of rows iFirst.. × jFirst.. (i < j when the blocks coincide).
template <int kDummy>
__attribute__((always_inline)) inline void TileKernelBody(const PackedGenotypes& g,
                                                          const std::vector<int>& rows, int iFirst,
                                                          int iCount, int jFirst, int jCount,
                                                          TileSums& sums) {
  const std::size_t words = g.wordsPerSample();
  for (int i = 0; i < iCount; ++i)
    for (int j = 0; j < jCount; ++j) sums.differing[i][j] = sums.calledBits[i][j] = 0;
  for (std::size_t from = 0; from < words; from += kChunkWords) {
    const std::size_t count = std::min(words, from + kChunkWords) - from;
    for (int i = 0; i < iCount; ++i) {
      const std::uint64_t* a = g.row(rows[iFirst + i]) + from;
      for (std::size_t w = 0; w < count; ++w) sums.maskI[i][w] = CalledMask(a[w]);
    }
    for (int j = 0; j < jCount; ++j) {
      const std::uint64_t* b = g.row(rows[jFirst + j]) + from;
      for (std::size_t w = 0; w < count; ++w) sums.maskJ[j][w] = CalledMask(b[w]);
    }
    for (int i = 0; i < iCount; ++i) {
      const std::uint64_t* a = g.row(rows[iFirst + i]) + from;
      const std::uint64_t* ma = sums.maskI[i];
      for (int j = 0; j < jCount; ++j) {
        if (jFirst + j <= iFirst + i) continue;
        const std::uint64_t* b = g.row(rows[jFirst + j]) + from;
        const std::uint64_t* mb = sums.maskJ[j];
        std::int64_t diff = 0, bits = 0;
        for (std::size_t w = 0; w < count; ++w) {
          const std::uint64_t both = ma[w] & mb[w];
          diff += std::popcount((a[w] ^ b[w]) & both);
          bits += std::popcount(both);
        }
        sums.differing[i][j] += diff;
        sums.calledBits[i][j] += bits;
      }
    }
  }
}

__attribute__((target("popcnt"))) void TileKernelPopcnt(const PackedGenotypes& g,
                                                        const std::vector<int>& rows, int iFirst,
                                                        int iCount, int jFirst, int jCount,
                                                        TileSums& sums) {
  TileKernelBody<1>(g, rows, iFirst, iCount, jFirst, jCount, sums);
}

// Processors with AVX-512 VPOPCNTDQ (AMD Zen 4, Intel Ice Lake and later)
// count eight words per instruction: the compiler vectorises the pair loop
// of the same body, about three times faster on whole runs. The sums are
// integers, so every build gives the same distances.
__attribute__((target("avx512f,avx512vpopcntdq,popcnt"))) void TileKernelAvx512(
    const PackedGenotypes& g, const std::vector<int>& rows, int iFirst, int iCount, int jFirst,
    int jCount, TileSums& sums) {
  TileKernelBody<2>(g, rows, iFirst, iCount, jFirst, jCount, sums);
}

void TileKernelPortable(const PackedGenotypes& g, const std::vector<int>& rows, int iFirst,
                        int iCount, int jFirst, int jCount, TileSums& sums) {
  TileKernelBody<0>(g, rows, iFirst, iCount, jFirst, jCount, sums);
}

}  // namespace

AlleleMismatch CompareSnpRows(const std::uint64_t* a, const std::uint64_t* b, std::size_t words) {
  AlleleMismatch m;
  AccumulateWords(a, b, 0, words, m.differing, m.calledBoth);
  return m;
}

double SnpDistanceMatrix::Distance(int j, int k) const {
  if (j == k) return 0;
  if (j > k) std::swap(j, k);
  // Held as float (7 significant digits); given to 7 decimals, so that the
  // results and the matrix file print short numbers (within 5e-8 of the
  // exact proportion).
  return std::round(static_cast<double>(cells_[Index(j, k)]) * 1e7) / 1e7;
}

void SnpDistanceMatrix::FillRow(int j, int first, std::vector<double>& row) const {
  for (int k = first; k <= n_; ++k) row[k - 1] = Distance(j, k);
}

Status ComputeSnpDistances(const PackedGenotypes& genotypes, const std::vector<int>& rows,
                           ProgressSink& progress, SnpDistanceMatrix& matrix) {
  const int n = static_cast<int>(rows.size());
  // The condensed matrix grows with n²: ask before allocating it.
  if (Status fits =
          CheckMemory("The SNP distance matrix", n, SnpDistanceMatrixBytes, AvailableMemory());
      !fits)
    return fits;
  SnpDistanceMatrix result;
  result.n_ = n;
  result.cells_.assign(static_cast<std::size_t>(SnpDistanceMatrixBytes(n) / sizeof(float)), 0.0f);
  const PopcountKernel chosen = ChoosePopcountKernel();
  const auto kernel = chosen == PopcountKernel::kAvx512   ? TileKernelAvx512
                      : chosen == PopcountKernel::kPopcnt ? TileKernelPopcnt
                                                          : TileKernelPortable;
  const int blocks = (n + kTileRows - 1) / kTileRows;
  // One work item per tile (I, J), I <= J, in row-major order of the upper
  // triangle of tiles; each writes only its own cells.
  std::vector<std::pair<int, int>> tiles;
  for (int I = 0; I < blocks; ++I)
    for (int J = I; J < blocks; ++J) tiles.emplace_back(I, J);
  std::atomic<std::int64_t> noCommon{0};
  const bool done = ParallelFor(
      static_cast<int>(tiles.size()),
      [&](int begin, int end) {
        auto sums = std::make_unique<TileSums>();
        for (int t = begin; t < end; ++t) {
          const auto [I, J] = tiles[t];
          const int iFirst = I * kTileRows, jFirst = J * kTileRows;
          const int iCount = std::min(kTileRows, n - iFirst);
          const int jCount = std::min(kTileRows, n - jFirst);
          kernel(genotypes, rows, iFirst, iCount, jFirst, jCount, *sums);
          std::int64_t none = 0;
          for (int i = 0; i < iCount; ++i)
            for (int j = 0; j < jCount; ++j) {
              const int a = iFirst + i + 1, b = jFirst + j + 1;
              if (b <= a) continue;
              AlleleMismatch m{sums->differing[i][j], sums->calledBits[i][j] / 2};
              if (m.calledBoth == 0) ++none;
              result.cells_[result.Index(a, b)] = static_cast<float>(SnpDistanceOf(m));
            }
          noCommon += none;
        }
      },
      &progress, 1);
  if (!done) return Status::Cancelled();
  result.noCommon_ = noCommon.load();
  matrix = std::move(result);
  return Status::Ok();
}

}  // namespace vireltan
