// SPDX-License-Identifier: GPL-3.0-or-later
// The Genepop export follows the format as adegenet reads it, and the
// program's own reader takes units, genotypes and populations back.
#include <gtest/gtest.h>

#include "dataset/genepop_reader.h"
#include "dataset/mlg_identification.h"
#include "export/population_exports.h"

namespace vireltan {
namespace {

TEST(GenepopExport, BarePopLinesAndPopulationNamesReadBack) {
  Dataset d;
  d.sampleCount = 3;
  d.locusCount = 1;
  d.locusNames = {"fca8"};
  d.designations = {Cell::NumberFromText(2236.1, "2236.10"), Cell::Text("N 2"), Cell::Number(7)};
  d.x = d.y = {999, 999, 999};
  d.alleles = {120, 124, 120, kMissingAllele, 122, 124};
  d.populationNames = {"north | hill", "south"};
  d.populationOfSu = {0, 1, 0};
  std::string text;
  ASSERT_TRUE(FormatGenepop(d, UnitsToExport(d, IdentifyMlgs(d), false), "cats", text).ok());
  // Title, locus, bare Pop lines (adegenet's ^\s*POP\s*$), "label , genotype".
  EXPECT_EQ(text,
            "cats [populations: north / hill | south]\nfca8\nPop\n2236.10 , 120124\n"
            "7 , 122124\nPop\nN 2 , 120000\n");
  Dataset back;
  DatasetReadReport report;
  ASSERT_TRUE(ReadGenepop(text, "cats.gen", back, report).ok());
  EXPECT_EQ(back.populationNames, (std::vector<std::string>{"north / hill", "south"}));
  EXPECT_EQ(back.designationText(0), "2236.10");
  EXPECT_EQ(back.genotypeKey(2, 0), 120u << 16 | kMissingAllele);
}

}  // namespace
}  // namespace vireltan
