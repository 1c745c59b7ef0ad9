// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A fresh folder per test, removed again afterwards, for the files the tests
// write and read.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace vireltan::testing {

class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::random_device seed;
    dir_ = std::filesystem::temp_directory_path() /
           ("vireltan-sheet-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
            std::to_string(seed()));
    // Parameterised test names hold '/'.
    std::string name = dir_.filename().string();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    dir_ = dir_.parent_path() / name;
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  std::string WriteFile(const std::string& name, const std::string& bytes) const {
    std::string path = PathOf(name);
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path dir_;
};

}  // namespace vireltan::testing
