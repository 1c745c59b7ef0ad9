// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "sheet/sheet.h"
#include "sheet/table_file.h"

namespace vireltan {
namespace {

double ReadBack(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

TEST(FormatNumber, ShortForms) {
  EXPECT_EQ(FormatNumber(42), "42");
  EXPECT_EQ(FormatNumber(-7), "-7");
  EXPECT_EQ(FormatNumber(0.1), "0.1");
  EXPECT_EQ(FormatNumber(4660671.7), "4660671.7");
  EXPECT_EQ(FormatNumber(394573.8), "394573.8");
  EXPECT_EQ(FormatNumber(165168), "165168");
  EXPECT_EQ(FormatNumber(999999), "999999");
  EXPECT_EQ(FormatNumber(1004.1), "1004.1");
  EXPECT_EQ(FormatNumber(0.0), "0");
  EXPECT_EQ(FormatNumber(-0.0), "0");
}

TEST(FormatNumber, NonFiniteIsEmpty) {
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::quiet_NaN()), "");
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::infinity()), "");
  EXPECT_EQ(FormatNumber(-std::numeric_limits<double>::infinity()), "");
}

TEST(FormatNumber, RoundTrips) {
  const double values[] = {0.1,
                           1.0 / 3.0,
                           2.0 / 3.0,
                           1e-300,
                           -1e-300,
                           4660671.7,
                           1e15,
                           1e16,
                           1e22,
                           1e308,
                           5e-324,
                           123456789012345678.0,
                           1e-5,
                           1.5e-6,
                           0.30000000000000004,
                           -2.5,
                           65536.125,
                           std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::min()};
  for (double value : values) {
    std::string text = FormatNumber(value);
    EXPECT_EQ(ReadBack(text), value) << text;
    EXPECT_LE(text.size(), 24u) << text;
  }
}

TEST(FormatNumber, ReadsBackThroughParseDecimal) {
  for (double value : {0.1, 1.0 / 3.0, 1e-300, 4660671.7, 42.0}) {
    auto parsed = ParseDecimal(FormatNumber(value));
    ASSERT_TRUE(parsed.has_value()) << FormatNumber(value);
    EXPECT_EQ(*parsed, value);
  }
}

}  // namespace
}  // namespace vireltan
