// SPDX-License-Identifier: GPL-3.0-or-later
// Readers and writers against hostile files and odd output paths.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "common/message_quote.h"
#include "sheet/atomic_file.h"
#include "sheet/isolated_reader.h"
#include "sheet/sheet_assembler.h"
#include "sheet/table_file.h"
#include "temp_dir.h"
#include "xls_builder.h"

namespace vireltan {
namespace {

namespace fs = std::filesystem;

class HostileFilesTest : public testing::TempDirTest {};

// Finding 5: a symbolic link became a regular file, its target untouched.
TEST_F(HostileFilesTest, ASymbolicLinkIsWrittenThrough) {
  fs::create_directory(PathOf("real"));
  std::string target = WriteFile("real/log.txt", "old");
  fs::create_symlink("real/log.txt", PathOf("link.txt"));
  ASSERT_TRUE(WriteFileAtomically(PathOf("link.txt"), "new").ok());
  EXPECT_TRUE(fs::is_symlink(PathOf("link.txt")));
  EXPECT_EQ(ReadFile(target), "new");
}

TEST_F(HostileFilesTest, PipesFoldersAndLinkLoopsAreRefused) {
  ASSERT_EQ(mkfifo(PathOf("pipe").c_str(), 0600), 0);
  Status s = WriteFileAtomically(PathOf("pipe"), "x");
  EXPECT_NE(s.message().find("not a regular file"), std::string::npos) << s.message();
  EXPECT_TRUE(fs::is_fifo(PathOf("pipe")));
  Book book;
  EXPECT_FALSE(ReadTableFile(PathOf("pipe"), book).ok());
  fs::create_directory(PathOf("folder"));
  EXPECT_NE(WriteFileAtomically(PathOf("folder"), "x").message().find("folder"), std::string::npos);
  fs::create_symlink("b", PathOf("a"));
  fs::create_symlink("a", PathOf("b"));
  EXPECT_NE(WriteFileAtomically(PathOf("a"), "x").message().find("loop"), std::string::npos);
}

// Finding 1: one cell at column XFD on each of 40,000 rows cost rows x 16,384
// cells.
TEST(SheetAssembler, CellsFarBeyondTheUsedPartAreDropped) {
  SheetAssembler cells;
  for (int r = 1; r <= 40000; ++r) {
    for (int c = 1; c <= 5; ++c) cells.Add(r, c, Cell::Number(c));
    cells.Add(r, 16384, Cell::Text("x"));
  }
  Sheet sheet;
  std::vector<std::string> warnings;
  cells.Finish(sheet, "f.xlsx", &warnings);
  EXPECT_EQ(sheet.LastCol(), 5);
  EXPECT_EQ(sheet.LastRow(), 40000);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("40000 cells lie far beyond"), std::string::npos);
  EXPECT_NE(warnings[0].find("row 1, column 16384"), std::string::npos) << warnings[0];
}

TEST(SheetAssembler, OrdinaryRaggedTablesAreKeptWhole) {
  SheetAssembler cells;
  cells.Add(1, 1, Cell::Number(1));
  cells.Add(2, 300, Cell::Number(2));
  cells.Add(2, 300, Cell::Number(3));  // the later cell wins
  Sheet sheet;
  std::vector<std::string> warnings;
  cells.Finish(sheet, "f.txt", &warnings);
  EXPECT_EQ(sheet.NumberAt(2, 300), 3);
  EXPECT_TRUE(warnings.empty());
}

TEST(QuoteForMessage, CutsAtFortyCharactersNotBytes) {
  EXPECT_EQ(QuoteForMessage("abc"), "\"abc\"");
  std::string accents;
  for (int i = 0; i < 50; ++i) accents += "\xC3\xA9";
  EXPECT_EQ(QuoteForMessage(accents),
            "\"" + accents.substr(0, 80) + "\xE2\x80\xA6\" (50 characters)");
}

TEST(QuotePathForMessage, KeepsTheFileNameWholeAndShortensTheFolder) {
  const std::string deep = "/home/user/" + std::string(100, 'f') + "/field season/";
  const std::string longName(300, 'n');
  struct Case {
    std::string path, expected;
  };
  const Case cases[] = {
      {"data/a.vcf", "\"data/a.vcf\""},
      {"a\x1b[31m.vcf", "\"a\\x1b[31m.vcf\""},
      {deep + "isolates_2024_all_sites.vcf.gz",
       "\"\xE2\x80\xA6/field season/isolates_2024_all_sites.vcf.gz\""},
      {"/x/" + std::string(90, 'a') + ".vcf", "\"\xE2\x80\xA6/" + std::string(90, 'a') + ".vcf\""},
      {"/x/" + longName, "\"\xE2\x80\xA6/" + std::string(255, 'n') +
                             "\xE2\x80\xA6\" (a file name of 300 characters)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(QuotePathForMessage(c.path), c.expected);
  }
  // The folder keeps its last characters up to 80 in all.
  const std::string quoted = QuotePathForMessage(deep + "b.vcf");
  EXPECT_LE(quoted.size(), 80u + 5u);
  EXPECT_NE(quoted.find("/field season/b.vcf\""), std::string::npos) << quoted;
}

// The legacy-workbook library crashes on some damaged files; it runs in a
// child process, so the program only sees a message.
TEST_F(HostileFilesTest, AReaderThatCrashesOrHangsGivesAMessage) {
  Sheet sheet;
  IsolationLimits limits;
  limits.seconds = 1;
  auto crash = [](Sheet&, std::vector<std::string>&) -> Status {
    std::raise(SIGKILL);
    return {};
  };
  Status s = ReadInChildProcess(crash, "bad.xls", "workbook", limits, sheet, nullptr);
  EXPECT_EQ(s.message(),
            "Cannot read \"bad.xls\": the workbook is damaged: the library that "
            "reads it failed on it.");
  auto hang = [](Sheet&, std::vector<std::string>&) -> Status {
    for (;;) pause();
  };
  s = ReadInChildProcess(hang, "slow.xls", "workbook", limits, sheet, nullptr);
  EXPECT_NE(s.message().find("took more than 1 seconds"), std::string::npos) << s.message();
  auto fine = [](Sheet& out, std::vector<std::string>& warnings) {
    out.setName("Data");
    out.SetTextAt(2, 3, "caf\xC3\xA9");
    out.SetNumberAt(1, 1, 0.1);
    warnings.push_back("w");
    return Status::Ok();
  };
  std::vector<std::string> warnings;
  ASSERT_TRUE(ReadInChildProcess(fine, "ok.xls", "workbook", limits, sheet, &warnings).ok());
  EXPECT_EQ(sheet.name(), "Data");
  EXPECT_EQ(sheet.TextAt(2, 3), "caf\xC3\xA9");
  EXPECT_EQ(sheet.NumberAt(1, 1), 0.1);
  EXPECT_EQ(warnings, std::vector<std::string>{"w"});
}

// Finding 8: damaged legacy workbooks gave "code -2" and the like.
TEST_F(HostileFilesTest, LegacyWorkbookErrorsAreInWords) {
  std::string tiny = testing::TinyXlsWorkbook();
  for (size_t cut : {600u, 1500u, 3000u}) {
    Book book;
    Status s = ReadTableFile(WriteFile("cut.xls", tiny.substr(0, cut)), book);
    ASSERT_FALSE(s.ok()) << cut;
    EXPECT_EQ(s.message().find("code"), std::string::npos) << s.message();
  }
}

}  // namespace
}  // namespace vireltan
