// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/ordination/snp_principal_components.h"

#include <Spectra/SymEigsSolver.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

#include "common/parallel_for.h"

namespace vireltan {

namespace {

// Below this many samples the matrix is formed from n products and
// decomposed densely (Lanczos wants n well above the axes asked).
constexpr int kDenseSamples = 64;

// The products A x on the packed calls. With z = a_l g + b_l for a called
// genotype (a_l = 1/√(2p(1−p)), b_l = −2p a_l) and 0 for a missing one,
// the two calls of each half byte give a sum read from a table of 16:
//   t = Zᵀx  per locus: tables over pairs of samples of Σ x_i g and
//            Σ x_i [called], read along a locus-major copy of the calls;
//   A x = Z t / L  per sample: tables over pairs of loci of Σ t_l z_l,
//            read along the sample's own row.
// The tables are built per block (128 samples, 256 loci: 16 kB) so that
// they stay in the core's first-level cache. The locus-major copy holds the samples analysed as
// packed calls, n L / 4 bytes (125 MB at 5,000 x 100,000): no table of
// doubles grows with n L or n².
class RelationshipOperator {
 public:
  using Scalar = double;

  RelationshipOperator(const PackedGenotypes& g, const std::vector<int>& rows,
                       ProgressSink* progress)
      : g_(g), rows_(rows), progress_(progress), n_(static_cast<int>(rows.size())) {
    loci_ = g.locusCount();
    // Loci padded to whole blocks; a padding locus has a = b = 0.
    const std::size_t paddedLoci =
        (static_cast<std::size_t>(loci_) + kLociPerBlock - 1) / kLociPerBlock * kLociPerBlock;
    a_.assign(paddedLoci, 0.0);
    b_.assign(paddedLoci, 0.0);
    sampleBytes_ = (static_cast<std::size_t>(n_) + 3) / 4;
    // The copy's rows are padded to 8 bytes, the samples beyond n missing.
    locusStride_ = (sampleBytes_ + 7) / 8 * 8;
    byLocus_.assign(locusStride_ * loci_, 0xAA);
    std::vector<std::int64_t> sum(loci_, 0), called(loci_, 0);
    for (int i = 0; i < n_; ++i) {
      const std::uint64_t* row = g.row(rows_[i]);
      const int shift = 2 * (i % 4);
      const std::size_t byte = static_cast<std::size_t>(i / 4);
      for (int l = 0; l < loci_; ++l) {
        const SnpCall c = CallAt(row, l);
        std::uint8_t& cell = byLocus_[static_cast<std::size_t>(l) * locusStride_ + byte];
        cell = static_cast<std::uint8_t>((cell & ~(3u << shift)) | (unsigned{c} << shift));
        if (c == kMissingCall) {
          missing_ = true;
          continue;
        }
        sum[l] += AltAlleleCount(c);
        ++called[l];
      }
    }
    for (int l = 0; l < loci_; ++l) {
      if (called[l] == 0) continue;
      const double p = static_cast<double>(sum[l]) / (2.0 * called[l]);
      if (!(p > 0 && p < 1)) continue;
      ++polymorphic_;
      a_[l] = 1.0 / std::sqrt(2.0 * p * (1.0 - p));
      b_[l] = -2.0 * p * a_[l];
    }
    t_.assign(paddedLoci, 0.0);
  }

  int rows() const { return n_; }
  int cols() const { return n_; }
  bool missing() const { return missing_; }
  int polymorphic() const { return polymorphic_; }
  bool cancelled() const { return cancelled_; }
  int products() const { return products_; }

  double Z(int l, SnpCall c) const { return kCalled[c] ? a_[l] * kDosage[c] + b_[l] : 0.0; }

  // Σ_i A_ii.
  double Trace() const {
    double total = 0;
    for (int r : rows_) {
      const std::uint64_t* row = g_.row(r);
      for (int l = 0; l < loci_; ++l) {
        const double z = Z(l, CallAt(row, l));
        total += z * z;
      }
    }
    return loci_ > 0 ? total / loci_ : 0;
  }

  void perform_op(const double* x, double* y) const {
    ++products_;
    if (!LociTimesVector(x) || !SamplesTimesLoci(y)) {
      cancelled_ = true;
      std::fill(y, y + n_, 0.0);
    }
  }

 private:
  static constexpr int kSamplesPerBlock = 128;        // 32 bytes of a locus-major row
  static constexpr int kLociPerBlock = 256;           // 8 words of a sample's row
  static constexpr int kLociPerChunk = 1024;          // loci one worker takes at a time in Zᵀx
  static constexpr double kDosage[4] = {0, 1, 0, 2};  // by code: 00, 01, 10 (missing), 11
  static constexpr double kCalled[4] = {1, 1, 0, 1};

  // t_l = a_l Σ x_i g_il + b_l Σ x_i [called], loci spread over the cores.
  bool LociTimesVector(const double* x) const {
    const int sampleBlocks = (n_ + kSamplesPerBlock - 1) / kSamplesPerBlock;
    const int lociChunks = std::max(1, (loci_ + kLociPerChunk - 1) / kLociPerChunk);
    return ParallelFor(
        lociChunks,
        [&](int begin, int end) {
          // Per group of 2 samples, 16 codes x (Σ x g, Σ x [called]).
          std::vector<double> pairs(static_cast<std::size_t>(kSamplesPerBlock / 2) * 32);
          std::vector<double> sumDosage, sumCalled;
          for (int chunk = begin; chunk < end; ++chunk) {
            const int l0 = chunk * kLociPerChunk, l1 = std::min(loci_, l0 + kLociPerChunk);
            sumDosage.assign(l1 - l0, 0.0);
            sumCalled.assign(l1 - l0, 0.0);
            for (int sb = 0; sb < sampleBlocks; ++sb) {
              const int i0 = sb * kSamplesPerBlock;
              const int bytes = (std::min(n_, i0 + kSamplesPerBlock) - i0 + 3) / 4;
              for (int q = 0; q < 2 * bytes; ++q) BuildSampleTable(x, i0 + 2 * q, &pairs[q * 32]);
              const std::size_t firstByte = static_cast<std::size_t>(i0 / 4);
              for (int l = l0; l < l1; ++l) {
                const std::uint8_t* cells =
                    &byLocus_[static_cast<std::size_t>(l) * locusStride_ + firstByte];
                // Two bytes a step into separate sums: the additions of one
                // sum wait on each other, those of two do not.
                double d0 = 0, d1 = 0, c0 = 0, c1 = 0;
                const double* table = pairs.data();
                int q = 0;
                for (; q + 1 < bytes; q += 2, table += 128) {
                  const double* lo0 = table + 2 * (cells[q] & 15);
                  const double* hi0 = table + 32 + 2 * (cells[q] >> 4);
                  const double* lo1 = table + 64 + 2 * (cells[q + 1] & 15);
                  const double* hi1 = table + 96 + 2 * (cells[q + 1] >> 4);
                  d0 += lo0[0] + hi0[0];
                  c0 += lo0[1] + hi0[1];
                  d1 += lo1[0] + hi1[0];
                  c1 += lo1[1] + hi1[1];
                }
                if (q < bytes) {
                  const double* lo = table + 2 * (cells[q] & 15);
                  const double* hi = table + 32 + 2 * (cells[q] >> 4);
                  d0 += lo[0] + hi[0];
                  c0 += lo[1] + hi[1];
                }
                const double d = d0 + d1, c = c0 + c1;
                sumDosage[l - l0] += d;
                sumCalled[l - l0] += c;
              }
            }
            for (int l = l0; l < l1; ++l)
              t_[l] = a_[l] * sumDosage[l - l0] + b_[l] * sumCalled[l - l0];
          }
        },
        progress_, 1);
  }

  // (Σ_k x_{first+k} g(c_k), Σ_k x_{first+k} [c_k called]) for the 16
  // codes of 2 samples (samples beyond n weigh 0).
  void BuildSampleTable(const double* x, int first, double* pairs) const {
    const double w0 = first < n_ ? x[first] : 0.0;
    const double w1 = first + 1 < n_ ? x[first + 1] : 0.0;
    for (int h = 0; h < 16; ++h) {
      const int c0 = h & 3, c1 = h >> 2;
      pairs[2 * h] = w0 * kDosage[c0] + w1 * kDosage[c1];
      pairs[2 * h + 1] = w0 * kCalled[c0] + w1 * kCalled[c1];
    }
  }

  // y_i = Σ_l z_il t_l / L, samples spread over the cores.
  bool SamplesTimesLoci(double* y) const {
    const std::size_t words = g_.wordsPerSample();
    const int lociBlocks = (loci_ + kLociPerBlock - 1) / kLociPerBlock;
    const double scale = loci_ > 0 ? 1.0 / loci_ : 0.0;
    const int chunk = std::max(1, std::min(256, n_ / 8));
    return ParallelFor(
        n_,
        [&](int begin, int end) {
          // Per group of 2 loci, the 16 codes' Σ t z.
          std::vector<double> table(static_cast<std::size_t>(kLociPerBlock / 2) * 16);
          for (int i = begin; i < end; ++i) y[i] = 0;
          for (int lb = 0; lb < lociBlocks; ++lb) {
            const int l0 = lb * kLociPerBlock;
            for (int q = 0; q < kLociPerBlock / 2; ++q) BuildLocusTable(l0 + 2 * q, &table[q * 16]);
            const std::size_t firstByte = static_cast<std::size_t>(l0 / 4);
            const std::size_t bytes =
                std::min<std::size_t>(kLociPerBlock / 4, words * 8 - firstByte);
            for (int i = begin; i < end; ++i) {
              const auto* cells =
                  reinterpret_cast<const std::uint8_t*>(g_.row(rows_[i])) + firstByte;
              // Four bytes a step into separate sums (see Zᵀx).
              double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
              const double* t = table.data();
              std::size_t q = 0;
              for (; q + 4 <= bytes; q += 4, t += 128) {
                s0 += t[cells[q] & 15] + t[16 + (cells[q] >> 4)];
                s1 += t[32 + (cells[q + 1] & 15)] + t[48 + (cells[q + 1] >> 4)];
                s2 += t[64 + (cells[q + 2] & 15)] + t[80 + (cells[q + 2] >> 4)];
                s3 += t[96 + (cells[q + 3] & 15)] + t[112 + (cells[q + 3] >> 4)];
              }
              for (; q < bytes; ++q, t += 32) s0 += t[cells[q] & 15] + t[16 + (cells[q] >> 4)];
              y[i] += (s0 + s1) + (s2 + s3);
            }
          }
          for (int i = begin; i < end; ++i) y[i] *= scale;
        },
        progress_, chunk);
  }

  // Σ_k t_l z_l(c_k) over the 2 loci from `first` for the 16 codes
  // (padding loci weigh 0).
  void BuildLocusTable(int first, double* table) const {
    double v[2][4];
    for (int k = 0; k < 2; ++k)
      for (int c = 0; c < 4; ++c)
        v[k][c] = kCalled[c] ? t_[first + k] * (a_[first + k] * kDosage[c] + b_[first + k]) : 0.0;
    for (int h = 0; h < 16; ++h) table[h] = v[0][h & 3] + v[1][h >> 2];
  }

  const PackedGenotypes& g_;
  const std::vector<int>& rows_;
  ProgressSink* progress_;
  int n_;
  int loci_ = 0;
  int polymorphic_ = 0;
  bool missing_ = false;
  mutable bool cancelled_ = false;
  mutable int products_ = 0;
  std::vector<double> a_, b_;  // per locus, padded to whole blocks
  std::size_t sampleBytes_ = 0;
  std::size_t locusStride_ = 0;
  std::vector<std::uint8_t> byLocus_;  // locus-major packed calls of the samples analysed
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
    // A wide Krylov space: past the leading components the eigenvalues of
    // the noise lie close together, and a narrow space restarts many times.
    const int ncv = std::min(n, std::max(4 * k, 40));
    // Residuals to 1e-8 of each eigenvalue: an eigenvalue's error is about
    // the squared residual over its gap to the next (far below 1e-10 of
    // it even where the noise's eigenvalues lie within 1 % of each other),
    // a vector's about the residual over the gap.
    constexpr double kResidualTolerance = 1e-8;
    Spectra::SymEigsSolver<RelationshipOperator> solver(op, k, ncv);
    solver.init();
    solver.compute(Spectra::SortRule::LargestAlge, 1000, kResidualTolerance);
    if (op.cancelled()) return false;
    out.converged = solver.info() == Spectra::CompInfo::Successful;
    out.products = op.products();
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
