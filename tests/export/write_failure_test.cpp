// SPDX-License-Identifier: GPL-3.0-or-later
// Writers say why a write failed: the file size limit of a child process
// stands in for a full disk.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>

#include "export/vcf_export.h"
#include "sheet/book.h"
#include "sheet/table_file.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;

// The message of `write` run in a child process whose files may not grow
// beyond 8 KB ("ok" when it succeeds).
std::string MessageUnderFileSizeLimit(const std::function<Status()>& write) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return "no pipe";
  const pid_t child = fork();
  if (child < 0) return "no child";
  if (child == 0) {
    close(pipeEnds[0]);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{8192, 8192};
    setrlimit(RLIMIT_FSIZE, &limit);
    const Status s = write();
    const std::string message = s.ok() ? "ok" : s.message();
    (void)!::write(pipeEnds[1], message.data(), message.size());
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
  return message;
}

// The workbook library does not notice every failed write: the workbook
// is read back, and a cut one is refused.
TEST(WriteFailure, ACutWorkbookIsRefused) {
  TempDir dir;
  const std::string target = dir.file("big.xlsx");
  Book book;
  for (int r = 1; r <= 30000; ++r)
    for (int c = 1; c <= 8; ++c) book.first().SetNumberAt(r, c, std::sqrt(r * 7.0 + c) * 1e5);
  EXPECT_EQ(MessageUnderFileSizeLimit(
                [&] { return WriteTableFile(book, target, FileType::kXlsxWorkbook); }),
            "Cannot write \"" + target +
                "\": the workbook file came out incomplete (is the disk full?).");
  EXPECT_FALSE(std::filesystem::exists(target));
}

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

  const std::string message =
      MessageUnderFileSizeLimit([&] { return WriteSnpVcf(study, units, "study", target); });
  EXPECT_EQ(message, "Cannot write \"" + target + "\": " + std::strerror(EFBIG) + ".");
  EXPECT_EQ(ReadWholeFile(target), "old");
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename(), "out.vcf");  // no temporary file left
}

}  // namespace
}  // namespace vireltan
