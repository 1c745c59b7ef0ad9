// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Errors are values: a command or reader returns a Status that either says
// "ok" or carries a message written for the user (naming the file, row and
// column where input is at fault).
#include <string>
#include <utility>

namespace vireltan {

class Status {
 public:
  Status() = default;  // ok
  static Status Ok() { return Status(); }
  static Status Error(std::string message) {
    Status s;
    s.ok_ = false;
    s.message_ = std::move(message);
    return s;
  }
  // The user cancelled a long command; nothing was written.
  static Status Cancelled() {
    Status s = Error("cancelled");
    s.cancelled_ = true;
    return s;
  }
  bool ok() const { return ok_; }
  bool cancelled() const { return cancelled_; }
  explicit operator bool() const { return ok_; }
  const std::string& message() const { return message_; }

 private:
  bool ok_ = true;
  bool cancelled_ = false;
  std::string message_;
};

}  // namespace vireltan
