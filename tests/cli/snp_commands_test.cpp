// SPDX-License-Identifier: GPL-3.0-or-later
// SNP data end to end: one study in four formats gives one log, the
// threshold from replicates recovers the true genets, and bad input stops
// the run with a clear message and no file written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "cli/cli_runner.h"
#include "sheet/zip_xml.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;

const std::string kSnpDir = std::string(VIRELTAN_TEST_DATA_DIR) + "/snp/";
const std::string kSheet = "--samples=" + kSnpDir + "clonal.samples.csv";

int RunVireltan(const std::vector<std::string>& args, std::string* err = nullptr) {
  std::ostringstream out, errors;
  int status = cli::Run(args, out, errors);
  if (err) *err = errors.str();
  return status;
}

// The MLLs of the last "Multilocus lineages" block as sets of sample names.
std::set<std::set<std::string>> LineagesOfLog(const std::string& log) {
  const auto block = log.rfind("Multilocus lineages\tSNP distance");
  std::istringstream lines(log.substr(block));
  std::string line;
  std::getline(lines, line);  // title
  std::getline(lines, line);  // header
  std::set<std::set<std::string>> lineages;
  // Lineage rows start with their number; the tie rows follow.
  while (std::getline(lines, line) && !line.empty() && std::isdigit(line[0])) {
    std::istringstream cells(line);
    std::string cell;
    std::set<std::string> samples;
    for (int col = 1; std::getline(cells, cell, '\t'); ++col)
      if (col >= 3) samples.insert(cell);
    lineages.insert(samples);
  }
  return lineages;
}

// The true genets of the generated study, from its sheet's true_genet column.
std::set<std::set<std::string>> TrueGenets(const std::string& sheetPath) {
  std::ifstream in(sheetPath);
  std::string line;
  std::getline(in, line);
  std::map<std::string, std::set<std::string>> genets;
  while (std::getline(in, line)) {
    const std::string name = line.substr(0, line.find(','));
    genets[line.substr(line.rfind(',') + 1)].insert(name);
  }
  std::set<std::set<std::string>> result;
  for (auto& [genet, samples] : genets) result.insert(samples);
  return result;
}

TEST(SnpCommands, FourFormatsGiveOneLog) {
  std::string reference;
  for (const char* file : {"clonal.vcf", "clonal.vcf.gz", "clonal.bcf", "clonal.bed"}) {
    SCOPED_TRACE(file);
    TempDir out;
    ASSERT_EQ(RunVireltan({kSheet, "--output-dir=" + out.path().string(), kSnpDir + file, "mll",
                           "--from-replicates", "allelic-distance"}),
              0);
    const std::string log = ReadWholeFile(out.file("clonal.outvireltan.txt"));
    if (reference.empty()) reference = log;
    EXPECT_EQ(log, reference);
  }
  EXPECT_NE(reference.find("samples\t39\tSNPs\t300\tcall rate\t"), std::string::npos) << reference;
}

TEST(SnpCommands, ThresholdFromReplicatesRecoversTheGenets) {
  TempDir out;
  std::string err;
  ASSERT_EQ(RunVireltan({kSheet, "--output-dir=" + out.path().string(), kSnpDir + "clonal.vcf.gz",
                         "mll", "--from-replicates"},
                        &err),
            0)
      << err;
  const std::string log = ReadWholeFile(out.file("clonal.outvireltan.txt"));
  EXPECT_EQ(LineagesOfLog(log), TrueGenets(kSnpDir + "clonal.samples.csv")) << log;
  EXPECT_NE(log.find("\nties\tpoppr\ntied merges\t"), std::string::npos) << log;
  // Every replicate pair is listed with its distance, then the bounds.
  EXPECT_NE(log.find("sample\treplicate of\tdistance\n"), std::string::npos);
  for (const char* row : {"largest replicate distance\t", "largest distance of the error band\t",
                          "smallest distance beyond the gap (not replicates)\t", "threshold\t"})
    EXPECT_NE(log.find(row), std::string::npos) << row;
  EXPECT_EQ(err.find("cannot separate"), std::string::npos) << err;
}

TEST(SnpCommands, AutocorrelationAndGenAlExRunOnLineages) {
  TempDir out;
  std::string err;
  ASSERT_EQ(RunVireltan(
                {kSheet, "--output-dir=" + out.path().string(), "--seed=3", kSnpDir + "clonal.vcf",
                 "mll", "--from-replicates", "use-lineages", "autocorrelation", "--classes=4",
                 "--procedure=central", "--permutations=20", "export-genalex", "--clone-correct"},
                &err),
            0)
      << err;
  EXPECT_TRUE(std::filesystem::exists(out.file("clonal.spatialcomponents.xlsx")));
  const std::string table = ReadWholeFile(out.file("clonal.genalex.csv"));
  // Row 1: 300 SNPs, one sample per lineage (20 genets, each in one population).
  EXPECT_EQ(table.rfind("300,20,", 0), 0u) << table.substr(0, 80);
  EXPECT_NE(table.find("\nSample,Pop,"), std::string::npos);
}

TEST(SnpCommands, BadInputStopsAndWritesNothing) {
  TempDir dir;
  std::ofstream(dir.file("short.csv")) << "sample\nP1G01_r1\nnobody\n";
  std::string gz = ReadWholeFile(kSnpDir + "clonal.vcf.gz");
  std::ofstream(dir.file("cut.vcf.gz"), std::ios::binary) << gz.substr(0, gz.size() - 100);
  std::ofstream(dir.file("nogt.vcf")) << "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\t"
                                         "FILTER\tINFO\tFORMAT\ta\n1\t1\t.\tA\tG\t.\t.\t.\t.\t.\n";
  std::ofstream(dir.file("empty.vcf"))
      << "##fileformat=VCFv4.2\n##FORMAT=<ID=GT,Number=1,Type=String,Description=\"G\">\n"
         "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ta\tb\n"
         "1\t1\t.\tA\tG\t.\t.\t.\tGT\t./.\t./.\n1\t2\t.\tA\tG\t.\t.\t.\tGT\t./.\t./.\n";
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  };
  const std::string outDir = "--output-dir=" + dir.path().string();
  const Case cases[] = {
      {{"--samples=" + dir.file("short.csv"), outDir, kSnpDir + "clonal.vcf"},
       "sample(s) of the data file are missing from the sample sheet"},
      {{outDir, dir.file("cut.vcf.gz")}, "truncated"},
      {{outDir, dir.file("nogt.vcf")}, "declares no GT (genotype) field"},
      {{outDir, dir.file("empty.vcf")}, "No locus is left: 2 of the 2 SNPs read have no call"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    std::string err;
    EXPECT_EQ(RunVireltan(c.args, &err), 1);
    EXPECT_NE(err.find(c.expected), std::string::npos) << err;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
      EXPECT_EQ(entry.path().string().find("outvireltan"), std::string::npos) << entry.path();
  }
  std::string err;
  EXPECT_EQ(RunVireltan({"--min-maf=2", kSnpDir + "clonal.vcf"}, &err), 2);
  EXPECT_NE(err.find("a fraction from 0 to 1"), std::string::npos) << err;
}

TEST(SnpCommands, MatrixFileHoldsEveryMlgPair) {
  TempDir out;
  std::string err;
  ASSERT_EQ(RunVireltan({"--output-dir=" + out.path().string(), kSnpDir + "clonal.bed",
                         "allelic-distance", "--matrix-file=" + out.file("m.tsv")},
                        &err),
            0)
      << err;
  std::istringstream matrix(ReadWholeFile(out.file("m.tsv")));
  std::string line;
  int rows = 0;
  while (std::getline(matrix, line)) {
    ++rows;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 39) << line;
  }
  EXPECT_EQ(rows, 40);  // header and one row per MLG (every sample its own)
  // The data file itself is never the matrix file.
  EXPECT_EQ(RunVireltan({"--output-dir=" + out.path().string(), kSnpDir + "clonal.bed",
                         "allelic-distance", "--matrix-file=" + kSnpDir + "clonal.bed"},
                        &err),
            1);
  EXPECT_NE(err.find("is the data file itself"), std::string::npos) << err;
}

// The texts of an xlsx workbook's shared strings.
class TextCollector : public XmlHandler {
 public:
  std::string text;
  void StartElement(std::string_view, const char**) override {}
  void EndElement(std::string_view) override { text += '\n'; }
  void CharacterData(std::string_view data) override { text += data; }
};

// 8,193 SNPs: the allele frequency table is one column wider than a sheet.
TEST(SnpCommands, AutocorrelationTableWiderThanASheetGoesToACsvFile) {
  TempDir dir;
  constexpr int kSamples = 12, kSnps = 8193;
  {
    std::ofstream vcf(dir.file("wide.vcf"));
    vcf << "##fileformat=VCFv4.2\n##FORMAT=<ID=GT,Number=1,Type=String,Description=\"G\">\n"
           "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    for (int i = 0; i < kSamples; ++i) vcf << "\ts" << i;
    vcf << '\n';
    const char* calls[] = {"0/0", "0/1", "1/1"};
    for (int k = 0; k < kSnps; ++k) {
      vcf << "1\t" << k + 1 << "\t.\tA\tG\t.\t.\t.\tGT";
      for (int i = 0; i < kSamples; ++i) vcf << '\t' << calls[(i * 7 + k * 3 + i * k) % 3];
      vcf << '\n';
    }
    std::ofstream sheet(dir.file("wide.csv"));
    sheet << "sample,x,y\n";
    for (int i = 0; i < kSamples; ++i) sheet << 's' << i << ',' << i % 4 << ',' << i / 4 << '\n';
  }
  std::string err;
  ASSERT_EQ(RunVireltan({"--samples=" + dir.file("wide.csv"), dir.file("wide.vcf"),
                         "autocorrelation", "--classes=2", "--permutations=9"},
                        &err),
            0)
      << err;
  const std::string csvPath = dir.file("wide.all_freq_dist_matrices.csv");
  EXPECT_NE(err.find("written as \"" + csvPath + "\" beside the workbook"), std::string::npos)
      << err;
  const std::string csv = ReadWholeFile(csvPath);
  std::size_t widest = 0;
  std::istringstream lines(csv);
  for (std::string line; std::getline(lines, line);)
    widest = std::max<std::size_t>(widest, std::count(line.begin(), line.end(), ','));
  EXPECT_GE(widest, static_cast<std::size_t>(kSnps));
  // The workbook holds the result sheet and the note in place of the table.
  ZipArchive workbook;
  ASSERT_TRUE(workbook.Open(dir.file("wide.spatialcomponents.xlsx")).ok());
  EXPECT_TRUE(workbook.Contains("xl/worksheets/sheet2.xml"));
  TextCollector texts;
  ASSERT_TRUE(workbook.ParseXml("xl/sharedStrings.xml", texts).ok());
  EXPECT_NE(texts.text.find("columns) is larger than a workbook sheet holds (1048576 rows, 16384 "
                            "columns): it is in the file \"wide.all_freq_dist_matrices.csv\" "
                            "beside this workbook."),
            std::string::npos);
}

TEST(SnpCommands, SkippedSitesAreCountedInTheResultsLog) {
  TempDir dir;
  std::ofstream(dir.file("mixed.vcf"))
      << "##fileformat=VCFv4.2\n##FORMAT=<ID=GT,Number=1,Type=String,Description=\"G\">\n"
         "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ta\tb\n"
         "1\t1\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0/1\n"
         "1\t2\t.\tA\tG,T\t.\t.\t.\tGT\t0/2\t0/1\n"
         "1\t3\t.\tAT\tA\t.\t.\t.\tGT\t0/0\t0/1\n"
         "1\t4\t.\tC\tT\t.\t.\t.\tGT\t0/0\t1\n"
         "1\t5\t.\tC\tG,A\t.\t.\t.\tGT\t0/0\t1/2\n"
         "1\t6\t.\tC\tT\t.\t.\t.\tGT\t1/1\t0/1\n";
  std::string err;
  ASSERT_EQ(RunVireltan({dir.file("mixed.vcf")}, &err), 0) << err;
  EXPECT_NE(err.find("4 site(s) skipped: 2 multi-allelic"), std::string::npos) << err;
  const std::string log = ReadWholeFile(dir.file("mixed.outvireltan.txt"));
  EXPECT_NE(log.find("sites skipped\t4\tmulti-allelic\t2\tnot a single-base substitution\t1\t"
                     "other ploidy\t1\n"),
            std::string::npos)
      << log;
}

TEST(SnpCommands, LociWithoutCallsAreRemovedWithAWarning) {
  TempDir dir;
  std::ofstream(dir.file("gaps.vcf"))
      << "##fileformat=VCFv4.2\n##FORMAT=<ID=GT,Number=1,Type=String,Description=\"G\">\n"
         "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ta\tb\n"
         "1\t1\t.\tA\tG\t.\t.\t.\tGT\t./.\t./.\n1\t2\t.\tA\tG\t.\t.\t.\tGT\t0/1\t1/1\n";
  std::string err;
  ASSERT_EQ(
      RunVireltan({dir.file("gaps.vcf"), "mll", "--threshold=0.1", "use-lineages", "diversity"},
                  &err),
      0)
      << err;
  EXPECT_NE(err.find("1 SNP(s) without a single call were removed."), std::string::npos) << err;
  const std::string log = ReadWholeFile(dir.file("gaps.outvireltan.txt"));
  EXPECT_NE(log.find("SNPs without calls removed\t1\n"), std::string::npos) << log;
  EXPECT_NE(log.find("instead of MLGs: SNP distance, farthest neighbour, threshold 0.1"),
            std::string::npos)
      << log;
}

TEST(SnpCommands, CommandsNeedingAlleleTablesAreRefused) {
  TempDir out;
  const std::string outDir = "--output-dir=" + out.path().string();
  std::string err;
  EXPECT_EQ(RunVireltan({outDir, kSnpDir + "clonal.vcf", "psex"}, &err), 1);
  EXPECT_NE(err.find("Psex is not available for SNP data"), std::string::npos) << err;
  EXPECT_EQ(RunVireltan({outDir, kSnpDir + "clonal.vcf", "microsat-distance"}, &err), 1);
  EXPECT_NE(err.find("not available for SNP data yet"), std::string::npos) << err;
  // Without a sheet there is no replicate to set the threshold from.
  EXPECT_EQ(RunVireltan({outDir, kSnpDir + "clonal.vcf", "mll", "--from-replicates"}, &err), 1);
  EXPECT_NE(err.find("No replicate pair"), std::string::npos) << err;
}

TEST(SnpCommands, SuggestWritesItsBlock) {
  TempDir out;
  std::string err;
  ASSERT_EQ(RunVireltan({kSheet, "--output-dir=" + out.path().string(), kSnpDir + "clonal.vcf",
                         "mll", "--suggest"},
                        &err),
            0)
      << err;
  const std::string log = ReadWholeFile(out.file("clonal.outvireltan.txt"));
  const auto block = log.find("Multilocus lineages threshold suggestion\tSNP distance");
  ASSERT_NE(block, std::string::npos);
  // Threshold, gap and the two distances, without binary noise (at most
  // eight decimals: the distances have seven, their middle one more).
  const auto header = log.find("threshold\tgap\tfrom\tto\n", block);
  ASSERT_NE(header, std::string::npos);
  const std::string numbers = log.substr(header + 23, log.find('\n', header + 23) - (header + 23));
  EXPECT_TRUE(std::regex_match(numbers, std::regex("([0-9.]{1,10}\t){3}[0-9.]{1,10}"))) << numbers;
}

TEST(SnpCommands, CloneCorrectedVcfAndNetworkOverLineages) {
  TempDir out;
  std::string err;
  ASSERT_EQ(RunVireltan({kSheet, "--output-dir=" + out.path().string(), kSnpDir + "clonal.vcf",
                         "mll", "--from-replicates", "use-lineages", "export-vcf",
                         "--clone-correct", "msn", "--lineages"},
                        &err),
            0)
      << err;
  // One sample per true genet (each genet lives in one population), and
  // the file reads back as SNP data with the calls it was written from.
  const std::string written = out.file("clonal.clonecorrected.vcf");
  TempDir again;
  ASSERT_EQ(RunVireltan({"--output-dir=" + again.path().string(), written}, &err), 0) << err;
  const std::string log = ReadWholeFile(again.file("clonal.clonecorrected.outvireltan.txt"));
  EXPECT_NE(log.find("samples read\t20\tbiallelic SNPs read\t300\t"), std::string::npos) << log;
  const std::string edges = ReadWholeFile(out.file("clonal.msn.txt"));
  EXPECT_EQ(edges.substr(0, edges.find('\n')), "from\tto\tdistance\tdrawn as");
  EXPECT_GE(std::count(edges.begin(), edges.end(), '\n'), 20);  // header + at least 19 edges
}

TEST(SnpCommands, TestOfClonalityOnLineagesIsReproducibleWithTheSeed) {
  std::string err;
  std::string summaries[2];
  for (std::string& summary : summaries) {
    TempDir out;
    ASSERT_EQ(RunVireltan({"--seed=3", kSheet, "--output-dir=" + out.path().string(),
                           kSnpDir + "clonal.vcf", "mll", "--from-replicates", "use-lineages",
                           "summary", "--permutations=19", "--null=genotypes",
                           "--missing=typed-pairs", "--clone-correct"},
                          &err),
              0)
        << err;
    summary = ReadWholeFile(out.file("clonal.summary.csv"));
  }
  EXPECT_EQ(summaries[0], summaries[1]);
  EXPECT_NE(summaries[0].find("Pop,N,MLG,eMLG,SE,H,G,lambda,E.5,Hexp,Ia,p.Ia,rbarD,p.rD,"),
            std::string::npos)
      << summaries[0];
  // Ia's rule for missing calls, the null model and the permutations.
  EXPECT_NE(summaries[0].find(",typed-pairs,genotypes,19\n"), std::string::npos) << summaries[0];
}

}  // namespace
}  // namespace vireltan
