#include "analyses/spatial/autocorrelation_classes.h"

#include <algorithm>

namespace vireltan {

std::vector<std::int64_t> EqualCountClassSizes(std::int64_t pairs, int k) {
  std::vector<std::int64_t> sizes(k + 1, 0);
  if (k <= 0) return sizes;
  const std::int64_t q = pairs / k;
  const std::int64_t r = pairs - q * k;
  for (int c = 1; c <= k; ++c) sizes[c] = q + (c <= r ? 1 : 0);
  return sizes;
}

std::vector<std::int64_t> EqualCountClassEnds(std::int64_t pairs, int k) {
  std::vector<std::int64_t> ends = EqualCountClassSizes(pairs, k);
  for (int c = 1; c <= k; ++c) ends[c] += ends[c - 1];
  return ends;
}

std::vector<std::int64_t> FixedLimitClassEnds(std::int64_t pairs,
                                              const std::vector<std::int64_t>& atOrBelow) {
  const int k = static_cast<int>(atOrBelow.size()) - 1;
  std::vector<std::int64_t> ends(k + 1, 0);
  std::int64_t previousEnd = 0;
  for (int c = 1; c <= k; ++c) {
    const std::int64_t start = previousEnd + 1;
    std::int64_t end;
    if (start > pairs) {
      end = previousEnd;  // no pair left: the class stays empty
    } else if (c == k) {
      end = pairs;  // the last class takes every remaining pair
    } else {
      // The class runs while the next pair is within its limit, and holds
      // at least the pair that opened it.
      end = std::min(pairs, std::max(start, atOrBelow[c]));
    }
    ends[c] = end;
    previousEnd = end;
  }
  return ends;
}

}  // namespace vireltan
