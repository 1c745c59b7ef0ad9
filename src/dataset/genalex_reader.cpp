// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/genalex_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "dataset/coordinates.h"
#include "dataset/import_common.h"
#include "sheet/table_file.h"

namespace vireltan {

namespace {

using import::Quoted;
using import::Where;

std::string Lower(std::string text) {
  size_t first = text.find_first_not_of(" \t");
  size_t last = text.find_last_not_of(" \t");
  text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool IsWhole(const Cell& cell, long long& value) {
  std::optional<double> number;
  if (cell.isNumber()) number = cell.number();
  if (cell.isText()) number = ParseDecimal(cell.text());
  if (!number || !std::isfinite(*number) || *number != std::floor(*number) ||
      std::fabs(*number) > 1e9)
    return false;
  value = static_cast<long long>(*number);
  return true;
}

// Column of the X (or Lat) header of a coordinate pair in row 3, 0 if none.
int CoordinateColumn(const Sheet& sheet) {
  const int last = static_cast<int>(sheet.rows().size() >= 3 ? sheet.rows()[2].size() : 0);
  for (int c = 4; c < last; ++c) {
    std::string first = Lower(sheet.TextAt(3, c));
    std::string second = Lower(sheet.TextAt(3, c + 1));
    bool xy = first == "x" && second == "y";
    bool latLong = (first == "lat" || first == "latitude") &&
                   (second == "long" || second == "lon" || second == "longitude");
    if ((xy || latLong) && sheet.at(3, c - 1).empty()) return c;
  }
  return 0;
}

std::string CountWarning(const std::string& where, const std::string& what, long long stated,
                         long long found) {
  return where + ": the header gives " + std::to_string(stated) + " " + what +
         " but the table has " + std::to_string(found) + "; the table as it is is analysed.";
}

}  // namespace

bool LooksLikeGenAlEx(const Sheet& sheet) {
  if (sheet.LastRow() < 3) return false;
  long long v = 0;
  for (int c = 1; c <= 3; ++c)
    if (!IsWhole(sheet.at(1, c), v)) return false;
  return sheet.at(2, 2).empty() && sheet.at(2, 3).empty() && !sheet.at(3, 1).empty() &&
         !sheet.at(3, 2).empty() && !sheet.at(3, 3).empty();
}

Status ReadGenAlEx(const Sheet& sheet, const std::string& fileName, Dataset& dataset,
                   DatasetReadReport& report) {
  dataset = Dataset();
  report = DatasetReadReport();
  long long stated[3] = {0, 0, 0};
  const char* statedWhat[3] = {"the number of loci", "the number of samples",
                               "the number of populations"};
  for (int c = 1; c <= 3; ++c)
    if (!IsWhole(sheet.at(1, c), stated[c - 1]))
      return Status::Error(Where(fileName, 1, c) + ": " + statedWhat[c - 1] + " is " +
                           Quoted(sheet.at(1, c)) + ", not a whole number.");

  // The allele columns: from column 3 to two columns before the
  // coordinates, or to the widest row.
  const int coordCol = CoordinateColumn(sheet);
  int alleleEnd = 0;
  if (coordCol > 0) {
    alleleEnd = coordCol - 2;
  } else {
    for (int r = 3; r <= sheet.LastRow(); ++r)
      alleleEnd = std::max(alleleEnd, static_cast<int>(sheet.rows()[r - 1].size()));
  }
  const int columns = alleleEnd - 2;
  if (columns < 1)
    return Status::Error(Where(fileName, 3, 3) +
                         ": no locus column; row 3 should hold the locus names from column 3.");
  std::vector<int> nameColumns;
  for (int c = 3; c <= alleleEnd; ++c)
    if (!sheet.at(3, c).empty()) nameColumns.push_back(c);
  const int loci = static_cast<int>(nameColumns.size());
  bool haploid = loci == columns;
  bool diploid = !haploid && columns == 2 * loci;
  for (int k = 0; diploid && k < loci; ++k) diploid = nameColumns[k] == 3 + 2 * k;
  if (loci == 0 || (!haploid && !diploid)) {
    int at = loci == 0 ? 3 : nameColumns.back();
    return Status::Error(Where(fileName, 3, at) +
                         ": the locus headers do not follow the GenAlEx layout (a diploid locus "
                         "takes two columns, its name over the first and the second header "
                         "empty; a haploid locus one column).");
  }

  const int rows = sheet.LastRow() - 3;
  if (rows < 1)
    return Status::Error("\"" + fileName + "\" contains no sample: row 4 onwards should hold " +
                         "one sample per row.");
  if (stated[0] != loci)
    report.warnings.push_back(CountWarning(Where(fileName, 1, 1), "loci", stated[0], loci));
  if (stated[1] != rows)
    report.warnings.push_back(CountWarning(Where(fileName, 1, 2), "samples", stated[1], rows));

  dataset.sampleCount = rows;
  dataset.locusCount = loci;
  dataset.ploidy = haploid ? 1 : 2;
  for (int c : nameColumns) dataset.locusNames.push_back(sheet.TextAt(3, c));
  dataset.alleles.assign(static_cast<size_t>(rows) * loci * 2, kMissingAllele);
  dataset.designations.reserve(rows);
  dataset.x.assign(rows, 999);
  dataset.y.assign(rows, 999);
  std::vector<std::string> populations(rows);
  const int perLocus = haploid ? 1 : 2;
  for (int i = 0; i < rows; ++i) {
    const int row = i + 4;
    const Cell& name = sheet.at(row, 1);
    if (name.empty() ||
        (name.isText() && name.text().find_first_not_of(" \t") == std::string::npos))
      return Status::Error(Where(fileName, row, 1) + ": the sample name is empty.");
    dataset.designations.push_back(name);
    populations[i] = sheet.TextAt(row, 2);
    if (populations[i].find_first_not_of(" \t") == std::string::npos)
      return Status::Error(Where(fileName, row, 2) + ": the population is empty.");
    for (int k = 0; k < loci; ++k) {
      Allele a[2];
      for (int copy = 0; copy < perLocus; ++copy) {
        const int col = 3 + perLocus * k + copy;
        std::string why;
        if (!import::ParseAlleleSize(sheet.at(row, col), a[copy], why))
          return Status::Error(Where(fileName, row, col) + " (locus " +
                               Quoted(dataset.locusNames[k]) + "): " + Quoted(sheet.at(row, col)) +
                               " is not an allele; " + why + ".");
      }
      if (haploid) a[1] = a[0];
      import::StoreGenotype(dataset, i, k, a[0], a[1]);
    }
    if (coordCol > 0) {
      std::string why;
      for (int axis = 0; axis < 2; ++axis) {
        const int col = coordCol + axis;
        double& value = axis == 0 ? dataset.x[i] : dataset.y[i];
        if (!ReadCoordinateCell(sheet.at(row, col), value, why))
          return Status::Error(Where(fileName, row, col) + ": the " + (axis == 0 ? "x" : "y") +
                               " coordinate is " + Quoted(sheet.at(row, col)) + ", " + why);
      }
    }
  }
  import::AssignPopulations(dataset, populations);

  // Population counts and sizes, in order of first appearance.
  const int pops = dataset.populationCount();
  if (stated[2] != pops)
    report.warnings.push_back(CountWarning(Where(fileName, 1, 3), "populations", stated[2], pops));
  std::vector<long long> sizes(pops, 0);
  for (int p : dataset.populationOfSu) ++sizes[p];
  for (int p = 0; p < pops; ++p) {
    long long size = 0;
    if (!IsWhole(sheet.at(1, 4 + p), size) || size != sizes[p]) {
      report.warnings.push_back(Where(fileName, 1, 4 + p) + ": the header gives " +
                                Quoted(sheet.at(1, 4 + p)) + " as the size of population " +
                                Quoted(dataset.populationNames[p]) + ", which has " +
                                std::to_string(sizes[p]) + " samples in the table.");
      break;
    }
  }
  if (dataset.hasMissingData) report.warnings.push_back(kMissingDataWarning);
  return Status::Ok();
}

}  // namespace vireltan
