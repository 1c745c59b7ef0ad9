// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Per-size summaries of the resampling curves: over the P draws made for one
// subset size, the mean m = (sum of x) / P and the standard error
// SE = s / sqrt(P - 1), s being the sample standard deviation with divisor
// P - 1; that is SE = sqrt(sum of (x - m)^2) / (P - 1). P is at least 2.
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vireltan {

// Integer-valued draws (allele and MLG counts): exact integer sums, so the
// mean is the exact quotient rounded once and the spread has no
// cancellation error.
class CountMoments {
 public:
  void Add(std::int64_t x) {
    ++n_;
    sum_ += x;
    sumSquares_ += x * x;
    lowest_ = n_ == 1 ? x : std::min(lowest_, x);
    highest_ = n_ == 1 ? x : std::max(highest_, x);
  }
  double Mean() const { return static_cast<double>(sum_) / static_cast<double>(n_); }
  double StandardError() const {
    // n * sum (x - m)^2 = n * sum x^2 - (sum x)^2, exact in 128 bits.
    __extension__ using Wide = __int128;
    Wide spread = static_cast<Wide>(n_) * sumSquares_ - static_cast<Wide>(sum_) * sum_;
    double sumSquaredDeviations = static_cast<double>(spread) / static_cast<double>(n_);
    return std::sqrt(sumSquaredDeviations) / static_cast<double>(n_ - 1);
  }
  std::int64_t Lowest() const { return lowest_; }
  std::int64_t Highest() const { return highest_; }

 private:
  std::int64_t n_ = 0;
  std::int64_t sum_ = 0;
  std::int64_t sumSquares_ = 0;
  std::int64_t lowest_ = 0;
  std::int64_t highest_ = 0;
};

// Real-valued draws (gene diversity): the mean from the plain sum, the
// spread by Welford's update, which stays accurate when the values are
// close together.
class RealMoments {
 public:
  void Add(double x) {
    ++n_;
    sum_ += x;
    double delta = x - running_;
    running_ += delta / static_cast<double>(n_);
    squaredDeviations_ += delta * (x - running_);
  }
  double Mean() const { return sum_ / static_cast<double>(n_); }
  double StandardError() const {
    return std::sqrt(std::max(0.0, squaredDeviations_)) / static_cast<double>(n_ - 1);
  }

 private:
  std::int64_t n_ = 0;
  double sum_ = 0;
  double running_ = 0;
  double squaredDeviations_ = 0;
};

// Mean and SE of P draws that all gave `x` (the size that takes every
// element), summed draw by draw like any other size.
inline void MomentsOfRepeated(double x, int draws, double& mean, double& standardError) {
  double sum = 0;
  for (int b = 0; b < draws; ++b) sum += x;
  mean = sum / draws;
  double squares = 0;
  for (int b = 0; b < draws; ++b) squares += (x - mean) * (x - mean);
  standardError = std::sqrt(squares) / (draws - 1);
}

}  // namespace vireltan
