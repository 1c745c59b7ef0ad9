// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/strata_reader.h"

#include <unordered_map>

#include "dataset/import_common.h"
#include "sheet/table_file.h"

namespace vireltan {

Status ReadStrata(const std::string& path, const Dataset& dataset,
                  std::vector<std::string>& populationOfSu) {
  using import::Quoted;
  using import::Where;
  Book book;
  Status read = ReadTableFile(path, book);
  if (!read) return read;
  const Sheet& sheet = book.first();

  // Designation text -> the SUs carrying it (a designation may repeat in a
  // dataset; its units then share the population given for it).
  std::unordered_map<std::string, std::vector<int>> units;
  for (int su = 0; su < dataset.sampleCount; ++su) units[dataset.designationText(su)].push_back(su);
  std::unordered_map<std::string, int> rowOf;
  populationOfSu.assign(dataset.sampleCount, std::string());

  for (int row = 1; row <= sheet.LastRow(); ++row) {
    const std::string designation = sheet.TextAt(row, 1);
    const std::string population = sheet.TextAt(row, 2);
    if (designation.empty() && population.empty()) continue;
    auto it = units.find(designation);
    if (it == units.end()) {
      if (row == 1) continue;  // a header row
      return Status::Error(Where(path, row, 1) + ": " + Quoted(sheet.at(row, 1)) +
                           " is not a designation of the dataset.");
    }
    if (auto [seen, added] = rowOf.emplace(designation, row); !added)
      return Status::Error(Where(path, row, 1) + ": " + Quoted(designation) +
                           " appears a second time (first on row " + std::to_string(seen->second) +
                           ").");
    if (population.find_first_not_of(" \t") == std::string::npos)
      return Status::Error(Where(path, row, 2) + ": the population of " + Quoted(designation) +
                           " is empty.");
    for (int su : it->second) populationOfSu[su] = population;
  }
  for (int su = 0; su < dataset.sampleCount; ++su)
    if (populationOfSu[su].empty())
      return Status::Error("\"" + path + "\": the designation " +
                           Quoted(dataset.designationText(su)) +
                           " of the dataset is missing; every sampling unit needs a population.");
  return Status::Ok();
}

}  // namespace vireltan
