// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/ordination/principal_coordinates.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>

namespace vireltan {

bool ComputePrincipalCoordinates(const std::vector<double>& distances, int n, int axes,
                                 ProgressSink* progress, PrincipalCoordinates& out) {
  out = {};
  out.n = n;
  if (n == 0) return true;
  Eigen::MatrixXd delta(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      const double d = distances[static_cast<std::size_t>(i) * n + j];
      delta(i, j) = -0.5 * d * d;
    }
  // Gower's centring.
  const Eigen::VectorXd rowMean = delta.rowwise().mean();
  const double mean = rowMean.mean();
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) delta(i, j) += mean - rowMean(i) - rowMean(j);
  out.trace = delta.trace();  // ape's trace: of the centred matrix, before any rounding to 0
  if (progress && progress->Cancelled()) return false;
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(delta, Eigen::ComputeEigenvectors);
  delta.resize(0, 0);
  if (progress && progress->Cancelled()) return false;
  // Eigen gives them ascending; ape (LAPACK through eigen()) descending.
  const double epsilon = std::sqrt(std::numeric_limits<double>::epsilon());
  out.eigenvalues.resize(n);
  for (int k = 0; k < n; ++k) {
    double v = solver.eigenvalues()(n - 1 - k);
    if (std::abs(v) < epsilon) v = 0;
    out.eigenvalues[k] = v;
    if (v > epsilon) ++out.positive;
    if (v < -epsilon) ++out.negative;
  }
  out.axes = std::clamp(axes, 0, out.positive);
  out.coordinates.assign(static_cast<std::size_t>(n) * out.axes, 0.0);
  for (int k = 0; k < out.axes; ++k) {
    const auto vector = solver.eigenvectors().col(n - 1 - k);
    Eigen::Index largest = 0;
    vector.cwiseAbs().maxCoeff(&largest);
    const double scale = std::sqrt(out.eigenvalues[k]) * (vector(largest) < 0 ? -1.0 : 1.0);
    for (int i = 0; i < n; ++i)
      out.coordinates[static_cast<std::size_t>(i) * out.axes + k] = vector(i) * scale;
  }
  return true;
}

}  // namespace vireltan
