// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer entry point: see fuzz_targets.h.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return vireltan::fuzz::ReadGenepopInput(data, size);
}
