#include "records.h"

#include <cstring>

#include <gtest/gtest.h>

namespace kv_sim {
namespace {

Json Parse(const char* text) { return ParseJson(text); }

// The journal shows exactly what kv_client put in the record, with readable floats.
TEST(RecordsTest, ConfigJsonHasEveryFieldInOrder) {
  corvel::EnterRoomConfig config;
  config.roomId = 7;
  config.userType = 2;
  config.reserved0[3] = 9;
  std::strcpy(config.signature, "sig");
  config.versionSet = 1;
  config.appVersion = "3.0.0.0001";
  config.lossRate = 0.1f;
  config.jitter = 500;
  config.servers.push_back({1, 5004, 5005, "media"});
  config.flag0 = config.flag1 = true;
  config.logLevel = 4096;
  Json json(ConfigToJson(config));

  const char* const keys[] = {"roomId",        "roomType",   "userId",          "userType",
                              "reserved0",     "reserved1",  "signature",       "sess",
                              "versionSet",    "appVersion", "reservedText0",   "reservedText1",
                              "lossRate",      "jitter",     "switchThreshold", "servers",
                              "backupServers", "reserved2",  "reservedText2",   "flag0",
                              "flag1",         "logLevel"};
  const cJSON* member = json->child;
  for (const char* key : keys) {
    ASSERT_NE(member, nullptr) << key;
    EXPECT_STREQ(member->string, key);
    member = member->next;
  }
  EXPECT_EQ(member, nullptr);
  EXPECT_EQ(cJSON_GetArraySize(Member(json.get(), "reserved0")), 128);
  EXPECT_EQ(AsInt32(Element(Member(json.get(), "reserved0"), 3)), 9);
  EXPECT_EQ(PrintJson(Member(json.get(), "lossRate")), "0.1");
  EXPECT_EQ(PrintJson(Member(json.get(), "servers")),
            "[{\"kind\":1,\"port\":5004,\"controlPort\":5005,\"host\":\"media\"}]");
  EXPECT_EQ(Member(json.get(), "sessUnterminated"), nullptr);
}

// A text field without its terminator is shown to its buffer's end and flagged, never overread.
TEST(RecordsTest, UnterminatedTextIsFlagged) {
  corvel::EnterRoomConfig config;
  std::memset(config.signature, 'S', sizeof config.signature);
  Json json(ConfigToJson(config));
  EXPECT_EQ(AsString(Member(json.get(), "signature")).size(), 256u);
  EXPECT_TRUE(AsBool(Member(json.get(), "signatureUnterminated")));
}

// Room records keep null entries (the bridge must skip them) and optional summaries.
TEST(RecordsTest, RoomFromJsonKeepsNullEntriesAndSummaries) {
  Json json = Parse(
      "{\"startTime\":\"9007199254740993\",\"users\":[{\"id\":1,\"type\":1,\"name\":\"T\"}],"
      "\"speakers\":[null,{\"id\":5,\"audioOpen\":1}],\"userCount\":4294967295,"
      "\"microphoneStates\":[{\"id\":2,\"timer\":3,\"valid\":1}],"
      "\"questions\":[{\"questionId\":8,\"correctOptions\":[1,2],"
      "\"summary\":{\"attendStudents\":3,\"optionStats\":[{\"option\":1,\"num\":2}]}},null,"
      "{\"questionId\":9}]}");
  const corvel::RoomInfo room = RoomFromJson(json.get());
  EXPECT_EQ(room.startTime, 9007199254740993LL);
  ASSERT_EQ(room.users.size(), 1u);
  EXPECT_EQ(room.users[0].name, "T");
  ASSERT_EQ(room.speakers.size(), 2u);
  EXPECT_EQ(room.speakers[0], nullptr);
  EXPECT_EQ(room.speakers[1]->audioOpen, 1);
  EXPECT_EQ(room.userCount, 4294967295u);
  EXPECT_EQ(room.microphoneStates.at(0).timer, 3);
  ASSERT_EQ(room.questions.size(), 3u);
  ASSERT_NE(room.questions[0]->summary, nullptr);
  EXPECT_EQ(room.questions[0]->summary->optionStats.at(0).num, 2);
  EXPECT_EQ(room.questions[0]->correctOptions, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(room.questions[1], nullptr);
  EXPECT_EQ(room.questions[2]->summary, nullptr);
}

// Missing members take the record's defaults instead of failing the whole event.
TEST(RecordsTest, ChatAndMediaInfoDefaults) {
  Json json = Parse("{\"text\":\"hi\",\"sender\":{\"id\":3,\"right\":2}}");
  const corvel::ChatMessage chat = ChatFromJson(json.get());
  EXPECT_EQ(chat.text, "hi");
  EXPECT_EQ(chat.messageId, 0);
  EXPECT_EQ(chat.sender.right, 2);
  Json media = Parse("{\"value\":5,\"samples\":[{\"value\":1,\"extra\":2},{}],\"q\":7}");
  const corvel::MediaInfo info = MediaInfoFromJson(media.get());
  ASSERT_EQ(info.samples.size(), 2u);
  EXPECT_EQ(info.samples[1].value, 0);
  EXPECT_EQ(info.q, 7);
  EXPECT_EQ(KeynoteFromJson(Parse("{\"value\":[1,2,3,4]}").get()).value[3], 4);
}

// Both point forms are accepted; the journal writes them back as triples.
TEST(RecordsTest, PointsBothForms) {
  Json json = Parse("[[1,2,0.5],{\"x\":3,\"y\":4,\"pressure\":0.25}]");
  const std::vector<corvel::Point> points = PointsFromJson(json.get());
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[1].y, 4.0f);
  Json back(PointsToJson(points.data(), 2));
  EXPECT_EQ(PrintJson(back.get()), "[[1,2,0.5],[3,4,0.25]]");
}

// Integer readers wrap like C conversions; 64-bit values beyond doubles stay exact.
TEST(RecordsTest, JsonNumbersAndBase64) {
  EXPECT_EQ(AsInt32(Parse("4294967295").get()), -1);
  EXPECT_EQ(AsInt32(Parse("-12.7").get()), -12);
  EXPECT_EQ(AsInt64(Parse("\"-9223372036854775808\"").get()), INT64_MIN);
  Json big(MakeInt(INT64_MAX));
  EXPECT_EQ(PrintJson(big.get()), "9223372036854775807");
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(Base64Decode("AAEC/w==", bytes));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 1, 2, 255}));
  EXPECT_EQ(Base64Encode(bytes.data(), bytes.size()), "AAEC/w==");
  EXPECT_FALSE(Base64Decode("AA*A", bytes));
}

}  // namespace
}  // namespace kv_sim
