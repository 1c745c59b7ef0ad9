// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/factorial_table.h"

#include <gtest/gtest.h>

#include "common/message_sink.h"
#include "numeric/log_gamma.h"

namespace vireltan {
namespace {

TEST(FactorialTableTest, StartsAllZeroAndHasNoEntryZero) {
  FactorialTable table;
  for (int k = 0; k <= FactorialTable::kMaxEntries + 1; ++k) EXPECT_EQ(table[k], 0.0L) << k;
  EXPECT_EQ(table[-1], 0.0L);
}

TEST(FillFactorialTableTest, FillsOneToNWithoutMessage) {
  FactorialTable table;
  RecordingMessageSink messages;
  FillFactorialTable(table, 6, messages);
  EXPECT_TRUE(messages.messages.empty());
  long double exact = 1.0L;
  for (int k = 1; k <= 6; ++k) {
    exact *= k;
    EXPECT_NEAR(static_cast<double>(table[k] / exact), 1.0, 3e-10) << k;
    EXPECT_EQ(table[k], factrl(k)) << k;
  }
  EXPECT_EQ(table[7], 0.0L);
  EXPECT_EQ(table[0], 0.0L);
}

TEST(FillFactorialTableTest, LeavesHigherEntriesAsTheyWere) {
  FactorialTable table;
  RecordingMessageSink messages;
  FillFactorialTable(table, 10, messages);
  table.Set(9, 42.0L);
  FillFactorialTable(table, 5, messages);
  EXPECT_EQ(table[9], 42.0L);
  EXPECT_EQ(table[10], factrl(10));
  EXPECT_TRUE(messages.messages.empty());
}

TEST(FillFactorialTableTest, NonPositiveCountWritesNothing) {
  FactorialTable table;
  RecordingMessageSink messages;
  FillFactorialTable(table, 0, messages);
  FillFactorialTable(table, -4, messages);
  for (int k = 1; k <= FactorialTable::kMaxEntries; ++k) EXPECT_EQ(table[k], 0.0L) << k;
  EXPECT_TRUE(messages.messages.empty());
}

TEST(FillFactorialTableTest, FiveHundredIsFilledSilently) {
  FactorialTable table;
  RecordingMessageSink messages;
  FillFactorialTable(table, 500, messages);
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_EQ(table[500], factrl(500));
}

TEST(FillFactorialTableTest, AboveFiveHundredWarnsOnceAndStopsAtFiveHundred) {
  FactorialTable table;
  RecordingMessageSink messages;
  FillFactorialTable(table, 501, messages);
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0], "Ne peut calculer la factorielle pour nb individuals > 500 !!");
  for (int k = 1; k <= 500; ++k) EXPECT_EQ(table[k], factrl(k)) << k;
  EXPECT_EQ(table[501], 0.0L);
}

TEST(FillFactorialTableTest, TableReachesBeyondDoubleRange) {
  FactorialTable table;
  RecordingMessageSink messages;
  FillFactorialTable(table, 200, messages);
  // 171! overflows a double but not the table.
  EXPECT_GT(table[171], 1e308L);
  // Consecutive entries differ by the factor k, up to the series error.
  for (int k = 2; k <= 200; ++k) {
    EXPECT_NEAR(static_cast<double>(table[k] / table[k - 1] / k), 1.0, 1e-9) << k;
  }
}

}  // namespace
}  // namespace vireltan
