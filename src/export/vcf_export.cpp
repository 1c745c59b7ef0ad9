// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/vcf_export.h"

#include <fstream>
#include <set>

#include "common/version.h"
#include "sheet/atomic_file.h"

namespace vireltan {

namespace {

const char* CallText(SnpCall call, bool haploid) {
  switch (call) {
    case kHomRefCall:
      return haploid ? "0" : "0/0";
    case kHetCall:
      return "0/1";
    case kHomAltCall:
      return haploid ? "1" : "1/1";
    default:
      return haploid ? "." : "./.";
  }
}

}  // namespace

Status WriteSnpVcf(const SnpStudy& study, const std::vector<int>& units,
                   const std::string& datasetName, const std::string& path) {
  const bool haploid = study.ploidy == 1;
  return ReplaceFileAtomically(path, [&](const std::string& tempPath) {
    std::ofstream out(tempPath, std::ios::binary);
    if (!out) return Status::Error("The file \"" + path + "\" cannot be written.");
    out << "##fileformat=VCFv4.2\n##source=" << kVersionLine << " (" << datasetName << ", "
        << units.size() << " of " << study.sampleCount() << " samples)\n";
    std::set<std::string> contigs;
    for (const SnpLocus& l : study.loci)
      if (contigs.insert(l.chromosome).second) out << "##contig=<ID=" << l.chromosome << ">\n";
    out << "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
           "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    for (int su : units) out << '\t' << study.sampleNames[su];
    out << '\n';
    std::string line;
    for (int k = 0; k < study.locusCount(); ++k) {
      const SnpLocus& l = study.loci[k];
      line = l.chromosome + '\t' + std::to_string(l.position) + '\t' + l.id + '\t' + l.reference +
             '\t' + (l.alternate == "0" ? "." : l.alternate) + "\t.\t.\t.\tGT";
      for (int su : units) {
        line += '\t';
        line += CallText(study.genotypes.call(su, k), haploid);
      }
      line += '\n';
      out << line;
    }
    out.flush();
    if (!out) return Status::Error("The file \"" + path + "\" could not be written whole.");
    return Status::Ok();
  });
}

}  // namespace vireltan
