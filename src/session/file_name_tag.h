// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Parts of output file names made from names in the user's data (a
// population's name in "<data>.ia.<population>.svg"). A data file may name
// a population anything: a slash, a control character or a megabyte of
// text must give a short, harmless and distinct file name.
#include <cstddef>
#include <set>
#include <string>

namespace vireltan {

// Characters of a name kept in a file name.
inline constexpr std::size_t kFileNameTagChars = 40;

// `name` kept to ASCII letters, digits, '-' and '_' (anything else becomes
// '_'), cut to kFileNameTagChars; "_" for an empty name. When the result is
// already in `used` (two names alike once cleaned, such as "a b" and
// "a_b"), "-2", "-3", ... is added until it is not; the tag returned is
// added to `used`.
std::string UniqueFileNameTag(const std::string& name, std::set<std::string>& used);

}  // namespace vireltan
