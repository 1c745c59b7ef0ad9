// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/file_name_tag.h"

namespace vireltan {

std::string UniqueFileNameTag(const std::string& name, std::set<std::string>& used) {
  std::string base;
  for (char c : name) {
    if (base.size() == kFileNameTagChars) break;
    const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_';
    base += kept ? c : '_';
  }
  if (base.empty()) base = "_";
  std::string tag = base;
  for (int n = 2; used.count(tag) > 0; ++n) tag = base + "-" + std::to_string(n);
  used.insert(tag);
  return tag;
}

}  // namespace vireltan
