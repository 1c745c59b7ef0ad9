// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/effort/partition_refiner.h"

namespace vireltan {

PartitionRefiner::PartitionRefiner(const EffortInput& input)
    : input_(input), stamp_(input.sampleCount, 0), newClass_(input.sampleCount, 0) {}

// Walk the SUs genotype group by genotype group: within one group, SUs of
// one old class form one new class. Each group gets a fresh stamp, so the
// per-class marks never need clearing.
int PartitionRefiner::Refine(const std::vector<int>& classes, int locus,
                             std::vector<int>& refined) {
  const LocusGenotypeGroups& groups = input_.genotypes[locus];
  int count = 0;
  int begin = 0;
  for (int end : groups.groupEnd) {
    const std::uint64_t tag = ++group_;
    for (int i = begin; i < end; ++i) {
      const int su = groups.members[i];
      const int c = classes[su];
      if (stamp_[c] != tag) {
        stamp_[c] = tag;
        newClass_[c] = count++;
      }
      refined[su] = newClass_[c];
    }
    begin = end;
  }
  return count;
}

int PartitionRefiner::CountRefined(const std::vector<int>& classes, int locus) {
  const LocusGenotypeGroups& groups = input_.genotypes[locus];
  int count = 0;
  int begin = 0;
  for (int end : groups.groupEnd) {
    const std::uint64_t tag = ++group_;
    for (int i = begin; i < end; ++i) {
      const int c = classes[groups.members[i]];
      if (stamp_[c] != tag) {
        stamp_[c] = tag;
        ++count;
      }
    }
    begin = end;
  }
  return count;
}

}  // namespace vireltan
