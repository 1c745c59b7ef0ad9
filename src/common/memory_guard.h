// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Refusing, up front, a command whose memory grows with N² when the
// computer cannot give it that much: a clear message with the estimate and
// the largest dataset that would fit, instead of the system ending the
// program halfway.
#include <functional>
#include <string>

#include "common/status.h"

namespace vireltan {

// What this process may still allocate, in bytes, and which limit binds:
// the least of the memory the system can give without swapping
// (MemAvailable of /proc/meminfo), the process's address-space and
// data-segment limits (getrlimit RLIMIT_AS, RLIMIT_DATA, as batch systems
// and `ulimit -v` set them) less what it uses, and its control group's
// memory limit (cgroup v2 memory.max less memory.current, v1
// memory.limit_in_bytes less memory.usage_in_bytes). 0 bytes when nothing
// is known (the guard then lets all pass).
struct MemoryBudget {
  double bytes = 0;
  bool known = false;  // some source gave a figure
  // The binding limit in words ("the process's address-space limit
  // (ulimit -v)"); empty when it is the computer's available memory.
  std::string limit;
};
MemoryBudget AvailableMemory();
double AvailableMemoryBytes();

// Bytes in GB with one decimal, "." as the separator whatever the locale.
std::string Gigabytes(double bytes);

// Ok when `estimate(n)` bytes fit in `available` (or `available` is 0);
// else an error: "<what> needs about X GB of memory for N sampling units,
// more than the Y GB available now; it could handle about M." M is the
// largest n' < n with estimate(n') within reach (estimate must grow with n).
Status CheckMemory(const std::string& what, int n, const std::function<double(int)>& estimate,
                   double available);
Status CheckMemory(const std::string& what, int n, const std::function<double(int)>& estimate,
                   const MemoryBudget& budget);

// Runs `command`, turning an allocation failure anywhere in it into a clear
// error instead of the end of the program. Commands write their files only
// once everything is computed, so nothing is written then.
Status CatchingAllocationFailure(const std::function<Status()>& command);

}  // namespace vireltan
