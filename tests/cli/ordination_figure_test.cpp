// SPDX-License-Identifier: GPL-3.0-or-later
// The ordination and isolation-by-distance figures saved through the
// command line at a journal column's size and at a page's: every text item
// is in the SVG and none starts or (by an estimate of its width) ends
// outside the page.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/sheet_builder.h"
#include "support/strict_csv.h"

namespace vireltan {
namespace {

using testing::ReadStrictCsv;
using testing::ReadWholeFile;
using testing::TempDir;

struct SvgText {
  double x = 0, y = 0;  // left end of the baseline on the page, in the viewBox units
  double fontSize = 0;
  std::string text;
};

struct Svg {
  double width = 0, height = 0;
  std::vector<SvgText> texts;
  std::string all;  // every text item, joined by single spaces
};

std::string Unescape(std::string s) {
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&apos;", "'"}, {"&amp;", "&"}}) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
      s.replace(at, from.size(), to);
  }
  return s;
}

// The text items of the renderer's SVG: each sits in a group whose
// transform matrix(a, b, c, d, e, f) places it.
Svg ReadSvg(const std::string& svg) {
  Svg out;
  std::smatch box;
  if (std::regex_search(svg, box, std::regex(R"re(viewBox="0 0 ([0-9.]+) ([0-9.]+)")re"))) {
    out.width = std::stod(box[1]);
    out.height = std::stod(box[2]);
  }
  const std::regex item(
      R"re(transform="matrix\(([-0-9.e]+),([-0-9.e]+),([-0-9.e]+),([-0-9.e]+),([-0-9.e]+),([-0-9.e]+)\)"[^>]*>\s*<text[^>]*x="([-0-9.e]+)" y="([-0-9.e]+)"[^>]*font-size="([0-9.]+)"[^>]*>([^<]*)</text>)re");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), item); it != std::sregex_iterator();
       ++it) {
    const std::smatch& m = *it;
    const double a = std::stod(m[1]), b = std::stod(m[2]), c = std::stod(m[3]), d = std::stod(m[4]),
                 e = std::stod(m[5]), f = std::stod(m[6]);
    const double x = std::stod(m[7]), y = std::stod(m[8]);
    SvgText t;
    t.x = a * x + c * y + e;
    t.y = b * x + d * y + f;
    t.fontSize = std::stod(m[9]);
    t.text = Unescape(m[10]);
    out.texts.push_back(t);
    out.all += (out.all.empty() ? "" : " ") + t.text;
  }
  return out;
}

bool Contains(const Svg& svg, const std::string& text) {
  return svg.all.find(text) != std::string::npos;
}

std::string OneDecimal(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

struct PageSize {
  int width;  // mm
  int height;
};

class OrdinationFigures : public ::testing::TestWithParam<PageSize> {};

TEST_P(OrdinationFigures, EveryTextIsOnThePage) {
  const PageSize page = GetParam();
  TempDir dir;
  std::filesystem::copy_file(std::string(VIRELTAN_TEST_DATA_DIR) + "/nancycats_colonies.txt",
                             dir.file("cats.txt"));
  const std::string populations =
      std::string(VIRELTAN_TEST_DATA_DIR) + "/peers/amova/nancycats_colonies.populations.txt";
  const std::string line = std::string(VIRELTAN_CLI_PATH) + " --quiet --seed=1 '" +
                           dir.file("cats.txt") + "' strata --file='" + populations +
                           "' pcoa --of=genets ibd --among=populations "
                           "--permutations=99 save-graph --format=svg --width=" +
                           std::to_string(page.width) + " --height=" + std::to_string(page.height) +
                           " 2>'" + dir.file("err.txt") + "'";
  const int status = std::system(line.c_str());
  const std::string err = ReadWholeFile(dir.file("err.txt"));
  if (err.find("built without") != std::string::npos)
    GTEST_SKIP() << "this vireltan-cli was built without the chart library";
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << err;

  const auto eig = ReadStrictCsv(ReadWholeFile(dir.file("cats.pcoa.eigenvalues.csv")));
  ASSERT_TRUE(eig.ok) << eig.error;
  const std::string axis1 =
      "PCo1 (" + OneDecimal(100 * std::stod(eig.rows.at(0).at("relative"))) + " %)";
  const std::string axis2 =
      "PCo2 (" + OneDecimal(100 * std::stod(eig.rows.at(1).at("relative"))) + " %)";
  std::vector<std::string> populationNames;
  for (int p = 1; p <= 17; ++p)
    populationNames.push_back((p < 10 ? "P0" : "P") + std::to_string(p));

  struct Expected {
    std::string file;
    std::vector<std::string> texts;
  };
  std::vector<std::string> pcoaTexts = {"PCoA of \"cats\"", axis1, axis2, "Population"};
  pcoaTexts.insert(pcoaTexts.end(), populationNames.begin(), populationNames.end());
  const std::vector<Expected> figures = {
      {"cats.pcoa.svg", pcoaTexts},
      {"cats.ibd.svg",
       {"Isolation by distance, \"cats\"", "Geographic distance (file units)", "Fst/(1\u2212Fst)",
        "pairs of populations", "least-squares line", "Pearson's r ="}}};
  for (const Expected& figure : figures) {
    SCOPED_TRACE(figure.file);
    const std::string text = ReadWholeFile(dir.file(figure.file));
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.find("width=\"" + std::to_string(page.width) + "mm\""), std::string::npos);
    const Svg svg = ReadSvg(text);
    ASSERT_GT(svg.width, 0);
    ASSERT_FALSE(svg.texts.empty());
    for (const std::string& t : figure.texts)
      EXPECT_TRUE(Contains(svg, t)) << t << " in: " << svg.all;
    for (const SvgText& t : svg.texts) {
      // Anchors at the baseline's left end (rotated axis titles: the
      // baseline runs upwards); ascenders reach about 0.8 em above it,
      // descenders 0.25 em below, and a glyph is at most about 0.62 em wide
      // in the renderer's sans serif.
      EXPECT_GE(t.x, -0.5) << t.text;
      EXPECT_GE(t.y, -0.5) << t.text;
      EXPECT_LE(t.y + 0.25 * t.fontSize, svg.height + 0.5) << t.text;
      if (t.x < svg.width && t.y < svg.height) {
        const double estimate = 0.62 * t.fontSize * static_cast<double>(t.text.size());
        EXPECT_LE(t.x + 0.8 * estimate, svg.width + 0.5) << t.text;
      } else {
        ADD_FAILURE() << "outside the page: " << t.text;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, OrdinationFigures,
                         ::testing::Values(PageSize{80, 60}, PageSize{170, 120}));

}  // namespace
}  // namespace vireltan
