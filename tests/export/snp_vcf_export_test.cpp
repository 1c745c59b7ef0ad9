// SPDX-License-Identifier: GPL-3.0-or-later
// export-vcf's writer says why a write failed: the file size limit of a
// child process stands in for a full disk.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <numeric>

#include "export/vcf_export.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;

TEST(SnpVcfExport, AFailedWriteGivesItsCauseAndKeepsTheOldFile) {
  SnpStudy study;
  NullProgressSink progress;
  ASSERT_TRUE(LoadSnpStudy(std::string(VIRELTAN_TEST_DATA_DIR) + "/snp/clonal.vcf", {}, "study",
                           progress, study)
                  .ok());
  std::vector<int> units(study.sampleCount());
  std::iota(units.begin(), units.end(), 0);
  TempDir dir;
  const std::string target = dir.file("out.vcf");
  ASSERT_TRUE(WriteSnpVcf(study, units, "study", target).ok());
  const std::string whole = ReadWholeFile(target);
  ASSERT_GT(whole.size(), 20000u);
  { std::ofstream(target, std::ios::binary) << "old"; }

  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipeEnds[0]);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{8192, 8192};
    setrlimit(RLIMIT_FSIZE, &limit);
    const Status s = WriteSnpVcf(study, units, "study", target);
    const std::string message = s.ok() ? "ok" : s.message();
    (void)!write(pipeEnds[1], message.data(), message.size());
    _exit(0);
  }
  close(pipeEnds[1]);
  std::string message;
  char buffer[512];
  for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
    message.append(buffer, got);
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(message, "Cannot write \"" + target + "\": " + std::strerror(EFBIG) + ".");
  EXPECT_EQ(ReadWholeFile(target), "old");
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename(), "out.vcf");  // no temporary file left
}

}  // namespace
}  // namespace vireltan
