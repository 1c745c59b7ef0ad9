// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every notice, warning and error the program gives the user goes through
// this interface: the window shows a modal message box, the command line
// prints a line on standard error, tests record the texts.
#include <string>
#include <vector>

#include "common/message_quote.h"

namespace vireltan {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows `text` exactly as given (leading "!!" and trailing blanks kept) and
  // returns once the user has acknowledged it.
  virtual void Show(const std::string& text) = 0;
  // A notice that needs no acknowledgement ("permutations done"): the
  // window puts it in its status bar; by default it is shown as any other.
  virtual void Note(const std::string& text) { Show(text); }
  // A command that failed: the window shows it with the error icon.
  virtual void Error(const std::string& text) { Show(text); }
};

// Passes every text on to another sink with its control characters
// escaped: a file's cell or locus name quoted in a message can then never
// drive the terminal or the dialog (see EscapeControlCharacters).
class EscapingMessageSink : public MessageSink {
 public:
  explicit EscapingMessageSink(MessageSink& inner) : inner_(inner) {}
  void Show(const std::string& text) override { inner_.Show(EscapeControlCharacters(text)); }
  void Note(const std::string& text) override { inner_.Note(EscapeControlCharacters(text)); }
  void Error(const std::string& text) override { inner_.Error(EscapeControlCharacters(text)); }

 private:
  MessageSink& inner_;
};

// Keeps the texts; used by tests and by batch runs that report later.
class RecordingMessageSink : public MessageSink {
 public:
  void Show(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

// Swallows everything (for benchmarks).
class SilentMessageSink : public MessageSink {
 public:
  void Show(const std::string&) override {}
};

}  // namespace vireltan
