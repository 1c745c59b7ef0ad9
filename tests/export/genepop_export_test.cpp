// SPDX-License-Identifier: GPL-3.0-or-later
// The Genepop export follows the format's rules as adegenet reads them, and
// the program's own reader recovers units, genotypes and populations.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "dataset/genepop_reader.h"
#include "dataset/mlg_identification.h"
#include "export/population_exports.h"

namespace vireltan {
namespace {

Dataset TwoPopulations() {
  Dataset d;
  d.sampleCount = 4;
  d.locusCount = 2;
  d.ploidy = 2;
  d.locusNames = {"fca8", "fca23"};
  d.designations = {Cell::NumberFromText(2236.1, "2236.10"), Cell::Text("N 2"), Cell::Number(7),
                    Cell::Text("N4")};
  d.x.assign(4, 999);
  d.y.assign(4, 999);
  d.alleles = {120, 124, 130, 130, 120, 120, kMissingAllele, kMissingAllele, 122, 124,
               130, 132, 120, 124, 130, 130};
  d.hasMissingData = true;
  // Populations named as no unit is, one of them holding the separator.
  d.populationNames = {"north | hill", "south"};
  d.populationOfSu = {0, 1, 0, 1};
  d.populationsGiven = true;
  return d;
}

TEST(GenepopExport, FollowsTheFormatAndReadsBack) {
  const Dataset d = TwoPopulations();
  const std::vector<int> units = UnitsToExport(d, IdentifyMlgs(d), false);
  std::string text;
  ASSERT_TRUE(FormatGenepop(d, units, "cats", text).ok());

  // Title line, one locus per line, then bare Pop lines (adegenet matches
  // ^\s*POP\s*$) each followed by "label , genotype genotype" lines.
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "cats [populations: north / hill | south]");
  EXPECT_EQ(lines[1], "fca8");
  EXPECT_EQ(lines[2], "fca23");
  const std::regex pop("^\\s*POP\\s*$", std::regex::icase);
  const std::regex individual("^[^,]+ ,( [0-9]{6}){2}$");
  for (size_t i = 3; i < lines.size(); ++i) {
    const bool isPop = i == 3 || i == 6;
    EXPECT_EQ(std::regex_match(lines[i], pop), isPop) << lines[i];
    EXPECT_EQ(std::regex_match(lines[i], individual), !isPop) << lines[i];
  }
  EXPECT_EQ(lines[4], "2236.10 , 120124 130130");
  EXPECT_EQ(lines[5], "7 , 122124 130132");
  EXPECT_EQ(lines[7], "N 2 , 120120 000000");

  Dataset back;
  DatasetReadReport report;
  ASSERT_TRUE(ReadGenepop(text, "cats.gen", back, report).ok());
  ASSERT_EQ(back.sampleCount, 4);
  EXPECT_EQ(back.populationNames, (std::vector<std::string>{"north / hill", "south"}));
  EXPECT_EQ(back.locusNames, d.locusNames);
  for (int i = 0; i < 4; ++i) {
    const int su = units[i];
    EXPECT_EQ(back.designationText(i), d.designationText(su));
    EXPECT_EQ(back.populationOfSu[i], d.populationOfSu[su]);
    for (int k = 0; k < 2; ++k)
      EXPECT_EQ(back.genotypeKey(i, k), d.genotypeKey(su, k)) << i << " " << k;
  }
}

TEST(GenepopExport, TitleWithoutOneNamePerPopLineIsJustATitle) {
  Dataset d;
  DatasetReadReport report;
  ASSERT_TRUE(ReadGenepop("t [populations: a | b]\nL1\nPop\nx , 0101\n", "t.gen", d, report).ok());
  EXPECT_EQ(d.populationNames, std::vector<std::string>{"x"});
}

}  // namespace
}  // namespace vireltan
