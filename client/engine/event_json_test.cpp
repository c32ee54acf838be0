#include "engine/event_json.h"

#include <string>

#include "catalogue.h"

#include <gtest/gtest.h>

namespace {

using corvel::RoomInfo;
using corvel::UserInfo;
using corvel_client::RoomJson;
using corvel_client::WriteEventJson;

UserInfo User(int32_t id, int32_t type, const std::string& name = "u") {
  UserInfo user;
  user.id = id;
  user.type = type;
  user.right = id * 10;
  user.name = name;
  user.extra = "not for scripts";
  return user;
}

std::shared_ptr<corvel::SpeakerInfo> Speaker(int32_t id) {
  auto speaker = std::make_shared<corvel::SpeakerInfo>();
  speaker->id = id;
  speaker->type = 1;
  speaker->name = "s";
  speaker->channel = 2;
  speaker->audioOpen = 1;
  speaker->videoOpen = 0;
  return speaker;
}

std::vector<int> Ids(const Json::Value& list) {
  std::vector<int> ids;
  for (const Json::Value& entry : list) ids.push_back(entry["id"].asInt());
  return ids;
}

// Catches a wrong member set or member order in the user object, or the extra text leaking out.
TEST(EventJsonTest, UserObjectHasExactlyFourMembersInKeyOrder) {
  EXPECT_EQ(WriteEventJson(corvel_client::UserJson(User(1, 2, "Ann"))),
            "{\"id\":1,\"name\":\"Ann\",\"right\":10,\"type\":2}\n");
}

// Catches swapped chat fields, 64-bit values cut to 32 bits, or a missing nested user.
TEST(EventJsonTest, ChatAndSystemMessageTexts) {
  corvel::ChatMessage chat;
  chat.messageId = 9000000000;
  chat.requestMessageId = "r1";
  chat.text = "hi \"there\"";
  chat.timestamp = 1700000000001;
  chat.messageType = 3;
  chat.sender = User(4, 1, "T");
  EXPECT_EQ(WriteEventJson(corvel_client::ChatJson(12, chat)),
            "{\"chat_message\":\"hi \\\"there\\\"\",\"message_id\":9000000000,\"message_type\":3,"
            "\"request_message_id\":\"r1\",\"room_id\":12,\"timestamp\":1700000000001,"
            "\"user\":{\"id\":4,\"name\":\"T\",\"right\":40,\"type\":1}}\n");
  EXPECT_EQ(WriteEventJson(corvel_client::SystemMessageJson(5000000000, -2, "x")),
            "{\"level\":5000000000,\"message\":\"x\",\"room_id\":-2}\n");
  EXPECT_EQ(WriteEventJson(corvel_client::NetQualityJson(7, 1.5)),
            "{\"jitter\":1.5,\"packageCount\":7}\n");
}

// Catches a wrong key, key order, scalar type or field mix-up, and non-empty or missing lists.
TEST(EventJsonTest, EmptyRoomTextIsExact) {
  RoomInfo room;
  room.startTime = 1700000000000;
  room.microphoneQueueOpen = true;
  room.latestMessageId = 5000000000;
  room.latestStrokeId = 6;
  room.banAllMessage = true;
  room.startDuration = 7;
  room.assistantUserId = 8;
  room.largeUid = 9;
  room.videoStyle = 10;
  room.latestTopMessageId = 11;
  room.userCount = 4000000000u;
  EXPECT_EQ(WriteEventJson(RoomJson(room)),
            "{\"assistantList\":[],\"assistantUserId\":8,\"banAllMessage\":true,"
            "\"bannedUserList\":[],\"isMicrophoneQueueOpen\":true,\"isVideoMicOpen\":false,"
            "\"largeUid\":9,\"latestMessageId\":5000000000,\"latestStrokeId\":6,"
            "\"latestTopMessageId\":11,\"micStatusList\":[],\"microphoneList\":[],"
            "\"question\":null,\"speakingUserList\":[],\"startDuration\":7,"
            "\"startTime\":1700000000000,\"studentList\":[],\"teacherList\":[],"
            "\"userCount\":4000000000,\"videoStyle\":10}\n");
}

// Catches users sorted into the wrong list, a lost list order, a missing or wrong 200 limit, and
// users of other types showing up anywhere.
TEST(EventJsonTest, RoomSortsUsersByTypeAndLimitsLongLists) {
  RoomInfo room;
  room.users.push_back(User(1, 1));
  room.users.push_back(User(2, 3));  // another kind of user: listed nowhere
  for (int i = 0; i < 250; ++i) room.users.push_back(User(1000 + i, 2));
  room.users.push_back(User(3, 4));
  room.users.push_back(User(4, 1));
  for (int i = 0; i < 230; ++i) room.bannedUsers.push_back(User(5000 + i, 2));

  const Json::Value value = RoomJson(room);
  EXPECT_EQ(Ids(value["teacherList"]), (std::vector<int>{1, 4}));
  EXPECT_EQ(Ids(value["assistantList"]), (std::vector<int>{3}));
  ASSERT_EQ(value["studentList"].size(), 200u);
  EXPECT_EQ(value["studentList"][0]["id"].asInt(), 1000);
  EXPECT_EQ(value["studentList"][199]["id"].asInt(), 1199);
  ASSERT_EQ(value["bannedUserList"].size(), 200u);
  EXPECT_EQ(value["bannedUserList"][199]["id"].asInt(), 5199);
  EXPECT_EQ(WriteEventJson(value).find("\"id\":2,"), std::string::npos);
}

// Catches a microphone list that keeps speaking users or loses its order, and empty speaker
// entries written out (or crashing the writer).
TEST(EventJsonTest, RoomMicrophoneListLeavesOutSpeakers) {
  RoomInfo room;
  room.microphoneQueue = {User(7, 2), User(8, 2), User(9, 2), User(6, 2)};
  room.speakers = {Speaker(8), nullptr, Speaker(6)};
  room.microphoneStates = {{1, 30, 1}, {2, 0, 0}};

  const Json::Value value = RoomJson(room);
  EXPECT_EQ(Ids(value["microphoneList"]), (std::vector<int>{7, 9}));
  EXPECT_EQ(WriteEventJson(value["speakingUserList"]),
            "[{\"channel\":2,\"id\":8,\"isAudioOpen\":1,\"isVideoOpen\":0,\"name\":\"s\","
            "\"type\":1},{\"channel\":2,\"id\":6,\"isAudioOpen\":1,\"isVideoOpen\":0,"
            "\"name\":\"s\",\"type\":1}]\n");
  EXPECT_EQ(WriteEventJson(value["micStatusList"]),
            "[{\"id\":1,\"timer\":30,\"valid\":1},{\"id\":2,\"timer\":0,\"valid\":0}]\n");
}

// Catches a question taken from the wrong entry, a summary member written when there is none, or
// wrong summary members.
TEST(EventJsonTest, RoomQuestionWithAndWithoutSummary) {
  auto first = std::make_shared<corvel::QuestionInfo>();
  first->type = 1;
  first->status = 2;
  first->questionId = 33;
  first->optionNum = 4;
  first->correctOptions = {0, 2};
  auto second = std::make_shared<corvel::QuestionInfo>();
  second->questionId = 44;

  RoomInfo room;
  room.questions = {first, second};
  EXPECT_EQ(WriteEventJson(RoomJson(room)["question"]),
            "{\"correctOptions\":[0,2],\"optionNum\":4,\"questionId\":33,\"status\":2,"
            "\"type\":1}\n");

  first->summary = std::make_shared<corvel::AnswerSummary>();
  first->summary->attendStudents = 20;
  first->summary->scorekeepers = 18;
  first->summary->optionStats = {{0, 12}, {2, 6}};
  first->correctOptions.clear();
  EXPECT_EQ(WriteEventJson(RoomJson(room)["question"]),
            "{\"answerSummary\":{\"attendStudents\":20,\"optionStats\":[{\"num\":12,"
            "\"option\":0},{\"num\":6,\"option\":2}],\"scorekeepers\":18},"
            "\"correctOptions\":[],\"optionNum\":4,\"questionId\":33,\"status\":2,\"type\":1}\n");

  room.questions = {nullptr, second};
  EXPECT_TRUE(RoomJson(room)["question"].isNull());
}

// Catches members, list entries or a summary left over from an earlier, larger room when a room
// object is refilled in place.
TEST(EventJsonTest, RefilledRoomEqualsAFreshOne) {
  RoomInfo big;
  for (int i = 0; i < 30; ++i) big.users.push_back(User(i, 1 + i % 4));
  big.microphoneQueue = {User(1, 2), User(2, 2)};
  big.speakers = {Speaker(9), Speaker(10)};
  big.bannedUsers = {User(3, 2)};
  big.microphoneStates = {{1, 2, 3}};
  auto question = std::make_shared<corvel::QuestionInfo>();
  question->correctOptions = {1, 2, 3};
  question->summary = std::make_shared<corvel::AnswerSummary>();
  question->summary->optionStats = {{1, 1}, {2, 2}};
  big.questions = {question};

  RoomInfo small;
  small.users = {User(40, 2, "x")};
  auto plain = std::make_shared<corvel::QuestionInfo>();
  plain->correctOptions = {4};
  small.questions = {plain};

  Json::Value reused(5);
  corvel_client::FillRoomJson(big, reused);
  EXPECT_EQ(WriteEventJson(reused), WriteEventJson(RoomJson(big)));
  corvel_client::FillRoomJson(small, reused);
  EXPECT_EQ(WriteEventJson(reused), WriteEventJson(RoomJson(small)));
  corvel_client::FillRoomJson(RoomInfo{}, reused);
  EXPECT_EQ(WriteEventJson(reused), WriteEventJson(RoomJson(RoomInfo{})));
  corvel_client::FillRoomJson(big, reused);
  EXPECT_EQ(WriteEventJson(reused), WriteEventJson(RoomJson(big)));
}

// Every problem with `value` as an object of `shape`: keys the catalogue does not list, keys it
// always lists that are missing, values of another JSON type; nested objects and lists too.
void CheckShape(const Json::Value& value, corvel_client::catalogue::Shape shape,
                const std::string& where, std::vector<std::string>& problems) {
  namespace catalogue = corvel_client::catalogue;
  using catalogue::JsonKind;
  const auto kindMatches = [](const Json::Value& v, JsonKind kind) {
    switch (kind) {
      case JsonKind::kInteger:
      case JsonKind::kInt64:
        return v.isIntegral();
      case JsonKind::kUnsigned:
        return v.isIntegral() && v.asLargestInt() >= 0;
      case JsonKind::kNumber:
        return v.isNumeric();
      case JsonKind::kBool:
        return v.isBool();
      case JsonKind::kText:
        return v.isString();
      case JsonKind::kObject:
        return v.isObject();
      case JsonKind::kArray:
        return v.isArray();
      default:
        return false;
    }
  };
  const auto element = [&](const Json::Value& v, const catalogue::ValueType& type, JsonKind kind,
                           const std::string& at) {
    if (type.nullable && v.isNull()) return;
    if (!kindMatches(v, kind)) {
      problems.push_back(at + ": another JSON type");
    } else if (kind == JsonKind::kObject) {
      CheckShape(v, type.shape, at, problems);
    }
  };
  for (const std::string& member : value.getMemberNames()) {
    bool listed = false;
    for (const catalogue::KeyRow& key : catalogue::kKeys)
      listed |= key.shape == shape && member == key.key;
    if (!listed) problems.push_back(where + "." + member + ": not in the catalogue");
  }
  for (const catalogue::KeyRow& key : catalogue::kKeys) {
    if (key.shape != shape) continue;
    const std::string at = where + "." + key.key;
    if (!value.isMember(key.key)) {
      if (!catalogue::KeyIsOptional(key)) problems.push_back(at + ": missing");
      continue;
    }
    const Json::Value& v = value[key.key];
    if (key.type.kind != JsonKind::kArray) {
      element(v, key.type, key.type.kind, at);
    } else if (!v.isArray()) {
      problems.push_back(at + ": not an array");
    } else {
      for (const Json::Value& entry : v) element(entry, key.type, key.type.element, at + "[]");
    }
  }
}

std::vector<std::string> ShapeProblems(const Json::Value& value,
                                       corvel_client::catalogue::Shape shape) {
  std::vector<std::string> problems;
  CheckShape(value, shape, corvel_client::catalogue::ShapeOf(shape).name, problems);
  return problems;
}

// Catches an object the bridge writes with a key the catalogue (docs/commands.md, the page's
// declarations) does not list, without one it lists, or with a value of another type.
TEST(EventJsonTest, ObjectsHaveTheCataloguesShapes) {
  using corvel_client::catalogue::Shape;
  RoomInfo room;
  room.users = {User(1, 1), User(2, 2), User(3, 4)};
  room.microphoneQueue = {User(2, 2), User(5, 2)};
  room.speakers = {Speaker(2)};
  room.bannedUsers = {User(6, 2)};
  room.microphoneStates = {{1, 30, 1}};
  auto question = std::make_shared<corvel::QuestionInfo>();
  question->correctOptions = {1};
  question->summary = std::make_shared<corvel::AnswerSummary>();
  question->summary->optionStats = {{1, 3}};
  room.questions = {question};
  const std::vector<std::string> none;
  EXPECT_EQ(ShapeProblems(RoomJson(room), Shape::kRoom), none);
  EXPECT_EQ(ShapeProblems(RoomJson(RoomInfo{}), Shape::kRoom), none);  // question null
  question->summary = nullptr;
  EXPECT_EQ(ShapeProblems(RoomJson(room), Shape::kRoom), none);  // no answerSummary

  corvel::ChatMessage chat;
  chat.sender = User(4, 1);
  EXPECT_EQ(ShapeProblems(corvel_client::ChatJson(7, chat), Shape::kChat), none);
  EXPECT_EQ(ShapeProblems(corvel_client::SystemMessageJson(1, 2, "x"), Shape::kSystemMessage),
            none);
  EXPECT_EQ(ShapeProblems(corvel_client::NetQualityJson(7, 1.5), Shape::kNetQuality), none);
}

}  // namespace
