// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Quoting what the user's file holds inside a message. A bad cell may be
// megabytes long (a whole file pasted into one cell); a message quotes
// enough of it to find it again and says how long it is, so that a message
// line stays readable and the window's dialog stays quick. A file may also
// hold control characters: printed raw, an escape sequence would set a
// terminal's title or colours, so they are shown escaped.
#include <cstddef>
#include <string>
#include <string_view>

namespace vireltan {

// Characters of a cell quoted in full; longer texts are cut there.
inline constexpr std::size_t kQuotedCharacters = 40;

// `text` in double quotes when it has at most kQuotedCharacters characters
// (UTF-8 characters, not bytes); else its first kQuotedCharacters characters,
// then "…", the closing quote and its length: "ABC…" (10485760 characters).
// Control characters inside are escaped as below (line breaks too: a
// quoted text stays on one line).
std::string QuoteForMessage(std::string_view text);

// Characters of a file path quoted in full; a longer path keeps its file
// name whole and shortens the folder part from the left: "…/data/run 3/a.vcf".
inline constexpr std::size_t kQuotedPathCharacters = 80;
// A file name longer than this is cut too (no file system allows one).
inline constexpr std::size_t kLongestFileName = 255;

// `path` in double quotes, control characters escaped as below; when it
// has more than kQuotedPathCharacters characters, the folder part keeps its
// last characters after "…" (the file name is always shown whole, as it is
// what the user looks for), unless it is longer than kLongestFileName.
std::string QuotePathForMessage(std::string_view path);

// `text` safe to print on a terminal or show in a dialog: C0 control
// characters (but line feed and tab unless `keepLineBreaks` is false),
// DEL, the C1 controls U+0080..U+009F and bytes that are not UTF-8 are
// written as "\xNN" (ESC becomes "\x1b"); everything else is kept as is.
std::string EscapeControlCharacters(std::string_view text, bool keepLineBreaks = true);

}  // namespace vireltan
