// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Builds a small legacy .xls workbook in memory, byte by byte: a BIFF8
// workbook stream inside an OLE2 compound file. No writer for the format is
// at hand, so the tests make their own fixture; it holds just the records a
// reader needs (BOF, code page, date mode, cell formats, sheet list, shared
// strings, dimensions, cells, EOF).
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vireltan::testing {

class ByteWriter {
 public:
  void U8(unsigned v) { bytes_ += static_cast<char>(v & 0xFF); }
  void U16(unsigned v) {
    U8(v);
    U8(v >> 8);
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void U64(uint64_t v) {
    U32(static_cast<uint32_t>(v));
    U32(static_cast<uint32_t>(v >> 32));
  }
  void F64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    U64(bits);
  }
  void Raw(const std::string& s) { bytes_ += s; }
  void Zeros(size_t n) { bytes_.append(n, '\0'); }
  const std::string& bytes() const { return bytes_; }
  size_t size() const { return bytes_.size(); }

 private:
  std::string bytes_;
};

inline std::string Record(unsigned type, const std::string& body) {
  ByteWriter w;
  w.U16(type);
  w.U16(static_cast<unsigned>(body.size()));
  w.Raw(body);
  return w.bytes();
}

inline std::string Bof(unsigned substreamType) {
  ByteWriter w;
  w.U16(0x0600);  // BIFF8
  w.U16(substreamType);
  w.U16(0x0DBB);
  w.U16(0x07CC);
  w.U32(0);
  w.U32(6);
  return Record(0x0809, w.bytes());
}

// An XLUnicodeString in UTF-16 (`units` given as code units).
inline std::string WideString(const std::vector<uint16_t>& units) {
  ByteWriter w;
  w.U16(static_cast<unsigned>(units.size()));
  w.U8(1);
  for (uint16_t u : units) w.U16(u);
  return w.bytes();
}

inline std::string NarrowString(const std::string& latin) {
  ByteWriter w;
  w.U16(static_cast<unsigned>(latin.size()));
  w.U8(0);
  w.Raw(latin);
  return w.bytes();
}

inline std::string CellHeader(unsigned row, unsigned col, unsigned xf) {
  ByteWriter w;
  w.U16(row);
  w.U16(col);
  w.U16(xf);
  return w.bytes();
}

inline std::string NumberCell(unsigned row, unsigned col, double value, unsigned xf = 0) {
  ByteWriter w;
  w.Raw(CellHeader(row, col, xf));
  w.F64(value);
  return Record(0x0203, w.bytes());
}

// An RK cell holding a whole number.
inline std::string IntegerCell(unsigned row, unsigned col, int value) {
  ByteWriter w;
  w.Raw(CellHeader(row, col, 0));
  w.U32((static_cast<uint32_t>(value) << 2) | 2);
  return Record(0x027E, w.bytes());
}

inline std::string SharedStringCell(unsigned row, unsigned col, uint32_t index) {
  ByteWriter w;
  w.Raw(CellHeader(row, col, 0));
  w.U32(index);
  return Record(0x00FD, w.bytes());
}

// The workbook: sheet "Data" with
//   row 1: 513, -, -, 5, 2, "PrMS6A1"
//   row 2: "WA9-081803 = 1712", -, 4660671.7
//   row 3: -, "café´", date 45000 (2023-03-15), date-time 45000.75
//   rows 4..300: r - 0.5 in column 1 (enough records for a full-size stream)
inline std::string TinyXlsWorkbook(const std::string& streamName = "Workbook") {
  std::string sst;
  {
    ByteWriter w;
    w.U32(3);
    w.U32(3);
    w.Raw(NarrowString("PrMS6A1"));
    w.Raw(NarrowString("WA9-081803 = 1712"));
    w.Raw(WideString({'c', 'a', 'f', 0x00E9, 0x00B4}));
    sst = Record(0x00FC, w.bytes());
  }
  auto formats = [] {
    std::string out;
    for (unsigned format : {0u, 14u, 22u}) {  // general, date, date-time
      ByteWriter w;
      w.U16(0);
      w.U16(format);
      w.Zeros(16);
      out += Record(0x00E0, w.bytes());
    }
    return out;
  };
  auto globals = [&](uint32_t sheetOffset) {
    ByteWriter codepage, datemode, sheet;
    codepage.U16(1200);
    datemode.U16(0);
    sheet.U32(sheetOffset);
    sheet.U8(0);
    sheet.U8(0);
    sheet.U8(4);
    sheet.U8(0);
    sheet.Raw("Data");
    return Bof(0x0005) + Record(0x0042, codepage.bytes()) + Record(0x0022, datemode.bytes()) +
           formats() + Record(0x0085, sheet.bytes()) + sst + Record(0x000A, "");
  };
  const unsigned rows = 300;
  std::string cells = NumberCell(0, 0, 513) + IntegerCell(0, 3, 5) + NumberCell(0, 4, 2) +
                      SharedStringCell(0, 5, 0) + SharedStringCell(1, 0, 1) +
                      NumberCell(1, 2, 4660671.7) + SharedStringCell(2, 1, 2) +
                      NumberCell(2, 2, 45000, 1) + NumberCell(2, 3, 45000.75, 2);
  for (unsigned r = 3; r < rows; ++r) cells += NumberCell(r, 0, r + 0.5);
  ByteWriter dimensions;
  dimensions.U32(0);
  dimensions.U32(rows);
  dimensions.U16(0);
  dimensions.U16(6);
  dimensions.U16(0);
  std::string sheet = Bof(0x0010) + Record(0x0200, dimensions.bytes()) + cells + Record(0x000A, "");
  std::string stream = globals(static_cast<uint32_t>(globals(0).size())) + sheet;
  const size_t streamSize = stream.size();  // above 4096: kept in ordinary sectors

  // Compound file: header, FAT in sector 0, directory in sector 1, the
  // stream from sector 2 on.
  const size_t kSector = 512;
  size_t streamSectors = (streamSize + kSector - 1) / kSector;
  stream.resize(streamSectors * kSector, '\0');
  ByteWriter file;
  file.Raw(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
  file.Zeros(16);
  for (unsigned v : {0x3Eu, 3u, 0xFFFEu, 9u, 6u}) file.U16(v);
  file.Zeros(6);
  for (uint32_t v : {0u, 1u, 1u, 0u, 0x1000u, 0xFFFFFFFEu, 0u, 0xFFFFFFFEu, 0u}) file.U32(v);
  file.U32(0);  // the FAT's sector
  for (int i = 0; i < 108; ++i) file.U32(0xFFFFFFFF);
  // FAT
  std::vector<uint32_t> fat = {0xFFFFFFFD, 0xFFFFFFFE};
  for (size_t i = 1; i < streamSectors; ++i) fat.push_back(static_cast<uint32_t>(2 + i));
  fat.push_back(0xFFFFFFFE);
  fat.resize(128, 0xFFFFFFFF);
  for (uint32_t v : fat) file.U32(v);
  // Directory
  auto entry = [&](const std::string& name, unsigned type, uint32_t child, uint32_t start,
                   uint64_t size) {
    size_t before = file.size();
    for (char c : name) file.U16(static_cast<unsigned char>(c));
    if (!name.empty()) file.U16(0);
    file.Zeros(64 - (file.size() - before));
    file.U16(name.empty() ? 0 : static_cast<unsigned>(2 * (name.size() + 1)));
    file.U8(type);
    file.U8(1);
    file.U32(0xFFFFFFFF);
    file.U32(0xFFFFFFFF);
    file.U32(child);
    file.Zeros(16 + 4 + 16);
    file.U32(start);
    file.U64(size);
  };
  entry("Root Entry", 5, 1, 0xFFFFFFFE, 0);
  entry(streamName, 2, 0xFFFFFFFF, 2, streamSize);
  entry("", 0, 0xFFFFFFFF, 0, 0);
  entry("", 0, 0xFFFFFFFF, 0, 0);
  file.Raw(stream);
  return file.bytes();
}

}  // namespace vireltan::testing
