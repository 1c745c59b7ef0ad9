// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A book: an ordered list of named sheets (1-based), always at least one.
#include <string>
#include <vector>

#include "sheet/sheet.h"

namespace vireltan {

class Book {
 public:
  Book() : sheets_(1, Sheet("1")) {}

  int NumSheets() const { return static_cast<int>(sheets_.size()); }
  Sheet& sheet(int index) { return sheets_.at(index - 1); }
  const Sheet& sheet(int index) const { return sheets_.at(index - 1); }
  // Sheet 1 is where every cell operation of the program acts.
  Sheet& first() { return sheets_.front(); }
  const Sheet& first() const { return sheets_.front(); }

  std::string SheetName(int index) const { return sheet(index).name(); }
  void SetSheetName(int index, std::string name) { sheet(index).setName(std::move(name)); }
  bool HasSheetNamed(const std::string& name) const;

  // Inserts `count` empty sheets before position `index` (1..NumSheets+1).
  void InsertSheets(int index, int count);
  // Removes `count` sheets from position `index`; a book keeps at least one
  // sheet, so removing all leaves one empty sheet.
  void DeleteSheets(int index, int count);
  // Back to one empty sheet named "1".
  void Reset();

 private:
  std::vector<Sheet> sheets_;
};

}  // namespace vireltan
