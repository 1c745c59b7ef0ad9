// SPDX-License-Identifier: GPL-3.0-or-later
// The population summary on SNP data: Ia, rbarD and their permutation test
// equal the allele-table summary of the same genotypes. The test writes
// tests/data/snp/clonal.vcf (300 SNPs, missing calls) as an allele table
// (reference allele 100, alternate 200) and opens both.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::TempDir;

// The VCF's GT calls as an allele table in the native layout.
void WriteAlleleTable(const std::string& vcfPath, const std::string& tablePath) {
  std::ifstream in(vcfPath);
  std::string line;
  std::vector<std::string> samples, loci;
  std::vector<std::vector<std::string>> genotypes;  // per sample
  while (std::getline(in, line)) {
    if (line.rfind("##", 0) == 0) continue;
    std::vector<std::string> fields;
    std::stringstream split(line);
    for (std::string f; std::getline(split, f, '\t');) fields.push_back(f);
    if (line.rfind("#CHROM", 0) == 0) {
      samples.assign(fields.begin() + 9, fields.end());
      genotypes.resize(samples.size());
      continue;
    }
    loci.push_back(fields[2]);
    for (std::size_t s = 0; s < samples.size(); ++s) {
      const std::string& gt = fields[9 + s];
      std::string code = "999999";
      if (gt[0] != '.') {
        const int alt = (gt[0] == '1') + (gt[2] == '1');
        code = alt == 0 ? "100100" : alt == 1 ? "100200" : "200200";
      }
      genotypes[s].push_back(code);
    }
  }
  std::ofstream out(tablePath);
  out << samples.size() << "\t\t\t" << loci.size() << "\t2";
  for (const std::string& l : loci) out << '\t' << l;
  out << '\n';
  for (std::size_t s = 0; s < samples.size(); ++s) {
    out << samples[s] << "\t999\t999";
    for (const std::string& g : genotypes[s]) out << '\t' << g;
    out << '\n';
  }
}

struct TotalRow {
  double ia = 0, pIa = 0, rbarD = 0, pRbarD = 0;
  std::string notes;
};

// The Total row of the last summary block of the results.
TotalRow LastTotal(const Session& session) {
  const Sheet& sheet = session.results.first();
  TotalRow t;
  for (int row = sheet.LastRow(); row >= 1; --row) {
    if (sheet.TextAt(row, 1) != "Total") continue;
    t.ia = sheet.NumberAt(row, 11);
    t.pIa = sheet.NumberAt(row, 12);
    t.rbarD = sheet.NumberAt(row, 13);
    t.pRbarD = sheet.NumberAt(row, 14);
    for (int title = row; title >= 1; --title)
      if (sheet.TextAt(title, 1) == "Population summary") {
        for (int c = 1; c <= sheet.LastCol(); ++c) t.notes += sheet.TextAt(title, c) + "|";
        break;
      }
    break;
  }
  return t;
}

TEST(SnpSummary, IaAndTestEqualTheAlleleTableSummary) {
  TempDir dir;
  const std::string vcf = std::string(VIRELTAN_TEST_DATA_DIR) + "/snp/clonal.vcf";
  WriteAlleleTable(vcf, dir.file("clonal_alleles.txt"));
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session snp{messages, progress}, table{messages, progress};
  for (Session* s : {&snp, &table}) {
    ASSERT_TRUE(s->SetOutputDirectory(dir.path().string()).ok());
    s->SetSeed(31);
  }
  ASSERT_TRUE(snp.Open(vcf).ok());
  ASSERT_TRUE(snp.hasSnpData());
  ASSERT_TRUE(table.Open(dir.file("clonal_alleles.txt")).ok());
  ASSERT_FALSE(table.hasSnpData());

  for (IaNull null : {IaNull::kAlleles, IaNull::kGenotypes})
    for (IaMissing missing : {IaMissing::kPoppr, IaMissing::kTypedPairs}) {
      SCOPED_TRACE(std::string(IaNullName(null)) + ", " + IaMissingName(missing));
      ASSERT_TRUE(snp.PopulationSummaryTest(0, false, 29, false, missing, null).ok());
      ASSERT_TRUE(table.PopulationSummaryTest(0, false, 29, false, missing, null).ok());
      const TotalRow a = LastTotal(snp), b = LastTotal(table);
      EXPECT_GT(a.rbarD, 0.01);  // clonal data
      EXPECT_NEAR(a.ia, b.ia, 1e-10);
      EXPECT_NEAR(a.rbarD, b.rbarD, 1e-10);
      EXPECT_EQ(a.pIa, b.pIa);
      EXPECT_EQ(a.pRbarD, b.pRbarD);
      EXPECT_NE(a.notes.find("read rbarD"), std::string::npos) << a.notes;
      EXPECT_EQ(a.notes.find("not computed"), std::string::npos) << a.notes;
      EXPECT_NE(a.notes.find(null == IaNull::kAlleles ? "method 1" : "method 4"), std::string::npos)
          << a.notes;
    }
}

}  // namespace
}  // namespace vireltan
