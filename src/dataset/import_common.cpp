// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/import_common.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "sheet/sheet.h"
#include "sheet/table_file.h"

namespace vireltan::import {

namespace {
constexpr size_t kQuotedLength = 40;
}

std::string Where(const std::string& fileName, int row, int col) {
  return "\"" + fileName + "\", row " + std::to_string(row) + ", column " + std::to_string(col);
}

std::string Quoted(const std::string& text) {
  size_t cut = text.size();
  if (cut > kQuotedLength) {
    cut = kQuotedLength;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // UTF-8
  }
  std::string quoted(1, '"');
  quoted.append(text, 0, cut);
  if (cut < text.size()) quoted += "...";
  quoted += '"';
  return quoted;
}

std::string Quoted(const Cell& cell) {
  if (cell.empty()) return "an empty cell";
  return Quoted(CellText(cell));
}

bool ParseAlleleSize(const Cell& cell, Allele& allele, std::string& why) {
  if (cell.empty()) {
    allele = kMissingAllele;
    return true;
  }
  std::optional<double> number;
  if (cell.isNumber()) number = cell.number();
  if (cell.isText()) {
    if (cell.text().find_first_not_of(" \t") == std::string::npos) {
      allele = kMissingAllele;
      return true;
    }
    number = ParseDecimal(cell.text());
  }
  if (!number || !std::isfinite(*number) || *number != std::floor(*number)) {
    why = "an allele is a whole number (its size; 0, -9 or an empty cell for a missing allele)";
    return false;
  }
  if (*number == 0 || *number == -9) {
    allele = kMissingAllele;
    return true;
  }
  if (*number < 1 || *number > kLargestAlleleSize) {
    why = "an allele size is a whole number from 1 to " + std::to_string(kLargestAlleleSize) +
          " (0, -9 or an empty cell for a missing allele)";
    return false;
  }
  allele = static_cast<Allele>(*number);
  return true;
}

void StoreGenotype(Dataset& dataset, int su, int locus, Allele a, Allele b) {
  size_t at = (static_cast<size_t>(su) * dataset.locusCount + locus) * 2;
  dataset.alleles[at] = std::min(a, b);
  dataset.alleles[at + 1] = std::max(a, b);
  if (a == kMissingAllele || b == kMissingAllele) dataset.hasMissingData = true;
}

void AssignPopulations(Dataset& dataset, const std::vector<std::string>& names) {
  std::unordered_map<std::string, int> index;
  dataset.populationNames.clear();
  dataset.populationOfSu.assign(names.size(), 0);
  for (size_t su = 0; su < names.size(); ++su) {
    auto [it, added] = index.emplace(names[su], static_cast<int>(index.size()));
    if (added) dataset.populationNames.push_back(names[su]);
    dataset.populationOfSu[su] = it->second;
  }
  dataset.populationsGiven = true;
}

Cell DesignationCell(const std::string& text) {
  if (auto number = ParseDecimal(text); number && std::isfinite(*number))
    return Cell::NumberFromText(*number, text);
  return Cell::Text(text);
}

}  // namespace vireltan::import
