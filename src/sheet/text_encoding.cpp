// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/text_encoding.h"

namespace vireltan {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

Status BinaryError(const std::string& sourceName, int line) {
  return Status::Error("Cannot read \"" + sourceName + "\": line " + std::to_string(line) +
                       " holds binary data; this is not a text table.");
}

Status EncodingError(const std::string& sourceName, int line, const char* encoding) {
  return Status::Error("Cannot read \"" + sourceName + "\": line " + std::to_string(line) +
                       " is not " + encoding + " text; save the table as UTF-8 and try again.");
}

// Counts lines the way the table reader splits them: LF, CRLF or a lone CR.
class LineCounter {
 public:
  void See(unsigned code) {
    if (code == '\n' && previous_ != '\r') ++line_;
    if (code == '\r') ++line_;
    previous_ = code;
  }
  int line() const { return line_; }

 private:
  int line_ = 1;
  unsigned previous_ = 0;
};

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Length of the UTF-8 sequence starting at text[i], or 0 if it is malformed
// (overlong forms, surrogates and values above U+10FFFF included).
size_t Utf8SequenceLength(std::string_view text, size_t i) {
  auto byte = [&](size_t k) -> unsigned char {
    return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
  };
  unsigned char c = byte(0);
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return IsContinuation(byte(1)) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    unsigned char lo = c == 0xE0 ? 0xA0 : 0x80;
    unsigned char hi = c == 0xED ? 0x9F : 0xBF;
    bool ok = byte(1) >= lo && byte(1) <= hi && IsContinuation(byte(2));
    return ok ? 3 : 0;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    unsigned char lo = c == 0xF0 ? 0x90 : 0x80;
    unsigned char hi = c == 0xF4 ? 0x8F : 0xBF;
    bool ok = byte(1) >= lo && byte(1) <= hi && IsContinuation(byte(2)) && IsContinuation(byte(3));
    return ok ? 4 : 0;
  }
  return 0;
}

Status CheckUtf8(std::string_view text, const std::string& sourceName) {
  LineCounter lines;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '\0') return BinaryError(sourceName, lines.line());
    size_t length = Utf8SequenceLength(text, i);
    if (length == 0) return EncodingError(sourceName, lines.line(), "UTF-8");
    lines.See(static_cast<unsigned char>(text[i]));
    i += length;
  }
  return Status::Ok();
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

Status ConvertUtf16(std::string_view bytes, bool bigEndian, const std::string& sourceName,
                    std::string& text) {
  text.clear();
  text.reserve(bytes.size() / 2 + bytes.size() / 8);
  LineCounter lines;
  auto unitAt = [&](size_t i) -> unsigned {
    unsigned a = static_cast<unsigned char>(bytes[i]);
    unsigned b = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (a << 8) | b : (b << 8) | a;
  };
  size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    unsigned code = unitAt(i);
    if (code == 0) return BinaryError(sourceName, lines.line());
    if (code >= 0xDC00 && code <= 0xDFFF) return EncodingError(sourceName, lines.line(), "UTF-16");
    if (code >= 0xD800 && code <= 0xDBFF) {
      unsigned low = i + 3 < bytes.size() ? unitAt(i + 2) : 0;
      if (low < 0xDC00 || low > 0xDFFF) return EncodingError(sourceName, lines.line(), "UTF-16");
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    lines.See(code);
    AppendUtf8(text, code);
  }
  if (i < bytes.size()) return EncodingError(sourceName, lines.line(), "UTF-16");
  return Status::Ok();
}

}  // namespace

Status DecodeText(std::string_view bytes, const std::string& sourceName, std::string& text) {
  if (bytes.substr(0, 2) == kUtf16LeBom) {
    return ConvertUtf16(bytes.substr(2), false, sourceName, text);
  }
  if (bytes.substr(0, 2) == kUtf16BeBom) {
    return ConvertUtf16(bytes.substr(2), true, sourceName, text);
  }
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
  Status status = CheckUtf8(bytes, sourceName);
  if (status.ok()) {
    text.assign(bytes);
  } else {
    text.clear();
  }
  return status;
}

}  // namespace vireltan
