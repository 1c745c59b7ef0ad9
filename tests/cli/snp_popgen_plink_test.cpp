// SPDX-License-Identifier: GPL-3.0-or-later
// The population genetics of SNP data against plink 1.9 on the generated
// study tests/data/snp/popgen.* (200 samples, 4 populations, 300 SNPs):
//   hwe: p(exact) of every population and SNP against plink's --hardy run
//        on each population (--keep), to plink's printed precision, and to
//        1e-9 relative through plink's --hwe filter (kept when p >= t) at
//        thresholds just below and above our value; against a direct sum
//        over all heterozygote counts in long double; p(chi2) against the
//        1-df normal tail.
//   fstats: per-SNP θ against plink's --fst report (populations as --within
//        clusters) to its printed precision; the overall θ against plink's
//        weighted estimate over the SNPs plink keeps.
// plink1.9 (Debian package plink1.9) is run when present; without it the
// comparisons with plink are skipped with a message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include "analyses/popgen/snp_allele_counts.h"
#include "analyses/popgen/weir_cockerham.h"
#include "cli/cli_runner.h"
#include "common/progress_sink.h"
#include "dataset/snp/snp_study.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::TempDir;

const std::string kSnpDir = std::string(VIRELTAN_TEST_DATA_DIR) + "/snp/";
const std::string kStudy = kSnpDir + "popgen";
const std::string kSheet = kStudy + ".samples.csv";
const std::vector<std::string> kPopulations = {"popA", "popB", "popC", "popD"};

bool HavePlink() {
  return std::system("command -v plink1.9 > /dev/null 2>&1") == 0;
}

// Runs plink1.9 with `args` (its log and output in the working folder of
// `out`); true when it exits 0.
bool RunPlink(const std::string& args) {
  return std::system(("plink1.9 --bfile '" + kStudy + "' " + args + " > /dev/null 2>&1").c_str()) ==
         0;
}

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> cells;
  std::string cell;
  std::istringstream in(line);
  while (std::getline(in, cell, separator)) cells.push_back(cell);
  if (!line.empty() && line.back() == separator) cells.emplace_back();
  return cells;
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// The rows of one of our CSV files, by the first column's header names.
struct Csv {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  int Column(const std::string& name) const {
    return static_cast<int>(std::find(header.begin(), header.end(), name) - header.begin());
  }
};

Csv ReadCsv(const std::string& path) {
  std::ifstream in(path);
  Csv csv;
  std::string line;
  std::getline(in, line);
  csv.header = Split(line, ',');
  while (std::getline(in, line)) csv.rows.push_back(Split(line, ','));
  return csv;
}

// Half a unit of the last of the `digits` significant digits of `printed`
// (what %g rounding may move a value by), plus a little for the binary
// representation.
double PrintedHalfUnit(double printed, int digits) {
  if (printed == 0) return 1e-300;
  const double exponent = std::floor(std::log10(std::abs(printed)));
  return 0.5 * std::pow(10.0, exponent - (digits - 1)) * (1 + 1e-9);
}

// The exact test summed directly: Pr(h) ∝ 2^h / (r! h! c!) over every
// heterozygote count h of the allele counts, in long double.
double DirectExactP(int homRef, int het, int homAlt) {
  const int n = homRef + het + homAlt;
  const int rare = std::min(2 * homRef + het, 2 * homAlt + het);
  auto logWeight = [&](int h) {
    const int r = (rare - h) / 2, c = n - h - r;
    return static_cast<long double>(h) * std::log(2.0L) - std::lgamma(r + 1.0L) -
           std::lgamma(h + 1.0L) - std::lgamma(c + 1.0L);
  };
  long double top = -INFINITY;
  for (int h = rare % 2; h <= rare; h += 2) top = std::max(top, logWeight(h));
  const long double observed = logWeight(het);
  long double all = 0, tail = 0;
  for (int h = rare % 2; h <= rare; h += 2) {
    const long double w = std::exp(logWeight(h) - top);
    all += w;
    if (logWeight(h) <= observed + 1e-12L) tail += w;
  }
  return static_cast<double>(std::min<long double>(1, tail / all));
}

// Runs our command line on the study; the CSV `suffix` of the output.
Csv RunOurs(const TempDir& out, const std::vector<std::string>& commands,
            const std::string& suffix) {
  std::vector<std::string> args = {"--samples=" + kSheet, "--output-dir=" + out.path().string(),
                                   kStudy + ".bed"};
  args.insert(args.end(), commands.begin(), commands.end());
  std::ostringstream o, e;
  EXPECT_EQ(cli::Run(args, o, e), 0) << e.str();
  return ReadCsv(out.file("popgen" + suffix));
}

// One cell of our Hardy–Weinberg table.
struct OurHwe {
  int n = 0, alleles = 0;
  std::string pExact, pChi2, chi2;
};

std::map<std::pair<std::string, std::string>, OurHwe> OurHweTable(const TempDir& out) {
  const Csv csv = RunOurs(out, {"hwe", "--clone-correct=none"}, ".hwe.csv");
  std::map<std::pair<std::string, std::string>, OurHwe> cells;
  for (const auto& r : csv.rows) {
    OurHwe c;
    c.n = std::stoi(r[csv.Column("n")]);
    c.alleles = std::stoi(r[csv.Column("alleles")]);
    c.pExact = r[csv.Column("p_exact")];
    c.pChi2 = r[csv.Column("p_chi2")];
    c.chi2 = r[csv.Column("chi2")];
    cells[{r[0], r[1]}] = c;
  }
  return cells;
}

// Writes the FID IID list of one population's samples (their names carry
// the population's letter first).
std::string WriteKeepFile(const TempDir& dir, const std::string& population) {
  const std::string path = dir.file("keep_" + population + ".txt");
  std::ifstream fam(kStudy + ".fam");
  std::ofstream keep(path);
  for (std::string line; std::getline(fam, line);) {
    const auto w = Words(line);
    if (!w.empty() && w[1][0] == population.back()) keep << w[0] << ' ' << w[1] << '\n';
  }
  return path;
}

TEST(SnpPopgenAgainstPlink, HardyWeinbergExactPOfEveryPopulationAndSnp) {
  TempDir out;
  const auto ours = OurHweTable(out);
  ASSERT_EQ(ours.size(), 4u * 300u);
  // Independent of plink: the direct sum and the χ² tail.
  {
    double worstExact = 0, worstChi2 = 0;
    int tested = 0;
    for (const auto& [key, c] : ours) {
      if (c.pExact.empty()) continue;
      ++tested;
      // The 1-df tail: p = erfc(sqrt(chi2 / 2)). (The direct sum of the
      // exact test needs the genotype counts: below, from plink's GENO.)
      const double chi2 = std::stod(c.chi2);
      const double p = std::erfc(std::sqrt(chi2 / 2));
      worstChi2 = std::max(worstChi2, std::abs(std::stod(c.pChi2) - p) / std::max(p, 1e-300));
      worstExact = std::max(worstExact, std::stod(c.pExact));
    }
    EXPECT_GT(tested, 1000);
    EXPECT_LE(worstExact, 1.0);
    EXPECT_LT(worstChi2, 1e-9);
  }
  if (!HavePlink())
    GTEST_SKIP() << "plink1.9 is not installed (Debian package plink1.9): "
                    "the comparison with plink's --hardy is skipped";
  double worstPrinted = 0, worstDirect = 0;
  int compared = 0, ties = 0, bracketed = 0;
  for (const std::string& pop : kPopulations) {
    SCOPED_TRACE(pop);
    const std::string keep = WriteKeepFile(out, pop);
    const std::string prefix = out.file("hardy_" + pop);
    ASSERT_TRUE(RunPlink("--keep '" + keep + "' --hardy --out '" + prefix + "'"));
    std::ifstream hwe(prefix + ".hwe");
    std::string line;
    std::getline(hwe, line);                                  // header
    std::vector<std::pair<double, std::string>> polymorphic;  // our p, SNP
    while (std::getline(hwe, line)) {
      const auto w = Words(line);  // CHR SNP TEST A1 A2 GENO O(HET) E(HET) P
      ASSERT_EQ(w.size(), 9u) << line;
      const std::string& snp = w[1];
      SCOPED_TRACE(snp);
      const auto geno = Split(w[5], '/');  // A1 (alternate) / het / A2 (reference)
      const int homAlt = std::stoi(geno[0]), het = std::stoi(geno[1]), homRef = std::stoi(geno[2]);
      const OurHwe& c = ours.at({pop, snp});
      EXPECT_EQ(c.n, homAlt + het + homRef);
      const bool monomorphic = 2 * homAlt + het == 0 || 2 * homRef + het == 0;
      if (monomorphic) {
        // plink prints p = 1 where there is nothing to test; we leave it empty.
        EXPECT_TRUE(c.pExact.empty());
        EXPECT_LE(c.alleles, 1);
        continue;
      }
      ASSERT_FALSE(c.pExact.empty());
      const double p = std::stod(c.pExact), theirs = std::stod(w[8]);
      EXPECT_NEAR(p, theirs, PrintedHalfUnit(theirs, 4));
      worstPrinted = std::max(worstPrinted, std::abs(p - theirs) / theirs);
      const double direct = DirectExactP(homRef, het, homAlt);
      EXPECT_NEAR(p, direct, 1e-9 * direct);
      worstDirect = std::max(worstDirect, std::abs(p - direct) / direct);
      if (theirs == 1 && het > 0) ++ties;
      ++compared;
      polymorphic.emplace_back(p, snp);
    }
    // plink's own value to 1e-9 relative: its --hwe filter keeps a SNP
    // when p >= t. At t = ours·(1 ∓ 1e-9) every SNP must be kept or
    // removed as our p says; a dozen thresholds spread over the range.
    std::sort(polymorphic.begin(), polymorphic.end());
    for (std::size_t k = 0; k < polymorphic.size(); k += polymorphic.size() / 11) {
      for (const double side : {-1e-9, 1e-9}) {
        const double t = polymorphic[k].first * (1 + side);
        if (t >= 1) continue;  // plink removes nothing at 1 and above
        char threshold[40];
        std::snprintf(threshold, sizeof threshold, "%.17g", t);
        const std::string filtered = out.file("filter_" + pop);
        std::filesystem::remove(filtered + ".snplist");
        // plink stops with an error when every SNP is removed: none kept.
        RunPlink("--keep '" + keep + "' --hwe " + threshold + " --write-snplist --out '" +
                 filtered + "'");
        std::set<std::string> kept;
        std::ifstream list(filtered + ".snplist");
        for (std::string snp; std::getline(list, snp);) kept.insert(snp);
        for (const auto& [ourP, snp] : polymorphic) {
          if (std::abs(ourP - t) <= 1e-9 * t * 0.5) continue;  // too near to tell
          EXPECT_EQ(kept.count(snp) == 1, ourP >= t)
              << snp << ": our p " << ourP << ", threshold " << threshold;
          ++bracketed;
        }
      }
    }
  }
  EXPECT_GT(compared, 1000);
  EXPECT_GT(ties, 0);  // symmetric configurations at the mode: p = 1 for both
  std::cout << "[ compare  ] " << compared << " cells; largest relative difference from plink's "
            << "printed p (4 digits): " << worstPrinted << "; from the direct sum: " << worstDirect
            << "; " << bracketed << " cell-threshold checks against plink's --hwe at 1e-9\n";
}

// The study with its populations, and each population's samples.
void LoadStudy(SnpStudy& study, std::vector<std::vector<int>>& units) {
  SnpOpenOptions options;
  options.samplesPath = kSheet;
  NullProgressSink progress;
  ASSERT_TRUE(LoadSnpStudy(kStudy + ".bed", options, "all", progress, study).ok());
  units.assign(study.samples.populationNames.size(), {});
  for (int s = 0; s < study.sampleCount(); ++s)
    units[study.samples.populationOfSample[s]].push_back(s);
}

TEST(SnpPopgenAgainstPlink, WeirCockerhamThetaPerSnpAndWeighted) {
  TempDir out;
  const Csv csv = RunOurs(out, {"fstats", "--clone-correct=none", "--bootstrap=0"}, ".fstats.csv");
  std::map<std::string, std::string> ourFst;
  for (const auto& r : csv.rows) ourFst[r[0]] = r[csv.Column("Fst")];
  ASSERT_EQ(ourFst.size(), 301u);  // 300 SNPs and Overall
  if (!HavePlink())
    GTEST_SKIP() << "plink1.9 is not installed (Debian package plink1.9): "
                    "the comparison with plink's --fst is skipped";
  const std::string within = out.file("within.txt");
  {
    std::ifstream fam(kStudy + ".fam");
    std::ofstream w(within);
    for (std::string line; std::getline(fam, line);) {
      const auto words = Words(line);
      w << words[0] << ' ' << words[1] << " pop" << words[1][0] << '\n';
    }
  }
  const std::string prefix = out.file("fst");
  ASSERT_TRUE(RunPlink("--within '" + within + "' --fst --out '" + prefix + "'"));
  std::ifstream report(prefix + ".fst");
  std::string line;
  std::getline(report, line);  // CHR SNP POS NMISS FST
  std::set<std::string> plinkKept;
  double worst = 0;
  std::vector<std::string> onlyOurs;
  while (std::getline(report, line)) {
    const auto w = Words(line);
    ASSERT_EQ(w.size(), 5u);
    const std::string& ours = ourFst.at(w[1]);
    if (w[4] == "nan") {
      if (!ours.empty()) onlyOurs.push_back(w[1]);
      continue;
    }
    plinkKept.insert(w[1]);
    ASSERT_FALSE(ours.empty()) << w[1];
    const double theirs = std::stod(w[4]), mine = std::stod(ours);
    EXPECT_NEAR(mine, theirs, PrintedHalfUnit(theirs, 6)) << w[1];
    worst = std::max(worst, std::abs(mine - theirs));
  }
  // Monomorphic SNPs have no θ on either side. plink also gives none where
  // a population has no typed sample (snp021: population D all missing),
  // where we, as hierfstat, compute θ over the populations typed there.
  EXPECT_EQ(onlyOurs, std::vector<std::string>{"snp021"});
  EXPECT_EQ(plinkKept.size(), 294u);

  // The weighted estimate: the ratio of the components summed over the
  // SNPs plink keeps.
  std::ifstream log(prefix + ".log");
  double weighted = NAN;
  while (std::getline(log, line))
    if (line.rfind("Weighted Fst estimate: ", 0) == 0) weighted = std::stod(line.substr(23));
  ASSERT_FALSE(std::isnan(weighted));
  SnpStudy study;
  std::vector<std::vector<int>> units;
  LoadStudy(study, units);
  AlleleCountTable table;
  ASSERT_TRUE(CountSnpAlleles(study.genotypes, study.ploidy, units, nullptr, table));
  VarianceComponents keptSum, allSum;
  for (int l = 0; l < table.locusCount; ++l) {
    const VarianceComponents c = LocusComponents(table, l);
    allSum += c;
    if (plinkKept.count(study.loci[l].id)) keptSum += c;
  }
  const double keptTheta = *RatiosOf(keptSum, false).fst;
  EXPECT_NEAR(keptTheta, weighted, PrintedHalfUnit(weighted, 6));
  // Our overall line (every SNP with components) is the ratio of all sums.
  EXPECT_NEAR(std::stod(ourFst.at("Overall")), *RatiosOf(allSum, false).fst, 1e-12);
  std::cout << "[ compare  ] per-SNP largest |difference| from plink " << worst
            << "; weighted over plink's SNPs " << keptTheta << " vs plink " << weighted
            << "; our overall (all SNPs) " << ourFst.at("Overall") << "\n";
}

}  // namespace
}  // namespace vireltan
