// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/ordination/snp_principal_components.h"

#include <Eigen/Dense>
#include <Spectra/SymEigsSolver.h>
#include <algorithm>
#include <cmath>
#include <thread>

#include "common/parallel_for.h"

namespace vireltan {

namespace {

// Below this many samples the matrix is formed from n products and
// decomposed densely (Lanczos wants n well above the axes asked).
constexpr int kDenseSamples = 64;

// The products A x on the packed calls.
class RelationshipOperator {
 public:
  using Scalar = double;

  RelationshipOperator(const PackedGenotypes& g, const std::vector<int>& rows,
                       ProgressSink* progress)
      : g_(g), rows_(rows), progress_(progress), n_(static_cast<int>(rows.size())) {
    const int loci = g.locusCount();
    z_.assign(static_cast<std::size_t>(loci) * 4, 0.0);
    std::vector<std::int64_t> sum(loci, 0), called(loci, 0);
    for (int r : rows_) {
      const std::uint64_t* row = g.row(r);
      for (int l = 0; l < loci; ++l) {
        const SnpCall c = CallAt(row, l);
        if (c == kMissingCall) {
          missing_ = true;
          continue;
        }
        sum[l] += AltAlleleCount(c);
        ++called[l];
      }
    }
    for (int l = 0; l < loci; ++l) {
      if (called[l] == 0) continue;
      const double p = static_cast<double>(sum[l]) / (2.0 * called[l]);
      if (!(p > 0 && p < 1)) continue;
      ++polymorphic_;
      const double s = 1.0 / std::sqrt(2.0 * p * (1.0 - p));
      double* z = &z_[static_cast<std::size_t>(l) * 4];
      z[kHomRefCall] = (0 - 2 * p) * s;
      z[kHetCall] = (1 - 2 * p) * s;
      z[kHomAltCall] = (2 - 2 * p) * s;
      z[kMissingCall] = 0;
    }
    const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
    chunks_ = std::clamp(static_cast<int>(hardware) * 2, 1, std::max(1, n_));
    partial_.assign(static_cast<std::size_t>(chunks_) * loci, 0.0);
    t_.assign(loci, 0.0);
  }

  int rows() const { return n_; }
  int cols() const { return n_; }
  bool missing() const { return missing_; }
  int polymorphic() const { return polymorphic_; }
  bool cancelled() const { return cancelled_; }

  // Σ_i A_ii.
  double Trace() const {
    const int loci = g_.locusCount();
    double total = 0;
    for (int r : rows_) {
      const std::uint64_t* row = g_.row(r);
      for (int l = 0; l < loci; ++l) {
        const double z = z_[static_cast<std::size_t>(l) * 4 + CallAt(row, l)];
        total += z * z;
      }
    }
    return loci > 0 ? total / loci : 0;
  }

  void perform_op(const double* x, double* y) const {
    const int loci = g_.locusCount();
    const std::size_t words = g_.wordsPerSample();
    // t = Zᵀx: each chunk of samples sums into its own row of `partial_`.
    const bool done = ParallelFor(
        chunks_,
        [&](int begin, int end) {
          for (int c = begin; c < end; ++c) {
            double* t = &partial_[static_cast<std::size_t>(c) * loci];
            std::fill(t, t + loci, 0.0);
            const int first = static_cast<int>(static_cast<long long>(n_) * c / chunks_);
            const int last = static_cast<int>(static_cast<long long>(n_) * (c + 1) / chunks_);
            for (int i = first; i < last; ++i) {
              const double xi = x[i];
              const std::uint64_t* row = g_.row(rows_[i]);
              for (std::size_t w = 0; w < words; ++w) {
                std::uint64_t word = row[w];
                const int base = static_cast<int>(w) * kCallsPerWord;
                const int count = std::min(kCallsPerWord, loci - base);
                const double* z = &z_[static_cast<std::size_t>(base) * 4];
                double* tw = t + base;
                for (int k = 0; k < count; ++k, word >>= 2) tw[k] += xi * z[4 * k + (word & 3)];
              }
            }
          }
        },
        progress_, 1);
    if (!done) {
      cancelled_ = true;
      std::fill(y, y + n_, 0.0);
      return;
    }
    std::fill(t_.begin(), t_.end(), 0.0);
    for (int c = 0; c < chunks_; ++c) {
      const double* t = &partial_[static_cast<std::size_t>(c) * loci];
      for (int l = 0; l < loci; ++l) t_[l] += t[l];
    }
    // A x = Z t / L.
    const double scale = loci > 0 ? 1.0 / loci : 0.0;
    const bool done2 = ParallelFor(
        n_,
        [&](int begin, int end) {
          for (int i = begin; i < end; ++i) {
            const std::uint64_t* row = g_.row(rows_[i]);
            double total = 0;
            for (std::size_t w = 0; w < words; ++w) {
              std::uint64_t word = row[w];
              const int base = static_cast<int>(w) * kCallsPerWord;
              const int count = std::min(kCallsPerWord, loci - base);
              const double* z = &z_[static_cast<std::size_t>(base) * 4];
              const double* tw = t_.data() + base;
              for (int k = 0; k < count; ++k, word >>= 2) total += tw[k] * z[4 * k + (word & 3)];
            }
            y[i] = total * scale;
          }
        },
        progress_);
    if (!done2) {
      cancelled_ = true;
      std::fill(y, y + n_, 0.0);
    }
  }

 private:
  const PackedGenotypes& g_;
  const std::vector<int>& rows_;
  ProgressSink* progress_;
  int n_;
  int chunks_ = 1;
  int polymorphic_ = 0;
  bool missing_ = false;
  mutable bool cancelled_ = false;
  std::vector<double> z_;  // four z values per locus, indexed by the call's code
  mutable std::vector<double> partial_;
  mutable std::vector<double> t_;
};

void FixSign(double* v, int n, int stride) {
  int largest = 0;
  for (int i = 1; i < n; ++i)
    if (std::abs(v[i * stride]) > std::abs(v[largest * stride])) largest = i;
  if (v[largest * stride] < 0)
    for (int i = 0; i < n; ++i) v[i * stride] = -v[i * stride];
}

}  // namespace

bool ComputeSnpPrincipalComponents(const PackedGenotypes& genotypes, const std::vector<int>& rows,
                                   int axes, ProgressSink* progress, SnpPrincipalComponents& out) {
  out = {};
  const int n = static_cast<int>(rows.size());
  out.n = n;
  out.loci = genotypes.locusCount();
  RelationshipOperator op(genotypes, rows, progress);
  out.polymorphic = op.polymorphic();
  out.missingCalls = op.missing();
  out.trace = op.Trace();
  if (progress && progress->Cancelled()) return false;
  const int k = std::clamp(axes, 0, std::max(0, n - 1));
  if (k == 0) return true;
  Eigen::VectorXd values;
  Eigen::MatrixXd vectors;
  if (n <= kDenseSamples) {
    Eigen::MatrixXd a(n, n);
    Eigen::VectorXd unit = Eigen::VectorXd::Zero(n);
    for (int j = 0; j < n; ++j) {
      unit(j) = 1;
      op.perform_op(unit.data(), a.col(j).data());
      unit(j) = 0;
      if (op.cancelled()) return false;
    }
    a = 0.5 * (a + a.transpose()).eval();
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(a);
    values = solver.eigenvalues().reverse().head(k);
    vectors = solver.eigenvectors().rowwise().reverse().leftCols(k);
  } else {
    const int ncv = std::min(n, std::max(2 * k + 1, 20));
    Spectra::SymEigsSolver<RelationshipOperator> solver(op, k, ncv);
    solver.init();
    solver.compute(Spectra::SortRule::LargestAlge, 1000, 1e-12);
    if (op.cancelled()) return false;
    out.converged = solver.info() == Spectra::CompInfo::Successful;
    values = solver.eigenvalues();  // descending
    vectors = solver.eigenvectors();
  }
  out.axes = k;
  out.eigenvalues.assign(values.data(), values.data() + k);
  out.vectors.assign(static_cast<std::size_t>(n) * k, 0.0);
  for (int c = 0; c < k; ++c) {
    for (int i = 0; i < n; ++i) out.vectors[static_cast<std::size_t>(i) * k + c] = vectors(i, c);
    FixSign(out.vectors.data() + c, n, k);
  }
  return true;
}

}  // namespace vireltan
