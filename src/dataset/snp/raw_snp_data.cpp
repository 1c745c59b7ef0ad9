// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/snp/raw_snp_data.h"

#include <filesystem>

#include "common/message_quote.h"

namespace vireltan {

std::string SkippedSitesWarning(const RawSnpData& data) {
  const std::int64_t total = data.skippedNotBiallelic + data.skippedNotSnp + data.skippedPloidy;
  if (total == 0) return "";
  return std::to_string(total) + " site(s) skipped: " + std::to_string(data.skippedNotBiallelic) +
         " multi-allelic, " + std::to_string(data.skippedNotSnp) +
         " not a single-base substitution (indels, symbolic or missing alternate alleles), " +
         std::to_string(data.skippedPloidy) +
         " with a ploidy other than that of the first site kept (a mix of ploidies, or more "
         "than two allele sets).";
}

Status RequireRegularFile(const std::string& path, const std::string& role) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status))
    return Status::Error("The " + role + " " + QuotePathForMessage(path) + " does not exist.");
  if (!std::filesystem::is_regular_file(status))
    return Status::Error("The " + role + " " + QuotePathForMessage(path) +
                         " is not a regular file (a folder, pipe or device cannot be read).");
  return Status::Ok();
}

}  // namespace vireltan
