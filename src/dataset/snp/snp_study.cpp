// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/snp/snp_study.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <numeric>

#include "dataset/mlg_identification.h"
#include "dataset/snp/plink_bed_reader.h"
#include "dataset/snp/vcf_reader.h"

namespace vireltan {

namespace {

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Order rank of a call: reference homozygote, heterozygote, alternate
// homozygote, missing.
int CallRank(SnpCall call) {
  switch (call) {
    case kHomRefCall:
      return 0;
    case kHetCall:
      return 1;
    case kHomAltCall:
      return 2;
    default:
      return 3;
  }
}

// <0, 0, >0 as row a's calls come before, equal or after row b's, locus 1
// first.
int ComparePackedRows(const std::uint64_t* a, const std::uint64_t* b, std::size_t words) {
  for (std::size_t w = 0; w < words; ++w) {
    const std::uint64_t diff = a[w] ^ b[w];
    if (!diff) continue;
    const int shift = std::countr_zero(diff) & ~1;
    return CallRank(static_cast<SnpCall>(a[w] >> shift & 3u)) -
           CallRank(static_cast<SnpCall>(b[w] >> shift & 3u));
  }
  return 0;
}

}  // namespace

bool IsSnpDataPath(const std::string& path) {
  const std::string lower = LowerCase(path);
  for (const char* ext : {".vcf", ".vcf.gz", ".vcf.bgz", ".bcf", ".bed"})
    if (EndsWith(lower, ext)) return true;
  return false;
}

Status LoadSnpStudy(const std::string& path, const SnpOpenOptions& options,
                    const std::string& defaultPopulation, ProgressSink& progress, SnpStudy& study) {
  if (Status ok = CheckSnpFilterOptions(options.filters); !ok) return ok;
  SampleSheet sheet;
  if (!options.samplesPath.empty())
    if (Status read = ReadSampleSheet(options.samplesPath, sheet); !read) return read;

  RawSnpData raw;
  const bool plink = EndsWith(LowerCase(path), ".bed");
  study = SnpStudy();
  if (plink) {
    study.format = "PLINK";
    if (Status read = ReadPlinkBed(path, raw, progress); !read) return read;
  } else {
    study.format = EndsWith(LowerCase(path), ".bcf") ? "BCF" : "VCF";
    if (Status read = ReadVcf(path, raw, progress); !read) return read;
  }
  if (raw.loci.empty())
    return Status::Error("The data file \"" + path + "\" holds no biallelic SNP with a GT field. " +
                         SkippedSitesWarning(raw));

  JoinedSamples joined;
  Status join = JoinSampleSheet(raw.sampleNames, options.samplesPath.empty() ? nullptr : &sheet,
                                options.samplesPath, defaultPopulation, joined);
  if (!join) return join;

  std::vector<int> keptSamples, keptLoci;
  Status filtered = FilterAndPack(raw, options.filters, progress, keptSamples, keptLoci,
                                  study.genotypes, study.filters);
  if (!filtered) return filtered;

  study.ploidy = raw.ploidy;
  study.skippedSitesWarning = SkippedSitesWarning(raw);
  study.skippedNotBiallelic = raw.skippedNotBiallelic;
  study.skippedNotSnp = raw.skippedNotSnp;
  study.skippedPloidy = raw.skippedPloidy;
  for (int k : keptLoci) study.loci.push_back(std::move(raw.loci[k]));
  // The sheet's information follows the kept samples; replicate indices
  // move to the kept numbering.
  std::vector<int> newIndex(raw.sampleNames.size(), -1);
  for (std::size_t s = 0; s < keptSamples.size(); ++s)
    newIndex[keptSamples[s]] = static_cast<int>(s);
  JoinedSamples& kept = study.samples;
  kept.populationsGiven = joined.populationsGiven;
  kept.populationNames = joined.populationNames;
  for (int i : keptSamples) {
    study.sampleNames.push_back(raw.sampleNames[i]);
    kept.x.push_back(joined.x[i]);
    kept.y.push_back(joined.y[i]);
    kept.populationOfSample.push_back(joined.populationOfSample[i]);
    const int partner = joined.replicateOf[i] < 0 ? -1 : newIndex[joined.replicateOf[i]];
    if (joined.replicateOf[i] >= 0 && partner < 0) ++study.replicatePairsLost;
    kept.replicateOf.push_back(partner);
  }
  return Status::Ok();
}

Dataset SnpSampleDataset(const SnpStudy& study) {
  Dataset d;
  d.sampleCount = study.sampleCount();
  d.locusCount = 0;
  d.ploidy = study.ploidy;
  for (const std::string& name : study.sampleNames) d.designations.push_back(Cell::Text(name));
  d.x = study.samples.x;
  d.y = study.samples.y;
  d.populationOfSu = study.samples.populationOfSample;
  d.populationNames = study.samples.populationNames;
  d.populationsGiven = study.samples.populationsGiven;
  return d;
}

MlgPartition IdentifyPackedMlgs(const SnpStudy& study, const Dataset& d) {
  const PackedGenotypes& g = study.genotypes;
  const std::size_t words = g.wordsPerSample();
  const int n = g.sampleCount();
  MlgPartition p;
  p.keyOrder.resize(n);
  std::iota(p.keyOrder.begin(), p.keyOrder.end(), 0);
  std::stable_sort(p.keyOrder.begin(), p.keyOrder.end(),
                   [&](int a, int b) { return ComparePackedRows(g.row(a), g.row(b), words) < 0; });
  p.mlgOfSu.assign(n, 0);
  int m = 0;
  for (int i = 0; i < n; ++i) {
    const int su = p.keyOrder[i];
    if (i == 0 || ComparePackedRows(g.row(p.keyOrder[i - 1]), g.row(su), words) != 0) {
      ++m;
      p.cloneSize.push_back(0);
      p.representative.push_back(su);
    }
    p.mlgOfSu[su] = m;
    ++p.cloneSize[m - 1];
  }
  p.mlgCount = m;
  p.designationOrder = p.keyOrder;
  std::stable_sort(p.designationOrder.begin(), p.designationOrder.end(), [&](int a, int b) {
    return CompareDesignations(d.designations[a], d.designations[b]) < 0;
  });
  SetCentroids(d, p);
  return p;
}

}  // namespace vireltan
