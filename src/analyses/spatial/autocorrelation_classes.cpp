// SPDX-License-Identifier: GPL-3.0-or-later
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

ClassTableBuilder::ClassTableBuilder(const ClassRule& rule, std::vector<std::int64_t> ends,
                                     std::int64_t pairs)
    : rule_(&rule), ends_(std::move(ends)), pairs_(pairs) {
  Reset();
}

void ClassTableBuilder::Reset() {
  t_ = ClassTable();
  t_.k = rule_->k;
  for (auto* v : {&t_.minimum, &t_.average, &t_.maximum, &t_.lnAverage, &t_.pairCount, &t_.loiselle,
                  &t_.ritland})
    v->assign(rule_->k + 1, 0.0);
  c_ = 1;
  rank_ = 0;
  sumD_ = sumL_ = sumR_ = totalL_ = totalR_ = last_ = 0;
}

void ClassTableBuilder::Close() {
  const int c = c_++;
  const std::int64_t count = ends_[c] - ends_[c - 1];
  if (count > 0) {
    t_.average[c] = sumD_ / count;
    t_.lnAverage[c] = LnAverageDistance(t_.average[c]);
    t_.pairCount[c] = static_cast<double>(count);
    t_.loiselle[c] = sumL_ / count;
    t_.ritland[c] = sumR_ / count;
    if (rule_->rule == DistanceClassRule::kEqualCount) t_.maximum[c] = last_;
  } else {
    t_.minimum[c] = 0;
  }
  if (rule_->rule == DistanceClassRule::kFixedLimits)
    t_.maximum[c] = c < t_.k ? rule_->limits[c - 1] : (pairs_ > 0 ? last_ : 0.0);
  sumD_ = sumL_ = sumR_ = 0;
}

ClassTable ClassTableBuilder::Finish() {
  while (c_ <= t_.k) Close();
  if (pairs_ > 0) {
    t_.meanLoiselle = totalL_ / static_cast<double>(pairs_);
    t_.meanRitland = totalR_ / static_cast<double>(pairs_);
  }
  return t_;
}

}  // namespace vireltan
