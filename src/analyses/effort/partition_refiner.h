// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Counting distinct multilocus genotypes over a growing set of loci.
//
// The SUs that share a genotype over a set of loci form the classes of a
// partition. Adding one locus splits each class by the genotype at that
// locus, so the partition of a set of loci is built one locus at a time in
// O(N) per locus, and the number of distinct genotypes over the set is the
// number of classes. Two SUs carrying a missing allele at the same place are
// alike there, like any other allele value, so a genotype with a missing
// allele is distinct from every complete genotype.
#include <cstdint>
#include <vector>

#include "analyses/effort/effort_input.h"

namespace vireltan {

class PartitionRefiner {
 public:
  explicit PartitionRefiner(const EffortInput& input);

  // `classes` gives the class (0..classCount-1) of every SU. Writes into
  // `refined` the classes after splitting by the genotype at `locus` and
  // returns their number. `refined` must have N entries and may not be
  // `classes` itself.
  int Refine(const std::vector<int>& classes, int locus, std::vector<int>& refined);
  // The number of classes Refine would give, without writing them.
  int CountRefined(const std::vector<int>& classes, int locus);

 private:
  const EffortInput& input_;
  std::vector<std::uint64_t> stamp_;  // per old class: the last group that met it
  std::vector<int> newClass_;         // per old class: its class within that group
  std::uint64_t group_ = 0;
};

}  // namespace vireltan
