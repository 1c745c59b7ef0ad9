// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/data_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "dataset/genalex_reader.h"
#include "dataset/genepop_reader.h"
#include "sheet/table_file.h"
#include "sheet/text_encoding.h"

namespace vireltan {

namespace {

// A Genepop file opens with a title line, which is no number; the native
// and GenAlEx layouts open with counts. Only such a table is worth reading
// again as text to look for Pop lines.
bool MayBeGenepop(const Sheet& sheet) {
  return !sheet.at(1, 1).isNumber() || sheet.rows().empty() || sheet.rows()[0].size() < 3;
}

Status ReadText(const std::string& path, std::string& text) {
  if (Status regular = CheckInputFile(path); !regular) return regular;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::Error("Cannot read \"" + path + "\": " + std::strerror(errno) + ".");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return Status::Error("Cannot read \"" + path + "\": the file could not be read.");
  return DecodeText(bytes, path, text);
}

std::string AlleleCell(Allele a) {
  return a == kMissingAllele ? "0" : std::to_string(a);
}

}  // namespace

Status LoadDataFile(const std::string& path, const std::string& defaultPopulation, Dataset& dataset,
                    DatasetReadReport& report, LoadedFile& file, const ProgressSink* progress) {
  file = LoadedFile();
  if (Status regular = CheckInputFile(path); !regular) return regular;
  FileType type = FileType::kTextTable;
  Status read = ReadTableFile(path, file.table, &type, &file.readWarnings);
  // A Genepop title line may hold what a text table refuses (a lone quote).
  if (!read && type != FileType::kTextTable) return read;
  if (type == FileType::kTextTable && (!read || MayBeGenepop(file.table.first()))) {
    std::string text;
    Status decoded = ReadText(path, text);
    if (decoded && LooksLikeGenepop(text)) {
      file.layout = DataFileLayout::kGenepop;
      file.table.Reset();
      return ReadGenepop(text, path, dataset, report);
    }
  }
  if (!read) return read;
  if (LooksLikeGenAlEx(file.table.first())) {
    file.layout = DataFileLayout::kGenAlEx;
    return ReadGenAlEx(file.table.first(), path, dataset, report);
  }
  if (progress && progress->Cancelled()) return Status::Cancelled();
  Status parsed = ReadDataset(file.table.first(), path, dataset, report, progress);
  if (!parsed) return parsed;
  dataset.populationNames = {defaultPopulation};
  dataset.populationOfSu.assign(dataset.sampleCount, 0);
  dataset.populationsGiven = false;
  return Status::Ok();
}

Sheet BuildDatasetGrid(const Dataset& d, const LoadedFile& file) {
  Sheet grid;
  int populationColumn = 0;
  if (file.layout == DataFileLayout::kNative) {
    const Sheet& table = file.table.first();
    grid.CopyBlock(table, 2, 1, table.LastRow(), table.LastCol(), 1, 1);
    populationColumn = std::max(grid.LastCol(), 3 + d.locusCount) + 1;
  } else {
    for (int su = 0; su < d.sampleCount; ++su) {
      const int row = su + 1;
      grid.SetNumberAt(row, 2, d.x[su]);
      grid.SetNumberAt(row, 3, d.y[su]);
      for (int k = 0; k < d.locusCount; ++k) {
        Allele a = d.alleleAt(su, k, 0), b = d.alleleAt(su, k, 1);
        grid.SetTextAt(row, 4 + k,
                       d.haploid() ? AlleleCell(a) : AlleleCell(a) + "/" + AlleleCell(b));
      }
    }
    populationColumn = 4 + d.locusCount;
  }
  // Designations are names: shown as text, exactly as the file writes them
  // ("2108.1" and "2108.2" are two units, not two roundings of 2108).
  for (int su = 0; su < d.sampleCount; ++su) grid.SetTextAt(su + 1, 1, d.designationText(su));
  for (int su = 0; su < d.sampleCount; ++su)
    grid.SetTextAt(su + 1, populationColumn, d.populationNames[d.populationOfSu[su]]);
  grid.SetColumnHeading(1, "individu");
  grid.SetColumnHeading(2, "coord. x");
  grid.SetColumnHeading(3, "coord. y");
  for (int k = 1; k <= d.locusCount; ++k) grid.SetColumnHeading(3 + k, d.locusNames[k - 1]);
  grid.SetColumnHeading(populationColumn, "population");
  return grid;
}

}  // namespace vireltan
