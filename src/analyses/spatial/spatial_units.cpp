// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/spatial_units.h"

namespace vireltan {

SpatialUnits UnitsInDesignationOrder(const Dataset& dataset, const MlgPartition& mlgs) {
  SpatialUnits units;
  const size_t n = mlgs.designationOrder.size();
  units.x.reserve(n);
  units.y.reserve(n);
  units.mlg.reserve(n);
  for (int su : mlgs.designationOrder) {
    units.x.push_back(dataset.x[su]);
    units.y.push_back(dataset.y[su]);
    units.mlg.push_back(mlgs.mlgOfSu[su]);
  }
  units.mlgCount = mlgs.mlgCount;
  return units;
}

}  // namespace vireltan
