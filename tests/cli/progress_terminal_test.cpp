// SPDX-License-Identifier: GPL-3.0-or-later
// The progress line and Ctrl+C, tried on the real program: under a
// pseudo-terminal (as in a terminal window) and with standard error in a
// pipe (as in a script). Ctrl+C is typed on the terminal, so the terminal
// driver itself sends SIGINT, as it does for a user.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "support/sheet_builder.h"

namespace vireltan {
namespace {

struct Child {
  pid_t pid = -1;
  int fd = -1;  // the terminal's master side, or the pipe's read end
};

Child Spawn(std::vector<std::string> args, bool terminal) {
  args.insert(args.begin(), VIRELTAN_CLI_PATH);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Child child;
  int fds[2] = {-1, -1};
  if (terminal) {
    child.pid = forkpty(&child.fd, nullptr, nullptr, nullptr);
  } else if (pipe(fds) == 0) {
    child.pid = fork();
    child.fd = fds[0];
  }
  if (child.pid == 0) {
    if (!terminal) dup2(fds[1], STDERR_FILENO), dup2(fds[1], STDOUT_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (!terminal) close(fds[1]);
  return child;
}

// Reads what the child writes until `until` appears or `seconds` pass.
void ReadFor(int fd, std::string& text, double seconds, const std::string& until = "\x01") {
  for (int waited = 0; waited < seconds * 10 && text.find(until) == std::string::npos;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) {
      ++waited;
      continue;
    }
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return;
    text.append(buffer, n);
  }
}

// Waits for the child's exit (killing it after 60 s) and returns its status.
int Finish(Child child, std::string& text) {
  int status = 0;
  for (int i = 0; i < 600 && waitpid(child.pid, &status, WNOHANG) == 0; ++i)
    ReadFor(child.fd, text, 0.1);
  if (waitpid(child.pid, &status, WNOHANG) == 0)
    kill(child.pid, SIGKILL), waitpid(child.pid, &status, 0);
  ReadFor(child.fd, text, 0.2);
  close(child.fd);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ProgressTerminal : public ::testing::Test {
 protected:
  testing::TempDir dir;
  std::vector<std::string> args;
  void SetUp() override {
    std::filesystem::copy_file(std::string(VIRELTAN_TEST_DATA_DIR) + "/pramorum_curry.txt",
                               dir.file("curry.txt"));
    // Far longer than any test waits: it only ends by Ctrl+C.
    args = {"--seed=1", dir.file("curry.txt"), "aggregation", "--permutations=100000000"};
  }
  // Only the data file and the results log of Open: no workbook, no
  // temporary file left by the interrupted run; besides them, the logs of
  // `earlierRuns` earlier runs, each kept under a dated name
  // (curry.outvireltan.YYYY-MM-DD_HH-MM-SS[-n].txt).
  void ExpectOnlyTheLogWritten(int earlierRuns = 0) {
    std::set<std::string> names;
    int dated = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("curry.outvireltan.20", 0) == 0 && name.ends_with(".txt")) {
        ++dated;
        EXPECT_NE(testing::ReadWholeFile(entry.path()).find("curry"), std::string::npos) << name;
        continue;
      }
      names.insert(name);
    }
    EXPECT_EQ(names, (std::set<std::string>{"curry.txt", "curry.outvireltan.txt"}));
    EXPECT_EQ(dated, earlierRuns);
  }
};

TEST_F(ProgressTerminal, LineUnderATerminalAndCtrlCStopsCleanly) {
  Child child = Spawn(args, true);
  if (child.pid < 0) GTEST_SKIP() << "no pseudo-terminal on this machine";
  std::string text;
  ReadFor(child.fd, text, 60, "elapsed");
  EXPECT_NE(text.find("\raggregation  0%  0:0"), std::string::npos) << text;
  ASSERT_EQ(write(child.fd, "\x03", 1), 1);
  EXPECT_EQ(Finish(child, text), 130) << text;
  EXPECT_NE(text.find("interrupted"), std::string::npos) << text;
  ExpectOnlyTheLogWritten();
}

TEST_F(ProgressTerminal, NothingInAPipeOrWithQuiet) {
  int runs = 0;
  for (bool terminal : {false, true}) {
    if (terminal) args.insert(args.begin(), "--quiet");
    Child child = Spawn(args, terminal);
    std::string text;
    ReadFor(child.fd, text, 1.5);  // several refresh intervals into the run
    if (terminal)
      ASSERT_EQ(write(child.fd, "\x03", 1), 1);
    else
      kill(child.pid, SIGINT);
    EXPECT_EQ(Finish(child, text), 130) << text;
    EXPECT_EQ(text.find("elapsed"), std::string::npos) << text;
    // The second run keeps the first run's log.
    ExpectOnlyTheLogWritten(runs++);
  }
}

// SIGTERM (a logout, a job scheduler's time limit, kill) stops the run as
// Ctrl+C does: nothing half-written, no temporary file, status 130.
TEST_F(ProgressTerminal, SigtermStopsCleanlyLikeCtrlC) {
  Child child = Spawn(args, false);
  std::string text;
  ReadFor(child.fd, text, 1.5);
  kill(child.pid, SIGTERM);
  EXPECT_EQ(Finish(child, text), 130) << text;
  EXPECT_NE(text.find("interrupted"), std::string::npos) << text;
  ExpectOnlyTheLogWritten();
}

}  // namespace
}  // namespace vireltan
