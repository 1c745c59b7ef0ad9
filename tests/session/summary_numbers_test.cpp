// SPDX-License-Identifier: GPL-3.0-or-later
// The population summary of the nancycats colonies writes values that are
// exact in exact arithmetic as such: SE 0 where every cat is its own MLG or
// a colony is smaller than n, E.5 1 where all MLGs are equally frequent and
// never above 1, G an integer where N²/Σn² is one.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>

#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;

// The tab-separated fields of each line of the last block starting "Pop\tN".
std::vector<std::vector<std::string>> SummaryRows(const std::string& log) {
  std::istringstream in(log.substr(log.rfind("Pop\tN\t")));
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line) && !line.empty();) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string f; std::getline(cells, f, '\t');) fields.push_back(f);
    rows.push_back(fields);
  }
  return rows;
}

TEST(SummaryNumbers, NancycatsColoniesWriteExactValuesExactly) {
  TempDir dir;
  std::filesystem::copy_file(std::string(VIRELTAN_TEST_DATA_DIR) + "/nancycats_colonies.txt",
                             dir.path() / "cats.txt");
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session(messages, progress);
  ASSERT_TRUE(session.Open(dir.file("cats.txt")).ok());
  // One position per colony: the colonies as populations.
  const Dataset& d = session.dataset();
  std::map<std::pair<double, double>, std::string> colonyAt;
  testing::Rows strata;
  for (int su = 0; su < d.sampleCount; ++su) {
    auto [it, added] = colonyAt.emplace(std::make_pair(d.x[su], d.y[su]),
                                        "P" + std::to_string(colonyAt.size() + 1));
    strata.push_back({d.designationText(su), it->second});
  }
  testing::WriteTsv(dir.path() / "colonies.txt", strata);
  ASSERT_TRUE(session.LoadPopulations(dir.file("colonies.txt")).ok());
  ASSERT_EQ(d.populationCount(), 17);
  ASSERT_TRUE(session.PopulationSummary(0, false).ok());

  // Clone sizes of each colony, computed here from the MLG numbers.
  std::vector<std::map<int, int>> sizes(d.populationCount() + 1);
  int smallest = d.sampleCount;
  std::vector<int> units(d.populationCount(), 0);
  for (int su = 0; su < d.sampleCount; ++su) {
    ++sizes[d.populationOfSu[su]][session.mlgs().mlgOfSu[su]];
    ++sizes.back()[session.mlgs().mlgOfSu[su]];
    ++units[d.populationOfSu[su]];
  }
  for (int u : units) smallest = std::min(smallest, u);
  const int n = std::max(smallest, 10);

  const auto rows = SummaryRows(ReadWholeFile(session.ResultsLogPath()));
  ASSERT_GE(rows.size(), 20u);
  EXPECT_EQ(rows[19][0], "eMLG and SE for n =");
  EXPECT_EQ(rows[19][1], std::to_string(n));
  int exactSe = 0, exactEvenness = 0;
  for (int p = 0; p <= d.populationCount(); ++p) {
    const auto& row = rows[p + 1];
    long long total = 0, squares = 0;
    bool allSingle = true, even = true;
    for (const auto& [mlg, size] : sizes[p]) {
      total += size;
      squares += static_cast<long long>(size) * size;
      allSingle = allSingle && size == 1;
      even = even && size == sizes[p].begin()->second;
    }
    if (allSingle || total <= n) {
      EXPECT_EQ(row[4], "0") << row[0];
      ++exactSe;
    }
    if (even && sizes[p].size() > 1) {
      EXPECT_EQ(row[8], "1") << row[0];
      ++exactEvenness;
    }
    if ((total * total) % squares == 0)
      EXPECT_EQ(row[6], std::to_string(total * total / squares)) << row[0];
    else
      EXPECT_NEAR(std::stod(row[6]), double(total * total) / squares, 1e-12) << row[0];
    if (!row[8].empty()) EXPECT_LE(std::stod(row[8]), 1.0) << row[0];
  }
  // The colonies hold both kinds of exact case.
  EXPECT_GT(exactSe, 0);
  EXPECT_GT(exactEvenness, 0);
}

}  // namespace
}  // namespace vireltan
