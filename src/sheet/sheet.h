// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A worksheet: a grid of cells with 1-based rows and columns. Rows are stored
// sparsely at their right end (a row holds cells up to its last non-empty
// one), so a 10,000 x 50 table costs what it holds.
#include <optional>
#include <string>
#include <vector>

#include "sheet/cell.h"

namespace vireltan {

class Sheet {
 public:
  Sheet() = default;
  explicit Sheet(std::string name) : name_(std::move(name)) {}

  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }

  // Cell access, 1-based. Reading outside the used range gives an empty cell.
  const Cell& at(int row, int col) const;
  void set(int row, int col, Cell cell);

  // The cell's number; 0 when empty; the value of a text that reads entirely
  // as a decimal number (surrounding blanks allowed); 0 for other texts.
  double NumberAt(int row, int col) const;
  void SetNumberAt(int row, int col, double value);
  // The text stored unchanged; a number as the text it was read from, else
  // as its shortest round-trip decimal form; "" when empty (CellText).
  std::string TextAt(int row, int col) const;
  void SetTextAt(int row, int col, std::string text);
  void ClearCell(int row, int col) { set(row, col, Cell()); }

  // Last used row and column (0 when the sheet is empty).
  int LastRow() const;
  int LastCol() const;

  // Row and column editing, inclusive 1-based ranges. Rows or columns beyond
  // the used range are ignored.
  void DeleteRows(int firstRow, int lastRow);
  void DeleteColumns(int firstCol, int lastCol);
  void InsertRows(int beforeRow, int count);
  void InsertColumns(int beforeCol, int count);
  void Clear();

  // Reorders rows r1..r2 ascending by the given key columns (stable: rows
  // with equal keys keep their order). Numbers sort before texts, texts
  // compare by bytes, empty cells last.
  void SortRows(int r1, int r2, const std::vector<int>& keyColumns);

  // Copies the block [sr1..sr2] x [sc1..sc2] of `source` to this sheet with
  // its top-left corner at (dr, dc). `source` may be this sheet.
  void CopyBlock(const Sheet& source, int sr1, int sc1, int sr2, int sc2, int dr, int dc);
  // The whole of `source` moved to rows dr.. from column 1 on, its rows
  // taken over without copying their cells when dr lies below this sheet's
  // last row (a results block appended); else the same as CopyBlock.
  void MoveBlockIn(Sheet&& source, int dr);

  // Column headings shown above the grid (only the user's grid uses them).
  std::string ColumnHeading(int col) const;
  void SetColumnHeading(int col, std::string text);
  const std::vector<std::string>& columnHeadings() const { return headings_; }

  // Rows as stored (0-based outer index = row - 1), for writers and views.
  const std::vector<std::vector<Cell>>& rows() const { return rows_; }

 private:
  std::string name_;
  std::vector<std::vector<Cell>> rows_;
  std::vector<std::string> headings_;
};

// A cell as text: a text unchanged, a number as the text it was read from
// (a text file's bytes) or else its shortest round-trip decimal form (a
// workbook's numeric cell has no other text), "" for an empty cell.
std::string CellText(const Cell& cell);

// Reads `text` as a decimal number (blanks around it allowed, nothing else);
// nullopt when it is not one.
std::optional<double> ParseDecimal(const std::string& text);

}  // namespace vireltan
