// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/terminal_progress.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace vireltan::cli {

namespace {

// A command shorter than this shows no line at all (no flicker for the
// many quick ones); the line is then redrawn at this interval.
constexpr auto kRefreshInterval = std::chrono::milliseconds(200);

}  // namespace

TerminalProgress::TerminalProgress(std::ostream& err, bool showLine)
    : err_(err), showLine_(showLine) {
  if (showLine_) ticker_ = std::thread([this] { Refresh(); });
}

TerminalProgress::~TerminalProgress() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    WipeLocked();
  }
  wake_.notify_all();
  if (ticker_.joinable()) ticker_.join();
}

void TerminalProgress::StartCommand(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  command_ = name;
  started_ = std::chrono::steady_clock::now();
  percent_.store(-1);
}

void TerminalProgress::FinishCommand() {
  std::lock_guard<std::mutex> lock(mutex_);
  command_.clear();
  WipeLocked();
}

void TerminalProgress::Print(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  WipeLocked();
  err_ << text << '\n' << std::flush;
}

std::string TerminalProgress::LineText(const std::string& name, int percent,
                                       std::chrono::steady_clock::duration elapsed) {
  const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  char clock[32];
  if (seconds >= 3600)
    std::snprintf(clock, sizeof clock, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
  else
    std::snprintf(clock, sizeof clock, "%lld:%02lld", seconds / 60, seconds % 60);
  std::string line = name + "  ";
  if (percent >= 0) line += std::to_string(percent > 100 ? 100 : percent) + "%  ";
  return line + clock + " elapsed";
}

void TerminalProgress::Refresh() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, kRefreshInterval, [this] { return stopping_; })) {
    if (command_.empty()) continue;
    const auto elapsed = std::chrono::steady_clock::now() - started_;
    if (elapsed < kRefreshInterval) continue;
    std::string line = LineText(command_, percent_.load(), elapsed);
    if (shownWidth_ != 0 && line == shownLine_) continue;  // nothing new to show
    shownLine_ = line;
    const std::size_t width = line.size();
    // Blanks over what is left of a longer previous line; the carriage
    // return brings the cursor back so that the next draw overwrites it.
    if (width < shownWidth_) line.append(shownWidth_ - width, ' ');
    err_ << '\r' << line << std::flush;
    shownWidth_ = std::max(shownWidth_, width);
  }
}

void TerminalProgress::WipeLocked() {
  if (shownWidth_ == 0) return;
  err_ << '\r' << std::string(shownWidth_, ' ') << '\r' << std::flush;
  shownWidth_ = 0;
}

}  // namespace vireltan::cli
