// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Spreads independent work items (permutations, replicates) over the cores.
//
// Items 0..count-1 are handed out in chunks to worker threads; `work(begin,
// end)` must only touch state owned by items begin..end-1 (each item writes
// its own slot of a result array and draws from its own random stream, so
// the outcome does not depend on the number of threads). Progress is
// reported in percent from the calling thread's view of completed items, and
// the cancel flag is polled between chunks: when it is set the remaining
// chunks are skipped and the function returns false.
#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "common/progress_sink.h"

namespace vireltan {

inline bool ParallelFor(int count, const std::function<void(int, int)>& work,
                        ProgressSink* progress = nullptr, int chunk = 0) {
  if (count <= 0) return !(progress && progress->Cancelled());
  unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
  int threads = static_cast<int>(std::min<unsigned>(hardware, static_cast<unsigned>(count)));
  // About 20 chunks per thread balance the load; at most kMaxChunk items
  // keep each chunk short, so that progress moves and a cancel (Cancel in
  // the window, Ctrl+C on the command line) is honoured within moments even
  // for a hundred million permutations.
  constexpr int kMaxChunk = 256;
  if (chunk <= 0) chunk = std::clamp(count / (threads * 20), 1, kMaxChunk);
  std::atomic<int> next{0};
  std::atomic<int> done{0};
  std::atomic<bool> stopped{false};
  auto worker = [&] {
    for (;;) {
      if (progress && progress->Cancelled()) {
        stopped = true;
        return;
      }
      int begin = next.fetch_add(chunk);
      if (begin >= count) return;
      int end = std::min(count, begin + chunk);
      work(begin, end);
      done.fetch_add(end - begin);
    }
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
  // The calling thread works too and, between its chunks, reports progress.
  for (;;) {
    if (progress) {
      if (progress->Cancelled()) {
        stopped = true;
        break;
      }
      progress->SetPosition(static_cast<int>(100.0 * done.load() / count));
    }
    int begin = next.fetch_add(chunk);
    if (begin >= count) break;
    int end = std::min(count, begin + chunk);
    work(begin, end);
    done.fetch_add(end - begin);
  }
  for (auto& t : pool) t.join();
  if (progress && !stopped) progress->SetPosition(100);
  return !stopped && !(progress && progress->Cancelled());
}

}  // namespace vireltan
