// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/vcf_export.h"

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
  // The lines go to the file in pieces of about a megabyte; the writer
  // says why a write failed (a full disk, a quota).
  constexpr std::size_t kPieceBytes = 1 << 20;
  return WriteFileAtomicallyInPieces(path, [&](const PieceWriter& write) {
    std::string piece = "##fileformat=VCFv4.2\n##source=" + std::string(kVersionLine) + " (" +
                        datasetName + ", " + std::to_string(units.size()) + " of " +
                        std::to_string(study.sampleCount()) + " samples)\n";
    std::set<std::string> contigs;
    for (const SnpLocus& l : study.loci)
      if (contigs.insert(l.chromosome).second) piece += "##contig=<ID=" + l.chromosome + ">\n";
    piece +=
        "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
        "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    for (int su : units) piece += '\t' + study.sampleNames[su];
    piece += '\n';
    for (int k = 0; k < study.locusCount(); ++k) {
      const SnpLocus& l = study.loci[k];
      piece += l.chromosome + '\t' + std::to_string(l.position) + '\t' + l.id + '\t' + l.reference +
               '\t' + (l.alternate == "0" ? "." : l.alternate) + "\t.\t.\t.\tGT";
      for (int su : units) {
        piece += '\t';
        piece += CallText(study.genotypes.call(su, k), haploid);
      }
      piece += '\n';
      if (piece.size() >= kPieceBytes) {
        write(piece);
        piece.clear();
      }
    }
    write(piece);
  });
}

}  // namespace vireltan
