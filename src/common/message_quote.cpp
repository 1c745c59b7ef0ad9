// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/message_quote.h"

namespace vireltan {

namespace {

void AppendEscapedByte(std::string& out, unsigned char byte) {
  static const char kHex[] = "0123456789abcdef";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

// Length of the well-formed UTF-8 sequence starting at `text[i]` (1..4),
// or 0 when the bytes there are not one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  std::size_t length = 0;
  unsigned int lowest = 0;  // smallest code point of that length (no overlong forms)
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0)
    length = 2, lowest = 0x80;
  else if ((lead & 0xF0) == 0xE0)
    length = 3, lowest = 0x800;
  else if ((lead & 0xF8) == 0xF0)
    length = 4, lowest = 0x10000;
  else
    return 0;
  if (i + length > text.size()) return 0;
  unsigned int code = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

// UTF-8 characters of `text` (lead bytes counted).
std::size_t CharacterCount(std::string_view text) {
  std::size_t characters = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
  return characters;
}

}  // namespace

std::string EscapeControlCharacters(std::string_view text, bool keepLineBreaks) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      AppendEscapedByte(out, byte);
      ++i;
      continue;
    }
    if (length == 1) {
      const bool lineBreak = byte == '\n' || byte == '\t';
      if ((byte < 0x20 && !(keepLineBreaks && lineBreak)) || byte == 0x7F) {
        AppendEscapedByte(out, byte);
      } else {
        out += static_cast<char>(byte);
      }
      ++i;
      continue;
    }
    // U+0080..U+009F (C2 80..C2 9F): the C1 controls, CSI among them.
    if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      AppendEscapedByte(out, byte);
      AppendEscapedByte(out, static_cast<unsigned char>(text[i + 1]));
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

namespace {

// The first `limit` characters of `text`, escaped, and whether it is cut.
std::string EscapedHead(std::string_view text, std::size_t limit, bool& cut) {
  std::size_t characters = 0;
  std::size_t end = text.size();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (characters == limit) {
      end = i;
      break;
    }
    ++characters;
  }
  cut = end < text.size();
  return EscapeControlCharacters(text.substr(0, end), false);
}

}  // namespace

std::string QuoteForMessage(std::string_view text) {
  // Count characters by their lead bytes; a cut falls before a lead byte,
  // so a multi-byte character is never split.
  std::size_t characters = 0;
  std::size_t cut = text.size();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (characters == kQuotedCharacters && cut == text.size()) cut = i;
    ++characters;
  }
  if (characters <= kQuotedCharacters) return "\"" + EscapeControlCharacters(text, false) + "\"";
  return "\"" + EscapeControlCharacters(text.substr(0, cut), false) + "\xE2\x80\xA6\" (" +
         std::to_string(characters) + " characters)";
}

std::string QuotePathForMessage(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::string_view folder =
      slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
  const std::size_t nameCharacters = CharacterCount(name);
  const std::size_t folderCharacters = CharacterCount(folder);
  if (folderCharacters + nameCharacters <= kQuotedPathCharacters)
    return "\"" + EscapeControlCharacters(path, false) + "\"";
  // No file system has names this long: such a text is no real name.
  if (nameCharacters > kLongestFileName) {
    bool cut = false;
    const std::string head = EscapedHead(name, kLongestFileName, cut);
    return "\"\xE2\x80\xA6/" + head + "\xE2\x80\xA6\" (a file name of " +
           std::to_string(nameCharacters) + " characters)";
  }
  // Keep the folder's last characters, cut before a lead byte.
  const std::size_t keep =
      nameCharacters >= kQuotedPathCharacters ? 0 : kQuotedPathCharacters - nameCharacters;
  std::size_t start = folder.size();
  std::size_t kept = 0;
  while (start > 0 && kept < keep) {
    --start;
    if ((static_cast<unsigned char>(folder[start]) & 0xC0) != 0x80) ++kept;
  }
  // Start the kept part at a folder boundary when one is near.
  const std::size_t boundary = folder.find('/', start);
  if (boundary != std::string_view::npos && boundary + 1 < folder.size()) start = boundary;
  if (keep == 0) start = folder.size() - 1;  // "…/name"
  return "\"\xE2\x80\xA6" + EscapeControlCharacters(folder.substr(start), false) +
         EscapeControlCharacters(name, false) + "\"";
}

}  // namespace vireltan
