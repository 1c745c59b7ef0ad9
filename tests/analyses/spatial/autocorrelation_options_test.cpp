#include <gtest/gtest.h>

#include "analyses/spatial/autocorrelation_options.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::TempDir;
using testing::WriteTsv;

TEST(AutocorrelationPanel, MenuCommandEnablesAndUnticksEverything) {
  AutocorrelationPanel panel;
  panel.Click(1);
  panel.Click(3);
  panel.MenuCommand();
  for (int box = 1; box <= 5; ++box) {
    EXPECT_FALSE(panel.isChecked(box));
    EXPECT_TRUE(panel.isEnabled(box));
  }
  EXPECT_TRUE(panel.GroupBox9Visible);
  EXPECT_TRUE(panel.Button9Enabled);
  EXPECT_FALSE(panel.GroupBox10Visible);
  EXPECT_FALSE(panel.Edit6Visible);
  EXPECT_TRUE(panel.Label4Visible);
  EXPECT_TRUE(panel.Label5Visible);
}

TEST(AutocorrelationPanel, BoxesOnlyEverDisableTheirRivals) {
  struct Case {
    int box;
    std::vector<int> disabled;
  };
  for (const Case& c : {Case{1, {2}}, Case{2, {1}}, Case{3, {4, 5}}, Case{4, {3, 5}},
                        Case{5, {3, 4}}}) {
    AutocorrelationPanel panel;
    panel.MenuCommand();
    panel.Click(c.box);
    EXPECT_TRUE(panel.isChecked(c.box));
    for (int other = 1; other <= 5; ++other) {
      const bool expectDisabled =
          std::find(c.disabled.begin(), c.disabled.end(), other) != c.disabled.end();
      EXPECT_EQ(panel.isEnabled(other), !expectDisabled) << c.box << " " << other;
    }
  }
  // Ticking CheckBox3 then unticking it leaves 4 and 5 disabled until the
  // menu command is chosen again; a disabled box ignores clicks.
  AutocorrelationPanel panel;
  panel.MenuCommand();
  panel.Click(3);
  panel.Click(3);
  EXPECT_FALSE(panel.isChecked(3));
  EXPECT_FALSE(panel.isEnabled(4));
  EXPECT_FALSE(panel.isEnabled(5));
  panel.Click(4);
  EXPECT_FALSE(panel.isChecked(4));
  panel.MenuCommand();
  EXPECT_TRUE(panel.isEnabled(4));
}

TEST(AutocorrelationPanel, Button9MessagesAndSecondPanel) {
  TempDir dir;
  const std::string directory = dir.path().string() + "/";
  AutocorrelationOptions none;
  AutocorrelationValidation v = ValidateAutocorrelationOptions(none, directory);
  EXPECT_EQ(v.messages, (std::vector<std::string>{
                            "you have to chose a distance class definition option",
                            "you have to chose a procedure to remove replicates"}));
  EXPECT_FALSE(v.showSecondPanel);

  AutocorrelationOptions count;
  count.CheckBox1 = true;
  v = ValidateAutocorrelationOptions(count, directory);
  EXPECT_EQ(v.messages,
            std::vector<std::string>{"you have to chose a procedure to remove replicates"});
  EXPECT_TRUE(v.showSecondPanel);
  EXPECT_TRUE(v.showClassCount);

  AutocorrelationOptions fixed;
  fixed.CheckBox2 = true;
  fixed.CheckBox4 = true;
  v = ValidateAutocorrelationOptions(fixed, directory);
  EXPECT_EQ(v.messages, std::vector<std::string>{"fichier distances.txt absent"});
  EXPECT_TRUE(v.closeFirstPanel);
  EXPECT_FALSE(v.showSecondPanel);
  AutocorrelationPanel panel;
  panel.MenuCommand();
  panel.Button9Click(v);
  EXPECT_FALSE(panel.GroupBox9Visible);
  EXPECT_FALSE(panel.GroupBox10Visible);

  WriteTsv(dir.path() / "distances.txt", {{"10", "20"}});
  v = ValidateAutocorrelationOptions(fixed, directory);
  EXPECT_TRUE(v.messages.empty());
  EXPECT_TRUE(v.showSecondPanel);
  EXPECT_FALSE(v.showClassCount);
  panel.MenuCommand();
  panel.Button9Click(v);
  EXPECT_TRUE(panel.GroupBox10Visible);
  EXPECT_TRUE(panel.Button11Enabled);
  EXPECT_TRUE(panel.Edit7Visible);
  EXPECT_FALSE(panel.Edit6Visible);
  EXPECT_FALSE(panel.Label4Visible);
  EXPECT_TRUE(panel.Label5Visible);
  panel.RunEnded();
  EXPECT_FALSE(panel.GroupBox10Visible);
  EXPECT_FALSE(panel.Button11Enabled);
}

TEST(AutocorrelationOptions, NumbersMustBePositiveWholeNumbers) {
  for (const std::string& bad : {"abc", "0", "-3", "1.5", "", " ", "12x", "99999999999"}) {
    AutocorrelationOptions o;
    o.CheckBox1 = true;
    o.Edit7 = bad;
    AutocorrelationSettings s;
    Status status = ReadAutocorrelationSettings(o, s);
    EXPECT_FALSE(status.ok()) << bad;
    EXPECT_NE(status.message().find("number of permutations"), std::string::npos);
    o.Edit7 = "10";
    o.Edit6 = bad;
    status = ReadAutocorrelationSettings(o, s);
    EXPECT_FALSE(status.ok()) << bad;
    EXPECT_NE(status.message().find("number of distance classes"), std::string::npos);
  }
  AutocorrelationOptions o;
  o.CheckBox1 = true;
  o.CheckBox5 = true;
  o.Edit6 = " 12 ";
  o.Edit7 = "999";
  AutocorrelationSettings s;
  ASSERT_TRUE(ReadAutocorrelationSettings(o, s).ok());
  EXPECT_EQ(s.DistanceClassCount, 12);
  EXPECT_EQ(s.PermutationCount, 999);
  EXPECT_EQ(s.procedure, ReplicateProcedure::kResampling);
  // The fixed rule ignores Edit6.
  o.CheckBox1 = false;
  o.CheckBox2 = true;
  o.Edit6 = "junk";
  ASSERT_TRUE(ReadAutocorrelationSettings(o, s).ok());
  EXPECT_EQ(s.rule, DistanceClassRule::kFixedLimits);
}

TEST(AutocorrelationOptions, ExactlyOneRuleAndAtMostOneProcedure) {
  AutocorrelationSettings s;
  AutocorrelationOptions o;
  EXPECT_EQ(ReadAutocorrelationSettings(o, s).message(),
            "you have to chose a distance class definition option");
  o.CheckBox1 = o.CheckBox2 = true;
  EXPECT_FALSE(ReadAutocorrelationSettings(o, s).ok());
  o.CheckBox2 = false;
  o.CheckBox3 = o.CheckBox4 = true;
  EXPECT_FALSE(ReadAutocorrelationSettings(o, s).ok());
  o.CheckBox3 = o.CheckBox4 = false;
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
