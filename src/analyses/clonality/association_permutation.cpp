// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/clonality/association_permutation.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "common/parallel_for.h"
#include "numeric/random.h"

namespace vireltan {

namespace {

// Bytes of shuffled-distance rows one thread may hold.
constexpr std::size_t kRowTableBudget = std::size_t{256} << 20;

// The genotype columns of one locus as shuffled ids, and the tables that
// turn them into pair distances.
class Shuffler {
 public:
  // `cancel` (may be null) is polled every kRowsBetweenPolls rows of the
  // pair pass, so that even one permutation of a large dataset stops soon.
  explicit Shuffler(const AssociationInput& in, const ProgressSink* cancel = nullptr)
      : in_(in), n_(in.rowCount), loci_(in.locusCount), cancel_(cancel) {
    std::size_t rows = 0;
    for (int j = 0; j < loci_; ++j) rows += static_cast<std::size_t>(in.genotypeCount[j]) + 1;
    useRows_ = rows * n_ <= kRowTableBudget;
    columns_.assign(static_cast<std::size_t>(n_) * loci_, 0);
    if (useRows_) {
      offset_.resize(loci_ + 1, 0);
      for (int j = 0; j < loci_; ++j)
        offset_[j + 1] = offset_[j] + static_cast<std::size_t>(in.genotypeCount[j] + 1) * n_;
      rows_.assign(offset_[loci_], 0);
      sums_.assign(n_, 0);
    }
  }

  // Σ D² over pairs after shuffling every locus with `random` (none when
  // `random` is null: the observed arrangement).
  std::int64_t SumSquares(RandomGenerator* random) {
    // columns_[j * n + u]: the id unit u carries at locus j after the shuffle.
    for (int j = 0; j < loci_; ++j) {
      std::uint32_t* column = columns_.data() + static_cast<std::size_t>(j) * n_;
      for (int u = 0; u < n_; ++u)
        column[u] = in_.genotype[static_cast<std::size_t>(u) * loci_ + j];
      if (random)
        for (int u = n_ - 1; u > 0; --u) std::swap(column[u], column[random->Below(u + 1)]);
    }
    return useRows_ ? ByRows() : ByPairs();
  }

 private:
  int Contribution(int j, std::uint32_t g, std::uint32_t h) const {
    if (g == AssociationInput::kMissing || h == AssociationInput::kMissing) return 0;
    return in_.Distance(j, g, h);
  }

  std::int64_t ByRows() {
    for (int j = 0; j < loci_; ++j) {
      const std::uint32_t* column = columns_.data() + static_cast<std::size_t>(j) * n_;
      const int g = in_.genotypeCount[j];
      std::uint8_t* rows = rows_.data() + offset_[j];
      const std::uint8_t* table = in_.distance[j].empty() ? nullptr : in_.distance[j].data();
      // Row g (the last) stands for a missing genotype: all zeros. Unit b
      // fills column b of every row from row h of the symmetric table.
      std::fill(rows + static_cast<std::size_t>(g) * n_,
                rows + static_cast<std::size_t>(g + 1) * n_, 0);
      for (int b = 0; b < n_; ++b) {
        const std::uint32_t h = column[b];
        if (h == AssociationInput::kMissing) {
          for (int x = 0; x < g; ++x) rows[static_cast<std::size_t>(x) * n_ + b] = 0;
        } else if (table) {
          const std::uint8_t* th = table + static_cast<std::size_t>(h) * g;
          for (int x = 0; x < g; ++x) rows[static_cast<std::size_t>(x) * n_ + b] = th[x];
        } else {
          for (int x = 0; x < g; ++x)
            rows[static_cast<std::size_t>(x) * n_ + b] =
                static_cast<std::uint8_t>(in_.Distance(j, x, h));
        }
      }
    }
    std::int64_t total = 0;
    std::uint16_t* sums = sums_.data();
    for (int a = 0; a + 1 < n_; ++a) {
      if (a % kRowsBetweenPolls == 0 && Stopped()) return 0;
      const int first = a + 1;
      std::fill(sums + first, sums + n_, 0);
      for (int j = 0; j < loci_; ++j) {
        std::uint32_t x = columns_[static_cast<std::size_t>(j) * n_ + a];
        if (x == AssociationInput::kMissing) continue;
        const std::uint8_t* row = rows_.data() + offset_[j] + static_cast<std::size_t>(x) * n_;
        for (int b = first; b < n_; ++b) sums[b] = static_cast<std::uint16_t>(sums[b] + row[b]);
      }
      std::uint64_t squares = 0;
      for (int b = first; b < n_; ++b) squares += static_cast<std::uint32_t>(sums[b]) * sums[b];
      total += static_cast<std::int64_t>(squares);
    }
    return total;
  }

  std::int64_t ByPairs() const {
    std::int64_t total = 0;
    for (int a = 0; a + 1 < n_; ++a) {
      if (a % kRowsBetweenPolls == 0 && Stopped()) return 0;
      for (int b = a + 1; b < n_; ++b) {
        std::int64_t d = 0;
        for (int j = 0; j < loci_; ++j) {
          const std::uint32_t* column = columns_.data() + static_cast<std::size_t>(j) * n_;
          d += Contribution(j, column[a], column[b]);
        }
        total += d * d;
      }
    }
    return total;
  }

  bool Stopped() const { return cancel_ && cancel_->Cancelled(); }
  static constexpr int kRowsBetweenPolls = 256;

  const AssociationInput& in_;
  int n_, loci_;
  const ProgressSink* cancel_;
  bool useRows_ = false;
  std::vector<std::uint32_t> columns_;
  std::vector<std::size_t> offset_;
  std::vector<std::uint8_t> rows_;
  std::vector<std::uint16_t> sums_;
};

}  // namespace

double AssociationTestBytes(const AssociationInput& in, int units) {
  const double share = in.unitCount > 0 ? static_cast<double>(units) / in.unitCount : 1.0;
  double rows = 0;
  for (int g : in.genotypeCount) rows += std::min<double>(g * share, units) + 1;
  const double tables = std::min(rows * units, static_cast<double>(kRowTableBudget));
  const double threads = std::max(1u, std::thread::hardware_concurrency());
  return threads * (tables + 4.0 * units * in.locusCount + 2.0 * units);
}

int PermutationsPerChunk(int units, int loci) {
  // About 5·10^7 pair-locus additions (a few hundredths of a second) per
  // chunk: the cancel flag is polled between chunks.
  const double perPermutation = 0.5 * units * (units - 1.0) * std::max(1, loci);
  return static_cast<int>(std::clamp(5e7 / std::max(1.0, perPermutation), 1.0, 256.0));
}

std::int64_t SumOfSquaredPairDistances(const AssociationInput& input) {
  Shuffler shuffler(input);
  return shuffler.SumSquares(nullptr);
}

Status TestAssociation(const AssociationInput& in, const std::vector<LocusPairSums>& locusSums,
                       int permutations, std::uint32_t runSeed, ProgressSink* progress,
                       AssociationTest& test) {
  AssociationTest out;
  out.permutations = permutations;
  const int n = in.unitCount;
  for (std::int64_t w : in.weight)
    if (w != 1)
      return Status::Error(
          "The permutation test needs one row per unit (clonemates not collapsed).");
  // What a shuffle leaves unchanged: the locus sums (V_E, Σ D) and the
  // denominator of rbarD; rbarD is then computed as the summary computes it.
  double expected = 0;
  std::int64_t sumD = 0;
  for (const LocusPairSums& s : locusSums) {
    expected += s.variance();
    sumD += s.sum;
  }
  const double cross = LocusCrossTerm(locusSums);
  if (n < 3 || permutations < 1 || cross <= 0) {
    test = out;
    return Status::Ok();
  }
  auto rbarD = [&](std::int64_t sumD2) {
    return VarianceExcess(sumD, sumD2, n, locusSums, expected) / (2 * cross);
  };
  const std::int64_t observed = SumOfSquaredPairDistances(in);
  out.observedRbarD = rbarD(observed);
  out.permutedRbarD.assign(permutations, 0.0);
  bool finished = ParallelFor(
      permutations,
      [&](int begin, int end) {
        Shuffler shuffler(in, progress);
        for (int i = begin; i < end; ++i) {
          RandomGenerator random =
              RandomGenerator::ForStream(runSeed, static_cast<std::uint64_t>(i));
          out.permutedRbarD[i] = rbarD(shuffler.SumSquares(&random));
        }
      },
      progress, PermutationsPerChunk(n, in.locusCount));
  if (!finished) return Status::Cancelled();
  int atOrAbove = 0;
  for (double r : out.permutedRbarD) atOrAbove += r >= *out.observedRbarD;
  const double p = (atOrAbove + 1.0) / (permutations + 1.0);
  out.pRbarD = p;
  if (expected > 0) out.pIa = p;
  test = std::move(out);
  return Status::Ok();
}

}  // namespace vireltan
