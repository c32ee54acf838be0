#include "offline_play/offline_args.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using corvel::EnterRoomConfig;
using corvel_client::CopyUtf8Field;
using corvel_client::ParseOfflineConfig;
using corvel_client::PermittedProgramFile;
using corvel_client::PlanUserFolder;
using corvel_client::UserFolderPlan;

// Every key lands in its field, and the fields without a key are the fixed values.
TEST(ParseOfflineConfig, ReadsKeysAndFixedFields) {
  EnterRoomConfig config;
  ASSERT_TRUE(ParseOfflineConfig(
      R"({"id":7,"userId":8,"type":3,"userType":1,"signature":"sig","sess":"se",
          "appVersion":"4.1","logLevel":16,"switchThreshold":9,
          "server":{"logLevel":1,"multiAudioThreshold":{"lossrate":2,"jitter":3}}})",
      config));
  EXPECT_EQ(config.roomId, 7);
  EXPECT_EQ(config.userId, 8);
  EXPECT_EQ(config.roomType, 3);
  EXPECT_EQ(config.userType, 1);
  EXPECT_STREQ(config.signature, "sig");
  EXPECT_STREQ(config.sess, "se");
  EXPECT_EQ(config.appVersion, "4.1");
  EXPECT_EQ(config.logLevel, 16u);  // top-level here, not under "server"
  EXPECT_EQ(config.versionSet, 1);
  EXPECT_TRUE(config.flag0);
  EXPECT_TRUE(config.flag1);
  EXPECT_EQ(config.switchThreshold, 0);  // live-only keys are not read
  EXPECT_EQ(config.lossRate, 0.0f);
  EXPECT_EQ(config.jitter, 0);
  EXPECT_TRUE(config.servers.empty());
}

// Absent keys, wrong-typed values and a null root take the defaults without throwing.
TEST(ParseOfflineConfig, DefaultsAndWrongTypes) {
  EnterRoomConfig config;
  ASSERT_TRUE(ParseOfflineConfig("{}", config));
  EXPECT_EQ(config.roomId, 0);
  EXPECT_EQ(config.userType, 2);
  EXPECT_EQ(config.appVersion, "3.0.0.0001");
  EXPECT_EQ(config.logLevel, 4096u);
  EXPECT_STREQ(config.signature, "");

  ASSERT_TRUE(ParseOfflineConfig(
      R"({"id":"x","userType":[1],"logLevel":-1,"appVersion":{},"sess":[],"userId":2.9,
          "type":1e20})",
      config));
  EXPECT_EQ(config.roomId, 0);
  EXPECT_EQ(config.userType, 2);
  EXPECT_EQ(config.logLevel, 4096u);
  EXPECT_EQ(config.appVersion, "3.0.0.0001");
  EXPECT_STREQ(config.sess, "");
  EXPECT_EQ(config.userId, 2);
  EXPECT_EQ(config.roomType, 0);

  ASSERT_TRUE(ParseOfflineConfig("null", config));
  EXPECT_EQ(config.userType, 2);
}

// Text that does not parse, a non-object root and nesting beyond the reader's limit are refused
// instead of faulting.
TEST(ParseOfflineConfig, RefusesBadText) {
  EnterRoomConfig config;
  EXPECT_FALSE(ParseOfflineConfig(nullptr, config));
  EXPECT_FALSE(ParseOfflineConfig("", config));
  EXPECT_FALSE(ParseOfflineConfig("{\"id\":", config));
  EXPECT_FALSE(ParseOfflineConfig("[1,2]", config));
  EXPECT_FALSE(ParseOfflineConfig("3", config));
  // What the live configuration's reader refuses too: trailing commas and a byte-order mark.
  EXPECT_FALSE(ParseOfflineConfig(R"({"id":5,})", config));
  EXPECT_FALSE(ParseOfflineConfig(R"({"id":[5,]})", config));
  EXPECT_FALSE(ParseOfflineConfig("\xEF\xBB\xBF{\"id\":5}", config));
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  EXPECT_FALSE(ParseOfflineConfig(deep.c_str(), config));
  const std::string deep_value = "{\"id\":" + deep + "}";
  EXPECT_FALSE(ParseOfflineConfig(deep_value.c_str(), config));
}

// Over-long signature and sess texts are cut to 255 and 1023 bytes, never inside a character.
TEST(ParseOfflineConfig, LongTextsCutAtCharacterBoundary) {
  const std::string signature = std::string(254, 'a') + "\xC3\xA9";  // 256 bytes, é at 254
  const std::string sess = std::string(2000, 'b');
  EnterRoomConfig config;
  ASSERT_TRUE(ParseOfflineConfig(
      ("{\"signature\":\"" + signature + "\",\"sess\":\"" + sess + "\"}").c_str(), config));
  EXPECT_EQ(std::strlen(config.signature), 254u);
  EXPECT_EQ(std::strlen(config.sess), 1023u);

  char field[6];
  CopyUtf8Field(
      "ab\xE2\x82\xAC"
      "c",
      field, sizeof(field));  // "ab€c": 6 bytes into 5
  EXPECT_STREQ(field, "ab\xE2\x82\xAC");
  CopyUtf8Field("abcd\xE2\x82\xAC", field, sizeof(field));  // the euro sign would not fit whole
  EXPECT_STREQ(field, "abcd");
}

// Only a plain folder name under a known application-data folder is planned, and the paths are
// the user-data folder and the named folder beneath it.
TEST(PlanUserFolder, GuardsTheName) {
  UserFolderPlan plan;
  ASSERT_TRUE(PlanUserFolder(L"C:\\AppData", L"alice", plan));
  EXPECT_EQ(plan.userData, L"C:\\AppData\\Corvel_Client\\user_data\\");
  EXPECT_EQ(plan.folder, L"C:\\AppData\\Corvel_Client\\user_data\\alice");
  EXPECT_TRUE(PlanUserFolder(L"C:\\A", L"a.b c", plan));

  for (const wchar_t* name :
       {L"", L"a\\b", L"a/b", L"..\\x", L"C:x", L"a:stream", L"..", L".", L" . .", L"..."}) {
    EXPECT_FALSE(PlanUserFolder(L"C:\\AppData", name, plan)) << name;
  }
  EXPECT_FALSE(PlanUserFolder(L"", L"alice", plan));
}

// The folder path may use the whole 259 characters of the buffer but not one more.
TEST(PlanUserFolder, LengthLimit) {
  const std::wstring app = L"C:\\A";
  UserFolderPlan plan;
  ASSERT_TRUE(PlanUserFolder(app, L"x", plan));
  const size_t fits = corvel_client::kMaxUserFolderPath - (plan.folder.size() - 1);
  EXPECT_TRUE(PlanUserFolder(app, std::wstring(fits, L'n'), plan));
  EXPECT_EQ(plan.folder.size(), corvel_client::kMaxUserFolderPath);
  EXPECT_FALSE(PlanUserFolder(app, std::wstring(fits + 1, L'n'), plan));
}

// Each permitted name starts its own program; anything else, in any other spelling, nothing.
TEST(PermittedProgramFile, ExactNamesOnly) {
  EXPECT_STREQ(PermittedProgramFile("calc"), L"calc.exe");
  EXPECT_STREQ(PermittedProgramFile("notepad"), L"notepad.exe");
  EXPECT_STREQ(PermittedProgramFile("mspaint"), L"mspaint.exe");
  for (const char* name : {"Calc", "calc.exe", "calc ", "cmd", "", "notepad\\..\\cmd"}) {
    EXPECT_EQ(PermittedProgramFile(name), nullptr) << name;
  }
  EXPECT_EQ(PermittedProgramFile(nullptr), nullptr);
}

}  // namespace
