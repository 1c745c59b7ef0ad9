// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/book.h"

#include <algorithm>

namespace vireltan {

bool Book::HasSheetNamed(const std::string& name) const {
  return std::any_of(sheets_.begin(), sheets_.end(),
                     [&](const Sheet& s) { return s.name() == name; });
}

void Book::InsertSheets(int index, int count) {
  if (count <= 0) return;
  index = std::clamp(index, 1, NumSheets() + 1);
  sheets_.insert(sheets_.begin() + (index - 1), count, Sheet());
}

void Book::DeleteSheets(int index, int count) {
  if (count <= 0 || index < 1 || index > NumSheets()) return;
  int stop = std::min(NumSheets(), index - 1 + count);
  sheets_.erase(sheets_.begin() + (index - 1), sheets_.begin() + stop);
  if (sheets_.empty()) sheets_.emplace_back("1");
}

void Book::Reset() {
  sheets_.clear();
  sheets_.emplace_back("1");
}

}  // namespace vireltan
