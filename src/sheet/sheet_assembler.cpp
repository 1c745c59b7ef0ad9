// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/sheet_assembler.h"

#include <algorithm>

namespace vireltan {

namespace {

// What a stored cell costs beyond its object: the heap part of its text.
std::size_t CellBytes(const Cell& cell) {
  return sizeof(Cell) + 2 * sizeof(int) + (cell.isText() ? cell.text().capacity() : 0);
}

}  // namespace

bool SheetAssembler::Add(int row, int col, Cell cell) {
  if (cell.empty() || row < 1 || col < 1) return !overLimit_;
  bytes_ += CellBytes(cell);
  if (byteLimit_ > 0 && bytes_ > byteLimit_) overLimit_ = true;
  if (overLimit_) return false;
  entries_.push_back({row, col, std::move(cell)});
  return true;
}

void SheetAssembler::Finish(Sheet& sheet, const std::string& sourceName,
                            std::vector<std::string>* warnings) {
  sheet.Clear();
  // Row by row, left to right; equal positions keep their reading order so
  // that the last one read wins.
  std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
    return a.row != b.row ? a.row < b.row : a.col < b.col;
  });
  const std::size_t budget = DenseBudget(entries_.size());
  // Dense cost of keeping the cells up to `lastRow` x `lastCol`: every row
  // up to the last one kept, each as wide as its last cell kept.
  auto cost = [&](int lastRow, int lastCol) {
    std::size_t total = 0;
    int rows = 0;
    for (std::size_t i = 0; i < entries_.size();) {
      int row = entries_[i].row;
      int width = 0;
      for (; i < entries_.size() && entries_[i].row == row; ++i)
        if (entries_[i].col <= lastCol) width = entries_[i].col;
      if (row > lastRow || width == 0) continue;
      total += static_cast<std::size_t>(width);
      rows = row;
    }
    return total + static_cast<std::size_t>(rows);
  };
  int lastRow = entries_.empty() ? 0 : entries_.back().row;
  int lastCol = 0;
  for (const Entry& e : entries_) lastCol = std::max(lastCol, e.col);

  if (cost(lastRow, lastCol) > budget) {
    // Rows take half the budget at most, the widths of the rows the rest:
    // the widest cut that fits keeps every cell of the used part.
    lastRow = std::min<std::size_t>(lastRow, budget / 2);
    int low = 0, high = lastCol;
    while (low < high) {
      int mid = low + (high - low + 1) / 2;
      if (cost(lastRow, mid) <= budget) {
        low = mid;
      } else {
        high = mid - 1;
      }
    }
    lastCol = low;
  }

  std::size_t ignored = 0;
  const Entry* first = nullptr;
  for (Entry& e : entries_) {
    if (e.row > lastRow || e.col > lastCol) {
      if (first == nullptr) first = &e;
      ++ignored;
      continue;
    }
    sheet.set(e.row, e.col, std::move(e.cell));
  }
  if (ignored > 0 && warnings != nullptr) {
    warnings->push_back("!!\"" + sourceName + "\": " + std::to_string(ignored) +
                        (ignored == 1 ? " cell lies" : " cells lie") +
                        " far beyond the table's used part and " + (ignored == 1 ? "is" : "are") +
                        " ignored; the first is at row " + std::to_string(first->row) +
                        ", column " + std::to_string(first->col) + ".");
  }
  entries_.clear();
  entries_.shrink_to_fit();
}

std::size_t CompressedWorkbookByteLimit(std::size_t fileSize) {
  // 64 bytes held per byte of file: honest workbooks compress their XML
  // about tenfold (rarely thirtyfold) and hold each cell in about twice its
  // XML, so they stay well under it; a crafted one that inflates a
  // thousandfold is refused after a small part of its cells.
  return (std::size_t{64} << 20) + 64 * fileSize;
}

std::string TooManyCellsReason() {
  return "it holds more cells than a workbook of its size can; the file is damaged or built to "
         "exhaust memory.";
}

}  // namespace vireltan
