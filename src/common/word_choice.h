// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading a command-line word that names one of an option's values: each
// value's word is given once, by its Name function, and parsing compares
// against those words, so the two never disagree.
#include <initializer_list>
#include <string>

namespace vireltan {

// Sets `value` to the one of `values` whose name(value) is `word`; false,
// and `value` untouched, when none is.
template <typename Value>
bool ParseByName(const std::string& word, std::initializer_list<Value> values,
                 const char* (*name)(Value), Value& value) {
  for (Value v : values) {
    if (word == name(v)) {
      value = v;
      return true;
    }
  }
  return false;
}

}  // namespace vireltan
