// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz_targets.h"

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "dataset/data_file.h"
#include "dataset/dataset_reader.h"
#include "dataset/genepop_reader.h"
#include "dataset/mlg_identification.h"
#include "dataset/strata_reader.h"
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

// What every accepted dataset holds, whichever reader made it.
void CheckDataset(const Dataset& dataset) {
  Check(dataset.sampleCount >= 1 && dataset.locusCount >= 1, "an empty dataset was accepted");
  Check(dataset.ploidy == 1 || dataset.ploidy == 2, "a ploidy other than 1 or 2 was accepted");
  Check(static_cast<int>(dataset.x.size()) == dataset.sampleCount &&
            static_cast<int>(dataset.y.size()) == dataset.sampleCount,
        "coordinates missing for some units");
  for (int i = 0; i < dataset.sampleCount; ++i) {
    Check(std::isfinite(dataset.x[i]) && std::isfinite(dataset.y[i]) &&
              std::fabs(dataset.x[i]) <= 1e9 && std::fabs(dataset.y[i]) <= 1e9,
          "a coordinate beyond +-1e9 was accepted");
  }
  MlgPartition mlgs = IdentifyMlgs(dataset);
  Check(mlgs.mlgCount >= 1 && mlgs.mlgCount <= dataset.sampleCount, "MLG count out of range");
  ComputeExtents(dataset);
}

int LoadDatasetInput(const std::uint8_t* data, std::size_t size) {
  ScratchFile file(data, size, ".txt");
  // Every layout the program reads from text: its own, GenAlEx, Genepop.
  Dataset dataset;
  DatasetReadReport report;
  LoadedFile loaded;
  Status status = LoadDataFile(file.path(), "fuzz", dataset, report, loaded);
  if (!status.ok()) {
    Check(status.message().find(file.path()) != std::string::npos,
          "the dataset message does not name the file");
    return 0;
  }
  CheckDataset(dataset);
  return 0;
}

int ReadGenepopInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  LooksLikeGenepop(text);
  Dataset dataset;
  DatasetReadReport report;
  Status status = ReadGenepop(text, "input.gen", dataset, report);
  if (!status.ok()) {
    Check(status.message().find("input.gen") != std::string::npos,
          "the Genepop message does not name the file");
    return 0;
  }
  CheckDataset(dataset);
  Check(dataset.populationCount() >= 1, "a Genepop dataset without population");
  for (int p : dataset.populationOfSu)
    Check(p >= 0 && p < dataset.populationCount(), "a unit outside every population");
  return 0;
}

int ReadPopulationFileInput(const std::uint8_t* data, std::size_t size) {
  // Eight units whose designations look like numbers, texts and both.
  static const Dataset units = [] {
    Sheet sheet;
    sheet.SetTextAt(1, 1, "8");
    sheet.SetTextAt(1, 4, "1");
    sheet.SetTextAt(1, 5, "2");
    const char* names[] = {"1", "2", "2108.1", "2108.10", "a", "b b", "007", "1e3"};
    for (int i = 0; i < 8; ++i) {
      sheet.SetTextAt(i + 2, 1, names[i]);
      sheet.SetTextAt(i + 2, 2, std::to_string(i));
      sheet.SetTextAt(i + 2, 3, "0");
      sheet.SetTextAt(i + 2, 4, i % 2 ? "120124" : "130130");
    }
    Dataset d;
    DatasetReadReport report;
    Check(ReadDataset(sheet, "units.txt", d, report).ok(), "the fixed dataset does not read");
    return d;
  }();
  ScratchFile file(data, size, ".txt");
  std::vector<std::string> populationOfSu;
  Status status = ReadStrata(file.path(), units, populationOfSu);
  if (!status.ok()) {
    Check(status.message().find(file.path()) != std::string::npos,
          "the populations message does not name the file");
    return 0;
  }
  Check(static_cast<int>(populationOfSu.size()) == units.sampleCount,
        "a population for every unit");
  for (const std::string& name : populationOfSu) Check(!name.empty(), "an empty population");
  return 0;
}

}  // namespace vireltan::fuzz
