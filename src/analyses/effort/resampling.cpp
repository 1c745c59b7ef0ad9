// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/effort/resampling.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "analyses/effort/effort_statistics.h"
#include "analyses/effort/locus_census.h"
#include "analyses/effort/partition_refiner.h"

namespace vireltan {

namespace {

// Per-size accumulators over the P draws.
struct SizeMoments {
  CountMoments alleles;
  CountMoments mlgs;
  RealMoments diversity;

  ResamplingRow Row() const {
    ResamplingRow row;
    row.meanAlleles = alleles.Mean();
    row.seAlleles = alleles.StandardError();
    row.meanMlg = mlgs.Mean();
    row.seMlg = mlgs.StandardError();
    row.mlgMin = static_cast<int>(mlgs.Lowest());
    row.mlgMax = static_cast<int>(mlgs.Highest());
    row.meanDiversity = diversity.Mean();
    row.seDiversity = diversity.StandardError();
    return row;
  }
};

// The size that takes every element: the same subset in each of the P draws.
ResamplingRow RowOfEveryElement(int alleles, int mlgs, double diversity, int permutations) {
  ResamplingRow row;
  MomentsOfRepeated(alleles, permutations, row.meanAlleles, row.seAlleles);
  MomentsOfRepeated(mlgs, permutations, row.meanMlg, row.seMlg);
  row.mlgMin = row.mlgMax = mlgs;
  MomentsOfRepeated(diversity, permutations, row.meanDiversity, row.seDiversity);
  return row;
}

// Reports the share of draws done when it has moved by a whole percent.
class PercentReporter {
 public:
  PercentReporter(ProgressSink& sink, int total) : sink_(sink), total_(total) {}
  void Done(int done) {
    int percent = static_cast<int>(static_cast<long long>(done) * 100 / total_);
    if (percent != last_) {
      last_ = percent;
      sink_.SetPosition(percent);
    }
  }

 private:
  ProgressSink& sink_;
  int total_;
  int last_ = 0;
};

}  // namespace

Status ResampleLociCurve(const EffortInput& input, int permutations, RandomGenerator& random,
                         ProgressSink& progress, std::vector<ResamplingRow>& rows) {
  const int loci = input.locusCount;
  const int n = input.sampleCount;

  // Over all N units each locus has one census, whatever the draw.
  std::vector<LocusCensus> census(loci);
  for (int j = 0; j < loci; ++j) census[j] = CensusOfLocus(input, j);

  std::vector<SizeMoments> moments(loci);
  std::vector<int> order(loci);
  std::vector<int> classes(n), refined(n);
  PartitionRefiner refiner(input);
  PercentReporter reporter(progress, permutations);

  for (int b = 0; b < permutations; ++b) {
    if (progress.Cancelled()) return Status::Cancelled();
    // A uniformly random order of the loci (Fisher-Yates).
    std::iota(order.begin(), order.end(), 0);
    for (int e = 0; e + 1 < loci; ++e) std::swap(order[e], order[e + random.Below(loci - e)]);

    std::fill(classes.begin(), classes.end(), 0);
    int classCount = 1;
    long long alleles = 0;
    double diversity = 0;
    for (int k = 1; k < loci; ++k) {
      const int j = order[k - 1];
      alleles += census[j].alleles;
      diversity += census[j].geneDiversity;
      // Once the loci drawn separate all G MLGs, more loci cannot add any.
      if (classCount < input.mlgCount) {
        classCount = refiner.Refine(classes, j, refined);
        std::swap(classes, refined);
      }
      SizeMoments& m = moments[k - 1];
      m.alleles.Add(alleles);
      m.mlgs.Add(classCount);
      m.diversity.Add(diversity / k);
    }
    reporter.Done(b + 1);
  }

  std::vector<ResamplingRow> result(loci);
  for (int k = 1; k < loci; ++k) result[k - 1] = moments[k - 1].Row();
  // k = L: every locus, in locus order. Over all loci the distinct
  // genotypes are the G MLGs.
  long long alleles = 0;
  double diversity = 0;
  for (int j = 0; j < loci; ++j) {
    alleles += census[j].alleles;
    diversity += census[j].geneDiversity;
  }
  result[loci - 1] =
      RowOfEveryElement(static_cast<int>(alleles), input.mlgCount, diversity / loci, permutations);
  rows = std::move(result);
  return Status::Ok();
}

Status ResampleIndividualsCurve(const EffortInput& input, int permutations, RandomGenerator& random,
                                ProgressSink& progress, std::vector<ResamplingRow>& rows) {
  const int loci = input.locusCount;
  const int n = input.sampleCount;

  std::vector<SizeMoments> moments(n);
  std::vector<int> order(n);
  // Running census of the units drawn so far: copies of each allele (one
  // flat array over all loci), and per locus the observed (non-missing)
  // copies and the sum of squared allele counts, so that
  // sum p^2 = sumSquares / observed^2.
  std::vector<int> counts(input.alleleOffset[loci]);
  std::vector<long long> observed(loci), sumSquares(loci);
  // MLGs already met in this draw: seenIn[g] == b.
  std::vector<int> seenIn(input.mlgCount);
  PercentReporter reporter(progress, permutations);

  for (int b = 0; b < permutations; ++b) {
    if (progress.Cancelled()) return Status::Cancelled();
    std::iota(order.begin(), order.end(), 0);
    std::fill(counts.begin(), counts.end(), 0);
    std::fill(observed.begin(), observed.end(), 0);
    std::fill(sumSquares.begin(), sumSquares.end(), 0);
    std::fill(seenIn.begin(), seenIn.end(), -1);
    long long alleles = 0;
    int mlgs = 0;

    for (int k = 1; k < n; ++k) {
      // The k-th unit of a uniformly random order (Fisher-Yates, one step).
      const int e = k - 1;
      std::swap(order[e], order[e + random.Below(n - e)]);
      const int su = order[e];

      for (int j = 0; j < loci; ++j) {
        int* locusCounts = counts.data() + input.alleleOffset[j];
        for (int copy = 0; copy < 2; ++copy) {
          const int id = input.alleleId(su, j, copy);
          if (id < 0) continue;
          const int c = ++locusCounts[id];
          if (c == 1) ++alleles;
          sumSquares[j] += 2 * c - 1;  // c^2 - (c-1)^2
          ++observed[j];
        }
      }
      const int g = input.mlgOfSu[su];
      if (seenIn[g] != b) {
        seenIn[g] = b;
        ++mlgs;
      }

      const double copies = 2.0 * k;
      const double factor = copies / (copies - 1.0);
      double diversity = 0;
      for (int j = 0; j < loci; ++j) {
        if (observed[j] == 0) continue;  // no allele observed: no diversity measured
        const double o = static_cast<double>(observed[j]);
        diversity += factor * (1.0 - static_cast<double>(sumSquares[j]) / (o * o));
      }
      SizeMoments& m = moments[k - 1];
      m.alleles.Add(alleles);
      m.mlgs.Add(mlgs);
      m.diversity.Add(diversity / loci);
    }
    reporter.Done(b + 1);
  }

  std::vector<ResamplingRow> result(n);
  for (int k = 1; k < n; ++k) result[k - 1] = moments[k - 1].Row();
  // k = N: every unit, whose census is that of the whole dataset.
  long long alleles = 0;
  double diversity = 0;
  for (int j = 0; j < loci; ++j) {
    LocusCensus c = CensusOfLocus(input, j);
    alleles += c.alleles;
    diversity += c.geneDiversity;
  }
  result[n - 1] =
      RowOfEveryElement(static_cast<int>(alleles), input.mlgCount, diversity / loci, permutations);
  rows = std::move(result);
  return Status::Ok();
}

}  // namespace vireltan
