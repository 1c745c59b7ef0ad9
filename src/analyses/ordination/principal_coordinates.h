// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Principal coordinates (classical scaling, Gower 1966) of a distance
// matrix, as ape's pcoa(D, correction = "none") computes them:
//   Δ = −½ d²_ij, Gower-centred: Δ_ij − mean(row i) − mean(column j) + mean;
//   its eigenvalues λ_1 ≥ ... ≥ λ_n (all of them: distances that are not
//   Euclidean give negative ones), Relative_eig = λ / trace(Δ) (the trace
//   is the sum of all eigenvalues, negative ones included), and the
//   coordinates of axis k the unit eigenvector scaled by √λ_k, for the
//   axes of positive eigenvalue only. Eigenvalues within √ε (1.5e-8) of 0
//   are set to 0 and count neither as positive nor as negative.
//
// The dense decomposition holds n x n doubles twice (Δ and its
// eigenvectors) plus Eigen's work: memory grows with n²; callers ask the
// memory guard with PrincipalCoordinatesBytes first. The decomposition
// itself (O(n³)) cannot be interrupted: the cancel flag is polled before
// and after it.
#include <vector>

#include "common/progress_sink.h"

namespace vireltan {

struct PrincipalCoordinates {
  int n = 0;
  std::vector<double> eigenvalues;  // all n, descending
  double trace = 0;                 // trace of the centred matrix (Σ eigenvalues)
  int negative = 0;                 // eigenvalues below −√ε
  int positive = 0;                 // eigenvalues above √ε
  int axes = 0;                     // coordinates kept: min(asked, positive)
  // n x axes, row-major: unit i on axis k at [i * axes + k]. The sign of
  // each axis is fixed so that its largest coordinate in absolute value is
  // positive (eigenvectors have no sign of their own).
  std::vector<double> coordinates;
  double relative(int k) const { return trace != 0 ? eigenvalues[k] / trace : 0; }
};

// Bytes the decomposition of an n x n matrix needs (three n x n blocks of doubles).
inline double PrincipalCoordinatesBytes(int n) {
  return 3.0 * static_cast<double>(n) * n * sizeof(double);
}

// `distances`: the full symmetric n x n matrix, row-major. False when
// cancelled.
bool ComputePrincipalCoordinates(const std::vector<double>& distances, int n, int axes,
                                 ProgressSink* progress, PrincipalCoordinates& out);

}  // namespace vireltan
