// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Turning the bytes of a text file into UTF-8 text, or refusing them.
#include <string>
#include <string_view>

#include "common/status.h"

namespace vireltan {

// Sets `text` to the content of `bytes` as UTF-8 without a byte order mark.
// UTF-8 (with or without mark) is taken as it is; UTF-16 with a mark (what
// spreadsheets save as "Unicode text") is converted. NUL characters, which
// only binary files hold, and malformed sequences, which text in a legacy
// code page gives, are errors naming `sourceName` and the line.
Status DecodeText(std::string_view bytes, const std::string& sourceName, std::string& text);

}  // namespace vireltan
