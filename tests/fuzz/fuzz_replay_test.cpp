// SPDX-License-Identifier: GPL-3.0-or-later
// Replays every input kept under tests/data/fuzz/<target>/ (the seeds of the
// fuzz targets and each input that ever broke a reader) through the fuzz
// targets' own checks, so that a mended fault stays mended.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz_targets.h"

namespace vireltan {
namespace {

using Target = int (*)(const std::uint8_t*, std::size_t);

class FuzzReplay : public ::testing::TestWithParam<std::pair<const char*, Target>> {};

TEST_P(FuzzReplay, EveryKeptInputReadsWithoutFault) {
  const auto [name, target] = GetParam();
  std::filesystem::path folder = std::filesystem::path(VIRELTAN_FUZZ_DATA_DIR) / name;
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().string());
    EXPECT_EQ(target(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay,
                         ::testing::Values(std::pair{"text", &fuzz::ReadTextInput},
                                           std::pair{"xlsx", &fuzz::ReadXlsxInput},
                                           std::pair{"xls", &fuzz::ReadXlsInput},
                                           std::pair{"dataset", &fuzz::LoadDatasetInput},
                                           std::pair{"genepop", &fuzz::ReadGenepopInput},
                                           std::pair{"populations",
                                                     &fuzz::ReadPopulationFileInput}),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
}  // namespace vireltan
