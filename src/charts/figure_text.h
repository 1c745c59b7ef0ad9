// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Texts as figures show them: safe for XML, numbers to four significant
// digits, long texts wrapped into lines.
#include <string>
#include <vector>

namespace vireltan {

// `text` as valid UTF-8 without control characters (C0, DEL, C1), which
// XML 1.0 forbids or which no font draws: tabs and line ends become spaces,
// others are dropped, invalid bytes become U+FFFD.
std::string XmlSafeText(const std::string& text);
// XmlSafeText(text) with &, <, > and " written as entities, fit for the
// content of an element or a quoted attribute.
std::string XmlEscapedText(const std::string& text);
// Most characters of one text drawn in a figure (a title, a legend entry,
// an axis title, a label). The files beside a figure keep texts whole; a
// drawing shows a longer text cut there with "…", so that a population
// name of megabytes is laid out as quickly as any other.
inline constexpr size_t kFigureTextCharacters = 300;
// XmlSafeText(text), cut to `maxChars` characters with "…" when longer.
// Linear in the length of `text`.
std::string ShortFigureText(const std::string& text, size_t maxChars = kFigureTextCharacters);
// Number of characters (code points) of UTF-8 `text`.
double Utf8Length(const std::string& text);
// Splits `text` into lines of at most `maxChars` characters at spaces; a
// word longer than a line is cut across lines (never shortened with "…").
// Linear in the length of `text`.
std::vector<std::string> WrapText(const std::string& text, double maxChars);
// `value` with at most four significant digits, no exponent for values
// from 0.0001 to 999,999 ("0.1346", "12.5", "2500").
std::string FigureNumber(double value);
// `text` with every decimal number of more than four significant digits
// rounded to four ("observed rbarD = 0.13458146688200795" ->
// "observed rbarD = 0.1346"); whole numbers are left alone.
std::string RoundNumbersInText(const std::string& text);

}  // namespace vireltan
