// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bodies of the fuzz targets, shared by the libFuzzer programs (one per
// target, built with -DVIRELTAN_FUZZ=ON and clang) and by the ordinary test
// that replays every input that ever broke the program (tests/data/fuzz/).
//
// Each takes arbitrary bytes, feeds them to one reader and checks what a
// reader promises whatever the input: it returns (no crash, no hang), and a
// failed read leaves the sheet empty with a message that names the file.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vireltan::fuzz {

// Delimited text tables (encoding, separator guess, quoting).
int ReadTextInput(const std::uint8_t* data, std::size_t size);
// xlsx workbooks (zip container, package relationships, worksheet XML).
int ReadXlsxInput(const std::uint8_t* data, std::size_t size);
// Legacy xls workbooks (OLE2 container, BIFF records through FreeXL).
int ReadXlsInput(const std::uint8_t* data, std::size_t size);
// The dataset loader on top of the readers: format detection, the header,
// genotypes, coordinates, then MLGs and the coordinate extents.
int LoadDatasetInput(const std::uint8_t* data, std::size_t size);
// Genepop text files: title, locus lines, Pop lines, individuals.
int ReadGenepopInput(const std::uint8_t* data, std::size_t size);
// The populations file (designation and population per row) matched
// against a fixed dataset of eight units.
int ReadPopulationFileInput(const std::uint8_t* data, std::size_t size);

// Aborts (so that the fuzzer records the input) when `condition` is false.
void Check(bool condition, const char* what);

// A scratch file holding the input, for readers that take a path; removed
// when the object goes out of scope.
class ScratchFile {
 public:
  ScratchFile(const std::uint8_t* data, std::size_t size, const char* extension);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace vireltan::fuzz
