// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/strata_reader.h"

#include <unordered_map>

#include "dataset/import_common.h"
#include "sheet/table_file.h"

namespace vireltan {

namespace {

bool Blank(const std::string& text) {
  return text.find_first_not_of(" \t") == std::string::npos;
}

}  // namespace

Status ReadStrataTable(const std::string& path, const Dataset& dataset, StrataTable& table) {
  using import::Quoted;
  using import::Where;
  table = {};
  Book book;
  Status read = ReadTableFile(path, book);
  if (!read) return read;
  const Sheet& sheet = book.first();

  // Designation text -> the SUs carrying it (a designation may repeat in a
  // dataset; its units then share the strata given for it).
  std::unordered_map<std::string, std::vector<int>> units;
  for (int su = 0; su < dataset.sampleCount; ++su) units[dataset.designationText(su)].push_back(su);
  std::unordered_map<std::string, int> rowOf;

  // A header row: its first cell names no unit. Its cells name the stratum
  // columns, up to the last non-empty one.
  const bool header = sheet.LastRow() >= 1 && !units.count(sheet.TextAt(1, 1));
  int columns = 1;
  if (header) {
    for (int c = 2; c <= sheet.LastCol(); ++c)
      if (!Blank(sheet.TextAt(1, c))) columns = c;
    for (int c = 2; c <= columns; ++c) {
      const std::string name = sheet.TextAt(1, c);
      if (Blank(name))
        return Status::Error(Where(path, 1, c) + ": the header row leaves this column unnamed.");
      for (const std::string& other : table.names)
        if (other == name)
          return Status::Error(Where(path, 1, c) + ": the column name " + Quoted(name) +
                               " appears twice in the header row.");
      table.names.push_back(name);
    }
  } else {
    // Without a header only the population is read: further columns need
    // names for a hierarchy to refer to them.
    columns = 2;
    table.names.push_back("Population");
  }
  if (columns < 2)
    return Status::Error("\"" + path +
                         "\": a strata table needs a designation column and a population "
                         "column.");
  const int strata = columns - 1;
  table.valueOfSu.assign(strata, std::vector<std::string>(dataset.sampleCount));
  table.rowOfSu.assign(dataset.sampleCount, 0);

  for (int row = header ? 2 : 1; row <= sheet.LastRow(); ++row) {
    const std::string designation = sheet.TextAt(row, 1);
    bool empty = designation.empty();
    for (int c = 2; c <= columns && empty; ++c) empty = sheet.TextAt(row, c).empty();
    if (empty) continue;
    auto it = units.find(designation);
    if (it == units.end())
      return Status::Error(Where(path, row, 1) + ": " + Quoted(sheet.at(row, 1)) +
                           " is not a designation of the dataset.");
    if (auto [seen, added] = rowOf.emplace(designation, row); !added)
      return Status::Error(Where(path, row, 1) + ": " + Quoted(designation) +
                           " appears a second time (first on row " + std::to_string(seen->second) +
                           ").");
    for (int c = 2; c <= columns; ++c) {
      const std::string value = sheet.TextAt(row, c);
      if (Blank(value))
        return Status::Error(Where(path, row, c) + ": the " +
                             (c == 2 ? std::string("population") : Quoted(table.names[c - 2])) +
                             " of " + Quoted(designation) + " is empty.");
      for (int su : it->second) table.valueOfSu[c - 2][su] = value;
    }
    for (int su : it->second) table.rowOfSu[su] = row;
  }
  for (int su = 0; su < dataset.sampleCount; ++su)
    if (table.rowOfSu[su] == 0)
      return Status::Error("\"" + path + "\": the designation " +
                           Quoted(dataset.designationText(su)) +
                           " of the dataset is missing; every sampling unit needs a population.");
  return Status::Ok();
}

Status ReadStrata(const std::string& path, const Dataset& dataset,
                  std::vector<std::string>& populationOfSu) {
  StrataTable table;
  if (Status read = ReadStrataTable(path, dataset, table); !read) return read;
  populationOfSu = std::move(table.valueOfSu.front());
  return Status::Ok();
}

}  // namespace vireltan
