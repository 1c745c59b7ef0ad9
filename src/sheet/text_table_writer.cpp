// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/text_table_writer.h"

#include <algorithm>

#include "sheet/atomic_file.h"
#include "sheet/table_file.h"

namespace vireltan {

namespace {

bool NeedsQuotes(const std::string& text, char separator) {
  return text.find_first_of("\t\r\n") != std::string::npos ||
         (separator != '\t' &&
          text.find_first_of(std::string(1, separator) + '"') != std::string::npos) ||
         (!text.empty() && text[0] == '"');
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

}  // namespace

std::string FormatTextCell(const Cell& cell, char separator) {
  if (cell.isNumber() && !cell.hasSourceText()) return FormatNumber(cell.number());
  if (cell.isText() || cell.hasSourceText())
    return NeedsQuotes(cell.text(), separator) ? Quoted(cell.text()) : cell.text();
  return "";
}

std::string FormatTextTable(const Sheet& sheet, char separator) {
  std::string out;
  std::vector<std::string> fields;
  for (const auto& cells : sheet.rows()) {
    fields.clear();
    for (const Cell& cell : cells) fields.push_back(FormatTextCell(cell, separator));
    // A NaN at the end of a row prints as nothing; no trailing tabs for it.
    while (!fields.empty() && fields.back().empty()) fields.pop_back();
    for (size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) out += separator;
      out += fields[i];
    }
    out += '\n';
  }
  return out;
}

Status WriteTextTable(const Sheet& sheet, const std::string& path) {
  return WriteFileAtomically(path, FormatTextTable(sheet));
}

Status WriteCsvTable(const Sheet& sheet, const std::string& path) {
  return WriteFileAtomically(path, FormatTextTable(sheet, ','));
}

std::string FormatDataCsv(const Sheet& sheet) {
  std::size_t width = 0;
  for (const auto& cells : sheet.rows()) width = std::max(width, cells.size());
  std::string out;
  for (const auto& cells : sheet.rows()) {
    for (std::size_t i = 0; i < width; ++i) {
      if (i > 0) out += ',';
      if (i < cells.size()) out += FormatTextCell(cells[i], ',');
    }
    out += '\n';
  }
  return out;
}

Status WriteDataCsv(const Sheet& sheet, const std::string& path) {
  return WriteFileAtomically(path, FormatDataCsv(sheet));
}

}  // namespace vireltan
