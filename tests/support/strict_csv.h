// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A strict reader of comma-separated tables, as R's read.csv and pandas'
// read_csv take them without options: one header row of distinct names,
// every row with exactly as many fields, quotes only around whole fields.
// Rows come back as maps from column name to text.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/sheet_builder.h"

namespace vireltan::testing {

struct StrictCsv {
  bool ok = false;
  std::string error;
  std::vector<std::string> header;
  std::vector<std::map<std::string, std::string>> rows;
};

inline StrictCsv ReadStrictCsv(const std::string& text) {
  StrictCsv out;
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false, wasQuoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
      continue;
    }
    if (c == '"') {
      if (!field.empty() || wasQuoted) {
        out.error = "a quote inside an unquoted field";
        return out;
      }
      quoted = wasQuoted = true;
    } else if (c == ',') {
      fields.push_back(field);
      field.clear();
      wasQuoted = false;
    } else if (c == '\n') {
      fields.push_back(field);
      records.push_back(fields);
      fields.clear();
      field.clear();
      wasQuoted = false;
    } else if (wasQuoted) {
      out.error = "text after a closing quote";
      return out;
    } else {
      field += c;
    }
  }
  if (quoted || !field.empty() || !fields.empty()) {
    out.error = "the last row does not end with a line end";
    return out;
  }
  if (records.empty()) {
    out.error = "no header row";
    return out;
  }
  out.header = records[0];
  for (std::size_t a = 0; a < out.header.size(); ++a)
    for (std::size_t b = a + 1; b < out.header.size(); ++b)
      if (out.header[a] == out.header[b] || out.header[a].empty()) {
        out.error = "header names empty or repeated: " + out.header[a];
        return out;
      }
  for (std::size_t r = 1; r < records.size(); ++r) {
    if (records[r].size() != out.header.size()) {
      std::ostringstream m;
      m << "row " << r + 1 << " has " << records[r].size() << " fields, the header "
        << out.header.size();
      out.error = m.str();
      return out;
    }
    std::map<std::string, std::string> row;
    for (std::size_t c = 0; c < out.header.size(); ++c) row[out.header[c]] = records[r][c];
    out.rows.push_back(std::move(row));
  }
  out.ok = true;
  return out;
}

// The table in the file at `path`, failing the test (with the reason) when
// it is not strictly well-formed.
inline StrictCsv ReadStrictCsvFile(const std::string& path) {
  StrictCsv csv = ReadStrictCsv(ReadWholeFile(path));
  EXPECT_TRUE(csv.ok) << path << ": " << csv.error;
  return csv;
}

}  // namespace vireltan::testing
