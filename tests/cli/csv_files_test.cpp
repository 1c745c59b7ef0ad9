// SPDX-License-Identifier: GPL-3.0-or-later
// Every comma-separated table the commands write reads as R's read.csv and
// pandas' read_csv take it without options: one header row of distinct,
// non-empty names, every row with all of the fields. The summary's title
// facts sit in columns of their own.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "cli/cli_runner.h"
#include "support/sheet_builder.h"
#include "support/strict_csv.h"

namespace vireltan {
namespace {

using testing::ReadStrictCsvFile;
using testing::StrictCsv;
using testing::TempDir;

const std::string kData = VIRELTAN_TEST_DATA_DIR;
const std::string kAlleles = kData + "/pramorum_forest_nursery_nocoords.txt";
const std::string kPopulations =
    "--file=" + kData + "/peers/popgen/pramorum_forest_nursery_nocoords.populations.txt";
const std::string kVcf = kData + "/snp/clonal.vcf";
const std::string kSheet = "--samples=" + kData + "/snp/clonal.samples.csv";

int RunCli(const std::vector<std::string>& args, std::string* err) {
  std::ostringstream out, errors;
  const int status = cli::Run(args, out, errors);
  *err = errors.str();
  return status;
}

struct CsvRun {
  const char* name;
  std::string dataset;               // the output files' prefix
  std::vector<std::string> args;     // after --output-dir
  std::vector<std::string> strict;   // suffixes of the data tables written
  std::vector<std::string> genalex;  // GenAlEx files: its own multi-row header
};

const std::vector<CsvRun> kRuns = {
    {"allele summary tested",
     "pramorum_forest_nursery_nocoords",
     {"--seed=2", kAlleles, "strata", kPopulations, "summary", "--permutations=9"},
     {".summary.csv"},
     {}},
    {"allele lineages",
     "pramorum_forest_nursery_nocoords",
     {kAlleles, "strata", kPopulations, "mll", "--threshold=2", "use-lineages", "summary",
      "--clone-correct", "msn", "units-table"},
     {".summary.csv", ".units.csv", ".msn.nodes.csv"},
     {}},
    {"allele units before mll",
     "pramorum_forest_nursery_nocoords",
     {kAlleles, "units-table"},
     {".units.csv"},
     {}},
    {"allele population genetics",
     "pramorum_forest_nursery_nocoords",
     {"--seed=2", kAlleles, "strata", kPopulations, "popgen", "fstats", "--bootstrap=9",
      "pairwise-fst", "--permutations=9", "hwe", "--permutations=9", "amova", "--permutations=9"},
     {".popgen.csv", ".popgen.loci.csv", ".fstats.csv", ".pairwise-fst.csv", ".hwe.csv",
      ".amova.csv"},
     {}},
    {"snp everything",
     "clonal",
     {"--seed=2",
      kSheet,
      kVcf,
      "mll",
      "--from-replicates",
      "use-lineages",
      "summary",
      "--permutations=9",
      "--missing=typed-pairs",
      "msn",
      "popgen",
      "fstats",
      "--bootstrap=9",
      "pairwise-fst",
      "--permutations=9",
      "hwe",
      "--permutations=9",
      "amova",
      "--permutations=9",
      "export-genalex"},
     {".summary.csv", ".msn.nodes.csv", ".popgen.csv", ".popgen.loci.csv", ".fstats.csv",
      ".pairwise-fst.csv", ".hwe.csv", ".amova.csv"},
     {".genalex.csv"}},
};

TEST(CsvFiles, EveryTableReadsWithoutOptions) {
  for (const CsvRun& run : kRuns) {
    SCOPED_TRACE(run.name);
    TempDir out;
    std::vector<std::string> args = {"--quiet", "--output-dir=" + out.path().string()};
    args.insert(args.end(), run.args.begin(), run.args.end());
    std::string err;
    ASSERT_EQ(RunCli(args, &err), 0) << err;
    std::set<std::string> expected;
    for (const std::string& suffix : run.strict) {
      const std::string path = out.file(run.dataset + suffix);
      ASSERT_TRUE(std::filesystem::exists(path)) << suffix << " not written";
      expected.insert(path);
      const StrictCsv csv = ReadStrictCsvFile(path);
      if (!csv.ok) continue;
      EXPECT_FALSE(csv.rows.empty()) << path;
      for (const std::string& name : csv.header) EXPECT_FALSE(name.empty()) << path;
    }
    // GenAlEx's own layout (counts, title and header rows) is for GenAlEx.
    for (const std::string& suffix : run.genalex) {
      ASSERT_TRUE(std::filesystem::exists(out.file(run.dataset + suffix))) << suffix;
      expected.insert(out.file(run.dataset + suffix));
    }
    // No comma-separated file escapes the check.
    for (const auto& entry : std::filesystem::directory_iterator(out.path()))
      if (entry.path().extension() == ".csv")
        EXPECT_TRUE(expected.count(entry.path().string())) << entry.path() << " not checked";
  }
}

// The log's title row of the summary and its closing "eMLG and SE for n ="
// line become columns, the same value in every row.
TEST(CsvFiles, SummaryTitleFactsAreColumns) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string file;
    std::map<std::string, std::string> columns;
    bool tested;  // p.Ia and p.rD columns
  };
  const std::vector<Case> cases = {
      {"allele MLGs",
       {kAlleles, "strata", kPopulations, "summary"},
       "pramorum_forest_nursery_nocoords.summary.csv",
       {{"dataset", "pramorum_forest_nursery_nocoords"},
        {"units_counted", "all units"},
        {"counted", "MLG"},
        {"mll_distance", ""},
        {"mll_linkage", ""},
        {"mll_threshold", ""},
        {"eMLG_n", "10"},
        {"Ia_missing", ""},
        {"null", ""},
        {"permutations", ""}},
       false},
      {"allele lineages clone-corrected, tested",
       {kAlleles, "mll", "--threshold=2", "--linkage=average", "use-lineages", "summary",
        "--clone-correct", "--permutations=9", "--null=genotypes"},
       "pramorum_forest_nursery_nocoords.summary.csv",
       {{"units_counted", "clone-corrected"},
        {"counted", "MLL"},
        {"mll_distance", "allelic"},
        {"mll_linkage", "average"},
        {"mll_threshold", "2"},
        {"null", "genotypes"},
        {"permutations", "9"}},
       true},
      {"snp lineages, missing calls",
       {kSheet, kVcf, "mll", "--from-replicates", "use-lineages", "summary",
        "--missing=typed-pairs", "--rarefy-to=12"},
       "clonal.summary.csv",
       {{"dataset", "clonal"},
        {"counted", "MLL"},
        {"mll_distance", "snp"},
        {"mll_linkage", "farthest"},
        {"eMLG_n", "12"},
        {"Ia_missing", "typed-pairs"},
        {"null", ""}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir out;
    std::vector<std::string> args = {"--quiet", "--seed=4", "--output-dir=" + out.path().string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::string err;
    ASSERT_EQ(RunCli(args, &err), 0) << err;
    const StrictCsv csv = ReadStrictCsvFile(out.file(c.file));
    ASSERT_TRUE(csv.ok);
    ASSERT_GE(csv.rows.size(), 2u);
    EXPECT_EQ(csv.header.front(), "Pop");
    EXPECT_EQ(csv.rows.back().at("Pop"), "Total");  // no line after the total
    const std::set<std::string> header(csv.header.begin(), csv.header.end());
    EXPECT_EQ(header.count("p.Ia") + header.count("p.rD"), c.tested ? 2u : 0u);
    for (const auto& row : csv.rows)
      for (const auto& [column, value] : c.columns) {
        ASSERT_TRUE(row.count(column)) << column;
        EXPECT_EQ(row.at(column), value) << column;
      }
  }
}

}  // namespace
}  // namespace vireltan
