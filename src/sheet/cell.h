// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One cell of a worksheet: empty, a number or a text. A number read from a
// text file may keep the text it was written as ("2236.10", "007", "1e3")
// when its shortest decimal form would differ, so that names that look like
// numbers (designations) read back exactly as the file gives them.
#include <string>
#include <utility>

namespace vireltan {

class Cell {
 public:
  enum class Kind { kEmpty, kNumber, kText };

  Cell() = default;
  static Cell Number(double value) {
    Cell c;
    c.kind_ = Kind::kNumber;
    c.number_ = value;
    return c;
  }
  // A number read from `sourceText`; the text is kept only when it differs
  // from the number's shortest round-trip form (FormatNumber).
  static Cell NumberFromText(double value, std::string sourceText);
  static Cell Text(std::string text) {
    Cell c;
    c.kind_ = Kind::kText;
    c.text_ = std::move(text);
    return c;
  }

  Kind kind() const { return kind_; }
  bool empty() const { return kind_ == Kind::kEmpty; }
  bool isNumber() const { return kind_ == Kind::kNumber; }
  bool isText() const { return kind_ == Kind::kText; }
  double number() const { return number_; }
  // A text cell's text; for a number, the text it was read from when that
  // differs from its shortest form, else "".
  const std::string& text() const { return text_; }
  bool hasSourceText() const { return kind_ == Kind::kNumber && !text_.empty(); }

  bool operator==(const Cell& other) const = default;

 private:
  Kind kind_ = Kind::kEmpty;
  double number_ = 0.0;
  std::string text_;
};

}  // namespace vireltan
