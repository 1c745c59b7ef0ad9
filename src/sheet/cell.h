// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One cell of a worksheet: empty, a number or a text.
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
  const std::string& text() const { return text_; }

  bool operator==(const Cell& other) const = default;

 private:
  Kind kind_ = Kind::kEmpty;
  double number_ = 0.0;
  std::string text_;
};

}  // namespace vireltan
