#include "live/live_config.h"

#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace {

using corvel::EnterRoomConfig;
using corvel::ServerAddress;
using corvel_client::CopyTextField;
using corvel_client::ParseAddQuestion;
using corvel_client::ParseEnterRoomConfig;
using corvel_client::ParseMyAnswer;

std::string Server(const ServerAddress& s) {
  return std::to_string(s.kind) + " " + s.host + ":" + std::to_string(s.port) + "/" +
         std::to_string(s.controlPort);
}

bool AllZero(const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

// An empty object takes every default of the table (catches a wrong or missing default).
TEST(EnterRoomConfig, EmptyObjectTakesEveryDefault) {
  const EnterRoomConfig c = ParseEnterRoomConfig("{}");
  EXPECT_EQ(c.roomId, 0);
  EXPECT_EQ(c.roomType, 0);
  EXPECT_EQ(c.userId, 0);
  EXPECT_EQ(c.userType, 2);
  EXPECT_STREQ(c.signature, "");
  EXPECT_STREQ(c.sess, "");
  EXPECT_EQ(c.versionSet, 1);
  EXPECT_EQ(c.appVersion, "3.0.0.0001");
  EXPECT_EQ(c.lossRate, 5.0f);
  EXPECT_EQ(c.jitter, 500);
  EXPECT_EQ(c.switchThreshold, 0);
  EXPECT_TRUE(c.servers.empty());
  EXPECT_TRUE(c.backupServers.empty());
  EXPECT_TRUE(c.flag0 && c.flag1);
  EXPECT_EQ(c.logLevel, 4096u);
  EXPECT_TRUE(AllZero(c.reserved0, sizeof(c.reserved0)));
  EXPECT_TRUE(AllZero(c.reserved1, sizeof(c.reserved1)));
  EXPECT_EQ(c.reserved2, 0);
  EXPECT_TRUE(c.reservedText0.empty() && c.reservedText1.empty() && c.reservedText2.empty());
}

// Text that does not parse, null text, and nesting deep enough to make JsonCpp's reader throw all
// give the zeroed record with both flags set, and nothing escapes.
TEST(EnterRoomConfig, UnparseableTextGivesZeroedRecord) {
  const std::string deep = std::string(5000, '[') + std::string(5000, ']');
  const std::string deep_member = "{\"id\":7,\"x\":" + deep + "}";
  for (const char* text : {"not json", "", "{\"id\":", static_cast<const char*>(nullptr),
                           deep.c_str(), deep_member.c_str()}) {
    EnterRoomConfig c;
    ASSERT_NO_THROW(c = ParseEnterRoomConfig(text)) << (text ? text : "(null)");
    EXPECT_EQ(c.roomId, 0);
    EXPECT_EQ(c.userType, 0);
    EXPECT_EQ(c.versionSet, 0);
    EXPECT_EQ(c.appVersion, "");
    EXPECT_EQ(c.lossRate, 0.0f);
    EXPECT_EQ(c.jitter, 0);
    EXPECT_EQ(c.logLevel, 0u);
    EXPECT_TRUE(c.servers.empty());
    EXPECT_TRUE(c.flag0 && c.flag1);
  }
}

// Every key reaches its own field, and servers keep their order: room server, then media.
TEST(EnterRoomConfig, FullConfiguration) {
  const EnterRoomConfig c = ParseEnterRoomConfig(R"({
    "id": 1234, "type": 3, "userId": 77, "userType": 1, "sess": "S-1", "signature": "sig",
    "appVersion": "4.1.0.7", "switchThreshold": 9,
    "server": {
      "roomServer": {"host": "room.example", "tcpPort": 6000},
      "mediaServerList": [
        {"host": "m1", "rtpPort": 7000, "rtcpPort": 7001, "protoType": "UDP"},
        {"host": "m2", "protoType": "TCP"},
        {"host": "m3", "protoType": "udp"},
        {}
      ],
      "backupMediaServerList": [{"host": "b1", "rtpPort": 8000, "rtcpPort": 8001}],
      "multiAudioThreshold": {"lossrate": 2.5, "jitter": 300},
      "version": 2, "logLevel": 16
    }})");
  EXPECT_EQ(c.roomId, 1234);
  EXPECT_EQ(c.roomType, 3);  // version 2 changes only room type 1
  EXPECT_EQ(c.userId, 77);
  EXPECT_EQ(c.userType, 1);
  EXPECT_STREQ(c.sess, "S-1");
  EXPECT_STREQ(c.signature, "sig");
  EXPECT_EQ(c.appVersion, "4.1.0.7");
  EXPECT_EQ(c.switchThreshold, 9);
  ASSERT_EQ(c.servers.size(), 5u);
  EXPECT_EQ(Server(c.servers[0]), "0 room.example:6000/0");
  EXPECT_EQ(Server(c.servers[1]), "1 m1:7000/7001");
  EXPECT_EQ(Server(c.servers[2]), "2 m2:5004/5005");
  EXPECT_EQ(Server(c.servers[3]), "2 m3:5004/5005");  // "UDP" is compared exactly
  EXPECT_EQ(Server(c.servers[4]), "1 :5004/5005");
  ASSERT_EQ(c.backupServers.size(), 1u);
  EXPECT_EQ(Server(c.backupServers[0]), "1 b1:8000/8001");
  EXPECT_EQ(c.lossRate, 2.5f);
  EXPECT_EQ(c.jitter, 300);
  EXPECT_EQ(c.logLevel, 16u);
}

// The version rule: only version 2 with room type 1 becomes room type 4.
TEST(EnterRoomConfig, VersionRule) {
  EXPECT_EQ(ParseEnterRoomConfig(R"({"type":1,"server":{"version":2}})").roomType, 4);
  EXPECT_EQ(ParseEnterRoomConfig(R"({"type":3,"server":{"version":2}})").roomType, 3);
  EXPECT_EQ(ParseEnterRoomConfig(R"({"type":1,"server":{"version":1}})").roomType, 1);
  EXPECT_EQ(ParseEnterRoomConfig(R"({"type":1,"server":{}})").roomType, 1);
  EXPECT_EQ(ParseEnterRoomConfig(R"({"type":1})").roomType, 1);
  EXPECT_EQ(ParseEnterRoomConfig(R"({"type":1,"server":{"version":2.0}})").roomType, 4);
}

// The room server comes only from an object; ports keep their low 16 bits; a threshold that is not
// an object leaves 5.0 and 500.
TEST(EnterRoomConfig, ServerShapes) {
  EnterRoomConfig c = ParseEnterRoomConfig(
      R"({"server":{"roomServer":"room","multiAudioThreshold":[1,2],"mediaServerList":{"a":1}}})");
  EXPECT_TRUE(c.servers.empty());
  EXPECT_EQ(c.lossRate, 5.0f);
  EXPECT_EQ(c.jitter, 500);
  c = ParseEnterRoomConfig(
      R"({"server":{"roomServer":{},"mediaServerList":[{"rtpPort":70000,"rtcpPort":65535}]}})");
  ASSERT_EQ(c.servers.size(), 2u);
  EXPECT_EQ(Server(c.servers[0]), "0 :5003/0");
  EXPECT_EQ(Server(c.servers[1]), "1 :4464/65535");  // 70000 & 0xFFFF
  c = ParseEnterRoomConfig(R"({"server":{"multiAudioThreshold":{}}})");
  EXPECT_EQ(c.lossRate, 5.0f);
  EXPECT_EQ(c.jitter, 500);
}

// "server" absent, not an object, or a root that is not an object: defaults, never a fault.
TEST(EnterRoomConfig, MissingOrOddServerAndRoot) {
  for (const char* text : {R"({"server":5})", R"({"server":[{"roomServer":{}}]})",
                           R"({"server":"x"})", R"({"server":null})", "[1,2]", "7", "null"}) {
    EnterRoomConfig c;
    ASSERT_NO_THROW(c = ParseEnterRoomConfig(text)) << text;
    EXPECT_TRUE(c.servers.empty()) << text;
    EXPECT_EQ(c.userType, 2) << text;
    EXPECT_EQ(c.logLevel, 4096u) << text;
    EXPECT_EQ(c.versionSet, 1) << text;
  }
}

// Values JsonCpp cannot convert (it would throw) take the key's default; convertible ones use
// JsonCpp's conversion (truncation, bool as 0/1, numbers as text).
TEST(EnterRoomConfig, WrongTypesNeverThrow) {
  EnterRoomConfig c;
  ASSERT_NO_THROW(c = ParseEnterRoomConfig(R"({
    "id": "12", "type": [1], "userId": 1e12, "userType": {}, "sess": {"a":1}, "signature": [],
    "appVersion": {}, "switchThreshold": -3.9,
    "server": {"roomServer": {"host": 5, "tcpPort": -1},
               "mediaServerList": [7, {"host": ["h"], "rtpPort": "80", "protoType": 1}],
               "multiAudioThreshold": {"lossrate": "x", "jitter": 1e20},
               "version": "2", "logLevel": -5}})"));
  EXPECT_EQ(c.roomId, 0);
  EXPECT_EQ(c.roomType, 0);
  EXPECT_EQ(c.userId, 0);
  EXPECT_EQ(c.userType, 2);
  EXPECT_STREQ(c.sess, "");
  EXPECT_STREQ(c.signature, "");
  EXPECT_EQ(c.appVersion, "3.0.0.0001");
  EXPECT_EQ(c.switchThreshold, -3);
  ASSERT_EQ(c.servers.size(), 3u);
  EXPECT_EQ(Server(c.servers[0]), "0 5:5003/0");
  EXPECT_EQ(Server(c.servers[1]), "1 :5004/5005");  // a non-object element: all defaults
  EXPECT_EQ(Server(c.servers[2]), "2 :5004/5005");  // protoType 1 reads as the text "1"
  EXPECT_EQ(c.lossRate, 5.0f);
  EXPECT_EQ(c.jitter, 500);
  EXPECT_EQ(c.logLevel, 4096u);
  c = ParseEnterRoomConfig(R"({"id": true, "userType": 3.99, "appVersion": 3})");
  EXPECT_EQ(c.roomId, 1);
  EXPECT_EQ(c.userType, 3);
  EXPECT_EQ(c.appVersion, "3");
}

// A loss rate beyond float's range saturates instead of converting out of range.
TEST(EnterRoomConfig, HugeLossRateSaturates) {
  const EnterRoomConfig c =
      ParseEnterRoomConfig(R"({"server":{"multiAudioThreshold":{"lossrate":1e300}}})");
  EXPECT_EQ(c.lossRate, std::numeric_limits<float>::max());
  EXPECT_EQ(corvel_client::ClampToFloat(-1e300), -std::numeric_limits<float>::max());
  EXPECT_EQ(corvel_client::ClampToFloat(0.25), 0.25f);
}

// Overlong "sess" and "signature" are cut to fit with their terminator, never mid-character.
TEST(EnterRoomConfig, OverlongTextsAreCutAtCharacterBoundary) {
  const std::string sess(2000, 's');
  // 254 ASCII bytes, then a 3-byte character that would end past byte 255.
  const std::string signature = std::string(254, 'g') + "\xE2\x82\xAC" + "tail";
  const EnterRoomConfig c = ParseEnterRoomConfig(
      ("{\"sess\":\"" + sess + "\",\"signature\":\"" + signature + "\"}").c_str());
  EXPECT_EQ(std::string(c.sess), std::string(1023, 's'));
  EXPECT_EQ(c.sess[1023], '\0');
  EXPECT_EQ(std::string(c.signature), std::string(254, 'g'));
  EXPECT_TRUE(AllZero(c.signature + 254, 2));
  // A text that fits exactly is kept whole.
  const EnterRoomConfig exact =
      ParseEnterRoomConfig(("{\"signature\":\"" + std::string(255, 'e') + "\"}").c_str());
  EXPECT_EQ(std::string(exact.signature), std::string(255, 'e'));
}

// A text is cut only when it does not fit, never inside a character, and the rest is cleared.
TEST(CopyTextField, CutsOnlyWhereNeeded) {
  char field[6];
  std::memset(field, 'X', sizeof(field));
  CopyTextField("ab\u00e9cd", field, sizeof(field));  // 6 bytes, 5 fit: "ab", U+00E9 and "c"
  EXPECT_STREQ(field, "ab\u00e9c");
  CopyTextField("abcd\xC3\xA9", field, sizeof(field));  // the 2-byte character would straddle
  EXPECT_STREQ(field, "abcd");
  CopyTextField("ab", field, sizeof(field));
  EXPECT_TRUE(field[2] == 0 && field[5] == 0);  // the rest is cleared
}

// Question arguments: defaults, conversions, and at most 32 options copied and counted.
TEST(QuestionArgs, DefaultsAndOptions) {
  corvel_client::QuestionArgs q = ParseAddQuestion(R"({"type":2,"optionNum":4,
                                                       "correctOptions":[1,3.7,"x",-2]})");
  EXPECT_EQ(q.type, 2);
  EXPECT_EQ(q.optionNum, 4);
  EXPECT_EQ(q.count, 4);
  EXPECT_EQ(q.options[0], 1);
  EXPECT_EQ(q.options[1], 3);
  EXPECT_EQ(q.options[2], 0);
  EXPECT_EQ(q.options[3], -2);
  EXPECT_EQ(q.options[4], 0);
  for (const char* text :
       {"", "{", "{}", "[]", R"({"correctOptions":{"a":1}})", static_cast<const char*>(nullptr)}) {
    q = ParseAddQuestion(text);
    EXPECT_EQ(q.type, 0);
    EXPECT_EQ(q.optionNum, 0);
    EXPECT_EQ(q.count, 0);
  }
  q = ParseMyAnswer(R"({"questionId":"9","selectedOptions":[2]})");
  EXPECT_EQ(q.type, 0);  // a text question id takes the default
  EXPECT_EQ(q.count, 1);
  EXPECT_EQ(q.options[0], 2);
}

TEST(QuestionArgs, MoreThan32OptionsAreLimited) {
  std::string list = "[";
  for (int i = 1; i <= 40; ++i) list += (i > 1 ? "," : "") + std::to_string(i);
  list += "]";
  const corvel_client::QuestionArgs a =
      ParseAddQuestion(("{\"correctOptions\":" + list + "}").c_str());
  EXPECT_EQ(a.count, 32);
  EXPECT_EQ(a.options[31], 32);
  const corvel_client::QuestionArgs m =
      ParseMyAnswer(("{\"questionId\":5,\"selectedOptions\":" + list + "}").c_str());
  EXPECT_EQ(m.type, 5);
  EXPECT_EQ(m.count, 32);
  EXPECT_EQ(m.options[0], 1);
}

// Nesting deep enough to make the reader throw follows the "does not parse" path.
TEST(QuestionArgs, DeepNestingIsNotParsed) {
  const std::string deep = "{\"type\":3,\"x\":" + std::string(100000, '[');
  corvel_client::QuestionArgs q;
  ASSERT_NO_THROW(q = ParseAddQuestion(deep.c_str()));
  EXPECT_EQ(q.type, 0);
  ASSERT_NO_THROW(q = ParseMyAnswer(deep.c_str()));
  EXPECT_EQ(q.count, 0);
}

}  // namespace
