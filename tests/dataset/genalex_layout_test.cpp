// SPDX-License-Identifier: GPL-3.0-or-later
// The GenAlEx reader finds the ploidy from the count row and the allele
// columns, whatever the header holds above second allele columns.
#include <gtest/gtest.h>

#include "dataset/genalex_reader.h"
#include "sheet/text_table_reader.h"

namespace vireltan {
namespace {

// Two diploid loci; `second` is the header text above each second allele
// column (poppr's genind2genalex writes a space there).
std::string DiploidCsv(const std::string& secondA, const std::string& secondB) {
  return "2,3,1,3\nforest,,,P1\nInd,Pop,Pr9C3," + secondA + ",Pr4," + secondB +
         "\na,P1,100,102,300,300\nb,P1,102,102,0,0\nc,P1,100,104,302,300\n";
}

Status Read(const std::string& csv, Dataset& d) {
  Sheet sheet;
  EXPECT_TRUE(ParseTextTable(csv, "poppr.csv", sheet).ok());
  DatasetReadReport report;
  return ReadGenAlEx(sheet, "poppr.csv", d, report);
}

TEST(GenAlExLayout, SecondAlleleHeaderBlankSpaceOrRepeatedReadsAlike) {
  Dataset blank;
  ASSERT_TRUE(Read(DiploidCsv("", ""), blank).ok());
  EXPECT_EQ(blank.ploidy, 2);
  EXPECT_EQ(blank.locusCount, 2);
  EXPECT_EQ(blank.locusNames, (std::vector<std::string>{"Pr9C3", "Pr4"}));
  EXPECT_EQ(blank.alleleAt(2, 0, 0), 100);
  EXPECT_EQ(blank.alleleAt(2, 0, 1), 104);
  EXPECT_EQ(blank.alleleAt(1, 1, 0), kMissingAllele);
  for (const auto& [a, b] : std::vector<std::pair<std::string, std::string>>{
           {" ", " "}, {"Pr9C3", "Pr4"}, {"\" \"", ""}}) {
    Dataset d;
    ASSERT_TRUE(Read(DiploidCsv(a, b), d).ok()) << a;
    EXPECT_EQ(d.ploidy, 2) << a;
    EXPECT_EQ(d.locusNames, blank.locusNames) << a;
    EXPECT_EQ(d.alleles, blank.alleles) << a;
  }
}

TEST(GenAlExLayout, StatedAndFoundLayoutsThatDisagreeAreErrorsWithNumbers) {
  struct Case {
    std::string csv, message;
  };
  const std::vector<Case> cases{
      // Three loci stated over four allele columns.
      {"3,1,1,1\nt,,,P\nInd,Pop,A,,B,\na,P,1,2,3,4\n",
       "row 1, column 1: the header gives 3 loci but the table has 4 allele columns (columns 3 "
       "to 6)"},
      // A tetraploid locus: one locus over four columns.
      {"1,1,1,1\nt,,,P\nInd,Pop,A,,,\na,P,1,2,3,4\n",
       "4 alleles per locus; only haploid (1) and diploid (2)"},
      // Every allele column named as its own locus: four haploid loci, not two diploid.
      {"2,1,1,1\nt,,,P\nInd,Pop,A,B,C,D\na,P,1,2,3,4\n",
       "row 3, column 3: row 3 names 4 loci (one per column) but row 1 gives 2 loci"},
  };
  for (const Case& c : cases) {
    Dataset d;
    Status s = Read(c.csv, d);
    ASSERT_FALSE(s.ok()) << c.csv;
    EXPECT_NE(s.message().find(c.message), std::string::npos) << s.message();
  }
}

}  // namespace
}  // namespace vireltan
