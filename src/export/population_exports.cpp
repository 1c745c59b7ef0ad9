// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/population_exports.h"

#include <cstdio>

#include "common/message_quote.h"
#include "dataset/genepop_reader.h"
#include "dataset/population_units.h"

namespace vireltan {

namespace {

std::string ThreeDigits(Allele a) {
  if (a == kMissingAllele) return "000";
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%03d", static_cast<int>(a));
  return buffer;
}

}  // namespace

Status CheckAlleleRange(const Dataset& d, int lo, int hi, const std::string& format) {
  for (int su = 0; su < d.sampleCount; ++su)
    for (int k = 0; k < d.locusCount; ++k)
      for (int which = 0; which < 2; ++which) {
        const Allele a = d.alleleAt(su, k, which);
        if (a == kMissingAllele || (a >= lo && a <= hi)) continue;
        return Status::Error(format + " writes alleles as three-digit codes (" +
                             std::to_string(lo) + " to " + std::to_string(hi) + "): allele " +
                             std::to_string(a) + " at locus " + QuoteForMessage(d.locusNames[k]) +
                             " (unit " + QuoteForMessage(d.designationText(su)) +
                             ") cannot be written; nothing was written.");
      }
  return Status::Ok();
}

std::vector<int> UnitsToExport(const Dataset& d, const MlgPartition& mlgs, bool cloneCorrect) {
  std::vector<int> units;
  for (const auto& list : PopulationUnits(d, mlgs, cloneCorrect))
    units.insert(units.end(), list.begin(), list.end());
  return units;
}

Book BuildGenAlExBook(const Dataset& d, const std::vector<int>& units, const std::string& title,
                      bool withCoordinates) {
  Book book;
  Sheet& s = book.first();
  s.setName("GenAlEx");
  const int loci = d.locusCount;
  const int perLocus = d.haploid() ? 1 : 2;
  // Populations present, in writing order, with their sizes.
  std::vector<int> order, size(d.populationCount(), 0);
  for (int su : units)
    if (size[d.populationOfSu[su]]++ == 0) order.push_back(d.populationOfSu[su]);
  s.SetNumberAt(1, 1, loci);
  s.SetNumberAt(1, 2, static_cast<double>(units.size()));
  s.SetNumberAt(1, 3, static_cast<double>(order.size()));
  s.SetTextAt(2, 1, title);
  for (size_t i = 0; i < order.size(); ++i) {
    s.SetNumberAt(1, 4 + static_cast<int>(i), size[order[i]]);
    s.SetTextAt(2, 4 + static_cast<int>(i), d.populationNames[order[i]]);
  }
  s.SetTextAt(3, 1, "Sample");
  s.SetTextAt(3, 2, "Pop");
  for (int k = 0; k < loci; ++k) s.SetTextAt(3, 3 + perLocus * k, d.locusNames[k]);
  const int coordCol = 3 + perLocus * loci + 1;
  if (withCoordinates) {
    s.SetTextAt(3, coordCol, "X");
    s.SetTextAt(3, coordCol + 1, "Y");
  }
  int row = 3;
  for (int su : units) {
    ++row;
    s.set(row, 1, d.designations[su]);
    s.SetTextAt(row, 2, d.populationNames[d.populationOfSu[su]]);
    for (int k = 0; k < loci; ++k)
      for (int c = 0; c < perLocus; ++c) {
        const Allele a = d.alleleAt(su, k, c);
        s.SetNumberAt(row, 3 + perLocus * k + c, a == kMissingAllele ? 0 : a);
      }
    if (withCoordinates) {
      s.SetNumberAt(row, coordCol, d.x[su]);
      s.SetNumberAt(row, coordCol + 1, d.y[su]);
    }
  }
  return book;
}

std::string GenepopTitle(const std::string& title, const std::vector<std::string>& populations) {
  std::string line = title.empty() ? std::string("Vireltan") : title;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  line += kGenepopPopulationsMark;
  for (size_t i = 0; i < populations.size(); ++i) {
    std::string name = populations[i];
    // The separator, and what ends a line or a Genepop name, become blanks.
    for (size_t at = name.find(kGenepopPopulationSeparator); at != std::string::npos;
         at = name.find(kGenepopPopulationSeparator, at))
      name[at + 1] = '/';
    for (char& c : name)
      if (c == ',' || c == '\t' || c == '\n' || c == '\r') c = ' ';
    line += (i ? kGenepopPopulationSeparator : "") + name;
  }
  return line + "]";
}

Status FormatGenepop(const Dataset& d, const std::vector<int>& units, const std::string& title,
                     std::string& text) {
  Status range = CheckAlleleRange(d, 1, 999, "Genepop");
  if (!range) return range;
  // Populations in writing order: their names go into the title line, the
  // one line every Genepop reader passes over, since adegenet's
  // read.genepop and Genepop itself take only a bare "Pop" line.
  std::vector<std::string> populations;
  int current = -1;
  for (int su : units)
    if (d.populationOfSu[su] != current) {
      current = d.populationOfSu[su];
      populations.push_back(d.populationNames[current]);
    }
  text = GenepopTitle(title, populations) + '\n';
  for (const std::string& name : d.locusNames) text += name + '\n';
  current = -1;
  for (int su : units) {
    const int p = d.populationOfSu[su];
    std::string name = d.designationText(su);
    // A comma ends the name in Genepop: write a blank instead.
    for (char& c : name)
      if (c == ',' || c == '\n' || c == '\r') c = ' ';
    if (p != current) {
      current = p;
      text += "Pop\n";
    }
    text += name + " ,";
    for (int k = 0; k < d.locusCount; ++k) {
      text += ' ';
      text += ThreeDigits(d.alleleAt(su, k, 0));
      if (!d.haploid()) text += ThreeDigits(d.alleleAt(su, k, 1));
    }
    text += '\n';
  }
  return Status::Ok();
}

}  // namespace vireltan
