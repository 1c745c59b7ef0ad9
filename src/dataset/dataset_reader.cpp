// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/dataset_reader.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "common/message_quote.h"
#include "dataset/coordinates.h"
#include "numeric/rounding.h"
#include "sheet/table_file.h"

namespace vireltan {

std::string Dataset::designationText(int su) const {
  return CellText(designations[su]);
}

namespace {

std::string CellForMessage(const Cell& cell) {
  if (cell.empty()) return "an empty cell";
  return QuoteForMessage(CellText(cell));
}

// A header warning followed by the two numbers that disagree.
std::string MismatchWarning(const char* warning, const char* what, long long header,
                            long long found) {
  return std::string(warning) + "(" + what + ": " + std::to_string(header) + " in the header, " +
         std::to_string(found) + " in the file)";
}

std::string Where(const std::string& fileName, int row, int col) {
  std::ostringstream out;
  out << "\"" << fileName << "\", row " << row << ", column " << col;
  return out.str();
}

// A header number (N, L): rounded to the nearest integer, halves to
// even; an empty cell reads 0.
bool HeaderInteger(const Sheet& sheet, int col, long long& value) {
  const Cell& cell = sheet.at(1, col);
  if (cell.empty()) {
    value = 0;
    return true;
  }
  std::optional<double> number =
      cell.isNumber() ? std::optional<double>(cell.number()) : ParseDecimal(cell.text());
  if (!number || !std::isfinite(*number) || std::fabs(*number) > 1e9) return false;
  value = RoundHalfEven(*number);
  return true;
}

// Parses one genotype cell. Accepts a whole number that is a three-digit
// allele code (odd ploidy) or two of them written one after the other (even
// ploidy), plus either missing-data code. Returns false with `why` set.
bool ParseGenotype(const Cell& cell, bool haploid, Allele& a1, Allele& a2, bool& missing,
                   std::string& why) {
  std::optional<double> number;
  if (cell.isNumber()) number = cell.number();
  if (cell.isText()) number = ParseDecimal(cell.text());
  const char* expected =
      haploid ? "a haploid genotype is one three-digit allele code (100 to 999; 999 for missing "
                "data)"
              : "a diploid genotype is two three-digit allele codes written one after the other "
                "(for example 120124; 999999 for missing data)";
  if (!number || !std::isfinite(*number) || *number != std::floor(*number) || *number < 0) {
    why = expected;
    return false;
  }
  double v = *number;
  missing = false;
  if (v == kMissingDiploidCode || v == kMissingHaploidCode) {
    a1 = a2 = kMissingAllele;
    missing = true;
    return true;
  }
  if (haploid) {
    if (v < 100 || v > 999) {
      why = expected;
      return false;
    }
    a1 = a2 = static_cast<Allele>(v);
    return true;
  }
  if (v < 100000 || v > 999999) {
    why = expected;
    return false;
  }
  int code = static_cast<int>(v);
  int first = code / 1000;
  int second = code % 1000;
  if (second < 100) {
    why = expected;
    return false;
  }
  // 999 in one half is a missing allele: stored as kMissingAllele, which
  // sorts last as 999 did.
  auto stored = [](int code) {
    return code == kMissingHaploidCode ? kMissingAllele : Allele(code);
  };
  a1 = stored(std::min(first, second));
  a2 = stored(std::max(first, second));
  return true;
}

}  // namespace

Status ReadDataset(const Sheet& sheet, const std::string& fileName, Dataset& dataset,
                   DatasetReadReport& report, const ProgressSink* progress) {
  dataset = Dataset();
  report = DatasetReadReport();

  long long headerN = 0, headerL = 0, ploidy = 0;
  if (!HeaderInteger(sheet, 1, headerN))
    return Status::Error(Where(fileName, 1, 1) + ": the number of sampling units is " +
                         CellForMessage(sheet.at(1, 1)) + ", not a number.");
  if (!HeaderInteger(sheet, 4, headerL))
    return Status::Error(Where(fileName, 1, 4) + ": the number of loci is " +
                         CellForMessage(sheet.at(1, 4)) + ", not a number.");
  // The ploidy is a count of allele copies: unlike N and L it is not
  // rounded (1.5 or 2.5 would silently become a diploid file), and any
  // other whole number is refused below with the same message.
  const Cell& ploidyCell = sheet.at(1, 5);
  if (!ploidyCell.empty()) {
    std::optional<double> number = ploidyCell.isNumber()
                                       ? std::optional<double>(ploidyCell.number())
                                       : ParseDecimal(ploidyCell.text());
    if (!number || !std::isfinite(*number))
      return Status::Error(Where(fileName, 1, 5) + ": the ploidy is " + CellForMessage(ploidyCell) +
                           ", not a number.");
    ploidy = *number == 1 ? 1 : *number == 2 ? 2 : *number == 0 ? 0 : -1;
  }
  report.headerSampleCount = static_cast<int>(headerN);
  report.headerLocusCount = static_cast<int>(headerL);

  // The grid the user sees: the file without its header row.
  int rowsPresent = sheet.LastRow() - 1;
  int lastColOfData = 0;
  for (int r = 2; r <= sheet.LastRow(); ++r) {
    lastColOfData = std::max(lastColOfData, static_cast<int>(sheet.rows()[r - 1].size()));
  }
  if (headerN != rowsPresent)
    report.warnings.push_back(
        MismatchWarning(kLinesWarning, "sampling units", headerN, rowsPresent));
  if (headerL + 3 != lastColOfData)
    report.warnings.push_back(
        MismatchWarning(kColumnsWarning, "loci", headerL, std::max(lastColOfData - 3, 0)));
  if (ploidy == 0) {
    report.warnings.push_back(kPloidyWarning);
    ploidy = 2;
  }
  // Analyses read one allele per locus (haploid) or two (diploid); a
  // tetraploid file read as diploid would give wrong results silently.
  if (ploidy != 1 && ploidy != 2)
    return Status::Error(Where(fileName, 1, 5) + ": the ploidy is " +
                         CellForMessage(sheet.at(1, 5)) +
                         "; only haploid (1) and diploid (2) data are supported.");

  if (rowsPresent < 1)
    return Status::Error("\"" + fileName + "\" contains no data row: row 2 onwards should hold " +
                         "one sampling unit per row.");
  if (headerL < 1)
    return Status::Error(Where(fileName, 1, 4) + ": the number of loci must be at least 1.");
  int loci = static_cast<int>(std::min<long long>(headerL, lastColOfData - 3));
  if (loci < 1)
    return Status::Error("\"" + fileName + "\" has no genotype column: columns 4 onwards " +
                         "should hold one genotype per locus.");

  dataset.sampleCount = rowsPresent;
  dataset.locusCount = loci;
  dataset.ploidy = static_cast<int>(ploidy);
  const bool haploid = dataset.haploid();

  // Locus names: used only when row 1, column 6 is not empty (a name may be
  // a number, such as a marker's catalogue number).
  bool named = !sheet.TextAt(1, 6).empty();
  for (int k = 1; k <= loci; ++k) {
    dataset.locusNames.push_back(named ? sheet.TextAt(1, 5 + k) : "locus" + std::to_string(k));
  }

  dataset.designations.reserve(rowsPresent);
  dataset.x.reserve(rowsPresent);
  dataset.y.reserve(rowsPresent);
  dataset.alleles.resize(static_cast<size_t>(rowsPresent) * loci * 2);
  for (int i = 0; i < rowsPresent; ++i) {
    if (i % 4096 == 0 && progress && progress->Cancelled()) return Status::Cancelled();
    int row = i + 2;
    const Cell& designation = sheet.at(row, 1);
    if (designation.empty() ||
        (designation.isText() && designation.text().find_first_not_of(" \t") == std::string::npos))
      return Status::Error(Where(fileName, row, 1) +
                           ": the designation of the sampling unit is empty.");
    dataset.designations.push_back(designation);
    double x = 0, y = 0;
    std::string why;
    if (!ReadCoordinateCell(sheet.at(row, 2), x, why))
      return Status::Error(Where(fileName, row, 2) + ": the x coordinate is " +
                           CellForMessage(sheet.at(row, 2)) + ", " + why);
    if (!ReadCoordinateCell(sheet.at(row, 3), y, why))
      return Status::Error(Where(fileName, row, 3) + ": the y coordinate is " +
                           CellForMessage(sheet.at(row, 3)) + ", " + why);
    dataset.x.push_back(x);
    dataset.y.push_back(y);
    for (int k = 0; k < loci; ++k) {
      int col = 4 + k;
      Allele a1 = 0, a2 = 0;
      bool missing = false;
      if (!ParseGenotype(sheet.at(row, col), haploid, a1, a2, missing, why))
        return Status::Error(
            Where(fileName, row, col) + " (locus " + QuoteForMessage(dataset.locusNames[k]) +
            "): " + CellForMessage(sheet.at(row, col)) + " is not a valid genotype; " + why + ".");
      size_t at = (static_cast<size_t>(i) * loci + k) * 2;
      dataset.alleles[at] = a1;
      dataset.alleles[at + 1] = a2;
      if (missing) dataset.hasMissingData = true;
    }
  }
  if (dataset.hasMissingData) report.warnings.push_back(kMissingDataWarning);
  return Status::Ok();
}

Extents ComputeExtents(const Dataset& dataset) {
  Extents e;
  for (int i = 0; i < dataset.sampleCount; ++i) {
    e.MinX = std::min(e.MinX, dataset.x[i]);
    e.MaxX = std::max(e.MaxX, dataset.x[i]);
    e.MinY = std::min(e.MinY, dataset.y[i]);
    e.MaxY = std::max(e.MaxY, dataset.y[i]);
  }
  e.HalfRangeX = (e.MaxX - e.MinX) / 2;
  e.HalfRangeY = (e.MaxY - e.MinY) / 2;
  e.SpatialDims = (e.MaxX != 999 ? 1 : 0) + (e.MaxY != 999 ? 1 : 0);
  return e;
}

}  // namespace vireltan
