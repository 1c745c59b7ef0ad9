// SPDX-License-Identifier: GPL-3.0-or-later
// A results log left by an earlier run is kept under a dated name before
// Open writes a new one; the logs this session wrote itself are rewritten.
#include <gtest/gtest.h>
#include <utime.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>

#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::Rows;
using testing::TempDir;
using testing::WriteTsv;

const Rows kMeadow{{"3", "", "", "2", "2"},
                   {"a", "1", "1", "120124", "150150"},
                   {"b", "2", "2", "120124", "150150"},
                   {"c", "3", "3", "130140", "160160"}};

// 2026-12-08 10:31:05, local time, as the file's modification time.
std::time_t EarlierTime() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 8;
  t.tm_hour = 10;
  t.tm_min = 31;
  t.tm_sec = 5;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

void WriteFileDated(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
  utimbuf times{EarlierTime(), EarlierTime()};
  ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

// Every file of `folder` but the data file and the log itself.
std::vector<std::string> OtherFiles(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name != "meadow.txt" && name != "meadow.outvireltan.txt") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class EarlierLogTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  TempDir dir;

  void SetUp() override { WriteTsv(dir.path() / "meadow.txt", kMeadow); }
  std::string data() const { return dir.file("meadow.txt"); }
  fs::path log() const { return dir.path() / "meadow.outvireltan.txt"; }
};

struct Scenario {
  const char* name;
  // Files put in the folder before the session starts (name, content).
  std::vector<std::pair<std::string, std::string>> before;
  std::function<void(Session&, const std::string& data)> run;
  // Files besides the data file and the log afterwards, with their content.
  std::vector<std::pair<std::string, std::string>> after;
  int notes;  // messages naming a kept log
};

TEST_F(EarlierLogTest, KeepsOnlyLogsThisSessionDidNotWrite) {
  auto openOnce = [](Session& s, const std::string& data) { ASSERT_TRUE(s.Open(data).ok()); };
  const std::string dated = "meadow.outvireltan.2026-12-08_10-31-05";
  const std::vector<Scenario> scenarios = {
      {"no earlier log", {}, openOnce, {}, 0},
      {"a log from outside",
       {{"meadow.outvireltan.txt", "earlier\n"}},
       openOnce,
       {{dated + ".txt", "earlier\n"}},
       1},
      {"the dated name taken",
       {{"meadow.outvireltan.txt", "earlier\n"}, {dated + ".txt", "older\n"}},
       openOnce,
       {{dated + "-2.txt", "earlier\n"}, {dated + ".txt", "older\n"}},
       1},
      {"two dated names taken",
       {{"meadow.outvireltan.txt", "earlier\n"},
        {dated + ".txt", "older\n"},
        {dated + "-2.txt", "oldest\n"}},
       openOnce,
       {{dated + "-2.txt", "oldest\n"},
        {dated + "-3.txt", "earlier\n"},
        {dated + ".txt", "older\n"}},
       1},
      {"an empty log: nothing to keep", {{"meadow.outvireltan.txt", ""}}, openOnce, {}, 0},
      {"opened twice in one session",
       {},
       [](Session& s, const std::string& data) {
         ASSERT_TRUE(s.Open(data).ok());
         ASSERT_TRUE(s.Open(data).ok());
       },
       {},
       0},
      {"opened again after Close",
       {},
       [](Session& s, const std::string& data) {
         ASSERT_TRUE(s.Open(data).ok());
         ASSERT_TRUE(s.Close().ok());
         ASSERT_TRUE(s.Open(data).ok());
       },
       {},
       0},
      {"a log from outside, opened twice: kept once",
       {{"meadow.outvireltan.txt", "earlier\n"}},
       [](Session& s, const std::string& data) {
         ASSERT_TRUE(s.Open(data).ok());
         ASSERT_TRUE(s.Close().ok());
         ASSERT_TRUE(s.Open(data).ok());
       },
       {{dated + ".txt", "earlier\n"}},
       1},
  };
  for (const Scenario& c : scenarios) {
    SCOPED_TRACE(c.name);
    TempDir folder;
    WriteTsv(folder.path() / "meadow.txt", kMeadow);
    for (const auto& [name, content] : c.before) WriteFileDated(folder.path() / name, content);
    RecordingMessageSink recorded;
    Session s{recorded, progress};
    c.run(s, folder.file("meadow.txt"));
    std::vector<std::string> expectedNames;
    for (const auto& [name, content] : c.after) {
      expectedNames.push_back(name);
      EXPECT_EQ(ReadWholeFile(folder.path() / name), content) << name;
    }
    std::sort(expectedNames.begin(), expectedNames.end());
    EXPECT_EQ(OtherFiles(folder.path()), expectedNames);
    int notes = 0;
    for (const std::string& m : recorded.messages) {
      if (m.find("earlier run") == std::string::npos) continue;
      ++notes;
      // The note names the file kept (the one holding the earlier log), with
      // its folder.
      bool named = false;
      for (const auto& [name, content] : c.after)
        named = named || (content == "earlier\n" &&
                          m.find((folder.path() / name).string()) != std::string::npos);
      EXPECT_TRUE(named) << m;
    }
    EXPECT_EQ(notes, c.notes);
    // The log now holds this session's results.
    EXPECT_NE(ReadWholeFile(folder.path() / "meadow.outvireltan.txt").find("G (richness)"),
              std::string::npos);
  }
}

TEST_F(EarlierLogTest, SecondRunKeepsTheFirstRunsLog) {
  {
    RecordingMessageSink first;
    Session earlier{first, progress};
    ASSERT_TRUE(earlier.Open(data()).ok());
    ASSERT_TRUE(earlier.Quit().ok());
  }
  const std::string firstLog = ReadWholeFile(log());
  ASSERT_NE(firstLog.find("G (richness)"), std::string::npos);
  ASSERT_TRUE(session.Open(data()).ok());
  const std::vector<std::string> kept = OtherFiles(dir.path());
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(ReadWholeFile(dir.path() / kept[0]), firstLog);
  // meadow.outvireltan.YYYY-MM-DD_HH-MM-SS.txt
  EXPECT_EQ(kept[0].size(), std::string("meadow.outvireltan.2026-12-08_10-31-05.txt").size());
  EXPECT_EQ(kept[0].rfind("meadow.outvireltan.", 0), 0u);
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_NE(messages.messages[0].find((dir.path() / kept[0]).string()), std::string::npos)
      << messages.messages[0];
}

TEST_F(EarlierLogTest, FailedOpenLeavesTheEarlierLogInPlace) {
  WriteFileDated(log(), "earlier\n");
  WriteTsv(dir.path() / "broken.txt", {{"3", "", "", "2", "2"}, {"a", "x", "1", "120124"}});
  fs::copy_file(log(), dir.path() / "broken.outvireltan.txt");
  EXPECT_FALSE(session.Open(dir.file("broken.txt")).ok());
  EXPECT_EQ(ReadWholeFile(dir.path() / "broken.outvireltan.txt"), "earlier\n");
  EXPECT_FALSE(fs::exists(dir.path() / "broken.outvireltan.2026-12-08_10-31-05.txt"));
}

TEST_F(EarlierLogTest, LinkedLogKeepsItsTargetBesideTheTarget) {
  TempDir elsewhere;
  const fs::path target = elsewhere.path() / "current.txt";
  WriteFileDated(target, "earlier\n");
  fs::create_symlink(target, log());
  ASSERT_TRUE(session.Open(data()).ok());
  // The link stays and leads to the new log; the old content sits, dated,
  // beside the target.
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(log())));
  EXPECT_EQ(fs::read_symlink(log()), target);
  EXPECT_NE(ReadWholeFile(target).find("G (richness)"), std::string::npos);
  const fs::path kept = elsewhere.path() / "current.2026-12-08_10-31-05.txt";
  EXPECT_EQ(ReadWholeFile(kept), "earlier\n");
  EXPECT_TRUE(OtherFiles(dir.path()).empty());
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_NE(messages.messages[0].find(kept.string()), std::string::npos);
}

}  // namespace
}  // namespace vireltan
