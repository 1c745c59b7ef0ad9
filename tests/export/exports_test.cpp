// SPDX-License-Identifier: GPL-3.0-or-later
// Format > Quorvex and Format > Arlequin: whole files compared byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::Rows;
using testing::TempDir;
using testing::WriteTsv;

// Three MLGs: s4 alone (allele 101 sorts first), s1-s2-s3 (s2 written with
// its alleles the other way round), s5 alone.
const Rows kDiploid{{"5", "", "", "2", "2", "A", "B"},    {"s1", "1", "1", "120124", "150152"},
                    {"s2", "2", "2", "124120", "152150"}, {"s3", "3", "3", "120124", "150152"},
                    {"s4", "4", "4", "101130", "150152"}, {"s5", "5", "5", "130130", "160160"}};

// Haploid, no locus names, number designations, a missing locus.
const Rows kHaploid{{"4", "", "", "2", "1"},
                    {"B", "999", "999", "135", "999"},
                    {"7", "999", "999", "120", "140"},
                    {"1004.1", "999", "999", "135", "999"},
                    {"8", "999", "999", "120", "140"}};

// Lines written with LF in the source, as the file's CR LF lines.
std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

const char kArlequinHeader[] =
    "[Profile]\n"
    " Title=\" \"\n"
    " NbSamples=1\n"
    " DataType=STANDARD\n"
    " GenotypicData=1\n"
    " GameticPhase=0\n"
    " LocusSeparator=WHITESPACE\n"
    " MissingData='0'\n"
    "\n"
    "[Data]\n"
    "\n"
    "[[Samples]]\n";

class Exports : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  TempDir dir;

  void Open(const std::string& name, const Rows& rows) {
    WriteTsv(dir.path() / name, rows);
    Status s = session.Open(dir.file(name));
    ASSERT_TRUE(s.ok()) << s.message();
  }
  std::string Quorvex() {
    Status s = session.ExportQuorvex();
    EXPECT_TRUE(s.ok()) << s.message();
    return ReadWholeFile(session.OutputPath(".quorvex.txt"));
  }
  std::string Arlequin() {
    Status s = session.ExportArlequin();
    EXPECT_TRUE(s.ok()) << s.message();
    return ReadWholeFile(session.OutputPath(".arlequin.arp"));
  }
};

TEST_F(Exports, QuorvexDiploid) {
  Open("meadow.txt", kDiploid);
  session.chart(ChartRole::kAllelicHistogram).visible = true;
  EXPECT_EQ(Quorvex(),
            "\t\tA\tB\n"
            "meadow\ts4\t101130\t150152\n"
            "meadow\ts3\t120124\t150152\n"
            "meadow\ts5\t130130\t160160\n");
  EXPECT_EQ(dir.file("meadow.quorvex.txt"), session.OutputPath(".quorvex.txt"));
  EXPECT_FALSE(session.chart(ChartRole::kAllelicHistogram).visible);
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(Exports, QuorvexHaploidWithMissingData) {
  Open("hap.txt", kHaploid);
  // The last SU of each MLG in file order names it; a number designation is
  // written as the number it is.
  EXPECT_EQ(Quorvex(),
            "\t\tlocus1\tlocus2\n"
            "hap\t8\t120120\t140140\n"
            "hap\t1004.1\t135135\t999999\n");
}

TEST_F(Exports, ArlequinDiploid) {
  Open("meadow.txt", kDiploid);
  std::string expected = Crlf(std::string(kArlequinHeader) +
                              "   SampleName=\"meadow\"\n"
                              "   SampleSize=3\n"
                              "   SampleData={\n"
                              "         1 1 101 150\n"
                              "             130 152\n"
                              "         2 1 120 150\n"
                              "             124 152\n"
                              "         3 1 130 160\n"
                              "             130 160\n"
                              "  }\n");
  std::string file = Arlequin();
  EXPECT_EQ(file, expected);
  // Spelled out once without the helper: nine blanks, number, count, alleles.
  EXPECT_NE(file.find("\r\n         1 1 101 150\r\n             130 152\r\n"), std::string::npos);
  EXPECT_EQ(file.substr(file.size() - 5), "  }\r\n");
}

TEST_F(Exports, ArlequinHaploidWritesEachAlleleTwiceAndMissingAs999) {
  Open("hap.txt", kHaploid);
  EXPECT_EQ(Arlequin(), Crlf(std::string(kArlequinHeader) + "   SampleName=\"hap\"\n"
                                                            "   SampleSize=2\n"
                                                            "   SampleData={\n"
                                                            "         1 1 120 140\n"
                                                            "             120 140\n"
                                                            "         2 1 135 999\n"
                                                            "             135 999\n"
                                                            "  }\n"));
}

TEST_F(Exports, ArlequinNumbersEndInColumnTenPastNine) {
  // Twelve MLGs on one diploid locus, the fifth sampled twice.
  Rows rows{{"13", "", "", "1", "2", "Zm1"}};
  for (int m = 1; m <= 12; ++m)
    rows.push_back({"r" + std::to_string(m), "0", "0", std::to_string(100 + m) + "200"});
  rows.push_back({"r5bis", "0", "0", "200105"});
  Open("twelve.txt", rows);
  ASSERT_EQ(session.info().mlgCount, 12);
  std::string expected = std::string(kArlequinHeader) +
                         "   SampleName=\"twelve\"\n"
                         "   SampleSize=12\n"
                         "   SampleData={\n"
                         "         1 1 101\n"
                         "             200\n"
                         "         2 1 102\n"
                         "             200\n"
                         "         3 1 103\n"
                         "             200\n"
                         "         4 1 104\n"
                         "             200\n"
                         "         5 1 105\n"
                         "             200\n"
                         "         6 1 106\n"
                         "             200\n"
                         "         7 1 107\n"
                         "             200\n"
                         "         8 1 108\n"
                         "             200\n"
                         "         9 1 109\n"
                         "             200\n"
                         "        10 1 110\n"
                         "             200\n"
                         "        11 1 111\n"
                         "             200\n"
                         "        12 1 112\n"
                         "             200\n"
                         "  }\n";
  EXPECT_EQ(Arlequin(), Crlf(expected));
  EXPECT_EQ(Quorvex().substr(0, 30), "\t\tZm1\ntwelve\tr1\t101200\ntwelve\t");
}

TEST_F(Exports, RunningTwiceGivesIdenticalFiles) {
  std::filesystem::copy_file(std::string(VIRELTAN_EXAMPLES_DIR) + "/seagrass_meadow.txt",
                             dir.file("seagrass_meadow.txt"));
  ASSERT_TRUE(session.Open(dir.file("seagrass_meadow.txt")).ok());
  std::string quorvex = Quorvex();
  std::string arlequin = Arlequin();
  EXPECT_EQ(Quorvex(), quorvex);
  EXPECT_EQ(Arlequin(), arlequin);
  // One line per MLG, plus the header line.
  EXPECT_EQ(std::count(quorvex.begin(), quorvex.end(), '\n'), session.info().mlgCount + 1);
  EXPECT_EQ(std::count(arlequin.begin(), arlequin.end(), '\n'), 15 + 2 * session.info().mlgCount + 1);
  EXPECT_EQ(std::count(arlequin.begin(), arlequin.end(), '\r'),
            std::count(arlequin.begin(), arlequin.end(), '\n'));
}

TEST_F(Exports, FileThatCannotBeCreatedIsNamed) {
  Open("meadow.txt", kDiploid);
  std::filesystem::create_directory(dir.file("meadow.arlequin.arp"));
  Status s = session.ExportArlequin();
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find(dir.file("meadow.arlequin.arp")), std::string::npos) << s.message();
  std::filesystem::create_directory(dir.file("meadow.quorvex.txt"));
  Status q = session.ExportQuorvex();
  ASSERT_FALSE(q.ok());
  EXPECT_NE(q.message().find("meadow.quorvex.txt"), std::string::npos) << q.message();
}

TEST_F(Exports, NeedADataset) {
  EXPECT_FALSE(session.ExportQuorvex().ok());
  EXPECT_FALSE(session.ExportArlequin().ok());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace vireltan
