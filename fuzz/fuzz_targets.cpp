// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz_targets.h"

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "dataset/dataset_reader.h"
#include "dataset/mlg_identification.h"
#include "sheet/table_file.h"
#include "sheet/text_table_reader.h"
#include "sheet/xls_reader.h"
#include "sheet/xlsx_reader.h"

namespace vireltan::fuzz {

namespace {

// Scratch files go to shared memory when there is one: a fuzzer writes one
// per input, tens of thousands a minute.
std::string ScratchFolder() {
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec)) return "/dev/shm";
  return std::filesystem::temp_directory_path(ec).string();
}

void CheckSheetRead(const Status& status, const Sheet& sheet, const std::string& name) {
  if (status.ok()) return;
  Check(sheet.LastRow() == 0, "a failed read left cells in the sheet");
  Check(status.message().find(name) != std::string::npos, "the message does not name the file");
}

}  // namespace

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

ScratchFile::ScratchFile(const std::uint8_t* data, std::size_t size, const char* extension) {
  static std::atomic<unsigned> counter{0};
  path_ = ScratchFolder() + "/vireltan-fuzz-" + std::to_string(getpid()) + "-" +
          std::to_string(counter++) + extension;
  std::FILE* file = std::fopen(path_.c_str(), "wb");
  Check(file != nullptr, "cannot create the scratch file");
  if (size > 0) Check(std::fwrite(data, 1, size, file) == size, "cannot write the scratch file");
  Check(std::fclose(file) == 0, "cannot close the scratch file");
}

ScratchFile::~ScratchFile() {
  std::remove(path_.c_str());
}

int ReadTextInput(const std::uint8_t* data, std::size_t size) {
  std::string_view content(reinterpret_cast<const char*>(data), size);
  Sheet sheet;
  Status status = ParseTextTable(content, "input.txt", sheet);
  CheckSheetRead(status, sheet, "input.txt");
  return 0;
}

int ReadXlsxInput(const std::uint8_t* data, std::size_t size) {
  ScratchFile file(data, size, ".xlsx");
  Sheet sheet;
  CheckSheetRead(ReadXlsxWorkbook(file.path(), sheet), sheet, file.path());
  return 0;
}

int ReadXlsInput(const std::uint8_t* data, std::size_t size) {
  ScratchFile file(data, size, ".xls");
  Sheet sheet;
  CheckSheetRead(ReadXlsWorkbook(file.path(), sheet), sheet, file.path());
  return 0;
}

int LoadDatasetInput(const std::uint8_t* data, std::size_t size) {
  ScratchFile file(data, size, ".txt");
  Book book;
  std::vector<std::string> warnings;
  if (!ReadTableFile(file.path(), book, nullptr, &warnings).ok()) return 0;
  Dataset dataset;
  DatasetReadReport report;
  Status status = ReadDataset(book.first(), file.path(), dataset, report);
  if (!status.ok()) {
    Check(status.message().find(file.path()) != std::string::npos,
          "the dataset message does not name the file");
    return 0;
  }
  Check(dataset.sampleCount >= 1 && dataset.locusCount >= 1, "an empty dataset was accepted");
  Check(dataset.ploidy == 1 || dataset.ploidy == 2, "a ploidy other than 1 or 2 was accepted");
  for (int i = 0; i < dataset.sampleCount; ++i) {
    Check(std::isfinite(dataset.x[i]) && std::isfinite(dataset.y[i]),
          "a coordinate that is not finite was accepted");
  }
  MlgPartition mlgs = IdentifyMlgs(dataset);
  Check(mlgs.mlgCount >= 1 && mlgs.mlgCount <= dataset.sampleCount, "MLG count out of range");
  ComputeExtents(dataset);
  return 0;
}

}  // namespace vireltan::fuzz
