// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the command line: opens the data file, then the listed commands in
// order. Exit status 0 on success, 1 when a command failed, 2 for a usage
// error (nothing is run then), 130 when interrupted (Ctrl+C).
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "common/progress_sink.h"

namespace vireltan::cli {

// The exit status of a run stopped by Ctrl+C: 128 + SIGINT, as shells
// report a program killed by it, so that scripts can tell it apart.
inline constexpr int kExitInterrupted = 130;

// What main() knows of the program's surroundings.
struct Environment {
  // Standard error is a terminal: long commands show a progress line there
  // (unless --quiet is given).
  bool errIsTerminal = false;
  // Called with the run's progress sink before the data file is opened and
  // with nullptr once the run is over: main() points its Ctrl+C handler at
  // it, whose cancel request then stops the running command cleanly.
  std::function<void(ProgressSink*)> connectInterrupt;
};

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Environment& environment);
// The same without a terminal and without Ctrl+C handling (for tests).
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string UsageText();

}  // namespace vireltan::cli
