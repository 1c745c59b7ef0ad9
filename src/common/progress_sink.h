// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Long commands report progress in percent (0..100) and poll for
// cancellation between chunks of work. The front end sets the cancel flag
// from another thread, hence the atomic.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <iterator>

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
  bool Cancelled() const {
    return cancel_.load(std::memory_order_relaxed) || (outerOf_ && outerOf_->Cancelled());
  }

 protected:
  // A sink reporting part of another's progress is cancelled with it.
  void CancelledWith(const ProgressSink& outer) { outerOf_ = &outer; }

 private:
  std::atomic<bool> cancel_{false};
  const ProgressSink* outerOf_ = nullptr;
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

// One phase of a command that runs several (a summary, then a test per
// population), seen as the slice [from, to] of the command's 0..100: each
// phase reports 0..100 of its own, the bar moves forward through the
// slices and never back. A cancel of the command stops the phase too.
class ProgressRange : public ProgressSink {
 public:
  ProgressRange(ProgressSink& outer, int from, int to) : outer_(outer), from_(from), to_(to) {
    CancelledWith(outer);
  }
  // The k-th (0-based) of phases whose weights are `weights` (work in any
  // unit, e.g. units tested), laid end to end over [from, to].
  template <typename Weights>
  static ProgressRange Share(ProgressSink& outer, std::size_t k, const Weights& weights,
                             int from = 0, int to = 100) {
    double total = 0, before = 0;
    std::size_t i = 0;
    for (const auto& w : weights) {
      total += static_cast<double>(w);
      if (i++ < k) before += static_cast<double>(w);
    }
    const double own = k < i ? static_cast<double>(*std::next(std::begin(weights), k)) : 0;
    if (total <= 0) return ProgressRange(outer, to, to);
    return ProgressRange(outer, from + static_cast<int>((to - from) * before / total),
                         from + static_cast<int>((to - from) * (before + own) / total));
  }
  // The panel belongs to the command: a phase neither shows nor hides it.
  void Begin() override {}
  void End() override {}
  void SetPosition(int percent) override {
    outer_.SetPosition(from_ + (to_ - from_) * std::clamp(percent, 0, 100) / 100);
  }

 private:
  ProgressSink& outer_;
  int from_, to_;
};

// A sink that shows nothing and is never cancelled unless asked to.
class NullProgressSink : public ProgressSink {};

}  // namespace vireltan
