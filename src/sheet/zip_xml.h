// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading XML parts out of a zip archive (the container of xlsx workbooks),
// streamed through expat so that a large worksheet is never held whole.
#include <functional>
#include <string>
#include <string_view>

#include "common/status.h"

struct zip;

namespace vireltan {

// Receives the elements of one XML part. Names come without their namespace
// prefix ("row", not "x:row"), since generators choose prefixes freely.
class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  // `attributes` is expat's null-terminated list of name, value, ... with
  // names likewise stripped of their namespace.
  virtual void StartElement(std::string_view name, const char** attributes) = 0;
  virtual void EndElement(std::string_view name) = 0;
  virtual void CharacterData(std::string_view text) = 0;
};

// The value of attribute `name` (compared without namespace), or nullptr.
const char* FindAttribute(const char** attributes, std::string_view name);

// An open zip archive, read only.
class ZipArchive {
 public:
  ZipArchive() = default;
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  // On failure the message says why (without the file name).
  Status Open(const std::string& path);
  bool Contains(const std::string& entry) const;
  // Feeds part `entry` to `handler`; the error says which part is at fault.
  // `stop`, when given, is asked between blocks of input: once it says true
  // the rest of the part is skipped (the handler has its own reason).
  Status ParseXml(const std::string& entry, XmlHandler& handler,
                  const std::function<bool()>& stop = {}) const;

 private:
  // Index of `entry`, matched exactly or else ignoring case; -1 if absent.
  long long Locate(const std::string& entry) const;

  struct zip* archive_ = nullptr;
};

}  // namespace vireltan
