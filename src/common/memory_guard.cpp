// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/memory_guard.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace vireltan {

double AvailableMemoryBytes() {
  std::ifstream meminfo("/proc/meminfo");
  std::string line;
  while (std::getline(meminfo, line)) {
    if (line.rfind("MemAvailable:", 0) != 0) continue;
    std::istringstream fields(line.substr(13));
    double kilobytes = 0;
    if (fields >> kilobytes) return kilobytes * 1024.0;
  }
  return 0.0;
}

std::string Gigabytes(double bytes) {
  char buffer[32];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, bytes / 1e9, std::chars_format::fixed, 1);
  return std::string(buffer, r.ptr);
}

Status CheckMemory(const std::string& what, int n, const std::function<double(int)>& estimate,
                   double available) {
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
  return Status::Error(what + " needs about " + Gigabytes(bytes) + " GB of memory for " +
                       std::to_string(n) + " sampling units, more than the " +
                       Gigabytes(available) +
                       " GB this computer has available now; nothing was computed. It could "
                       "handle about " +
                       std::to_string(low) + " sampling units.");
}

}  // namespace vireltan
