// SPDX-License-Identifier: GPL-3.0-or-later
// The lineage commands end to end: the MLL block, the lineage note in the
// title rows, the network's edge list, and refusals that leave files alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli_runner.h"
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
  EXPECT_EQ(edges.substr(0, edges.find('\n')), "from\tto\tdistance");
  EXPECT_NE(edges.find("\n1\t2\t1\n"), std::string::npos) << edges;
  EXPECT_NE(edges.find("\n3\t4\t1\n"), std::string::npos) << edges;
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
