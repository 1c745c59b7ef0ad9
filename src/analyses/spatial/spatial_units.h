// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sampling units as the spatial analyses see them: in ascending
// designation order (index u = 0..N-1 is index u+1 of the SU matrices), each
// with its position and MLG number. Coordinates are in the dataset's own
// units (metres for most field data); an absent axis holds 999 for every
// unit and so adds nothing to any distance.
#include <cmath>
#include <vector>

#include "dataset/dataset.h"

namespace vireltan {

struct SpatialUnits {
  std::vector<double> x;
  std::vector<double> y;
  std::vector<int> mlg;  // 1..G
  int mlgCount = 0;      // G

  int size() const { return static_cast<int>(x.size()); }
};

SpatialUnits UnitsInDesignationOrder(const Dataset& dataset, const MlgPartition& mlgs);

// Euclidean distance (std::hypot: no overflow or underflow of the squares),
// computed exactly as the SU distance matrix computes it
// so that tied distances are tied here too.
inline double PlaneDistance(double x1, double y1, double x2, double y2) {
  const double dx = x1 - x2;
  const double dy = y1 - y2;
  return std::hypot(dx, dy);
}

}  // namespace vireltan
