// SPDX-License-Identifier: GPL-3.0-or-later
// vireltan-cli: the batch twin of the Vireltan window.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "sheet/atomic_file.h"

namespace {

// The progress sink of the running batch, for the signal handler. A signal
// handler can reach nothing but globals; this one is set by the run and
// only read by the handler (a lock-free atomic, safe in a handler).
std::atomic<vireltan::ProgressSink*> interruptTarget{nullptr};
std::atomic<bool> interrupted{false};

// Ctrl+C (SIGINT) and SIGTERM ask the running command to stop: it then
// removes its temporary file, writes nothing, and the run exits with status
// 130. A second signal, or one between commands, removes the temporary
// files being written and ends the program at once, as the signal would.
extern "C" void OnInterrupt(int signalNumber) {
  vireltan::ProgressSink* sink = interruptTarget.load();
  if (sink != nullptr && !interrupted.exchange(true)) {
    sink->RequestCancel();
    return;
  }
  vireltan::RemoveTemporaryFilesNow();
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

void ConnectInterrupt(vireltan::ProgressSink* sink) {
  interruptTarget.store(sink);
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  static_assert(std::atomic<vireltan::ProgressSink*>::is_always_lock_free);
  static_assert(std::atomic<bool>::is_always_lock_free);
  ConnectInterrupt(nullptr);
  std::vector<std::string> args(argv + 1, argv + argc);
  vireltan::cli::Environment environment;
  environment.errIsTerminal = isatty(STDERR_FILENO) == 1;
  environment.connectInterrupt = ConnectInterrupt;
  return vireltan::cli::Run(args, std::cout, std::cerr, environment);
}
