// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/memory_guard.h"

#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <new>
#include <sstream>
#include <stdexcept>

namespace vireltan {

namespace {

// The value after `key` in a /proc file of "key: value kB" lines, in bytes;
// -1 when absent.
double ProcKilobytes(const char* path, const std::string& key) {
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    if (line.rfind(key, 0) != 0) continue;
    std::istringstream fields(line.substr(key.size()));
    double kilobytes = 0;
    if (fields >> kilobytes) return kilobytes * 1024.0;
  }
  return -1;
}

// A number alone in a file (cgroup files); -1 when absent or "max".
double FileNumber(const std::string& path) {
  std::ifstream file(path);
  std::string word;
  if (!(file >> word) || word == "max") return -1;
  double value = 0;
  auto r = std::from_chars(word.data(), word.data() + word.size(), value);
  return r.ec == std::errc() ? value : -1;
}

// The process's control group folders: v2 ("0::/path") and v1's memory
// controller ("N:memory:/path"), from /proc/self/cgroup.
void ControlGroupPaths(std::string& v2, std::string& v1) {
  std::ifstream file("/proc/self/cgroup");
  std::string line;
  while (std::getline(file, line)) {
    if (line.rfind("0::", 0) == 0) v2 = "/sys/fs/cgroup" + line.substr(3);
    const auto memory = line.find(":memory:");
    if (memory != std::string::npos) v1 = "/sys/fs/cgroup/memory" + line.substr(memory + 8);
  }
}

void Consider(MemoryBudget& budget, double bytes, const char* limit) {
  if (bytes < 0) return;
  if (!budget.known || bytes < budget.bytes) {
    budget.known = true;
    budget.bytes = std::max(0.0, bytes);
    budget.limit = limit;
  }
}

}  // namespace

MemoryBudget AvailableMemory() {
  MemoryBudget budget;
  Consider(budget, ProcKilobytes("/proc/meminfo", "MemAvailable:"), "");
  const double used = ProcKilobytes("/proc/self/status", "VmSize:");
  const double data = ProcKilobytes("/proc/self/status", "VmData:");
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && used >= 0)
    Consider(budget, static_cast<double>(limit.rlim_cur) - used,
             "the process's address-space limit (ulimit -v)");
  if (getrlimit(RLIMIT_DATA, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && data >= 0)
    Consider(budget, static_cast<double>(limit.rlim_cur) - data,
             "the process's data-segment limit (ulimit -d)");
  std::string v2, v1;
  ControlGroupPaths(v2, v1);
  if (!v2.empty()) {
    const double max = FileNumber(v2 + "/memory.max");
    const double current = FileNumber(v2 + "/memory.current");
    if (max >= 0 && current >= 0)
      Consider(budget, max - current, "the memory limit of the process's control group");
  }
  if (!v1.empty()) {
    const double max = FileNumber(v1 + "/memory.limit_in_bytes");
    const double current = FileNumber(v1 + "/memory.usage_in_bytes");
    // v1 writes a huge number (about 2^63) for "no limit".
    if (max >= 0 && max < 1e18 && current >= 0)
      Consider(budget, max - current, "the memory limit of the process's control group");
  }
  return budget;
}

double AvailableMemoryBytes() {
  return AvailableMemory().bytes;
}

std::string Gigabytes(double bytes) {
  char buffer[32];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, bytes / 1e9, std::chars_format::fixed, 1);
  return std::string(buffer, r.ptr);
}

Status CheckMemory(const std::string& what, int n, const std::function<double(int)>& estimate,
                   double available) {
  return CheckMemory(what, n, estimate, MemoryBudget{available, true, ""});
}

Status CheckMemory(const std::string& what, int n, const std::function<double(int)>& estimate,
                   const MemoryBudget& budget) {
  const double available = budget.bytes;
  const double bytes = estimate(n);
  if (available <= 0 || bytes <= available) return Status::Ok();
  int low = 0, high = n;  // estimate(low) fits (taken as true for 0), estimate(high) does not
  while (high - low > 1) {
    const int mid = low + (high - low) / 2;
    if (estimate(mid) <= available) {
      low = mid;
    } else {
      high = mid;
    }
  }
  return Status::Error(
      what + " needs about " + Gigabytes(bytes) + " GB of memory for " + std::to_string(n) +
      " sampling units, more than the " + Gigabytes(available) + " GB " +
      (budget.limit.empty() ? std::string("this computer has available now")
                            : budget.limit + " leaves it") +
      "; nothing was computed. It could handle about " + std::to_string(low) + " sampling units.");
}

Status CatchingAllocationFailure(const std::function<Status()>& command) {
  try {
    return command();
  } catch (const std::bad_alloc&) {
    return Status::Error(
        "The command ran out of memory (the computer or the process's memory limit could not "
        "give what it needed); nothing was written. Close other programs, raise the limit, or "
        "run it on fewer sampling units.");
  } catch (const std::length_error&) {
    return Status::Error(
        "The command needed a table larger than this computer can address; nothing was "
        "written. Run it on fewer sampling units.");
  }
}

}  // namespace vireltan
