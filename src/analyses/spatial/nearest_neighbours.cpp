// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/nearest_neighbours.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace vireltan {

NearestNeighbourIndex::NearestNeighbourIndex(const std::vector<double>& x,
                                             const std::vector<double>& y) {
  const int n = static_cast<int>(x.size());
  // Distinct positions: slots with exactly equal coordinates share one.
  std::vector<int> byPlace(n);
  std::iota(byPlace.begin(), byPlace.end(), 0);
  std::sort(byPlace.begin(), byPlace.end(), [&](int a, int b) {
    if (x[a] != x[b]) return x[a] < x[b];
    return y[a] < y[b];
  });
  positionOfSlot_.assign(n, 0);
  std::vector<double> px, py;
  std::vector<int> count;
  for (int i = 0; i < n; ++i) {
    int s = byPlace[i];
    if (i == 0 || x[s] != px.back() || y[s] != py.back()) {
      px.push_back(x[s]);
      py.push_back(y[s]);
      count.push_back(0);
    }
    positionOfSlot_[s] = static_cast<int>(px.size()) - 1;
    ++count.back();
  }
  const int d = static_cast<int>(px.size());
  bucketStart_.assign(d + 1, 0);
  for (int p = 0; p < d; ++p) bucketStart_[p + 1] = bucketStart_[p] + count[p];
  slotsByPosition_.assign(byPlace.begin(), byPlace.end());
  for (int p = 0; p < d; ++p) {
    if (count[p] >= 2) sharedPositions_.push_back(p);
  }

  // Nearest distinct positions of every position, ties kept. A position
  // holding several slots is its own nearest (distance 0).
  std::vector<double> best(d, std::numeric_limits<double>::infinity());
  std::vector<std::vector<int>> nearest(d);
  for (int p = 0; p < d; ++p) {
    if (count[p] >= 2) {
      best[p] = 0.0;
      nearest[p].push_back(p);
    }
  }
  auto offer = [&](int p, int q, double dist) {
    if (dist < best[p]) {
      best[p] = dist;
      nearest[p].assign(1, q);
    } else if (dist == best[p]) {
      nearest[p].push_back(q);
    }
  };
  for (int p = 0; p < d; ++p) {
    for (int q = p + 1; q < d; ++q) {
      const double dist = PlaneDistance(px[p], py[p], px[q], py[q]);
      if (dist <= best[p]) offer(p, q, dist);
      if (dist <= best[q]) offer(q, p, dist);
    }
  }
  nearestStart_.assign(d + 1, 0);
  for (int p = 0; p < d; ++p) {
    nearestStart_[p + 1] = nearestStart_[p] + static_cast<int>(nearest[p].size());
  }
  nearestPositions_.reserve(nearestStart_[d]);
  for (int p = 0; p < d; ++p) {
    nearestPositions_.insert(nearestPositions_.end(), nearest[p].begin(), nearest[p].end());
  }
  soleNearestSlot_.assign(n, -1);
  for (int s = 0; s < n; ++s) {
    const std::vector<int>& near = nearest[positionOfSlot_[s]];
    if (near.size() == 1 && count[near[0]] == 1) {
      soleNearestSlot_[s] = slotsByPosition_[bucketStart_[near[0]]];
    } else {
      anyTies_ = true;
    }
  }
}

void NearestNeighbourIndex::Bucket(const std::vector<int>& slotOf, Workspace& work) const {
  const int n = slotCount();
  work.unitAt.resize(n);
  for (int u = 0; u < n; ++u) work.unitAt[slotOf[u]] = u;
  if (!anyTies_) return;
  // The units of each position, ascending, for the tie rule.
  work.occupants.resize(n);
  for (int k = 0; k < n; ++k) work.occupants[k] = work.unitAt[slotsByPosition_[k]];
  for (int p : sharedPositions_) {
    std::sort(work.occupants.begin() + bucketStart_[p],
              work.occupants.begin() + bucketStart_[p + 1]);
  }
}

int NearestNeighbourIndex::NearestOf(int unit, int position, const Workspace& work) const {
  const int* occupants = work.occupants.data();
  int after = std::numeric_limits<int>::max();
  for (int i = nearestStart_[position]; i < nearestStart_[position + 1]; ++i) {
    const int q = nearestPositions_[i];
    const int* first = occupants + bucketStart_[q];
    const int* last = occupants + bucketStart_[q + 1];
    const int* it = std::upper_bound(first, last, unit);
    if (it != last && *it < after) after = *it;
  }
  if (after != std::numeric_limits<int>::max()) return after;
  // No equidistant unit after `unit`: the highest-numbered one before it.
  int before = -1;
  for (int i = nearestStart_[position]; i < nearestStart_[position + 1]; ++i) {
    const int q = nearestPositions_[i];
    const int* first = occupants + bucketStart_[q];
    const int* last = occupants + bucketStart_[q + 1];
    const int* it = std::lower_bound(first, last, unit);
    if (it != first && *(it - 1) > before) before = *(it - 1);
  }
  return before;
}

void NearestNeighbourIndex::Nearest(const std::vector<int>& slotOf, std::vector<int>& nearest,
                                    Workspace& work) const {
  Bucket(slotOf, work);
  const int n = slotCount();
  nearest.resize(n);
  for (int u = 0; u < n; ++u) {
    const int slot = slotOf[u];
    const int sole = soleNearestSlot_[slot];
    nearest[u] = sole >= 0 ? work.unitAt[sole] : NearestOf(u, positionOfSlot_[slot], work);
  }
}

int NearestNeighbourIndex::CountDifferentMlgNeighbours(const std::vector<int>& slotOf,
                                                       const std::vector<int>& mlg,
                                                       Workspace& work) const {
  Bucket(slotOf, work);
  const int n = slotCount();
  int different = 0;
  for (int u = 0; u < n; ++u) {
    const int slot = slotOf[u];
    const int sole = soleNearestSlot_[slot];
    const int v = sole >= 0 ? work.unitAt[sole] : NearestOf(u, positionOfSlot_[slot], work);
    if (v >= 0 && mlg[v] != mlg[u]) ++different;
  }
  return different;
}

}  // namespace vireltan
