// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Long commands report progress in percent (0..100) and poll for
// cancellation between chunks of work. The front end sets the cancel flag
// from another thread, hence the atomic.
#include <atomic>

namespace vireltan {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // Shows the progress panel (the "In Progress" box).
  virtual void Begin() {}
  // percent in 0..100.
  virtual void SetPosition(int /*percent*/) {}
  // Hides the progress panel.
  virtual void End() {}

  void RequestCancel() { cancel_.store(true); }
  void ResetCancel() { cancel_.store(false); }
  bool Cancelled() const { return cancel_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> cancel_{false};
};

// Shows the progress panel for the life of a command's computation and
// hides it again on every way out (success, failure, cancel).
class ProgressPanel {
 public:
  explicit ProgressPanel(ProgressSink& sink) : sink_(sink) {
    sink_.Begin();
    sink_.SetPosition(0);
  }
  ~ProgressPanel() { sink_.End(); }
  ProgressPanel(const ProgressPanel&) = delete;
  ProgressPanel& operator=(const ProgressPanel&) = delete;

 private:
  ProgressSink& sink_;
};

// A sink that shows nothing and is never cancelled unless asked to.
class NullProgressSink : public ProgressSink {};

}  // namespace vireltan
