// SPDX-License-Identifier: GPL-3.0-or-later
// The AMOVA permutation test against ade4's randtest on amova
// (tests/data/peers/amova_randtest, made by scripts/amova_randtest_ade4.R):
// the same σ² observed, each level's p within Monte-Carlo error of ade4's,
// and the permuted σ² with ade4's mean and spread. A scheme that permuted
// the wrong level, tested Φ instead of σ², or counted the wrong side would
// move a p far beyond that error on the shuffled populations (where p lies
// between 0 and 1) or shift the permuted mean and spread.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <ostream>
#include <string>

#include "session/session.h"
#include "support/opened_session.h"
#include "support/strict_csv.h"

namespace vireltan {
namespace {

using testing::ReadStrictCsvFile;
using testing::StrictCsv;

const std::string kData = std::string(VIRELTAN_TEST_DATA_DIR) + "/peers/";

double Number(const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  EXPECT_TRUE(!text.empty() && *end == '\0') << "\"" << text << "\"";
  return v;
}

struct RandtestCase {
  std::string name;
  std::string dataset;
  std::string populations;  // under tests/data/peers/
  bool within;
  std::string ade4;  // ade4's results under tests/data/peers/amova_randtest/
  friend std::ostream& operator<<(std::ostream& out, const RandtestCase& c) {
    return out << c.name;
  }
};

class AmovaRandtest : public ::testing::TestWithParam<RandtestCase> {};

TEST_P(AmovaRandtest, PValuesAndPermutedSigmaAgreeWithAde4) {
  const RandtestCase& c = GetParam();
  constexpr int kPermutations = 9999;
  testing::OpenedSession opened(c.dataset, kData + c.populations, 17);
  ASSERT_TRUE(opened.opened());
  Session::AmovaRequest request;
  request.within = c.within;
  request.permutations = kPermutations;
  ASSERT_TRUE(opened.session().Amova(request).ok());
  const StrictCsv ours = ReadStrictCsvFile(opened.file(c.dataset + ".amova.csv"));
  const StrictCsv ade4 = ReadStrictCsvFile(kData + "amova_randtest/" + c.ade4);
  // ade4 lists the tests from the lowest level up (within samples first);
  // our table lists the sources from the top down, the total last. Without
  // a structure ade4 tests the between-samples σ² alone.
  int sources = 0;
  while (sources < static_cast<int>(ours.rows.size()) && ours.rows[sources].at("source") != "Total")
    ++sources;
  ASSERT_GE(sources, static_cast<int>(ade4.rows.size()));
  for (std::size_t t = 0; t < ade4.rows.size(); ++t) {
    const auto& theirs = ade4.rows[t];
    const bool alone = ade4.rows.size() == 1;
    const auto& mine = ours.rows[alone ? 0 : sources - 1 - t];
    const std::string what = c.name + ": " + theirs.at("test") + " / " + mine.at("source");
    EXPECT_NEAR(Number(mine.at("sigma2")), Number(theirs.at("obs")), 1e-9) << what;
    const double p = Number(mine.at("p")), q = Number(theirs.at("pvalue"));
    const double P = kPermutations, Q = Number(theirs.at("permutations"));
    // Three binomial standard errors of the difference, and the smallest
    // p of either run (both at their floor when nothing permuted reaches
    // the observed σ²).
    const double mean = 0.5 * (p + q);
    const double error = std::sqrt(mean * (1 - mean) * (1 / P + 1 / Q));
    EXPECT_LE(std::abs(p - q), 3 * error + 1 / (P + 1) + 1 / (Q + 1))
        << what << ": p " << p << " (ours) against " << q << " (ade4)";
    const double m = Number(mine.at("permuted_sigma2_mean"));
    const double s = Number(mine.at("permuted_sigma2_sd"));
    const double theirMean = Number(theirs.at("sim_mean"));
    const double theirSd = Number(theirs.at("sim_sd"));
    // Means and spreads within 4 standard errors (that of a standard
    // deviation from P draws is about 1/√(2P) of it).
    EXPECT_LE(std::abs(m - theirMean), 4 * theirSd * std::sqrt(1 / P + 1 / Q)) << what << " mean";
    EXPECT_NEAR(s / theirSd, 1, 4 * std::sqrt(0.5 / P + 0.5 / Q)) << what << " spread";
    std::cout << "[ ade4 randtest ] " << what << ": p " << p << " / " << q << ", mean " << m
              << " / " << theirMean << ", sd " << s << " / " << theirSd << "\n";
  }
}

INSTANTIATE_TEST_SUITE_P(
    TwoDatasets, AmovaRandtest,
    ::testing::Values(
        RandtestCase{"nancycats_units", "nancycats_colonies",
                     "amova/nancycats_colonies.populations.txt", false,
                     "nancycats_colonies.units.csv"},
        RandtestCase{"pramorum_units", "pramorum_forest_nursery_nocoords",
                     "amova/pramorum_forest_nursery_nocoords.populations.txt", false,
                     "pramorum_forest_nursery_nocoords.units.csv"},
        RandtestCase{"nancycats_shuffled_units", "nancycats_colonies",
                     "amova_randtest/nancycats_colonies.shuffled_populations.txt", false,
                     "nancycats_colonies.shuffled.units.csv"},
        RandtestCase{"pramorum_shuffled_units", "pramorum_forest_nursery_nocoords",
                     "amova_randtest/pramorum_forest_nursery_nocoords.shuffled_populations.txt",
                     false, "pramorum_forest_nursery_nocoords.shuffled.units.csv"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace vireltan
