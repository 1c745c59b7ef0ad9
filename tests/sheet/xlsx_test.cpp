// SPDX-License-Identifier: GPL-3.0-or-later
// xlsx workbooks: what the writer produces reads back the same, and the
// reader copes with the variants other programs write.
#include <gtest/gtest.h>
#include <zip.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <utility>
#include <vector>

#include "sheet/table_file.h"
#include "sheet/xlsx_reader.h"
#include "sheet/xlsx_writer.h"
#include "sheet_dump.h"
#include "temp_dir.h"

namespace vireltan {
namespace {

using testing::DumpSheet;

using ZipEntries = std::vector<std::pair<std::string, std::string>>;

void MakeZip(const std::string& path, const ZipEntries& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr) << "zip error " << error;
  for (const auto& [name, content] : entries) {
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    ASSERT_NE(source, nullptr);
    ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

const char kContentTypes[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>)";

const char kRootRels[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>
</Relationships>)";

// A prefixed main namespace, as some generators write it.
const char kWorkbook[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<x:workbook xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main"
 xmlns:rel="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<x:sheets><x:sheet name="Chart" sheetId="1" rel:id="rId9"/>
<x:sheet name="Data one" sheetId="2" rel:id="rId7"/>
<x:sheet name="Other" sheetId="3" rel:id="rId8"/></x:sheets></x:workbook>)";

const char kWorkbookRels[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId9" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/chartsheet" Target="chartsheets/sheet1.xml"/>
<Relationship Id="rId8" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/other.xml"/>
<Relationship Id="rId7" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="./worksheets/../worksheets/data.xml"/>
<Relationship Id="rId5" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="strings.xml"/>
</Relationships>)";

const char kSharedStrings[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="3" uniqueCount="3">
<si><t>plain</t></si>
<si><r><rPr><b/></rPr><t>rich </t></r><r><t xml:space="preserve">text</t></r><rPh sb="0" eb="1"><t>PHONETIC</t></rPh></si>
<si><t>a_x000D_b _x005F_x0041_</t></si>
</sst>)";

// Rows and cells without positions, inline strings with runs, booleans,
// formula results and errors.
const char kDataSheet[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<dimension ref="A1:E4"/><cols><col min="1" max="2" width="10"/></cols>
<sheetData>
<row><c t="inlineStr"><is><t>inline</t></is></c><c><v>1.5</v></c><c t="s"><v>1</v></c></row>
<row><c><v>2</v></c><c/><c t="inlineStr"><is><r><t>run</t></r><r><t>s</t></r></is></c></row>
<row r="5"><c r="B5" t="b"><v>1</v></c><c t="str"><f>A1&amp;"x"</f><v>inlinex</v></c><c r="E5" t="e"><v>#N/A</v></c></row>
<row><c t="s"><v>0</v></c><c t="s"><v>2</v></c><c><v>4.66067170000000E+6</v></c><c r="AB6"><v>-0</v></c></row>
</sheetData></worksheet>)";

const char kOtherSheet[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<sheetData><row r="1"><c r="A1"><v>99</v></c></row></sheetData></worksheet>)";

ZipEntries HandMadeWorkbook() {
  return {{"[Content_Types].xml", kContentTypes},  {"_rels/.rels", kRootRels},
          {"xl/workbook.xml", kWorkbook},          {"xl/_rels/workbook.xml.rels", kWorkbookRels},
          {"xl/strings.xml", kSharedStrings},      {"xl/worksheets/data.xml", kDataSheet},
          {"xl/worksheets/other.xml", kOtherSheet}};
}

class XlsxTest : public testing::TempDirTest {};

TEST_F(XlsxTest, HandMadeWorkbookReadsFirstWorksheet) {
  std::string path = PathOf("hand.xlsx");
  MakeZip(path, HandMadeWorkbook());
  Sheet sheet;
  Status status = ReadXlsxWorkbook(path, sheet);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(sheet.name(), "Data one");
  EXPECT_EQ(DumpSheet(sheet),
            "'inline|#1.5|'rich text\n"
            "#2||'runs\n"
            "\n"
            "\n"
            "|#1|'inlinex||'#N/A\n"
            "'plain|'a\rb _x0041_|#4660671.7" +
                std::string(25, '|') + "#0");
}

TEST_F(XlsxTest, MissingWorksheetPartIsAnError) {
  ZipEntries entries = HandMadeWorkbook();
  std::erase_if(entries, [](const auto& e) { return e.first == "xl/worksheets/data.xml"; });
  std::string path = PathOf("broken.xlsx");
  MakeZip(path, entries);
  Sheet sheet;
  Status status = ReadXlsxWorkbook(path, sheet);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find(path), std::string::npos) << status.message();
  EXPECT_NE(status.message().find("xl/worksheets/data.xml"), std::string::npos) << status.message();
}

TEST_F(XlsxTest, BadSharedStringIndexIsAnError) {
  ZipEntries entries = HandMadeWorkbook();
  for (auto& [name, content] : entries) {
    if (name == "xl/worksheets/data.xml") {
      content = R"(<worksheet><sheetData><row r="3"><c r="C3" t="s"><v>17</v></c></row>)"
                R"(</sheetData></worksheet>)";
    }
  }
  std::string path = PathOf("badindex.xlsx");
  MakeZip(path, entries);
  Sheet sheet;
  Status status = ReadXlsxWorkbook(path, sheet);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find(path), std::string::npos) << status.message();
  EXPECT_NE(status.message().find("C3"), std::string::npos) << status.message();
}

TEST_F(XlsxTest, MalformedXmlIsAnError) {
  ZipEntries entries = HandMadeWorkbook();
  for (auto& [name, content] : entries) {
    if (name == "xl/worksheets/data.xml") content = "<worksheet><sheetData><row>";
  }
  std::string path = PathOf("badxml.xlsx");
  MakeZip(path, entries);
  Sheet sheet;
  Status status = ReadXlsxWorkbook(path, sheet);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find(path), std::string::npos) << status.message();
  EXPECT_NE(status.message().find("XML"), std::string::npos) << status.message();
}

TEST_F(XlsxTest, ZipThatIsNoWorkbookIsAnError) {
  std::string path = PathOf("notes.zip");
  MakeZip(path, {{"notes.txt", "hello"}});
  Book book;
  Status status = ReadTableFile(path, book);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find(path), std::string::npos) << status.message();
  EXPECT_NE(status.message().find("not an xlsx workbook"), std::string::npos) << status.message();
}

TEST_F(XlsxTest, WrittenWorkbookReadsBack) {
  Book book;
  Sheet& first = book.first();
  first.setName("data");
  first.SetNumberAt(1, 1, 513);
  first.SetNumberAt(1, 4, 5);
  first.SetNumberAt(1, 5, 2);
  first.SetTextAt(1, 6, "PrMS6A1");
  first.SetTextAt(2, 1, "WA9-081803 = 1712");
  first.SetNumberAt(2, 2, 394573.8);
  first.SetNumberAt(2, 3, 4660671.7);
  first.SetNumberAt(2, 4, 0.1);
  first.SetNumberAt(2, 5, 1.0 / 3.0);
  first.SetNumberAt(2, 6, -1e-300);
  first.SetTextAt(3, 1, "PrMS6A1");  // repeated: one shared string
  first.SetTextAt(3, 2, "Rupicapra\xC2\xB4s \xE6\x97\xA5\xE6\x9C\xAC");
  first.SetNumberAt(3, 3, std::numeric_limits<double>::quiet_NaN());
  first.SetNumberAt(3, 4, std::numeric_limits<double>::infinity());
  first.SetTextAt(3, 5, "tab\there\nnewline");
  first.SetNumberAt(6, 2, 42);
  Sheet written = first;
  book.InsertSheets(2, 1);  // `first` no longer valid
  book.SetSheetName(2, "second");
  book.sheet(2).SetTextAt(1, 1, "not read back");

  std::string path = PathOf("out.xlsx");
  Status status = WriteTableFile(book, path, FileType::kXlsxWorkbook);
  ASSERT_TRUE(status.ok()) << status.message();

  Book back;
  FileType type = FileType::kTextTable;
  status = ReadTableFile(path, back, &type);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(type, FileType::kXlsxWorkbook);
  EXPECT_EQ(back.NumSheets(), 1);
  const Sheet& sheet = back.first();
  EXPECT_EQ(sheet.name(), "data");
  EXPECT_EQ(sheet.LastRow(), 6);
  EXPECT_EQ(sheet.LastCol(), 6);
  for (int r = 1; r <= 6; ++r) {
    for (int c = 1; c <= 6; ++c) {
      const Cell& cell = written.at(r, c);
      if (cell.isNumber() && !std::isfinite(cell.number())) {
        EXPECT_TRUE(sheet.at(r, c).empty()) << r << "," << c;
      } else {
        EXPECT_EQ(sheet.at(r, c), cell) << r << "," << c;
      }
    }
  }
}

TEST_F(XlsxTest, EverySheetIsWritten) {
  Book book;
  book.InsertSheets(2, 2);
  book.SetSheetName(1, "aggregation index");
  book.SetSheetName(2, "");
  book.SetSheetName(3, "AGGREGATION INDEX");
  for (int i = 1; i <= 3; ++i) book.sheet(i).SetNumberAt(i, i, i);
  std::string path = PathOf("three.xlsx");
  ASSERT_TRUE(WriteTableFile(book, path, FileType::kXlsxWorkbook).ok());

  // The workbook lists the three names in order.
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  ASSERT_NE(archive, nullptr);
  zip_stat_t stat;
  ASSERT_EQ(zip_stat(archive, "xl/workbook.xml", 0, &stat), 0);
  std::string xml(stat.size, '\0');
  zip_file_t* file = zip_fopen(archive, "xl/workbook.xml", 0);
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(zip_fread(file, xml.data(), stat.size), static_cast<zip_int64_t>(stat.size));
  zip_fclose(file);
  EXPECT_EQ(zip_name_locate(archive, "xl/worksheets/sheet3.xml", 0) >= 0, true);
  zip_discard(archive);
  size_t a = xml.find("name=\"aggregation index\"");
  size_t b = xml.find("name=\"Sheet2\"");
  size_t c = xml.find("name=\"AGGREGATION INDEX (2)\"");
  ASSERT_NE(a, std::string::npos) << xml;
  ASSERT_NE(b, std::string::npos) << xml;
  ASSERT_NE(c, std::string::npos) << xml;
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
}

TEST(XlsxSheetNames, FittedToWorkbookRules) {
  Book book;
  book.InsertSheets(2, 6);
  book.SetSheetName(1, "a/b\\c[d]e:f*g?h");
  book.SetSheetName(2, "");
  book.SetSheetName(3, "Loiselle kinship, all pairs, distance classes 10");
  book.SetSheetName(4, "Loiselle kinship, all pairs, distance classes 20");
  book.SetSheetName(5, "'quoted'");
  book.SetSheetName(6, "clonal subrange");
  book.SetSheetName(7, "Clonal Subrange");
  std::vector<std::string> names = XlsxSheetNames(book);
  ASSERT_EQ(names.size(), 7u);
  EXPECT_EQ(names[0], "a_b_c_d_e_f_g_h");
  EXPECT_EQ(names[1], "Sheet2");
  EXPECT_EQ(names[2], "Loiselle kinship, all pairs, di");
  EXPECT_EQ(names[3], "Loiselle kinship, all pairs (2)");
  EXPECT_EQ(names[4], "_quoted_");
  EXPECT_EQ(names[5], "clonal subrange");
  EXPECT_EQ(names[6], "Clonal Subrange (2)");
  for (const auto& name : names) EXPECT_LE(name.size(), 31u) << name;
}

TEST(XlsxSheetNames, CountsCharactersNotBytes) {
  Book book;
  std::string accented;
  for (int i = 0; i < 40; ++i) accented += "\xC3\xA9";  // é
  book.SetSheetName(1, accented);
  std::vector<std::string> names = XlsxSheetNames(book);
  EXPECT_EQ(names[0], accented.substr(0, 62));
}

TEST_F(XlsxTest, WrittenSheetNamesReadBackWithUnicode) {
  Book book;
  book.SetSheetName(1, "r\xC3\xA9sultats");
  book.first().SetTextAt(1, 1, "\xC2\xB4");
  std::string path = PathOf("unicode.xlsx");
  ASSERT_TRUE(WriteTableFile(book, path, FileType::kXlsxWorkbook).ok());
  Book back;
  ASSERT_TRUE(ReadTableFile(path, back).ok());
  EXPECT_EQ(back.first().name(), "r\xC3\xA9sultats");
  EXPECT_EQ(back.first().at(1, 1), Cell::Text("\xC2\xB4"));
}

TEST_F(XlsxTest, TruncatedWorkbookIsAnError) {
  Book book;
  for (int r = 1; r <= 200; ++r) book.first().SetTextAt(r, 1, "row " + std::to_string(r));
  std::string path = PathOf("whole.xlsx");
  ASSERT_TRUE(WriteTableFile(book, path, FileType::kXlsxWorkbook).ok());
  std::string bytes = ReadFile(path);
  std::string truncated = WriteFile("truncated.xlsx", bytes.substr(0, bytes.size() / 2));
  Book back;
  Status status = ReadTableFile(truncated, back);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find("\"" + truncated + "\""), std::string::npos) << status.message();
  EXPECT_EQ(back.NumSheets(), 1);
  EXPECT_EQ(back.first().LastRow(), 0);
}

// A cell with more text than a workbook cell can hold is named by its
// reference and its row and column.
TEST_F(XlsxTest, OverlongCellTextNamesTheCell) {
  ZipEntries entries = HandMadeWorkbook();
  for (auto& [name, content] : entries) {
    if (name == "xl/worksheets/data.xml")
      content = R"(<worksheet><sheetData><row r="7"><c r="D7" t="str"><v>)" +
                std::string(200000, 'a') + "</v></c></row></sheetData></worksheet>";
  }
  std::string path = PathOf("long.xlsx");
  MakeZip(path, entries);
  Sheet sheet;
  Status status = ReadXlsxWorkbook(path, sheet);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find("cell D7 (row 7, column 4)"), std::string::npos)
      << status.message().substr(0, 300);
}

// Millions of cells without references compress to a few kilobytes; they
// are refused after a small part of them, not after gigabytes.
TEST_F(XlsxTest, ACompressedCellBombIsRefusedEarly) {
  ZipEntries entries = HandMadeWorkbook();
  std::string row = "<row>";
  for (int c = 0; c < 40; ++c) row += "<c><v>1</v></c>";
  row += "</row>";
  std::string sheetXml = "<worksheet><sheetData>";
  sheetXml.reserve(row.size() * 60000 + 64);
  for (int r = 0; r < 60000; ++r) sheetXml += row;  // 2.4 million cells
  sheetXml += "</sheetData></worksheet>";
  for (auto& [name, content] : entries)
    if (name == "xl/worksheets/data.xml") content = sheetXml;
  std::string path = PathOf("bomb.xlsx");
  MakeZip(path, entries);
  ASSERT_LT(std::filesystem::file_size(path), 1u << 20);
  Sheet sheet;
  Status status = ReadXlsxWorkbook(path, sheet);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find("more cells than a workbook of its size can"), std::string::npos)
      << status.message();
}

}  // namespace
}  // namespace vireltan
