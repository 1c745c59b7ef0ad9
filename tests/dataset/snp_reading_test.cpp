// SPDX-License-Identifier: GPL-3.0-or-later
// SNP data: the four file formats read alike, hostile files give clear
// errors, the filters remove what they say, the sample sheet joins by name.
#include <gtest/gtest.h>

#include <fstream>

#include "dataset/snp/snp_study.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;

const std::string kSnpDir = std::string(VIRELTAN_TEST_DATA_DIR) + "/snp/";

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A VCF of three samples; `records` are the lines after the header.
std::string Vcf(const std::string& records, bool withGt = true) {
  return std::string("##fileformat=VCFv4.2\n##contig=<ID=1>\n") +
         (withGt ? "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
                 : "##FORMAT=<ID=DP,Number=1,Type=Integer,Description=\"Depth\">\n") +
         "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ta\tb\tc\n" + records;
}

Status Load(const std::string& path, SnpStudy& study, const SnpOpenOptions& options = {}) {
  NullProgressSink progress;
  return LoadSnpStudy(path, options, "study", progress, study);
}

TEST(SnpReading, FourFormatsGiveTheSameCalls) {
  SnpOpenOptions options;
  options.samplesPath = kSnpDir + "clonal.samples.csv";
  SnpStudy reference;
  ASSERT_TRUE(Load(kSnpDir + "clonal.vcf", reference, options).ok());
  EXPECT_EQ(reference.sampleCount(), 39);
  EXPECT_EQ(reference.locusCount(), 300);
  for (const char* file : {"clonal.vcf.gz", "clonal.bcf", "clonal.bed"}) {
    SCOPED_TRACE(file);
    SnpStudy other;
    Status s = Load(kSnpDir + file, other, options);
    ASSERT_TRUE(s.ok()) << s.message();
    ASSERT_EQ(other.sampleNames, reference.sampleNames);
    ASSERT_EQ(other.locusCount(), reference.locusCount());
    for (int i = 0; i < reference.sampleCount(); ++i)
      for (int k = 0; k < reference.locusCount(); ++k)
        ASSERT_EQ(other.genotypes.call(i, k), reference.genotypes.call(i, k)) << i << " " << k;
    EXPECT_EQ(other.samples.replicateOf, reference.samples.replicateOf);
  }
}

TEST(SnpReading, CallsSkippedSitesAndHaploids) {
  TempDir dir;
  WriteText(dir.file("d.vcf"),
            Vcf("1\t1\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0|1\t1/1\n"
                "1\t2\t.\tA\tG,T\t.\t.\t.\tGT\t0/0\t0/1\t1/2\n"  // multi-allelic
                "1\t3\t.\tAT\tA\t.\t.\t.\tGT\t0/0\t0/1\t1/1\n"   // indel
                "1\t4\t.\tA\tG\t.\t.\t.\tGT\t0\t0/1\t1/1\n"      // mixed ploidy
                "1\t5\t.\tC\tT\t.\t.\t.\tGT\t./.\t1/0\t.\n"));
  SnpStudy s;
  ASSERT_TRUE(Load(dir.file("d.vcf"), s).ok());
  ASSERT_EQ(s.locusCount(), 2);
  EXPECT_EQ(s.genotypes.call(0, 0), kHomRefCall);
  EXPECT_EQ(s.genotypes.call(1, 0), kHetCall);
  EXPECT_EQ(s.genotypes.call(2, 0), kHomAltCall);
  EXPECT_EQ(s.genotypes.call(0, 1), kMissingCall);
  EXPECT_EQ(s.genotypes.call(1, 1), kHetCall);
  EXPECT_EQ(s.genotypes.call(2, 1), kMissingCall);
  EXPECT_NE(s.skippedSitesWarning.find("3 site(s) skipped: 1 multi-allelic, 1 not a single-base"),
            std::string::npos)
      << s.skippedSitesWarning;

  WriteText(dir.file("h.vcf"), Vcf("1\t1\t.\tA\tG\t.\t.\t.\tGT\t0\t1\t.\n"));
  ASSERT_TRUE(Load(dir.file("h.vcf"), s).ok());
  EXPECT_EQ(s.ploidy, 1);
  EXPECT_EQ(s.genotypes.call(1, 0), kHomAltCall);
  EXPECT_EQ(s.genotypes.call(2, 0), kMissingCall);
}

TEST(SnpReading, HostileFilesGiveClearErrors) {
  TempDir dir;
  SnpStudy s;
  struct Case {
    std::string file, expected;
  };
  // A bgzipped VCF cut short: its end-of-file block is gone.
  std::string gz = ReadWholeFile(kSnpDir + "clonal.vcf.gz");
  WriteText(dir.file("cut.vcf.gz"), gz.substr(0, gz.size() / 2));
  WriteText(dir.file("nogt.vcf"), Vcf("1\t1\t.\tA\tG\t.\t.\t.\tDP\t3\t4\t5\n", false));
  WriteText(dir.file("junk.vcf"), "this is no VCF\n");
  std::filesystem::create_directory(dir.path() / "folder.vcf");
  // PLINK: a .bed one byte short, and one with a wrong magic number.
  for (const char* ext : {".bim", ".fam"})
    std::filesystem::copy_file(kSnpDir + "clonal" + ext, dir.file(std::string("short") + ext));
  std::string bed = ReadWholeFile(kSnpDir + "clonal.bed");
  WriteText(dir.file("short.bed"), bed.substr(0, bed.size() - 1));
  WriteText(dir.file("nobed.bed"), "ABCDEFGHIJ");
  for (const char* ext : {".bim", ".fam"})
    std::filesystem::copy_file(kSnpDir + "clonal" + ext, dir.file(std::string("nobed") + ext));
  const Case cases[] = {
      {"cut.vcf.gz", "truncated"},
      {"nogt.vcf", "declares no GT (genotype) field"},
      {"junk.vcf", "is not a VCF or BCF file"},
      {"folder.vcf", "is not a regular file"},
      {"short.bed", "holds 3002 bytes, but 300 loci (.bim) of 39 samples (.fam) need 3003"},
      {"nobed.bed", "is not a PLINK .bed file"},
      {"absent.bed", "does not exist"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Status st = Load(dir.file(c.file), s);
    ASSERT_FALSE(st.ok());
    EXPECT_NE(st.message().find(c.expected), std::string::npos) << st.message();
  }
}

TEST(SnpReading, BrokenRecordsNameTheirLine) {
  TempDir dir;
  const std::string good = "1\t1\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0/1\t1/1\n";
  struct Case {
    std::string name, records, expected;
  };
  // The header of Vcf() has four lines: the first record is line 5.
  const Case cases[] = {
      {"allele.vcf", good + "1\t2\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0/5\t1/1\n",
       ", line 6, sample \"b\" (column 11): the genotype \"0/5\" names allele 5, but the site "
       "has 1 ALT allele(s)."},
      {"phased.vcf", "1\t2\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0/1\t2|1\n",
       ", line 5, sample \"c\" (column 12): the genotype \"2|1\" names allele 2"},
      {"cut-sample.vcf", good + "1\t2\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0/1",
       ", line 6: the record has 11 tab-separated columns, but the header's #CHROM line gives 12"},
      {"cut-fixed.vcf", good + "1\t2\t.\tA\tG\t.", ", line 6: the record has 6"},
      {"cut-chrom.vcf", good + good + "1", ", line 7: the record has 1 tab-separated"},
      {"cut-format.vcf", good + "1\t2\t.\tA\tG\t.\t.\t.\tG", ", line 6: the record has 9"},
      {"cut-genotype.vcf", good + "1\t2\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0/1\t1",
       ", line 6: the last record stops in the middle of a genotype, without a line break"},
      {"cut-slash.vcf", good + "1\t2\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0/1\t1/",
       ", line 6: the record is damaged or cut short"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteText(dir.file(c.name), Vcf(c.records));
    SnpStudy s;
    Status st = Load(dir.file(c.name), s);
    ASSERT_FALSE(st.ok());
    EXPECT_NE(st.message().find(c.name), std::string::npos) << st.message();
    EXPECT_NE(st.message().find(c.expected), std::string::npos) << st.message();
  }
  // A last line without its line break but whole still reads.
  WriteText(dir.file("whole.vcf"), Vcf(good + good.substr(0, good.size() - 1)));
  SnpStudy s;
  Status st = Load(dir.file("whole.vcf"), s);
  ASSERT_TRUE(st.ok()) << st.message();
  EXPECT_EQ(s.locusCount(), 2);
}

// Messages show a file's name whole however deep its folder is.
TEST(SnpReading, MessagesShowTheFileNameWhole) {
  TempDir dir;
  std::filesystem::path folder = dir.path();
  for (int i = 0; i < 4; ++i) folder /= std::string(30, static_cast<char>('a' + i));
  std::filesystem::create_directories(folder);
  const std::string vcf = (folder / "isolates_of_the_2024_field_season.vcf").string();
  const std::string sheet = (folder / "isolates_of_the_2024_field_season.samples.csv").string();
  const std::string bed = (folder / "isolates_of_the_2024_field_season.bed").string();
  WriteText(vcf, Vcf("1\t1\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0/9\t1/1\n"));
  WriteText(sheet, "sample,replicate_of\na,b\nb,a\nc,\n");
  WriteText(bed, std::string("\x6c\x1b\x01\x00", 4));
  WriteText((folder / "isolates_of_the_2024_field_season.fam").string(), "f a 0 0 0 -9\n");
  WriteText((folder / "isolates_of_the_2024_field_season.bim").string(), "1 s 0 x A G\n");
  SnpStudy s;
  Status bad = Load(vcf, s);
  SnpOpenOptions options;
  options.samplesPath = sheet;
  WriteText(dir.file("d.vcf"), Vcf("1\t1\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0/1\t1/1\n"));
  Status badSheet = Load(dir.file("d.vcf"), s, options);
  Status badBim = Load(bed, s);
  for (const auto& [st, name] :
       {std::pair{bad, "isolates_of_the_2024_field_season.vcf\""},
        std::pair{badSheet, "isolates_of_the_2024_field_season.samples.csv\""},
        std::pair{badBim, "isolates_of_the_2024_field_season.bim\""}}) {
    ASSERT_FALSE(st.ok());
    EXPECT_NE(st.message().find(std::string("/") + name), std::string::npos) << st.message();
    EXPECT_NE(st.message().find("\xE2\x80\xA6/"), std::string::npos) << st.message();
  }
}

TEST(SnpReading, FiltersRemoveAndCount) {
  TempDir dir;
  // Locus 1 without a call; locus 2 called in 1 of 3; locus 3 monomorphic;
  // sample c missing at loci 4 and 5.
  WriteText(dir.file("f.vcf"), Vcf("1\t1\t.\tA\tG\t.\t.\t.\tGT\t./.\t./.\t./.\n"
                                   "1\t2\t.\tA\tG\t.\t.\t.\tGT\t0/1\t./.\t./.\n"
                                   "1\t3\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0/0\t0/0\n"
                                   "1\t4\t.\tA\tG\t.\t.\t.\tGT\t0/1\t1/1\t./.\n"
                                   "1\t5\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0/1\t./.\n"
                                   "1\t6\t.\tA\tG\t.\t.\t.\tGT\t1/1\t0/1\t0/1\n"));
  struct Case {
    SnpFilterOptions options;
    int loci, samples, allMissing, lowLocus, lowSample, lowMaf;
  };
  const Case cases[] = {
      {{0, 0, 0}, 5, 3, 1, 0, 0, 0},
      {{0.5, 0, 0}, 4, 3, 1, 1, 0, 0},
      {{0.5, 0.6, 0}, 4, 2, 1, 1, 1, 0},
      {{0.5, 0.6, 0.1}, 3, 2, 1, 1, 1, 1},
  };
  for (const Case& c : cases) {
    SnpStudy s;
    SnpOpenOptions options;
    options.filters = c.options;
    ASSERT_TRUE(Load(dir.file("f.vcf"), s, options).ok());
    EXPECT_EQ(s.locusCount(), c.loci);
    EXPECT_EQ(s.sampleCount(), c.samples);
    EXPECT_EQ(s.filters.allMissingLoci, c.allMissing);
    EXPECT_EQ(s.filters.lowCallRateLoci, c.lowLocus);
    EXPECT_EQ(s.filters.lowCallRateSamples, c.lowSample);
    EXPECT_EQ(s.filters.lowMafLoci, c.lowMaf);
  }
  // Nothing left: an error, not an empty study.
  WriteText(dir.file("empty.vcf"), Vcf("1\t1\t.\tA\tG\t.\t.\t.\tGT\t./.\t./.\t./.\n"));
  SnpStudy s;
  Status st = Load(dir.file("empty.vcf"), s);
  ASSERT_FALSE(st.ok());
  EXPECT_NE(st.message().find("No locus is left: 1 of the 1 SNPs read have no call"),
            std::string::npos)
      << st.message();
  SnpOpenOptions bad;
  bad.filters.minMaf = 1.5;
  EXPECT_FALSE(Load(dir.file("f.vcf"), s, bad).ok());
}

TEST(SnpReading, SampleSheetJoinsByName) {
  TempDir dir;
  WriteText(dir.file("d.vcf"), Vcf("1\t1\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0/1\t1/1\n"));
  struct Case {
    std::string sheet, expected;  // expected "" : loads
  };
  const Case cases[] = {
      {"sample,x,y,population,replicate_of\nc,1,2,north,\nb,3,4,south,a\na,5,6,north,\n", ""},
      {"Sample\tPopulation\na\tp\nb\tp\nc\tq\n", ""},
      {"sample\na\nb\n", "1 sample(s) of the data file are missing from the sample sheet"},
      {"sample\na\nb\nc\nd\ne\n", "2 sample(s) of the sample sheet \"" + dir.file("s.csv") +
                                      "\" are missing from the data file: \"d\", \"e\"."},
      {"sample,replicate_of\na,\nb,zz\nc,\n", "name no other sample of the data: \"b → zz\""},
      {"sample,x,y\na,1,2\nb,1,2e10\nc,1,2\n", "row 3, column 3: the y coordinate is"},
      {"sample,x\na,1\nb,1\nc,1\n", "an x column without a y column"},
      {"name\na\nb\nc\n", "no column named \"sample\""},
      {"sample\na\nb\nc\na\n", "lists the sample \"a\" twice"},
      {"sample,replicate_of\na,b\nb,a\nc,\n",
       "replicate_of column goes round in a circle: \"a\" (row 2) → \"b\" (row 3) → \"a\"."},
      {"sample,replicate_of\nc,\na,b\nb,c\n", ""},  // a chain that ends: a -> b -> c
      {"sample,replicate_of\nc,a\na,b\nb,c\n",
       "goes round in a circle: \"c\" (row 2) → \"a\" (row 3) → \"b\" (row 4) → \"c\"."},
      {"sample,replicate_of\na,\nb,c\nc,c\n", "name no other sample of the data: \"c → c\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sheet);
    WriteText(dir.file("s.csv"), c.sheet);
    SnpStudy s;
    SnpOpenOptions options;
    options.samplesPath = dir.file("s.csv");
    Status st = Load(dir.file("d.vcf"), s, options);
    if (c.expected.empty()) {
      ASSERT_TRUE(st.ok()) << st.message();
      continue;
    }
    ASSERT_FALSE(st.ok());
    EXPECT_NE(st.message().find(c.expected), std::string::npos) << st.message();
  }
  // The first sheet: values follow the data file's sample order.
  WriteText(dir.file("s.csv"), cases[0].sheet);
  SnpStudy s;
  SnpOpenOptions options;
  options.samplesPath = dir.file("s.csv");
  ASSERT_TRUE(Load(dir.file("d.vcf"), s, options).ok());
  EXPECT_EQ(s.samples.x, (std::vector<double>{5, 3, 1}));
  EXPECT_EQ(s.samples.replicateOf, (std::vector<int>{-1, 0, -1}));
  EXPECT_EQ(s.samples.populationNames, (std::vector<std::string>{"north", "south"}));
}

TEST(SnpReading, MissingNamesListedUpToTen) {
  std::vector<std::string> data;
  for (int i = 0; i < 13; ++i) data.push_back("s" + std::to_string(i));
  SampleSheet sheet;
  sheet.names = {"s0"};
  JoinedSamples joined;
  Status st = JoinSampleSheet(data, &sheet, "sheet.csv", "p", joined);
  ASSERT_FALSE(st.ok());
  EXPECT_NE(st.message().find("12 sample(s)"), std::string::npos);
  EXPECT_NE(st.message().find("\"s10\" and 2 more."), std::string::npos) << st.message();
  EXPECT_EQ(st.message().find("\"s11\""), std::string::npos);
}

TEST(SnpReading, ExactMlgsOfPackedRows) {
  SnpStudy study;
  study.genotypes = PackedGenotypes(4, 40);
  for (int i = 0; i < 4; ++i)
    for (int k = 0; k < 40; ++k) study.genotypes.set(i, k, kHomRefCall);
  study.genotypes.set(1, 35, kHetCall);     // sample 1 differs at locus 36
  study.genotypes.set(3, 35, kHetCall);     // sample 3 equals sample 1
  study.genotypes.set(2, 0, kMissingCall);  // missing is a value of its own
  study.sampleNames = {"a", "b", "c", "d"};
  study.samples.x = study.samples.y = {0, 0, 0, 0};
  study.samples.populationOfSample = {0, 0, 0, 0};
  study.samples.populationNames = {"p"};
  study.samples.replicateOf = {-1, -1, -1, -1};
  Dataset d = SnpSampleDataset(study);
  MlgPartition p = IdentifyPackedMlgs(study, d);
  EXPECT_EQ(p.mlgCount, 3);
  EXPECT_EQ(p.mlgOfSu, (std::vector<int>{1, 2, 3, 2}));
}

}  // namespace
}  // namespace vireltan
