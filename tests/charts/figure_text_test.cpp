// SPDX-License-Identifier: GPL-3.0-or-later
// Texts laid out in figures: shortened with "…" before layout, and wrapped
// in one pass however long they are.
#include "charts/figure_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace vireltan {
namespace {

const std::string kEllipsis = "\xE2\x80\xA6";

TEST(ShortFigureText, KeepsShortTextsAndCutsLongOnes) {
  struct Case {
    std::string text;
    size_t maxChars;
    std::string expected;
  };
  const Case cases[] = {
      {"north", 10, "north"},
      {"0123456789", 10, "0123456789"},
      {"0123456789A", 10, "0123456789" + kEllipsis},
      {std::string(20, '\x01') + "ab", 10, "ab"},  // control characters dropped
      {"\xC3\xA9\xC3\xA9\xC3\xA9", 2, "\xC3\xA9\xC3\xA9" + kEllipsis},
      {std::string(1 << 20, 'x'), 300, std::string(300, 'x') + kEllipsis},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 20));
    EXPECT_EQ(ShortFigureText(c.text, c.maxChars), c.expected);
  }
  EXPECT_EQ(Utf8Length(ShortFigureText(std::string(10 << 20, 'y'))),
            static_cast<double>(kFigureTextCharacters + 1));
}

TEST(WrapText, BreaksAtSpacesAndCutsLongWords) {
  struct Case {
    std::string text;
    double maxChars;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", 5, {""}},
      {"a bb ccc", 4, {"a bb", "ccc"}},
      {"a  bb", 10, {"a bb"}},
      {"abcdefghij", 4, {"abcd", "efgh", "ij"}},
      {"x abcdefgh y", 4, {"x", "abcd", "efgh", "y"}},
      {"\xC3\xA9\xC3\xA9\xC3\xA9", 2, {"\xC3\xA9\xC3\xA9", "\xC3\xA9"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(WrapText(c.text, c.maxChars), c.lines);
  }
}

// A word and a text of many words, 4 MiB each: one pass each. The bound
// only tells a linear pass (milliseconds) from a quadratic one (hours).
TEST(WrapText, AHugeTextIsWrappedInOnePass) {
  std::string words;
  while (words.size() < (4u << 20)) words += "name ";
  for (const std::string& text : {std::string(4u << 20, 'w'), words}) {
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> lines = WrapText(text, 40);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    size_t total = 0;
    for (const std::string& line : lines) {
      EXPECT_LE(line.size(), 40u);
      total += line.size();
    }
    EXPECT_GE(total, text.size() * 3 / 4);
  }
}

}  // namespace
}  // namespace vireltan
