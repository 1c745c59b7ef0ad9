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

// Memory the system can give now without swapping (MemAvailable of
// /proc/meminfo), in bytes; 0 when unknown (the guard then lets all pass).
double AvailableMemoryBytes();

// Bytes in GB with one decimal, "." as the separator whatever the locale.
std::string Gigabytes(double bytes);

// Ok when `estimate(n)` bytes fit in `available` (or `available` is 0);
// else an error: "<what> needs about X GB of memory for N sampling units,
// more than the Y GB available now; it could handle about M." M is the
// largest n' < n with estimate(n') within reach (estimate must grow with n).
Status CheckMemory(const std::string& what, int n, const std::function<double(int)>& estimate,
                   double available);

}  // namespace vireltan
