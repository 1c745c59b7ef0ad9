// SPDX-License-Identifier: GPL-3.0-or-later
// Designations are names: kept as the file writes them in the results log,
// the data grid, the exports and the populations table.
#include <gtest/gtest.h>

#include <filesystem>

#include "session/session.h"
#include "sheet/table_file.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;
using testing::WriteTsv;

TEST(Designations, NamesThatLookLikeNumbersStayAsWritten) {
  TempDir dir;
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session(messages, progress);
  const std::vector<std::string> names{"2236.10", "2236.1", "007", "1e3", "1.1", "1.10"};
  testing::Rows rows{{"6", "", "", "1", "2"}};
  for (size_t i = 0; i < names.size(); ++i)
    rows.push_back({names[i], std::to_string(i), "1", i % 2 ? "120120" : "120122"});
  WriteTsv(dir.path() / "meadow.txt", rows);
  ASSERT_TRUE(session.Open(dir.file("meadow.txt")).ok());

  const std::string log = ReadWholeFile(session.ResultsLogPath());
  EXPECT_NE(log.find("1\t2236.1\t1e3\t1.10\n2\t2236.10\t007\t1.1\n"), std::string::npos) << log;
  for (int su = 0; su < 6; ++su) {
    EXPECT_EQ(session.dataset().designationText(su), names[su]);
    const Cell& shown = session.datasetGrid.first().at(su + 1, 1);
    EXPECT_TRUE(shown.isText());
    EXPECT_EQ(shown.text(), names[su]);
  }

  // A populations table matches designations as text: "1.1" and "1.10"
  // are two units.
  testing::Rows strata{{"unit", "population"}};
  for (size_t i = 0; i < names.size(); ++i) strata.push_back({names[i], "P" + std::to_string(i)});
  WriteTsv(dir.path() / "strata.txt", strata);
  ASSERT_TRUE(session.LoadPopulations(dir.file("strata.txt")).ok());
  EXPECT_EQ(session.dataset().populationCount(), 6);

  // The GenAlEx workbook writes "007" and "2236.10" as texts, and reads
  // back to the same designations.
  ASSERT_TRUE(session.ExportGenAlEx(false).ok());
  Book book;
  ASSERT_TRUE(ReadTableFile(dir.file("meadow.genalex.xlsx"), book).ok());
  std::vector<std::string> written;
  for (int row = 4; row <= book.first().LastRow(); ++row)
    written.push_back(book.first().TextAt(row, 1));
  EXPECT_EQ(written, names);
}

}  // namespace
}  // namespace vireltan
