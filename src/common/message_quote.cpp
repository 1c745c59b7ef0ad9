// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/message_quote.h"

namespace vireltan {

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
  if (characters <= kQuotedCharacters) return "\"" + std::string(text) + "\"";
  return "\"" + std::string(text.substr(0, cut)) + "\xE2\x80\xA6\" (" + std::to_string(characters) +
         " characters)";
}

}  // namespace vireltan
