// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/mlg_identification.h"

#include <algorithm>
#include <numeric>

namespace vireltan {

int CompareDesignations(const Cell& a, const Cell& b) {
  auto rank = [](const Cell& c) { return c.isNumber() ? 0 : (c.isText() ? 1 : 2); };
  if (rank(a) != rank(b)) return rank(a) < rank(b) ? -1 : 1;
  if (a.isNumber()) return a.number() < b.number() ? -1 : (b.number() < a.number() ? 1 : 0);
  if (a.isText()) return a.text().compare(b.text());
  return 0;
}

MlgPartition IdentifyMlgs(const Dataset& d) {
  MlgPartition p;
  const int n = d.sampleCount;
  const int width = d.locusCount * 2;
  auto sameGenotype = [&](int a, int b) {
    return std::equal(d.allelesOf(a), d.allelesOf(a) + width, d.allelesOf(b));
  };

  // Key order: a stable sort keeps file order among SUs with equal keys.
  p.keyOrder.resize(n);
  std::iota(p.keyOrder.begin(), p.keyOrder.end(), 0);
  std::stable_sort(p.keyOrder.begin(), p.keyOrder.end(), [&](int a, int b) {
    return std::lexicographical_compare(d.allelesOf(a), d.allelesOf(a) + width, d.allelesOf(b),
                                        d.allelesOf(b) + width);
  });

  p.mlgOfSu.assign(n, 0);
  int m = 0;
  for (int i = 0; i < n; ++i) {
    int su = p.keyOrder[i];
    if (i == 0 || !sameGenotype(p.keyOrder[i - 1], su)) {
      ++m;
      p.cloneSize.push_back(0);
      p.representative.push_back(su);
    }
    p.mlgOfSu[su] = m;
    ++p.cloneSize[m - 1];
  }
  p.mlgCount = m;

  // Designation order, from the key order (ties keep key order).
  p.designationOrder = p.keyOrder;
  std::stable_sort(p.designationOrder.begin(), p.designationOrder.end(), [&](int a, int b) {
    return CompareDesignations(d.designations[a], d.designations[b]) < 0;
  });

  SetCentroids(d, p);
  return p;
}

void SetCentroids(const Dataset& d, MlgPartition& p) {
  // Walking the designation order, the last SU met of each group is the
  // one that names it in the centroid table.
  const int m = p.mlgCount;
  p.centroidX.assign(m, 0.0);
  p.centroidY.assign(m, 0.0);
  p.centroidNamingSu.assign(m, -1);
  for (int su : p.designationOrder) {
    const int g = p.mlgOfSu[su] - 1;
    p.centroidX[g] += d.x[su];
    p.centroidY[g] += d.y[su];
    p.centroidNamingSu[g] = su;
  }
  for (int g = 0; g < m; ++g) {
    p.centroidX[g] /= p.cloneSize[g];
    p.centroidY[g] /= p.cloneSize[g];
  }
}

}  // namespace vireltan
