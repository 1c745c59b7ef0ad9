// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line's progress line. While a command runs for more than a
// moment and standard error is a terminal, one line shows the command's
// name, its percentage (when the command reports one) and the time elapsed,
// rewritten in place a few times a second; it is wiped when the command
// ends. Messages pass through here too, so that a message never lands in
// the middle of the line. When standard error is not a terminal (a pipe, a
// log file) or --quiet was given, nothing but the messages is written.
//
// The cancel flag inherited from ProgressSink is what Ctrl+C sets: the
// running command stops at its next check and writes nothing.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iosfwd>
#include <mutex>
#include <string>
#include <thread>

#include "common/progress_sink.h"

namespace vireltan::cli {

class TerminalProgress : public ProgressSink {
 public:
  // `showLine`: draw the progress line (standard error is a terminal and
  // --quiet was not given).
  TerminalProgress(std::ostream& err, bool showLine);
  ~TerminalProgress() override;
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  // A command starts (its command-line name, "open" for loading the data
  // file) or ends; the end wipes the line.
  void StartCommand(const std::string& name);
  void FinishCommand();

  void Begin() override { percent_.store(0); }
  void SetPosition(int percent) override { percent_.store(percent); }

  // Writes one message line on the stream, wiping the progress line first
  // (the next refresh draws it again below the message).
  void Print(const std::string& text);

  // The line as drawn for `name` after `elapsed`, percent < 0 meaning none
  // reported: "resample-loci  42%  0:07 elapsed".
  static std::string LineText(const std::string& name, int percent,
                              std::chrono::steady_clock::duration elapsed);

 private:
  void Refresh();  // the ticker thread's loop
  void WipeLocked();

  std::ostream& err_;
  const bool showLine_;
  std::mutex mutex_;  // guards everything below and every write to err_
  std::condition_variable wake_;
  bool stopping_ = false;
  std::string command_;  // the running command, "" between commands
  std::chrono::steady_clock::time_point started_;
  std::size_t shownWidth_ = 0;  // characters of the line now on screen
  std::string shownLine_;       // its text
  std::atomic<int> percent_{-1};
  std::thread ticker_;  // started last, only when the line is shown
};

}  // namespace vireltan::cli
