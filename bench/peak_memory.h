// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Peak resident memory of the benchmark process so far (VmHWM, in MiB):
// run one benchmark per process for a figure of that benchmark alone.
#include <fstream>
#include <string>

inline double PeakMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}
