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

// The loci as the count row and the table lay them out: row 1 states L,
// the table holds C allele columns, so each locus takes C / L columns (its
// ploidy). Only the header above a locus's first column names it; the
// headers above its other columns are ignored, whatever they hold (GenAlEx
// leaves them blank, poppr's genind2genalex writes a space, other programs
// repeat the name).
struct LocusLayout {
  int loci = 0;
  int ploidy = 0;
  std::vector<std::string> names;
};

bool IsBlank(const Cell& cell) {
  return cell.empty() ||
         (cell.isText() && cell.text().find_first_not_of(" \t") == std::string::npos);
}

std::string LociText(long long count) {
  return std::to_string(count) + (count == 1 ? " locus" : " loci");
}

Status FindLocusLayout(const Sheet& sheet, const std::string& fileName, long long statedLoci,
                       int columns, LocusLayout& layout) {
  const std::string columnsText = std::to_string(columns) + " allele column" +
                                  (columns == 1 ? "" : "s") + " (columns 3 to " +
                                  std::to_string(columns + 2) + ")";
  if (statedLoci < 1 || statedLoci > columns || columns % statedLoci != 0)
    return Status::Error(Where(fileName, 1, 1) + ": the header gives " + LociText(statedLoci) +
                         " but the table has " + columnsText +
                         ", which is not a whole number of alleles per locus; correct the "
                         "number of loci or the table.");
  const int loci = static_cast<int>(statedLoci);
  const int ploidy = columns / loci;
  if (ploidy > 2)
    return Status::Error(Where(fileName, 1, 1) + ": the header gives " + LociText(loci) +
                         " and the table has " + columnsText + ", " + std::to_string(ploidy) +
                         " alleles per locus; only haploid (1) and diploid (2) data can be "
                         "analysed.");
  // A header naming every allele column with its own name lists C loci,
  // not L: the count row and the headers disagree, and reading the file
  // either way could be wrong.
  if (ploidy > 1) {
    std::vector<std::string> headers;
    for (int c = 3; c < 3 + columns; ++c) {
      if (IsBlank(sheet.at(3, c))) break;
      headers.push_back(Lower(sheet.TextAt(3, c)));
    }
    bool allDistinct = static_cast<int>(headers.size()) == columns;
    std::sort(headers.begin(), headers.end());
    allDistinct =
        allDistinct && std::adjacent_find(headers.begin(), headers.end()) == headers.end();
    if (allDistinct)
      return Status::Error(Where(fileName, 3, 3) + ": row 3 names " + std::to_string(columns) +
                           " loci (one per column) but row 1 gives " + LociText(loci) + " for " +
                           columnsText +
                           "; correct the number of loci, or leave "
                           "the header blank above the second allele of each locus.");
  }
  layout.loci = loci;
  layout.ploidy = ploidy;
  layout.names.clear();
  for (int k = 0; k < loci; ++k) {
    const int col = 3 + ploidy * k;
    layout.names.push_back(IsBlank(sheet.at(3, col)) ? "locus" + std::to_string(k + 1)
                                                     : sheet.TextAt(3, col));
  }
  return Status::Ok();
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
  LocusLayout layout;
  if (Status found = FindLocusLayout(sheet, fileName, stated[0], columns, layout); !found)
    return found;
  const int loci = layout.loci;
  const bool haploid = layout.ploidy == 1;

  const int rows = sheet.LastRow() - 3;
  if (rows < 1)
    return Status::Error("\"" + fileName + "\" contains no sample: row 4 onwards should hold " +
                         "one sample per row.");
  if (stated[1] != rows)
    report.warnings.push_back(CountWarning(Where(fileName, 1, 2), "samples", stated[1], rows));

  dataset.sampleCount = rows;
  dataset.locusCount = loci;
  dataset.ploidy = haploid ? 1 : 2;
  dataset.locusNames = std::move(layout.names);
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
