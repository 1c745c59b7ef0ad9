// SPDX-License-Identifier: GPL-3.0-or-later
// GenAlEx: the ploidy is allele columns per stated locus, whatever the headers.
#include <gtest/gtest.h>

#include "dataset/genalex_reader.h"
#include "sheet/text_table_reader.h"

namespace vireltan {
namespace {

Status Read(const std::string& counts, const std::string& headers, Dataset& d) {
  Sheet sheet;
  const std::string csv = counts + "\nt,,,P\nInd,Pop," + headers +
                          "\na,P,100,102,300,300\nb,P,102,102,0,0\nc,P,100,104,302,300\n";
  EXPECT_TRUE(ParseTextTable(csv, "g.csv", sheet).ok());
  DatasetReadReport report;
  return ReadGenAlEx(sheet, "g.csv", d, report);
}

TEST(GenAlExLayout, SecondAlleleHeadersDoNotChangeTheReading) {
  Dataset first;
  // GenAlEx's blank, poppr's space (plain and quoted), a repeated name.
  for (const char* headers : {"A,,B,", "A, ,B, ", "A,\" \",B,", "A,A,B,B"}) {
    Dataset d;
    ASSERT_TRUE(Read("2,3,1,3", headers, d).ok()) << headers;
    EXPECT_EQ(d.ploidy, 2);
    EXPECT_EQ(d.locusNames, (std::vector<std::string>{"A", "B"}));
    if (first.sampleCount == 0) first = d;
    EXPECT_EQ(d.alleles, first.alleles) << headers;
  }
  const char* refused[][3] = {
      {"3,3,1,3", "A,,B,",
       "the header gives 3 loci but the table has 4 allele columns (columns 3 to 6)"},
      {"1,3,1,3", "A,,B,", "4 alleles per locus; only haploid (1) and diploid (2)"},
      {"2,3,1,3", "A,B,C,D", "row 3 names 4 loci (one per column) but row 1 gives 2 loci"}};
  for (const auto& c : refused) {
    Dataset d;
    EXPECT_NE(Read(c[0], c[1], d).message().find(c[2]), std::string::npos) << c[2];
  }
}

}  // namespace
}  // namespace vireltan
