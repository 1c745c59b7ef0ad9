// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/figure_text.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace vireltan {

namespace {

// Length of the valid UTF-8 sequence at `i`, 0 when invalid; its code
// point in `code`.
size_t Utf8Sequence(const std::string& s, size_t i, unsigned& code) {
  const unsigned char c = s[i];
  size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (length == 0 || i + length > s.size()) return 0;
  code = length == 1 ? c : length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
  for (size_t k = 1; k < length; ++k) {
    const unsigned char next = s[i + k];
    if ((next >> 6) != 2) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  static const unsigned kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kMin[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string XmlSafeText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned code = 0;
    const size_t length = Utf8Sequence(text, i, code);
    if (length == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      ++i;
      continue;
    }
    if (code == '\t' || code == '\n' || code == '\r') {
      out += ' ';
    } else if (code >= 0x20 && code != 0x7F && !(code >= 0x80 && code <= 0x9F) && code != 0xFFFE &&
               code != 0xFFFF) {
      out.append(text, i, length);
    }
    i += length;
  }
  return out;
}

std::string XmlEscapedText(const std::string& text) {
  std::string out;
  for (char c : XmlSafeText(text)) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

double Utf8Length(const std::string& text) {
  double count = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++count;
  return count;
}

std::string ShortFigureText(const std::string& text, size_t maxChars) {
  // Only the head of a long text is cleaned: at most four bytes a
  // character, and room for dropped control characters.
  constexpr size_t kSlack = 4096;
  const size_t headBytes = 4 * (maxChars + 1) + kSlack;
  const bool longText = text.size() > headBytes;
  std::string safe = XmlSafeText(longText ? text.substr(0, headBytes) : text);
  size_t chars = 0, cut = safe.size();
  for (size_t i = 0; i < safe.size(); ++i) {
    if ((static_cast<unsigned char>(safe[i]) & 0xC0) == 0x80) continue;
    if (chars == maxChars) {
      cut = i;
      break;
    }
    ++chars;
  }
  if (cut == safe.size() && !longText) return safe;
  safe.resize(cut);
  return safe + "\xE2\x80\xA6";  // …
}

std::vector<std::string> WrapText(const std::string& text, double maxChars) {
  const size_t limit = static_cast<size_t>(std::max(1.0, std::floor(maxChars)));
  std::vector<std::string> lines;
  std::string line;
  size_t lineChars = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t space = text.find(' ', start);
    if (space == std::string::npos) space = text.size();
    const size_t wordStart = start, wordEnd = space;
    start = space + 1;
    if (wordEnd == wordStart) continue;
    const std::string_view word(text.data() + wordStart, wordEnd - wordStart);
    size_t wordChars = 0;
    for (char c : word)
      if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++wordChars;
    if (line.empty() && wordChars <= limit) {
      line.assign(word);
      lineChars = wordChars;
      continue;
    }
    if (!line.empty() && lineChars + 1 + wordChars <= limit) {
      line += ' ';
      line.append(word);
      lineChars += 1 + wordChars;
      continue;
    }
    if (!line.empty()) lines.push_back(std::move(line));
    line.clear();
    lineChars = 0;
    // A word longer than a line is cut at character boundaries, in one pass.
    size_t piece = 0, chars = 0;
    for (size_t i = 0; i < word.size();) {
      size_t next = i + 1;
      while (next < word.size() && (static_cast<unsigned char>(word[next]) & 0xC0) == 0x80) ++next;
      if (chars == limit) {
        lines.emplace_back(word.substr(piece, i - piece));
        piece = i;
        chars = 0;
      }
      ++chars;
      i = next;
    }
    line.assign(word.substr(piece));
    lineChars = chars;
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

std::string FigureNumber(double value) {
  if (!std::isfinite(value)) return "";
  if (value == std::round(value) && std::fabs(value) < 1e6) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
    return buffer;
  }
  char buffer[32];
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e-4 && magnitude < 1e6) {
    // Four significant digits in fixed notation, trailing zeros dropped.
    const int digits = std::max(0, 3 - static_cast<int>(std::floor(std::log10(magnitude))));
    std::snprintf(buffer, sizeof buffer, "%.*f", digits, value);
    std::string s = buffer;
    if (s.find('.') != std::string::npos) {
      s.erase(s.find_last_not_of('0') + 1);
      if (s.back() == '.') s.pop_back();
    }
    return s == "-0" ? "0" : s;
  }
  std::snprintf(buffer, sizeof buffer, "%.4g", value);
  return buffer;
}

std::string RoundNumbersInText(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const bool startsNumber = std::isdigit(static_cast<unsigned char>(text[i])) &&
                              (i == 0 || (!std::isalnum(static_cast<unsigned char>(text[i - 1])) &&
                                          text[i - 1] != '.' && text[i - 1] != '_'));
    if (!startsNumber) {
      out += text[i++];
      continue;
    }
    size_t end = i;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end + 1 < text.size() && text[end] == '.' &&
        std::isdigit(static_cast<unsigned char>(text[end + 1]))) {
      size_t frac = end + 1;
      while (frac < text.size() && std::isdigit(static_cast<unsigned char>(text[frac]))) ++frac;
      const std::string number = text.substr(i, frac - i);
      // Significant digits: all digits but the leading zeros.
      std::string digits;
      for (char c : number)
        if (c != '.') digits += c;
      const size_t first = digits.find_first_not_of('0');
      const size_t significant = first == std::string::npos ? 0 : digits.size() - first;
      if (significant > 4 && (frac >= text.size() || (text[frac] != 'e' && text[frac] != 'E'))) {
        out += FigureNumber(std::strtod(number.c_str(), nullptr));
      } else {
        out += number;
      }
      i = frac;
    } else {
      out.append(text, i, end - i);
      i = end;
    }
  }
  return out;
}

}  // namespace vireltan
