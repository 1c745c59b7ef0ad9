// SPDX-License-Identifier: GPL-3.0-or-later
// A process limit on memory (ulimit -v, as batch systems set one) is heeded
// by the memory guard: the N² commands are refused with a message naming
// the limit instead of failing halfway.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "common/memory_guard.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// 20,000 units, each its own MLG at 10 loci.
void WriteManyGenotypes(const std::string& path) {
  std::ofstream out(path);
  out << "20000\t\t\t10\t2";
  for (int l = 1; l <= 10; ++l) out << "\tL" << l;
  out << "\n";
  std::mt19937 random(7);
  for (int u = 0; u < 20000; ++u) {
    out << "u" << u << "\t999\t999";
    for (int l = 0; l < 10; ++l) out << "\t" << 100 + random() % 30 << 100 + random() % 30 + 30;
    out << "\n";
  }
}

struct LimitedRun {
  int status = -1;
  std::string output;
};

LimitedRun RunLimited(const std::string& command) {
  LimitedRun r;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return r;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe)) r.output += buffer;
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(MemoryLimit, TheGuardHeedsTheAddressSpaceLimit) {
  if (kAddressSanitizer)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit";
  testing::TempDir dir;
  WriteManyGenotypes(dir.file("many.txt"));
  for (const char* command : {"mll --threshold=2", "msn"}) {
    // 600 MB of address space: the program and its libraries fit, the
    // G x G tables of 20,000 MLGs do not.
    const LimitedRun r =
        RunLimited(std::string("ulimit -v 600000 && '") + VIRELTAN_CLI_PATH + "' --quiet '" +
                   dir.file("many.txt") + "' " + command + " 2>&1");
    SCOPED_TRACE(command);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("address-space limit (ulimit -v)"), std::string::npos) << r.output;
  }
}

TEST(MemoryLimit, AllocationFailureIsAMessage) {
  const Status st = CatchingAllocationFailure([]() -> Status { throw std::bad_alloc(); });
  EXPECT_FALSE(st.ok());
  EXPECT_NE(st.message().find("ran out of memory"), std::string::npos);
  EXPECT_NE(st.message().find("nothing was written"), std::string::npos);
  const MemoryBudget budget = AvailableMemory();
  EXPECT_TRUE(budget.known);
  EXPECT_GT(budget.bytes, 0);
}

}  // namespace
}  // namespace vireltan
