#include "method_names.h"

#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

using corvel_client::CommandTable;
using corvel_client::FindMethod;

TEST(MethodNames, TablesHaveTheirPrefixesAndSizes) {
  EXPECT_STREQ(corvel_client::TablePrefix(CommandTable::kEngine), "engine.");
  EXPECT_STREQ(corvel_client::TablePrefix(CommandTable::kLive), "live.");
  EXPECT_STREQ(corvel_client::TablePrefix(CommandTable::kOfflinePlay), "offlinePlay.");
  EXPECT_EQ(corvel_client::TablePrefixLength(CommandTable::kEngine), 7u);
  EXPECT_EQ(corvel_client::TablePrefixLength(CommandTable::kLive), 5u);
  EXPECT_EQ(corvel_client::TablePrefixLength(CommandTable::kOfflinePlay), 12u);
  EXPECT_EQ(corvel_client::MethodCount(CommandTable::kEngine), 25);
  EXPECT_EQ(corvel_client::MethodCount(CommandTable::kLive), 40);
  EXPECT_EQ(corvel_client::MethodCount(CommandTable::kOfflinePlay), 13);
  EXPECT_STREQ(corvel_client::MethodName(CommandTable::kEngine, 24), "closeAudioCompressor");
  EXPECT_STREQ(corvel_client::MethodName(CommandTable::kLive, 0), "enterRoom");
  EXPECT_STREQ(corvel_client::MethodName(CommandTable::kLive, 39), "myAnswer");
  EXPECT_STREQ(corvel_client::MethodName(CommandTable::kOfflinePlay, 12), "kvrequest");
  EXPECT_EQ(corvel_client::MethodName(CommandTable::kLive, 40), nullptr);
  EXPECT_EQ(corvel_client::MethodName(CommandTable::kLive, -1), nullptr);
}

// Within a table every name is distinct, so lookup order never decides a match.
TEST(MethodNames, NamesAreUniquePerTable) {
  for (auto table : {CommandTable::kEngine, CommandTable::kLive, CommandTable::kOfflinePlay}) {
    std::set<std::string> seen;
    for (int i = 0; i < corvel_client::MethodCount(table); ++i) {
      EXPECT_TRUE(seen.insert(corvel_client::MethodName(table, i)).second);
      const std::string command =
          std::string(corvel_client::TablePrefix(table)) + corvel_client::MethodName(table, i);
      EXPECT_EQ(FindMethod(command.c_str(), table), i) << command;
    }
  }
}

// Exact, case-sensitive, prefix at position 0, and the whole rest of the name.
TEST(MethodNames, LookupIsExact) {
  EXPECT_EQ(FindMethod("live.enterRoom", CommandTable::kLive), 0);
  EXPECT_EQ(FindMethod("live.EnterRoom", CommandTable::kLive), -1);
  EXPECT_EQ(FindMethod("Live.enterRoom", CommandTable::kLive), -1);
  EXPECT_EQ(FindMethod("live.enterRoomX", CommandTable::kLive), -1);
  EXPECT_EQ(FindMethod(("live." + std::string(200, 'a')).c_str(), CommandTable::kLive), -1);
  EXPECT_EQ(FindMethod("live.enterRoo", CommandTable::kLive), -1);
  EXPECT_EQ(FindMethod(" live.enterRoom", CommandTable::kLive), -1);
  EXPECT_EQ(FindMethod("live.", CommandTable::kLive), -1);
  EXPECT_EQ(FindMethod("live", CommandTable::kLive), -1);
  EXPECT_EQ(FindMethod("", CommandTable::kLive), -1);
  EXPECT_EQ(FindMethod(nullptr, CommandTable::kLive), -1);
  EXPECT_EQ(FindMethod("engine.enterRoom", CommandTable::kLive), -1);
  EXPECT_EQ(FindMethod("live.getMicrophoneLevel", CommandTable::kLive), 12);
  EXPECT_EQ(FindMethod("engine.getMicrophoneLevel", CommandTable::kEngine), 0);
  EXPECT_EQ(FindMethod("offlinePlay.kRunProgram", CommandTable::kOfflinePlay), 10);
}

}  // namespace
