// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Quoting what the user's file holds inside a message. A bad cell may be
// megabytes long (a whole file pasted into one cell); a message quotes
// enough of it to find it again and says how long it is, so that a message
// line stays readable and the window's dialog stays quick.
#include <cstddef>
#include <string>
#include <string_view>

namespace vireltan {

// Characters of a cell quoted in full; longer texts are cut there.
inline constexpr std::size_t kQuotedCharacters = 40;

// `text` in double quotes when it has at most kQuotedCharacters characters
// (UTF-8 characters, not bytes); else its first kQuotedCharacters characters,
// then "…", the closing quote and its length: "ABC…" (10485760 characters).
std::string QuoteForMessage(std::string_view text);

}  // namespace vireltan
