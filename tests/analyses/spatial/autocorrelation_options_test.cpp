// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/autocorrelation_options.h"

#include <gtest/gtest.h>

#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::TempDir;
using testing::WriteTsv;

TEST(AutocorrelationOptions, Button9MessagesAndSecondPanel) {
  TempDir dir;
  const std::string directory = dir.path().string() + "/";
  AutocorrelationOptions none;
  AutocorrelationValidation v = ValidateAutocorrelationOptions(none, directory);
  EXPECT_EQ(v.messages,
            (std::vector<std::string>{"Choose how the distance classes are defined: a number of "
                                      "classes or fixed classes (distances.txt)",
                                      "Choose how clonal replicates are treated: central "
                                      "coordinates, genets weighted or genets with resampling"}));
  EXPECT_FALSE(v.showSecondPanel);

  AutocorrelationOptions count;
  count.equalCountClasses = true;
  v = ValidateAutocorrelationOptions(count, directory);
  EXPECT_EQ(v.messages,
            std::vector<std::string>{"Choose how clonal replicates are treated: central "
                                     "coordinates, genets weighted or genets with resampling"});
  EXPECT_TRUE(v.showSecondPanel);
  EXPECT_TRUE(v.showClassCount);

  AutocorrelationOptions fixed;
  fixed.fixedClasses = true;
  fixed.genetsWeighted = true;
  v = ValidateAutocorrelationOptions(fixed, directory);
  EXPECT_EQ(v.messages, std::vector<std::string>{
                            "The file distances.txt is missing from the folder of the data file"});
  EXPECT_TRUE(v.closeFirstPanel);
  EXPECT_FALSE(v.showSecondPanel);

  WriteTsv(dir.path() / "distances.txt", {{"10", "20"}});
  v = ValidateAutocorrelationOptions(fixed, directory);
  EXPECT_TRUE(v.messages.empty());
  EXPECT_TRUE(v.showSecondPanel);
  EXPECT_FALSE(v.showClassCount);
  EXPECT_FALSE(v.closeFirstPanel);
}

TEST(AutocorrelationOptions, NumbersMustBePositiveWholeNumbers) {
  for (const std::string& bad : {"abc", "0", "-3", "1.5", "", " ", "12x", "99999999999"}) {
    AutocorrelationOptions o;
    o.equalCountClasses = true;
    o.permutationsText = bad;
    AutocorrelationSettings s;
    Status status = ReadAutocorrelationSettings(o, s);
    EXPECT_FALSE(status.ok()) << bad;
    EXPECT_NE(status.message().find("number of permutations"), std::string::npos);
    o.permutationsText = "10";
    o.classCountText = bad;
    status = ReadAutocorrelationSettings(o, s);
    EXPECT_FALSE(status.ok()) << bad;
    EXPECT_NE(status.message().find("number of distance classes"), std::string::npos);
  }
  AutocorrelationOptions o;
  o.equalCountClasses = true;
  o.genetsResampled = true;
  o.classCountText = " 12 ";
  o.permutationsText = "999";
  AutocorrelationSettings s;
  ASSERT_TRUE(ReadAutocorrelationSettings(o, s).ok());
  EXPECT_EQ(s.DistanceClassCount, 12);
  EXPECT_EQ(s.PermutationCount, 999);
  EXPECT_EQ(s.procedure, ReplicateProcedure::kResampling);
  // The fixed rule ignores Edit6.
  o.equalCountClasses = false;
  o.fixedClasses = true;
  o.classCountText = "junk";
  ASSERT_TRUE(ReadAutocorrelationSettings(o, s).ok());
  EXPECT_EQ(s.rule, DistanceClassRule::kFixedLimits);
}

TEST(AutocorrelationOptions, ExactlyOneRuleAndAtMostOneProcedure) {
  AutocorrelationSettings s;
  AutocorrelationOptions o;
  EXPECT_EQ(ReadAutocorrelationSettings(o, s).message(),
            "Choose how the distance classes are defined: a number of classes or fixed classes "
            "(distances.txt)");
  o.equalCountClasses = o.fixedClasses = true;
  EXPECT_FALSE(ReadAutocorrelationSettings(o, s).ok());
  o.fixedClasses = false;
  o.centralCoordinates = o.genetsWeighted = true;
  EXPECT_FALSE(ReadAutocorrelationSettings(o, s).ok());
  o.centralCoordinates = o.genetsWeighted = false;
  ASSERT_TRUE(ReadAutocorrelationSettings(o, s).ok());
  EXPECT_EQ(s.procedure, ReplicateProcedure::kNone);
}

TEST(AutocorrelationOptions, SheetNameByOptionPair) {
  using R = DistanceClassRule;
  using P = ReplicateProcedure;
  struct Case {
    R rule;
    P procedure;
    const char* name;
  };
  for (const Case& c : {Case{R::kEqualCount, P::kCentral, "Autocorr-Nb&Central"},
                        Case{R::kEqualCount, P::kWeighted, "Autocorr-Nb&Weighted"},
                        Case{R::kEqualCount, P::kResampling, "Autocorr-Nb&Permutations"},
                        Case{R::kFixedLimits, P::kCentral, "Autocorr-Fx&Central"},
                        Case{R::kFixedLimits, P::kWeighted, "Autocorr-Fx&Weighted"},
                        Case{R::kFixedLimits, P::kResampling, "Autocorr-Fx&Permutations"},
                        Case{R::kEqualCount, P::kNone, "Autocorr-Nb"},
                        Case{R::kFixedLimits, P::kNone, "Autocorr-Fx"}})
    EXPECT_EQ(AutocorrelationSheetName(c.rule, c.procedure), c.name);
}

}  // namespace
}  // namespace vireltan
