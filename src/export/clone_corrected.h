// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The clone-corrected dataset that both export formats write: one sampling
// unit per distinct MLG, in MLG order, so that repeated ramets of a genet do
// not inflate allele frequencies in population-genetics programs.
#include <string>
#include <vector>

#include "dataset/dataset.h"

namespace vireltan {

// For m = 1..G, at index m-1: the SU (0-based file index) that stands for
// MLG m, the last of its SUs in the dataset table (rows by MLG number, file
// order among the SUs of one MLG). All SUs of an MLG carry the same alleles.
std::vector<int> LastSuOfEachMlg(const MlgPartition& mlgs);

// An allele code as the program writes it in genotypes: "%3.0f", so three
// digits for the codes 100..999 of a loaded dataset (999 marks missing).
std::string AlleleText(Allele allele);

}  // namespace vireltan
