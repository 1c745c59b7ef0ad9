// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/atomic_file.h"

#include <gtest/gtest.h>

#include "sheet/table_file.h"
#include "temp_dir.h"

namespace vireltan {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public testing::TempDirTest {
 protected:
  int FilesInDir() const {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) ++count;
    return count;
  }
};

TEST_F(AtomicFileTest, WritesNewFile) {
  std::string path = PathOf("new.txt");
  ASSERT_TRUE(WriteFileAtomically(path, "hello\n").ok());
  EXPECT_EQ(ReadFile(path), "hello\n");
  EXPECT_EQ(FilesInDir(), 1);
}

TEST_F(AtomicFileTest, ReplacesExistingFile) {
  std::string path = WriteFile("old.txt", "a much longer old content\n");
  ASSERT_TRUE(WriteFileAtomically(path, "new\n").ok());
  EXPECT_EQ(ReadFile(path), "new\n");
  EXPECT_EQ(FilesInDir(), 1);
}

TEST_F(AtomicFileTest, MissingFolderFailsAndCreatesNothing) {
  std::string path = (dir_ / "no" / "such" / "out.txt").string();
  Status status = WriteFileAtomically(path, "x");
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find("\"" + path + "\""), std::string::npos) << status.message();
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(fs::exists(dir_ / "no"));
}

TEST_F(AtomicFileTest, BothWritersFailInMissingFolder) {
  Book book;
  book.first().SetNumberAt(1, 1, 1);
  for (FileType type : {FileType::kTextTable, FileType::kXlsxWorkbook}) {
    std::string path = (dir_ / "missing" / "out").string();
    Status status = WriteTableFile(book, path, type);
    ASSERT_FALSE(status.ok());
    EXPECT_NE(status.message().find(path), std::string::npos) << status.message();
    EXPECT_EQ(FilesInDir(), 0);
  }
}

TEST_F(AtomicFileTest, FailedFillKeepsOldTargetAndRemovesTemp) {
  std::string path = WriteFile("keep.txt", "precious\n");
  std::string seenTemp;
  Status status = ReplaceFileAtomically(path, [&](const std::string& tempPath) {
    seenTemp = tempPath;
    std::ofstream(tempPath) << "half written";
    return Status::Error("Cannot write \"" + path + "\": disk full.");
  });
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.message(), "Cannot write \"" + path + "\": disk full.");
  EXPECT_EQ(ReadFile(path), "precious\n");
  EXPECT_FALSE(seenTemp.empty());
  EXPECT_EQ(fs::path(seenTemp).parent_path(), dir_);
  EXPECT_FALSE(fs::exists(seenTemp));
  EXPECT_EQ(FilesInDir(), 1);
}

TEST_F(AtomicFileTest, TargetThatIsAFolderFails) {
  fs::create_directory(dir_ / "sub");
  Status status = WriteFileAtomically((dir_ / "sub").string(), "x");
  ASSERT_FALSE(status.ok());
  EXPECT_TRUE(fs::is_directory(dir_ / "sub"));
  EXPECT_EQ(FilesInDir(), 1);
}

TEST_F(AtomicFileTest, WorkbookReplacesExistingFile) {
  std::string path = WriteFile("out.xlsx", "not a workbook yet");
  Book book;
  book.first().SetTextAt(1, 1, "x");
  ASSERT_TRUE(WriteTableFile(book, path, FileType::kXlsxWorkbook).ok());
  EXPECT_EQ(ReadFile(path).substr(0, 2), "PK");
  EXPECT_EQ(FilesInDir(), 1);
}

}  // namespace
}  // namespace vireltan
