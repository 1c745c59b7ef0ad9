// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/text_table_reader.h"

#include <gtest/gtest.h>

#include "sheet_dump.h"

namespace vireltan {
namespace {

using testing::DumpSheet;

struct ReadCase {
  const char* name;
  std::string input;
  std::string expected;  // DumpSheet form
};

class TextTableReaderCases : public ::testing::TestWithParam<ReadCase> {};

TEST_P(TextTableReaderCases, ReadsCells) {
  const ReadCase& c = GetParam();
  Sheet sheet;
  Status status = ParseTextTable(c.input, "table.txt", sheet);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(DumpSheet(sheet), c.expected);
}

const ReadCase kCases[] = {
    {"Tab", "a\tb\n1\t2.5\n", "'a|'b\n#1|#2.5"},
    {"Comma", "a,b\n1,2.5\n", "'a|'b\n#1|#2.5"},
    {"Semicolon", "a;b\n1;2.5\n", "'a|'b\n#1|#2.5"},
    {"ByteOrderMark", "\xEF\xBB\xBFx\ty\n3\t4\n", "'x|'y\n#3|#4"},
    {"CrLf", "a\tb\r\n1\t2\r\n", "'a|'b\n#1|#2"},
    {"LoneCr", "a\tb\r1\t2\r", "'a|'b\n#1|#2"},
    {"NoFinalLineEnd", "a\tb\n1\t2", "'a|'b\n#1|#2"},
    {"QuotedSeparator", "\"a,b\",1\nc,2\n", "'a,b|#1\n'c|#2"},
    {"QuotedTab", "\"a\tb\"\t1\nc\t2\n", "'a\tb|#1\n'c|#2"},
    {"DoubledQuotes", "\"say \"\"hi\"\"\",x\ny,z\n", "'say \"hi\"|'x\n'y|'z"},
    {"NewlineInQuotes", "\"line1\nline2\",2\n3,4\n", "'line1\nline2|#2\n#3|#4"},
    {"CrLfInQuotes", "\"a\r\nb\"\tc\r\nd\te\r\n", "'a\nb|'c\n'd|'e"},
    {"EmptyCells", "1\t\t3\n\t\t\n4\n", "#1||#3\n\n#4"},
    {"EmptyLineKeepsItsRow", "1\n\n2\n", "#1\n\n#2"},
    {"TrailingEmptyLinesIgnored", "1\n2\n\n\n\r\n", "#1\n#2"},
    {"NumbersAndTexts",
     "1e3\t-0.5\t+2\t.5\t 7 \tinf\tnan\t0x1A\t1,5\tWA9-081803 = 1712\t1004.1\t-\n",
     "#1000|#-0.5|#2|#0.5|#7|'inf|'nan|'0x1A|'1,5|'WA9-081803 = 1712|#1004.1|'-"},
    {"QuotedNumberIsNumber", "\"12\",x\n1,2\n", "#12|'x\n#1|#2"},
    {"EmptyQuotedCellIsEmpty", "\"\",x\n1,2\n", "|'x\n#1|#2"},
    {"TextAfterClosingQuoteKept", "\"ab\"cd,e\n", "'abcd|'e"},
    {"QuoteInsideUnquotedCell", "ab\"c,d\n", "'ab\"c|'d"},
    {"SemicolonWithDecimalCommas", "a;1,5;2\nb;3,5;4\n", "'a|'1,5|#2\n'b|'3,5|#4"},
    {"TabWithCommasInTexts", "Smith, J\t1\nDoe, K\t2\n", "'Smith, J|#1\n'Doe, K|#2"},
    {"SingleColumn", "x\ny\n", "'x\n'y"},
    {"BlanksKeptInTexts", " a \tb\n", "' a |'b"},
    {"Unicode", "Rupicapra\xC2\xB4s\t\xE6\x97\xA5\n", "'Rupicapra\xC2\xB4s|'\xE6\x97\xA5"},
    {"HeaderWiderThanData",
     "513\t\t\t5\t2\tPrMS6A1\tPr9C3A1\n1004.1\t394573.8\t4660671.7\t165168\t216226\n"
     "1008.1\t396094.6\t4662106.3\t165168\t216226\n",
     "#513|||#5|#2|'PrMS6A1|'Pr9C3A1\n#1004.1|#394573.8|#4660671.7|#165168|#216226\n"
     "#1008.1|#396094.6|#4662106.3|#165168|#216226"},
    {"EmptyInput", "", ""},
    {"OnlyByteOrderMark", "\xEF\xBB\xBF", ""},
};

INSTANTIATE_TEST_SUITE_P(All, TextTableReaderCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DetectSeparator, PicksTheConsistentSeparator) {
  EXPECT_EQ(DetectSeparator("a\tb\tc\n1\t2\t3\n"), '\t');
  EXPECT_EQ(DetectSeparator("a,b,c\n1,2,3\n"), ',');
  EXPECT_EQ(DetectSeparator("a;b;c\n1;2;3\n"), ';');
  // Commas inside quotes do not count.
  EXPECT_EQ(DetectSeparator("\"a,b,c\";d\n\"1,2\";3\n"), ';');
}

TEST(DetectSeparator, TabWinsTies) {
  EXPECT_EQ(DetectSeparator("a,b\tc\n"), '\t');
  EXPECT_EQ(DetectSeparator("just one cell\n"), '\t');
  EXPECT_EQ(DetectSeparator(""), '\t');
}

TEST(DetectSeparator, LooksPastTitleLines) {
  // A results log: a title line with no separator, then tab-separated rows
  // whose texts happen to hold commas.
  EXPECT_EQ(DetectSeparator("dataset\nG (richness), R\t70\nN, L\t513\t5\n"), '\t');
}

TEST(ParseTextTable, RejectsNulBytesNamingTheLine) {
  Sheet sheet;
  Status status = ParseTextTable(std::string("a\tb\n1\0\t2\n", 9), "data.txt", sheet);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find("\"data.txt\""), std::string::npos) << status.message();
  EXPECT_NE(status.message().find("line 2"), std::string::npos) << status.message();
  EXPECT_EQ(sheet.LastRow(), 0);
}

TEST(ParseTextTable, RejectsInvalidUtf8NamingTheLine) {
  Sheet sheet;
  // 0xB4 is an acute accent in Windows-1252, a stray byte in UTF-8.
  Status status = ParseTextTable("a\r\nb\r\nRupicapra\xB4s\t1\r\n", "data.txt", sheet);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find("\"data.txt\""), std::string::npos) << status.message();
  EXPECT_NE(status.message().find("line 3"), std::string::npos) << status.message();
  EXPECT_NE(status.message().find("UTF-8"), std::string::npos) << status.message();
}

TEST(ParseTextTable, RejectsOverlongAndSurrogateSequences) {
  Sheet sheet;
  EXPECT_FALSE(ParseTextTable("\xC0\xAF", "x", sheet).ok());
  EXPECT_FALSE(ParseTextTable("\xED\xA0\x80", "x", sheet).ok());
  EXPECT_FALSE(ParseTextTable("\xF4\x90\x80\x80", "x", sheet).ok());
  EXPECT_FALSE(ParseTextTable("\xE2\x82", "x", sheet).ok());
  EXPECT_TRUE(ParseTextTable("\xF0\x9F\x98\x80", "x", sheet).ok());
}

// What spreadsheets save as "Unicode text".
std::string Utf16(const std::u16string& text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    char high = static_cast<char>(unit >> 8);
    char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

TEST(ParseTextTable, ReadsUtf16WithByteOrderMark) {
  for (bool bigEndian : {false, true}) {
    Sheet sheet;
    Status status = ParseTextTable(
        Utf16(u"513\t\t\t5\t2\tPrMS6A1\r\nRupicapra\u00B4s\t1.5\t\U0001F600\r\n", bigEndian),
        "unicode.txt", sheet);
    ASSERT_TRUE(status.ok()) << status.message();
    EXPECT_EQ(DumpSheet(sheet),
              "#513|||#5|#2|'PrMS6A1\n'Rupicapra\xC2\xB4s|#1.5|'\xF0\x9F\x98\x80");
  }
}

TEST(ParseTextTable, RejectsMalformedUtf16NamingTheLine) {
  Sheet sheet;
  Status status = ParseTextTable(Utf16(u"a\nb\n\xD800x\n", false), "u.txt", sheet);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find("line 3"), std::string::npos) << status.message();
  status = ParseTextTable(Utf16(u"ab", false) + "c", "u.txt", sheet);
  EXPECT_FALSE(status.ok());
  status = ParseTextTable(Utf16(std::u16string(u"a\nb", 3) + u'\0', true), "u.txt", sheet);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find("line 2"), std::string::npos) << status.message();
}

TEST(ParseTextTable, RejectsUnclosedQuoteNamingItsLine) {
  Sheet sheet;
  Status status = ParseTextTable("a,b\n\"open,1\n2,3\n", "data.csv", sheet);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find("\"data.csv\""), std::string::npos) << status.message();
  EXPECT_NE(status.message().find("line 2"), std::string::npos) << status.message();
  EXPECT_EQ(sheet.LastRow(), 0);
}

TEST(ParseTextTable, ReplacesEarlierContent) {
  Sheet sheet;
  sheet.SetTextAt(5, 5, "old");
  ASSERT_TRUE(ParseTextTable("1\n", "x", sheet).ok());
  EXPECT_EQ(sheet.LastRow(), 1);
  EXPECT_EQ(sheet.LastCol(), 1);
}

}  // namespace
}  // namespace vireltan
