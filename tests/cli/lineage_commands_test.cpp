// SPDX-License-Identifier: GPL-3.0-or-later
// The lineage commands end to end: the MLL block, the lineage note in the
// title rows, the network's edge list, and refusals that leave files alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli_runner.h"
#include "dataset/dataset_reader.h"
#include "dataset/mlg_identification.h"
#include "sheet/table_file.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::Rows;
using testing::TempDir;
using testing::WriteTsv;

// Four MLGs on three diploid loci in two families: MLGs 1-2 and 3-4 one
// allele apart, the families six alleles apart.
const Rows kTwoFamilies{{"6", "", "", "3", "2"},
                        {"a", "1", "1", "100100", "110110", "120120"},
                        {"b", "2", "1", "100100", "110110", "120122"},
                        {"c", "3", "1", "100100", "110110", "120122"},
                        {"d", "4", "1", "200200", "210210", "220220"},
                        {"e", "5", "1", "200200", "210210", "220224"},
                        {"f", "6", "1", "200200", "210210", "220220"}};

int RunVireltan(const std::vector<std::string>& args, std::string* err = nullptr) {
  std::ostringstream out, errors;
  int status = cli::Run(args, out, errors);
  if (err) *err = errors.str();
  return status;
}

TEST(LineageCommands, BlockNoteAndEdgeList) {
  TempDir dir;
  WriteTsv(dir.path() / "f.txt", kTwoFamilies);
  ASSERT_EQ(RunVireltan({dir.file("f.txt"), "mll", "--threshold=1", "use-lineages", "diversity",
                         "msn", "--lineages", "msn"}),
            0);
  std::string log = ReadWholeFile(dir.file("f.outvireltan.txt"));
  // poppr numbers the MLGs 4, 3, 2, 1 (count rows sorted: d/f and e hold
  // none of the first alleles met). Slots 1-2 (MLGs 4 and 3) merge first;
  // their sums, (1 + 6 + 6) / 4 each, are equal, so slot 1 keeps them. Then
  // slots 3 and 4 (MLGs 2 and 1), three groups left: slot 3's sum is 6 / 3,
  // slot 4's (6 + 1) / 3, so slot 3 keeps them. The lineages are 1 and 3.
  EXPECT_NE(log.find("Multilocus lineages\tallelic distance\tfarthest neighbour\tthreshold\t1\n"
                     "MLL\tunits\tMLGs\n1\t3\t3\t4\n3\t3\t1\t2\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("diversity indices\tcounting multilocus lineages (MLL) instead of MLGs"),
            std::string::npos);
  // MLGs 1-2 and 3-4 are one allele apart: both pairs are edges of the tree.
  std::string edges = ReadWholeFile(dir.file("f.msn.txt"));
  EXPECT_EQ(edges.substr(0, edges.find('\n')), "from\tto\tdistance\tdrawn as");
  EXPECT_NE(edges.find("\n1\t2\t1\ttree\n"), std::string::npos) << edges;
  EXPECT_NE(edges.find("\n3\t4\t1\ttree\n"), std::string::npos) << edges;
}

TEST(LineageCommands, RefusalsNameTheProblemAndWriteNothing) {
  TempDir dir;
  WriteTsv(dir.path() / "f.txt", kTwoFamilies);
  std::string err;
  EXPECT_EQ(RunVireltan({dir.file("f.txt"), "use-lineages"}, &err), 1);
  EXPECT_NE(err.find("group the MLGs first"), std::string::npos) << err;
  EXPECT_EQ(RunVireltan({dir.file("f.txt"), "msn", "--lineages"}, &err), 1);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "f.msn.txt"));
  EXPECT_EQ(RunVireltan({dir.file("f.txt"), "mll", "--threshold=-1"}, &err), 1);
  EXPECT_NE(err.find("at least 0"), std::string::npos) << err;
  EXPECT_EQ(RunVireltan({dir.file("f.txt"), "mll", "--threshold=1", "--linkage=ward"}, &err), 1);
  EXPECT_NE(err.find("farthest, average or nearest"), std::string::npos) << err;
  EXPECT_EQ(RunVireltan({dir.file("f.txt"), "mll", "--threshold=1", "use-lineages", "combine-loci"},
                        &err),
            1);
  EXPECT_NE(err.find("cannot count lineages"), std::string::npos) << err;
}

TEST(LineageCommands, MissingAllelesTiesAndTheirReport) {
  TempDir dir;
  // a-b and b-c one allele apart over the typed loci, a-c two: a chain
  // where the order of tied merges decides; d lacks a locus.
  WriteTsv(dir.path() / "m.txt", {{"4", "", "", "2", "2"},
                                  {"b", "3", "1", "100102", "110110"},
                                  {"c", "1", "1", "102102", "110110"},
                                  {"a", "2", "1", "100100", "110110"},
                                  {"d", "4", "1", "999999", "150150"}});
  std::string err;
  ASSERT_EQ(RunVireltan({dir.file("m.txt"), "mll", "--threshold=1", "mll", "--threshold=1",
                         "--ties=lowest-mlg", "msn", "allelic-distance"},
                        &err),
            0)
      << err;
  std::string log = ReadWholeFile(dir.file("m.outvireltan.txt"));
  // MLGs by genotype: a = 1, b = 2, c = 3. poppr's order (100 then 102 at
  // the first locus, as met in the file: c's counts 0 2 before b's 1 1 and
  // a's 2 0) numbers c 1, b 2, a 3 and d 4, and merges slots 1-2 (c, b)
  // first: slot 2's sum (1 + 1 + 4) / 4 is below slot 1's (1 + 2 + 4) / 4,
  // so the lineages are 2 = {2, 3}, 3 = {1} and 4 = {4}; the lowest MLG
  // first: {1, 2} and {3}.
  EXPECT_NE(log.find("MLL\tunits\tMLGs\n2\t2\t2\t3\n3\t1\t1\n4\t1\t4\nties\tpoppr\n"
                     "tied merges\tanother order of tied merges gives other groups for MLGs 1, 2, "
                     "3\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("MLL\tunits\tMLGs\n1\t2\t1\t2\n2\t1\t3\n3\t1\t4\nties\tlowest-mlg\n"),
            std::string::npos)
      << log;
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "m.msn.txt"));
  EXPECT_EQ(RunVireltan({dir.file("m.txt"), "mll", "--threshold=1", "--ties=random"}, &err), 1);
  EXPECT_NE(err.find("poppr or lowest-mlg"), std::string::npos) << err;
  EXPECT_EQ(RunVireltan({dir.file("m.txt"), "mll", "--threshold=1", "--average=pairs"}, &err), 1);
  EXPECT_NE(err.find("units or mlgs"), std::string::npos) << err;
}

// The rows of the block whose title row starts with `title`, up to the
// next empty line of the log.
std::vector<std::string> BlockLines(const std::string& log, const std::string& title) {
  std::vector<std::string> lines;
  size_t at = log.find("\n" + title);
  if (at == std::string::npos) return lines;
  std::istringstream in(log.substr(at + 1));
  for (std::string line; std::getline(in, line) && !line.empty();) lines.push_back(line);
  return lines;
}

// MLG pairs of the nancycats colonies with a locus missing in either unit,
// pair by pair and locus by locus.
long long NancycatsPairsWithMissingLocus() {
  Book book;
  EXPECT_TRUE(
      ReadTableFile(std::string(VIRELTAN_TEST_DATA_DIR) + "/nancycats_colonies.txt", book).ok());
  Dataset d;
  DatasetReadReport report;
  EXPECT_TRUE(ReadDataset(book.first(), "nancycats", d, report).ok());
  const MlgPartition mlgs = IdentifyMlgs(d);
  auto missingAt = [&](int unit, int locus) {
    return d.alleleAt(unit, locus, 0) == kMissingAllele ||
           d.alleleAt(unit, locus, 1) == kMissingAllele;
  };
  long long pairs = 0;
  for (int j = 0; j < mlgs.mlgCount; ++j)
    for (int k = j + 1; k < mlgs.mlgCount; ++k)
      for (int locus = 0; locus < d.locusCount; ++locus)
        if (missingAt(mlgs.representative[j], locus) || missingAt(mlgs.representative[k], locus)) {
          ++pairs;
          break;
        }
  return pairs;
}

struct MissingRuleRun {
  const char* name;
  std::vector<std::string> options;  // after "mll"
  int lineages;                      // -1: a threshold suggestion, no lineages
  const char* rule;                  // the words of the title row
};

class NancycatsMissingRules : public ::testing::TestWithParam<MissingRuleRun> {};

// poppr's mlg.filter(nancycats, threshold = 4.5 + 1e-7, algorithm =
// "nearest_neighbor") on diss.dist gives 211 lineages; scaled to all loci
// the partly typed cats draw fewer MLGs together.
TEST_P(NancycatsMissingRules, LineageCountAndTitleRow) {
  const MissingRuleRun& r = GetParam();
  TempDir dir;
  std::filesystem::copy_file(std::string(VIRELTAN_TEST_DATA_DIR) + "/nancycats_colonies.txt",
                             dir.path() / "cats.txt");
  std::vector<std::string> args{dir.file("cats.txt"), "mll"};
  args.insert(args.end(), r.options.begin(), r.options.end());
  std::string err;
  ASSERT_EQ(RunVireltan(args, &err), 0) << err;
  const std::string log = ReadWholeFile(dir.file("cats.outvireltan.txt"));
  const std::string pairs = std::to_string(NancycatsPairsWithMissingLocus()) +
                            " MLG pairs with a locus missing in "
                            "either unit";
  if (r.lineages < 0) {
    std::vector<std::string> block =
        BlockLines(log, "Multilocus lineages threshold suggestion\tallelic distance\t");
    ASSERT_FALSE(block.empty()) << log;
    EXPECT_EQ(block[0], std::string("Multilocus lineages threshold suggestion\tallelic "
                                    "distance\t") +
                            r.rule + "\t" + pairs);
    return;
  }
  std::vector<std::string> block = BlockLines(log, "Multilocus lineages\tallelic distance\t");
  ASSERT_GE(block.size(), 2u) << log;
  EXPECT_EQ(block[0], std::string("Multilocus lineages\tallelic distance\tnearest "
                                  "neighbour\tthreshold\t4.5\t") +
                          r.rule + "\t" + pairs);
  EXPECT_EQ(block[1], "MLL\tunits\tMLGs");
  EXPECT_EQ(static_cast<int>(block.size()) - 2, r.lineages);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, NancycatsMissingRules,
    ::testing::Values(MissingRuleRun{"rescale_by_default",
                                     {"--linkage=nearest", "--threshold=4.5"},
                                     220,
                                     "missing loci: scale to all loci"},
                      MissingRuleRun{"rescale",
                                     {"--missing=rescale", "--linkage=nearest", "--threshold=4.5"},
                                     220,
                                     "missing loci: scale to all loci"},
                      MissingRuleRun{"poppr",
                                     {"--missing=poppr", "--linkage=nearest", "--threshold=4.5"},
                                     211,
                                     "missing loci: count as no difference (poppr)"},
                      MissingRuleRun{"suggest_poppr",
                                     {"--suggest", "--missing=poppr"},
                                     -1,
                                     "missing loci: count as no difference (poppr)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineageCommands, MissingRuleOnTheDistanceCommandsAndTheNetwork) {
  TempDir dir;
  // b lacks the second locus: a-b differ by 1 allele over the first locus,
  // 2 scaled to both loci, and so do a-c over the second; c lacks the
  // first locus, so b-c share no typed locus (4 alleles apart scaled, 0
  // under poppr's rule).
  WriteTsv(dir.path() / "m.txt", {{"3", "", "", "2", "2"},
                                  {"a", "1", "1", "100102", "110110"},
                                  {"b", "2", "1", "100100", "999999"},
                                  {"c", "3", "1", "999999", "110112"}});
  std::string err;
  ASSERT_EQ(RunVireltan({dir.file("m.txt"), "allelic-distance", "allelic-distance",
                         "--missing=poppr", "msn", "--missing=poppr"},
                        &err),
            0)
      << err;
  const std::string log = ReadWholeFile(dir.file("m.outvireltan.txt"));
  // MLGs in genotype order: b 1, a 2, c 3 (999999 sorts last).
  EXPECT_NE(log.find("Allelic distances between MLGs\tmissing loci: scale to all loci\t3 MLG "
                     "pairs with a locus missing in either unit\nMLGs\t1\t2\t3\n"
                     "1\t0\t2\t4\n2\t0\t0\t2\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Allelic distances between MLGs\tmissing loci: count as no difference "
                     "(poppr)\t3 MLG pairs with a locus missing in either unit\nMLGs\t1\t2\t3\n"
                     "1\t0\t1\t0\n2\t0\t0\t1\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(RunVireltan({dir.file("m.txt"), "microsat-distance", "--missing=half"}, &err), 1);
  EXPECT_NE(err.find("rescale or poppr"), std::string::npos) << err;
  EXPECT_EQ(RunVireltan({dir.file("m.txt"), "mll", "--threshold=1", "--missing=0"}, &err), 1);
  EXPECT_NE(err.find("rescale or poppr"), std::string::npos) << err;
}

TEST(LineageCommands, SummaryWithPermutationsIsRepeatableWithASeed) {
  TempDir dir;
  WriteTsv(dir.path() / "f.txt", kTwoFamilies);
  std::string logs[2];
  for (std::string& log : logs) {
    ASSERT_EQ(RunVireltan({"--seed=7", dir.file("f.txt"), "summary", "--permutations=99"}), 0);
    log = ReadWholeFile(dir.file("f.outvireltan.txt"));
  }
  EXPECT_EQ(logs[0], logs[1]);
  EXPECT_NE(logs[0].find("Pop\tN\tMLG\teMLG\tSE\tH\tG\tlambda\tE.5\tHexp\tIa\tp.Ia\trbarD\tp.rD\n"),
            std::string::npos)
      << logs[0];
}

}  // namespace
}  // namespace vireltan
