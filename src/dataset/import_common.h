// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pieces shared by the readers of other programs' files (GenAlEx, Genepop)
// and the strata table: message wording, allele sizes, populations.
#include <string>
#include <vector>

#include "dataset/dataset.h"
#include "sheet/cell.h"

namespace vireltan::import {

// "\"file\", row R, column C" as every message about a cell begins.
std::string Where(const std::string& fileName, int row, int col);
// A cell quoted for a message (at most a few dozen characters).
std::string Quoted(const Cell& cell);
std::string Quoted(const std::string& text);

// Reads an allele size: a whole number 1..kLargestAlleleSize, or missing
// (0, -9 or an empty cell). Returns false with `why` set otherwise.
bool ParseAlleleSize(const Cell& cell, Allele& allele, std::string& why);

// Stores the two alleles of SU `su` at `locus`, smaller first (a missing
// allele sorts last), and notes missing data.
void StoreGenotype(Dataset& dataset, int su, int locus, Allele a, Allele b);

// Gives every SU the population named `names[su]`, populations numbered in
// order of first appearance.
void AssignPopulations(Dataset& dataset, const std::vector<std::string>& names);

// A designation as the text tables read one: a number when the whole text
// reads as one (keeping its text: "2236.10" stays "2236.10"), else the text.
Cell DesignationCell(const std::string& text);

}  // namespace vireltan::import
