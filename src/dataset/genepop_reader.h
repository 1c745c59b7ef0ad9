// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads a Genepop file (the common exchange format of microsatellite
// studies): a title line; the locus names, one per line or separated by
// commas; then populations, each started by a line "Pop" (any case,
// optionally followed by the population's name) and holding one line per
// individual, "name , genotype genotype ...", a genotype being 2 or 3 digits
// per allele (0102 or 102104; a haploid file one allele per locus), all
// zeros for missing. The file has no coordinates.
#include <string>
#include <string_view>

#include "common/status.h"
#include "dataset/dataset.h"
#include "dataset/dataset_reader.h"

namespace vireltan {

// The program's Genepop export names its populations at the end of the
// title line, "<title> [populations: north | south]", as the Pop lines
// must stay bare for other readers.
inline constexpr const char* kGenepopPopulationsMark = " [populations: ";
inline constexpr const char* kGenepopPopulationSeparator = " | ";

// True when the text has a line "Pop" (any case, alone or followed by a
// blank and a name) after its first line, and its first line is not a row
// of counts (native and GenAlEx tables start with one).
bool LooksLikeGenepop(std::string_view text);

// Reads the file's text (UTF-8) into `dataset`. A population is named by the
// names list of the title line when it has one name per Pop line, else by
// the text after "Pop" on its line, else by its first individual's name. Errors
// name the file, row (line) and column (1 the individual's name, 2.. its
// genotypes).
Status ReadGenepop(std::string_view text, const std::string& fileName, Dataset& dataset,
                   DatasetReadReport& report);

}  // namespace vireltan
