// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/arlequin_export.h"

#include "export/clone_corrected.h"
#include "sheet/atomic_file.h"

namespace vireltan {

namespace {

void Line(std::string& out, const std::string& text) {
  out += text;
  out += "\r\n";
}

}  // namespace

std::string FormatArlequinProject(const Dataset& dataset, const MlgPartition& mlgs,
                                  const std::string& sampleName) {
  const int g = mlgs.mlgCount;
  const int loci = dataset.locusCount;
  std::string out;
  out.reserve(400 + static_cast<size_t>(g) * (30 + 8 * static_cast<size_t>(loci)));
  Line(out, "[Profile]");
  Line(out, " Title=\" \"");
  Line(out, " NbSamples=1");
  Line(out, " DataType=STANDARD");
  Line(out, " GenotypicData=1");
  Line(out, " GameticPhase=0");
  Line(out, " LocusSeparator=WHITESPACE");
  Line(out, " MissingData='0'");
  Line(out, "");
  Line(out, "[Data]");
  Line(out, "");
  Line(out, "[[Samples]]");
  Line(out, "   SampleName=\"" + sampleName + "\"");
  Line(out, "   SampleSize=" + std::to_string(g));
  Line(out, "   SampleData={");
  const std::vector<int> sus = LastSuOfEachMlg(mlgs);
  std::string first, second;
  for (int m = 1; m <= g; ++m) {
    const int su = sus[m - 1];
    first.assign(m <= 9 ? 9 : 8, ' ');
    first += std::to_string(m);
    first += " 1";
    second.assign(12, ' ');
    for (int k = 0; k < loci; ++k) {
      first += ' ';
      first += AlleleText(dataset.alleleAt(su, k, 0));
      second += ' ';
      second += AlleleText(dataset.alleleAt(su, k, 1));
    }
    Line(out, first);
    Line(out, second);
  }
  // The sample's data block is always closed, so that Arlequin can read the
  // file even for a sample without genotypes.
  Line(out, "  }");
  return out;
}

Status WriteArlequinFile(const Dataset& dataset, const MlgPartition& mlgs,
                         const std::string& sampleName, const std::string& path) {
  return WriteFileAtomically(path, FormatArlequinProject(dataset, mlgs, sampleName));
}

}  // namespace vireltan
