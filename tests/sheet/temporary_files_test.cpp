// SPDX-License-Identifier: GPL-3.0-or-later
// Temporary files of the atomic writers: recognisable names, removal by a
// signal handler while a write is under way, and clean-up of the files a
// killed run left behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "sheet/atomic_file.h"
#include "temp_dir.h"

namespace vireltan {
namespace {

namespace fs = std::filesystem;

class TemporaryFilesTest : public testing::TempDirTest {
 protected:
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST(TemporaryFileNameTest, RecognisesOnlyTheProgramsOwnPattern) {
  struct Case {
    const char* name;
    bool temporary;
    long pid;
  } cases[] = {
      {".out.txt.vireltan-1234-987654.tmp", true, 1234},
      {".a.b.xlsx.vireltan-7-0.tmp", true, 7},
      {"out.txt.vireltan-1234-987654.tmp", false, 0},  // not hidden
      {".out.txt.vireltan--987654.tmp", false, 0},     // no process id
      {".out.txt.vireltan-12-34-56.tmp", false, 0},
      {".out.txt.vireltan-1234-98x.tmp", false, 0},
      {".out.txt.vireltan-1234-987654.tmpx", false, 0},
      {".vireltan-1-2.tmp", false, 0},  // no target name
      {".out.txt.tmp-123", false, 0},
  };
  for (const Case& c : cases) {
    long pid = 0;
    EXPECT_EQ(IsTemporaryFileName(c.name, &pid), c.temporary) << c.name;
    if (c.temporary) EXPECT_EQ(pid, c.pid) << c.name;
  }
}

TEST(WriteFailureReasonTest, AFullDiskIsSaidInWords) {
  EXPECT_EQ(WriteFailureReason(ENOSPC), "no space left on the device.");
  EXPECT_FALSE(WriteFailureReason(EACCES).empty());
}

// A signal that ends the program during a write (the handler calls
// RemoveTemporaryFilesNow) leaves no temporary file and the old target.
TEST_F(TemporaryFilesTest, TheSignalHandlerRemovesTheFileBeingWritten) {
  const std::string target = WriteFile("out.txt", "old\n");
  Status status = ReplaceFileAtomically(target, [&](const std::string& tempPath) {
    EXPECT_TRUE(IsTemporaryFileName(fs::path(tempPath).filename().string()));
    EXPECT_TRUE(fs::exists(tempPath));
    RemoveTemporaryFilesNow();
    EXPECT_FALSE(fs::exists(tempPath));
    return Status::Error("stopped");
  });
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(ReadFile(target), "old\n");
  EXPECT_EQ(Names(), std::vector<std::string>{"out.txt"});
}

// A run killed outright (SIGKILL) cannot remove its temporary file; the next
// write into that folder does, but never one of a process still running.
TEST_F(TemporaryFilesTest, AbandonedFilesAreRemovedAtTheNextWrite) {
  // A process id that no process has: the largest allowed is below 2^22 on
  // Linux by default; look for one that is free.
  long dead = 4190000;
  while (kill(static_cast<pid_t>(dead), 0) == 0 || errno == EPERM) ++dead;
  const std::string own = std::to_string(static_cast<long>(getppid()));
  WriteFile(".out.txt.vireltan-" + std::to_string(dead) + "-1.tmp", "half");
  WriteFile(".map.svg.vireltan-" + own + "-2.tmp", "being written by a live process");
  WriteFile(".notes.txt", "a user's hidden file");
  ASSERT_TRUE(WriteFileAtomically(PathOf("other.txt"), "x").ok());
  EXPECT_EQ(Names(), (std::vector<std::string>{".map.svg.vireltan-" + own + "-2.tmp", ".notes.txt",
                                               "other.txt"}));
}

}  // namespace
}  // namespace vireltan
