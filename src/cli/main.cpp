// SPDX-License-Identifier: GPL-3.0-or-later
// vireltan-cli: the batch twin of the Vireltan window.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"

namespace {

// The progress sink of the running batch, for the Ctrl+C handler. A signal
// handler can reach nothing but globals; this one is set once by the run
// and only read by the handler (a lock-free atomic, safe in a handler).
std::atomic<vireltan::ProgressSink*> interruptTarget{nullptr};

extern "C" void OnInterrupt(int) {
  if (vireltan::ProgressSink* sink = interruptTarget.load()) sink->RequestCancel();
}

// Ctrl+C asks the running command to stop (it then writes nothing and the
// run exits with status 130). The handler is reset after the first one, so
// a second Ctrl+C ends the program at once.
void ConnectInterrupt(vireltan::ProgressSink* sink) {
  interruptTarget.store(sink);
  struct sigaction action = {};
  action.sa_handler = sink ? OnInterrupt : SIG_DFL;
  sigemptyset(&action.sa_mask);
  action.sa_flags = sink ? SA_RESETHAND : 0;
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  static_assert(std::atomic<vireltan::ProgressSink*>::is_always_lock_free);
  std::vector<std::string> args(argv + 1, argv + argc);
  vireltan::cli::Environment environment;
  environment.errIsTerminal = isatty(STDERR_FILENO) == 1;
  environment.connectInterrupt = ConnectInterrupt;
  return vireltan::cli::Run(args, std::cout, std::cerr, environment);
}
