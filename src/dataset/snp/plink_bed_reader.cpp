// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/snp/plink_bed_reader.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "common/message_quote.h"

namespace vireltan {

namespace {

// Lines of a whitespace-separated text file, each split into fields.
// Memory stays proportional to the file's size.
Status ReadFields(const std::string& path, int expectedFields,
                  std::vector<std::vector<std::string>>& lines) {
  if (Status regular = RequireRegularFile(path, "file"); !regular) return regular;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::Error("The file " + QuotePathForMessage(path) + " cannot be opened.");
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string w; words >> w;) fields.push_back(std::move(w));
    if (fields.empty()) continue;
    if (static_cast<int>(fields.size()) != expectedFields)
      return Status::Error("The file " + QuotePathForMessage(path) + ", line " +
                           std::to_string(number) + ": " + std::to_string(expectedFields) +
                           " fields separated by spaces or tabs are expected, not " +
                           std::to_string(fields.size()) + ".");
    lines.push_back(std::move(fields));
  }
  if (in.bad()) return Status::Error("The file " + QuotePathForMessage(path) + " cannot be read.");
  return Status::Ok();
}

std::string WithExtension(const std::string& bedPath, const char* extension) {
  return bedPath.substr(0, bedPath.size() - 4) + extension;
}

// PLINK's two-bit codes to the program's.
constexpr SnpCall kFromPlink[4] = {kHomAltCall, kMissingCall, kHetCall, kHomRefCall};

}  // namespace

Status ReadPlinkBed(const std::string& bedPath, RawSnpData& data, ProgressSink& progress) {
  const std::string bed = QuotePathForMessage(bedPath);
  if (Status regular = RequireRegularFile(bedPath, "data file"); !regular) return regular;
  const std::string famPath = WithExtension(bedPath, ".fam");
  const std::string bimPath = WithExtension(bedPath, ".bim");
  std::vector<std::vector<std::string>> fam, bim;
  if (Status s = ReadFields(famPath, 6, fam); !s) return s;
  if (Status s = ReadFields(bimPath, 6, bim); !s) return s;
  if (fam.empty())
    return Status::Error("The file " + QuotePathForMessage(famPath) + " lists no sample.");

  data = RawSnpData();
  data.ploidy = 2;
  std::set<std::string> seen;
  for (const auto& f : fam) {
    if (!seen.insert(f[1]).second)
      return Status::Error("The file " + QuotePathForMessage(famPath) + " names the sample " +
                           QuoteForMessage(f[1]) + " twice.");
    data.sampleNames.push_back(f[1]);
  }
  const int n = static_cast<int>(fam.size());
  const std::size_t bytesPerLocus = (static_cast<std::size_t>(n) + 3) / 4;

  std::ifstream in(bedPath, std::ios::binary);
  if (!in) return Status::Error("The data file " + bed + " cannot be opened.");
  in.seekg(0, std::ios::end);
  const auto length = static_cast<std::uint64_t>(in.tellg());
  in.seekg(0);
  const std::uint64_t expected = 3 + bim.size() * static_cast<std::uint64_t>(bytesPerLocus);
  unsigned char magic[3] = {0, 0, 0};
  in.read(reinterpret_cast<char*>(magic), 3);
  if (!in || magic[0] != 0x6C || magic[1] != 0x1B)
    return Status::Error("The data file " + bed +
                         " is not a PLINK .bed file (it does not start with the bytes 6C 1B).");
  if (magic[2] != 0x01)
    return Status::Error("The data file " + bed +
                         " is sample-major (an old PLINK layout): write it again with plink "
                         "--make-bed, which gives the SNP-major layout.");
  if (length != expected)
    return Status::Error("The data file " + bed + " holds " + std::to_string(length) +
                         " bytes, but " + std::to_string(bim.size()) + " loci (.bim) of " +
                         std::to_string(n) + " samples (.fam) need " + std::to_string(expected) +
                         ": the fileset's parts do not belong together, or the .bed is "
                         "truncated.");

  data.calls = LocusMajorCalls(n);
  std::vector<unsigned char> bytes(bytesPerLocus);
  for (std::size_t k = 0; k < bim.size(); ++k) {
    if (k % kSitesPerCancelCheck == 0 && progress.Cancelled()) return Status::Cancelled();
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytesPerLocus));
    if (!in) return Status::Error("The data file " + bed + " cannot be read.");
    const auto& b = bim[k];
    SnpLocus locus;
    locus.chromosome = b[0];
    locus.id = b[1];
    std::int64_t position = 0;
    auto parsed = std::from_chars(b[3].data(), b[3].data() + b[3].size(), position);
    if (parsed.ec != std::errc() || parsed.ptr != b[3].data() + b[3].size() || position < 0)
      return Status::Error("The file " + QuotePathForMessage(bimPath) + ", line " +
                           std::to_string(k + 1) + ", column 4: the position " +
                           QuoteForMessage(b[3]) + " is not a whole number.");
    locus.position = position;
    locus.alternate = b[4];
    locus.reference = b[5];
    const bool snp = b[4].size() == 1 && b[5].size() == 1;
    if (!snp) {
      ++data.skippedNotSnp;
      continue;
    }
    std::uint64_t* column = data.calls.AppendLocus();
    for (int i = 0; i < n; ++i)
      SetCallAt(column, i, kFromPlink[bytes[static_cast<std::size_t>(i) / 4] >> (2 * (i % 4)) & 3]);
    data.loci.push_back(std::move(locus));
  }
  return Status::Ok();
}

}  // namespace vireltan
