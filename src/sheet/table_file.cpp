// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/table_file.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "sheet/text_table_reader.h"
#include "sheet/text_table_writer.h"
#include "sheet/xls_reader.h"
#include "sheet/xlsx_reader.h"
#include "sheet/xlsx_writer.h"

namespace vireltan {

namespace {

constexpr std::array<unsigned char, 4> kZipMagic = {'P', 'K', 0x03, 0x04};
constexpr std::array<unsigned char, 8> kOle2Magic = {0xD0, 0xCF, 0x11, 0xE0,
                                                     0xA1, 0xB1, 0x1A, 0xE1};

Status ReadError(const std::string& path, const std::string& reason) {
  return Status::Error("Cannot read \"" + path + "\": " + reason);
}

template <size_t N>
bool StartsWith(const std::string& head, const std::array<unsigned char, N>& magic) {
  if (head.size() < N) return false;
  for (size_t i = 0; i < N; ++i) {
    if (static_cast<unsigned char>(head[i]) != magic[i]) return false;
  }
  return true;
}

// The first bytes of the file, which tell its format; an error when the file
// is missing, unreadable or empty.
Status ReadHead(const std::string& path, std::string& head) {
  if (Status regular = CheckInputFile(path); !regular) return regular;
  std::ifstream in(path, std::ios::binary);
  if (!in) return ReadError(path, std::string(std::strerror(errno)) + ".");
  head.assign(kOle2Magic.size(), '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  if (in.bad()) return ReadError(path, "the file cannot be read.");
  if (head.empty()) return ReadError(path, "the file is empty.");
  return Status::Ok();
}

}  // namespace

Status CheckInputFile(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) return ReadError(path, "the file does not exist.");
  if (fs::is_directory(status)) return ReadError(path, "it is a folder, not a file.");
  // A pipe would block the reading, a device never end (/dev/zero), a
  // socket cannot be read as a file.
  if (!fs::is_regular_file(status))
    return ReadError(path, "it is not a regular file (a pipe, a device or a socket).");
  return Status::Ok();
}

Status ReadTableFile(const std::string& path, Book& book, FileType* detectedType,
                     std::vector<std::string>* warnings) {
  book.Reset();
  std::string head;
  Status status = ReadHead(path, head);
  if (!status.ok()) return status;

  FileType type = FileType::kTextTable;
  if (StartsWith(head, kZipMagic)) {
    type = FileType::kXlsxWorkbook;
  } else if (StartsWith(head, kOle2Magic)) {
    type = FileType::kXlsWorkbook;
  }

  Sheet sheet(book.first().name());
  switch (type) {
    case FileType::kXlsxWorkbook:
      status = ReadXlsxWorkbook(path, sheet, warnings);
      break;
    case FileType::kXlsWorkbook:
      status = ReadXlsWorkbook(path, sheet, warnings);
      break;
    case FileType::kTextTable:
      status = ReadTextTable(path, sheet, warnings);
      break;
  }
  if (!status.ok()) return status;
  book.first() = std::move(sheet);
  if (detectedType != nullptr) *detectedType = type;
  return Status::Ok();
}

Status WriteTableFile(const Book& book, const std::string& path, FileType type) {
  switch (type) {
    case FileType::kTextTable:
      return WriteTextTable(book.first(), path);
    case FileType::kXlsxWorkbook:
      return WriteXlsxWorkbook(book, path);
    case FileType::kXlsWorkbook:
      break;
  }
  return Status::Error("Cannot write \"" + path + "\": legacy xls workbooks are read only.");
}

}  // namespace vireltan
