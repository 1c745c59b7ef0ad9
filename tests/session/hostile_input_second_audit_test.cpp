// SPDX-License-Identifier: GPL-3.0-or-later
// The second audit of hostile input: GenAlEx coordinates under the same
// rule as native ones, data files that are not regular files, messages
// that cannot drive a terminal, file names made from population names,
// ploidy and output-folder messages, workbook bombs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "common/message_quote.h"
#include "session/file_name_tag.h"
#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::TempDir;

class SecondAuditTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  TempDir dir;

  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir.file(name), std::ios::binary) << text;
    return dir.file(name);
  }
  // A GenAlEx table of four diploid units at (x0, 0), (0, 0), (0, 1), (1, 1).
  static std::string GenAlEx(const std::string& x0) {
    return "2,4,1,4\nt,,,all\nSample,Pop,L1,,L2,,,X,Y\n"
           "s0,all,120,124,130,130,," +
           x0 +
           ",0\n"
           "s1,all,120,124,130,132,,0,0\n"
           "s2,all,120,126,130,130,,0,1\n"
           "s3,all,122,124,130,130,,1,1\n";
  }
  // Three diploid units of one locus in the program's own layout.
  static std::string Native(const std::string& ploidy, const std::string& locus = "") {
    return "3\t\t\t1\t" + ploidy + (locus.empty() ? "" : "\t" + locus) +
           "\ns1\t0\t0\t120124\ns2\t1\t0\t130130\ns3\t0\t1\tx\n";
  }
};

// Finding 1: GenAlEx coordinates took any finite number; -1e20 crashed the
// subrange and the autocorrelation.
TEST_F(SecondAuditTest, GenAlExCoordinatesFollowTheNativeRule) {
  for (const char* x : {"-1e20", "1e155", "1e308", "1000000001"}) {
    Status s = session.Open(Write("far.csv", GenAlEx(x)));
    ASSERT_FALSE(s.ok()) << x;
    EXPECT_NE(s.message().find("row 4, column 8"), std::string::npos) << s.message();
    EXPECT_NE(s.message().find("-1e9 to 1e9"), std::string::npos) << s.message();
  }
  EXPECT_TRUE(session.Open(Write("near.csv", GenAlEx("-1e9"))).ok());
}

// Finding 2: a folder aborted the program, a FIFO blocked it forever and
// /dev/zero grew without bound.
TEST_F(SecondAuditTest, InputsThatAreNotRegularFilesAreRefused) {
  ASSERT_TRUE(session.Open(Write("ok.csv", GenAlEx("2"))).ok());
  const std::string fifo = dir.file("pipe.txt");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {dir.path().string(), fifo, std::string("/dev/zero")}) {
    Status s = session.Open(path);
    ASSERT_FALSE(s.ok()) << path;
    EXPECT_NE(s.message().find(path), std::string::npos) << s.message();
    EXPECT_TRUE(s.message().find("folder") != std::string::npos ||
                s.message().find("not a regular file") != std::string::npos)
        << s.message();
  }
}

// Finding 7: cell texts and locus names reached the terminal raw.
TEST(EscapeControlCharactersTest, ControlsAreShownEscaped) {
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"plain text, é and ✓", "plain text, é and ✓"},
      {"\x1b]0;title\x07", "\\x1b]0;title\\x07"},
      {"\x1b[31mred", "\\x1b[31mred"},
      {"line\nnext\ttab", "line\nnext\ttab"},
      {"del\x7f", "del\\x7f"},
      {"csi \xc2\x9b", "csi \\xc2\\x9b"},     // U+009B, the one-character CSI
      {"lone \x9b byte", "lone \\x9b byte"},  // not UTF-8
      {"cut \xe2\x80", "cut \\xe2\\x80"},
  };
  for (const Case& c : cases) EXPECT_EQ(EscapeControlCharacters(c.in), c.out) << c.in;
  // Quoted texts stay on one line.
  EXPECT_EQ(QuoteForMessage("a\nb"), "\"a\\x0ab\"");
}

TEST_F(SecondAuditTest, MessagesQuotingTheFileAreEscaped) {
  Status s = session.Open(Write("esc.txt", Native("2", "\x1b]0;owned\x07")));
  ASSERT_FALSE(s.ok());
  session.Report(s);
  ASSERT_FALSE(messages.messages.empty());
  const std::string& shown = messages.messages.back();
  EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
  EXPECT_NE(shown.find("\\x1b]0;owned\\x07"), std::string::npos) << shown;
}

// Finding 8: a megabyte population name made a megabyte file name (and
// message); names alike once cleaned must not overwrite each other.
TEST(FileNameTagTest, TagsAreShortHarmlessAndDistinct) {
  std::set<std::string> used;
  EXPECT_EQ(UniqueFileNameTag("North shore", used), "North_shore");
  EXPECT_EQ(UniqueFileNameTag("North_shore", used), "North_shore-2");
  EXPECT_EQ(UniqueFileNameTag("North/shore", used), "North_shore-3");
  EXPECT_EQ(UniqueFileNameTag("../../etc", used), "______etc");
  EXPECT_EQ(UniqueFileNameTag("", used), "_");
  EXPECT_EQ(UniqueFileNameTag(std::string(1000000, 'P'), used), std::string(40, 'P'));
}

// Finding 8: ploidy 1.5 and 2.5 were rounded to diploid; 2147483648 was
// "not a number".
TEST_F(SecondAuditTest, OnlyWholePloidiesOneAndTwoAreRead) {
  for (const char* ploidy : {"1.5", "2.5", "2147483648", "4", "-2", "0.4"}) {
    Status s = session.Open(Write("p.txt", Native(ploidy)));
    ASSERT_FALSE(s.ok()) << ploidy;
    EXPECT_NE(s.message().find("row 1, column 5"), std::string::npos) << s.message();
    EXPECT_NE(s.message().find("only haploid (1) and diploid (2)"), std::string::npos)
        << s.message();
  }
  Status word = session.Open(Write("p.txt", Native("two")));
  EXPECT_NE(word.message().find("not a number"), std::string::npos) << word.message();
}

TEST_F(SecondAuditTest, AnOutputFolderThatIsAFileIsSaidToBeOne) {
  Status s = session.SetOutputDirectory(Write("plain.txt", "x"));
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find("is not a folder but a file"), std::string::npos) << s.message();
}

}  // namespace
}  // namespace vireltan
