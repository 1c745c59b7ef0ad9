// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/snp/sample_sheet.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <unordered_map>

#include "common/message_quote.h"
#include "dataset/coordinates.h"
#include "dataset/snp/raw_snp_data.h"
#include "sheet/book.h"
#include "sheet/table_file.h"

namespace vireltan {

namespace {

constexpr int kNamesListed = 10;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string TrimmedCellText(const Cell& cell) {
  if (cell.isNumber()) return FormatNumber(cell.number());
  std::string text = cell.isText() ? cell.text() : "";
  const auto first = text.find_first_not_of(" \t");
  const auto last = text.find_last_not_of(" \t");
  return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// "a", "b" and 3 more: names quoted, ten at most.
std::string ListNames(const std::vector<std::string>& names) {
  std::string list;
  for (std::size_t i = 0; i < names.size() && i < kNamesListed; ++i)
    list += (i ? ", " : "") + QuoteForMessage(names[i]);
  if (names.size() > kNamesListed)
    list += " and " + std::to_string(names.size() - kNamesListed) + " more";
  return list;
}

// A replicate repeats another sample; following replicate_of from any
// sample must end at a sample that repeats none. A chain that comes back
// to where it started (a -> b -> a) would count its pairs twice and leave
// no original. A sample naming itself is reported where names are joined.
Status CheckReplicateChains(const SampleSheet& sheet, const std::vector<int>& rows,
                            const std::string& file) {
  const std::size_t count = sheet.names.size();
  std::unordered_map<std::string, int> index;
  for (std::size_t r = 0; r < count; ++r) index.emplace(sheet.names[r], static_cast<int>(r));
  std::vector<int> next(count, -1);
  for (std::size_t r = 0; r < count; ++r) {
    auto found = index.find(sheet.replicateOf[r]);
    if (found != index.end() && found->second != static_cast<int>(r)) next[r] = found->second;
  }
  // 0: not visited, 1: on the chain being followed, 2: ends well.
  std::vector<char> state(count, 0);
  for (std::size_t start = 0; start < count; ++start) {
    int at = static_cast<int>(start);
    while (at >= 0 && state[at] == 0) {
      state[at] = 1;
      at = next[at];
    }
    if (at >= 0 && state[at] == 1) {
      // `at` is on a cycle: list it in order.
      std::string chain;
      int k = at, listed = 0, more = 0;
      do {
        if (listed < kNamesListed)
          chain += QuoteForMessage(sheet.names[k]) + " (row " + std::to_string(rows[k]) + ") → ";
        else
          ++more;
        ++listed;
        k = next[k];
      } while (k != at);
      if (more > 0) chain += "… (" + std::to_string(more) + " more) → ";
      chain += QuoteForMessage(sheet.names[at]);
      return Status::Error("The sample sheet " + file +
                           ": its replicate_of column goes round in a circle: " + chain +
                           ". A replicate names the sample it repeats, and that sample names "
                           "none (leave its replicate_of empty).");
    }
    for (at = static_cast<int>(start); at >= 0 && state[at] == 1; at = next[at]) state[at] = 2;
  }
  return Status::Ok();
}

}  // namespace

Status ReadSampleSheet(const std::string& path, SampleSheet& sheet) {
  const std::string file = QuotePathForMessage(path);
  if (Status regular = RequireRegularFile(path, "sample sheet"); !regular) return regular;
  Book book;
  if (Status read = ReadTableFile(path, book); !read) return read;
  const Sheet& table = book.first();
  const int lastRow = table.LastRow(), lastCol = table.LastCol();
  std::map<std::string, int> column;
  for (int c = 1; c <= lastCol; ++c) {
    const std::string name = Lower(TrimmedCellText(table.at(1, c)));
    if (name.empty()) continue;
    if (!column.emplace(name, c).second)
      return Status::Error("The sample sheet " + file + " has two columns named " +
                           QuoteForMessage(name) + ".");
  }
  if (!column.count("sample"))
    return Status::Error("The sample sheet " + file +
                         " has no column named \"sample\" in its first row (columns: sample, "
                         "and optionally x, y, population, replicate_of).");
  if (column.count("x") != column.count("y"))
    return Status::Error("The sample sheet " + file +
                         " has an x column without a y column, or "
                         "the reverse: give both coordinates or neither.");
  sheet = SampleSheet();
  sheet.hasCoordinates = column.count("x") != 0;
  sheet.hasPopulations = column.count("population") != 0;
  sheet.hasReplicates = column.count("replicate_of") != 0;
  auto where = [&](int row, int col) {
    return "The sample sheet " + file + ", row " + std::to_string(row) + ", column " +
           std::to_string(col);
  };
  std::vector<int> rows;  // the sheet row of each sample
  for (int row = 2; row <= lastRow; ++row) {
    std::string name = TrimmedCellText(table.at(row, column["sample"]));
    if (name.empty()) {
      bool blank = true;
      for (int c = 1; c <= lastCol && blank; ++c) blank = TrimmedCellText(table.at(row, c)).empty();
      if (blank) continue;
      return Status::Error(where(row, column["sample"]) + ": the sample name is empty.");
    }
    sheet.names.push_back(std::move(name));
    rows.push_back(row);
    if (sheet.hasCoordinates) {
      for (const char* axis : {"x", "y"}) {
        const int col = column[axis];
        const Cell& cell = table.at(row, col);
        double value = 0;
        std::string why;
        if (!ReadCoordinateCell(cell, value, why))
          return Status::Error(where(row, col) + ": the " + axis + " coordinate is " +
                               QuoteForMessage(TrimmedCellText(cell)) + ", " + why);
        (axis[0] == 'x' ? sheet.x : sheet.y).push_back(value);
      }
    }
    if (sheet.hasPopulations) {
      std::string population = TrimmedCellText(table.at(row, column["population"]));
      if (population.empty())
        return Status::Error(where(row, column["population"]) + ": the population is empty.");
      sheet.populations.push_back(std::move(population));
    }
    if (sheet.hasReplicates)
      sheet.replicateOf.push_back(TrimmedCellText(table.at(row, column["replicate_of"])));
  }
  std::unordered_map<std::string, int> seen;
  for (const std::string& name : sheet.names)
    if (++seen[name] == 2)
      return Status::Error("The sample sheet " + file + " lists the sample " +
                           QuoteForMessage(name) + " twice.");
  if (sheet.hasReplicates) {
    if (Status cycle = CheckReplicateChains(sheet, rows, file); !cycle) return cycle;
  }
  return Status::Ok();
}

Status JoinSampleSheet(const std::vector<std::string>& dataSamples, const SampleSheet* sheet,
                       const std::string& sheetPath, const std::string& defaultPopulation,
                       JoinedSamples& joined) {
  const std::size_t n = dataSamples.size();
  joined = JoinedSamples();
  joined.x.assign(n, 999);
  joined.y.assign(n, 999);
  joined.replicateOf.assign(n, -1);
  joined.populationOfSample.assign(n, 0);
  if (!sheet) {
    joined.populationNames = {defaultPopulation};
    return Status::Ok();
  }
  const std::string file = QuotePathForMessage(sheetPath);
  std::unordered_map<std::string, int> dataIndex, sheetIndex;
  for (std::size_t i = 0; i < n; ++i) dataIndex.emplace(dataSamples[i], static_cast<int>(i));
  for (std::size_t r = 0; r < sheet->names.size(); ++r)
    sheetIndex.emplace(sheet->names[r], static_cast<int>(r));
  std::vector<std::string> notInSheet, notInData, badReplicates;
  for (const std::string& name : dataSamples)
    if (!sheetIndex.count(name)) notInSheet.push_back(name);
  for (const std::string& name : sheet->names)
    if (!dataIndex.count(name)) notInData.push_back(name);
  if (!notInSheet.empty())
    return Status::Error(std::to_string(notInSheet.size()) +
                         " sample(s) of the data file are missing from the sample sheet " + file +
                         ": " + ListNames(notInSheet) + ".");
  if (!notInData.empty())
    return Status::Error(std::to_string(notInData.size()) + " sample(s) of the sample sheet " +
                         file + " are missing from the data file: " + ListNames(notInData) + ".");
  std::unordered_map<std::string, int> populationIndex;
  for (std::size_t i = 0; i < n; ++i) {
    const int r = sheetIndex[dataSamples[i]];
    if (sheet->hasCoordinates) {
      joined.x[i] = sheet->x[r];
      joined.y[i] = sheet->y[r];
    }
    if (sheet->hasPopulations) {
      auto [it, added] = populationIndex.emplace(sheet->populations[r],
                                                 static_cast<int>(joined.populationNames.size()));
      if (added) joined.populationNames.push_back(sheet->populations[r]);
      joined.populationOfSample[i] = it->second;
    }
    if (sheet->hasReplicates && !sheet->replicateOf[r].empty()) {
      auto found = dataIndex.find(sheet->replicateOf[r]);
      if (found == dataIndex.end() || found->second == static_cast<int>(i))
        badReplicates.push_back(dataSamples[i] + " → " + sheet->replicateOf[r]);
      else
        joined.replicateOf[i] = found->second;
    }
  }
  if (!badReplicates.empty())
    return Status::Error(std::to_string(badReplicates.size()) + " replicate_of entr" +
                         (badReplicates.size() == 1 ? "y" : "ies") + " of the sample sheet " +
                         file + " name no other sample of the data: " + ListNames(badReplicates) +
                         ".");
  joined.populationsGiven = sheet->hasPopulations;
  if (!sheet->hasPopulations) joined.populationNames = {defaultPopulation};
  return Status::Ok();
}

}  // namespace vireltan
