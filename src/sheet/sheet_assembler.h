// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Building a sheet from the cells a reader finds, with memory bounded by
// what the file holds.
//
// A sheet stores each row up to its last cell, so one stray cell far to the
// right (column 400,005 of a text line, XFD of a workbook row) would cost as
// much as a full row of that width: a small file could exhaust memory. The
// assembler first collects the non-empty cells sparsely, then places them,
// leaving out the cells that lie far beyond the table's used part (with one
// warning that gives where they start).
#include <cstddef>
#include <string>
#include <vector>

#include "common/status.h"
#include "sheet/cell.h"
#include "sheet/sheet.h"

namespace vireltan {

class SheetAssembler {
 public:
  // `byteLimit` caps the memory the collected cells may take (texts
  // included); 0 for none. Readers of compressed files set it from the
  // file's size, since their cells are not bounded by the bytes read.
  explicit SheetAssembler(std::size_t byteLimit = 0) : byteLimit_(byteLimit) {}

  // Records a cell (1-based); empty cells are skipped. Returns false once
  // the byte limit is passed (the reader should stop and report it).
  bool Add(int row, int col, Cell cell);
  bool overLimit() const { return overLimit_; }

  // Places the cells in `sheet` (cleared first); a later cell at the same
  // position replaces an earlier one. When the table stored densely would
  // cost more than a few times its cells, the cells beyond the used part are
  // left out and one warning naming `sourceName` and the first of them is
  // added to `warnings` (when given).
  void Finish(Sheet& sheet, const std::string& sourceName, std::vector<std::string>* warnings);

  // The part of a row or column count that may be dense: a few times the
  // cells held, plus a floor that any ordinary table stays under.
  static std::size_t DenseBudget(std::size_t cellCount) { return 4 * cellCount + 65536; }

 private:
  struct Entry {
    int row;
    int col;
    Cell cell;
  };
  std::vector<Entry> entries_;
  std::size_t bytes_ = 0;
  std::size_t byteLimit_ = 0;
  bool overLimit_ = false;
};

// The byte limit for the cells of a compressed workbook of `fileSize` bytes:
// honest workbooks compress their XML some tenfold and a cell held takes about
// twice its XML, so they stay below it whatever their size.
std::size_t CompressedWorkbookByteLimit(std::size_t fileSize);

// The message of a workbook that passed that limit.
std::string TooManyCellsReason();

}  // namespace vireltan
