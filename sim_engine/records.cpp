#include "records.h"

#include <cstring>
#include <memory>

namespace kv_sim {

namespace {

// Text of a fixed char field: up to its terminator, or the whole buffer when there is none.
void PutFixedText(cJSON* object, const char* key, const char* field, size_t size) {
  const void* end = std::memchr(field, '\0', size);
  const size_t length = end ? static_cast<size_t>(static_cast<const char*>(end) - field) : size;
  Put(object, key, MakeString(std::string(field, length)));
  if (end == nullptr) Put(object, (std::string(key) + "Unterminated").c_str(), MakeBool(true));
}

cJSON* ServersToJson(const std::vector<corvel::ServerAddress>& servers) {
  cJSON* array = cJSON_CreateArray();
  for (const auto& server : servers) cJSON_AddItemToArray(array, ServerToJson(server));
  return array;
}

std::vector<corvel::UserInfo> UsersFromJson(const cJSON* array) {
  std::vector<corvel::UserInfo> users;
  const cJSON* item = nullptr;
  if (cJSON_IsArray(array)) {
    cJSON_ArrayForEach(item, array) users.push_back(UserFromJson(item));
  }
  return users;
}

std::vector<int32_t> IntsFromJson(const cJSON* array) {
  std::vector<int32_t> values;
  const cJSON* item = nullptr;
  if (cJSON_IsArray(array)) {
    cJSON_ArrayForEach(item, array) values.push_back(AsInt32(item));
  }
  return values;
}

}  // namespace

cJSON* ServerToJson(const corvel::ServerAddress& server) {
  cJSON* object = cJSON_CreateObject();
  Put(object, "kind", MakeInt(server.kind));
  Put(object, "port", MakeInt(server.port));
  Put(object, "controlPort", MakeInt(server.controlPort));
  Put(object, "host", MakeString(server.host));
  return object;
}

cJSON* ConfigToJson(const corvel::EnterRoomConfig& config) {
  cJSON* object = cJSON_CreateObject();
  Put(object, "roomId", MakeInt(config.roomId));
  Put(object, "roomType", MakeInt(config.roomType));
  Put(object, "userId", MakeInt(config.userId));
  Put(object, "userType", MakeInt(config.userType));
  Put(object, "reserved0", Int32sToJson(nullptr, 0));
  cJSON* reserved0 = cJSON_GetObjectItemCaseSensitive(object, "reserved0");
  for (const uint8_t byte : config.reserved0) cJSON_AddItemToArray(reserved0, MakeInt(byte));
  cJSON* reserved1 = cJSON_CreateArray();
  for (const int16_t word : config.reserved1) cJSON_AddItemToArray(reserved1, MakeInt(word));
  Put(object, "reserved1", reserved1);
  PutFixedText(object, "signature", config.signature, sizeof config.signature);
  PutFixedText(object, "sess", config.sess, sizeof config.sess);
  Put(object, "versionSet", MakeInt(config.versionSet));
  Put(object, "appVersion", MakeString(config.appVersion));
  Put(object, "reservedText0", MakeString(config.reservedText0));
  Put(object, "reservedText1", MakeString(config.reservedText1));
  Put(object, "lossRate", MakeFloat(config.lossRate));
  Put(object, "jitter", MakeInt(config.jitter));
  Put(object, "switchThreshold", MakeInt(config.switchThreshold));
  Put(object, "servers", ServersToJson(config.servers));
  Put(object, "backupServers", ServersToJson(config.backupServers));
  Put(object, "reserved2", MakeInt(config.reserved2));
  Put(object, "reservedText2", MakeString(config.reservedText2));
  Put(object, "flag0", MakeBool(config.flag0));
  Put(object, "flag1", MakeBool(config.flag1));
  Put(object, "logLevel", MakeUInt(config.logLevel));
  return object;
}

cJSON* PointsToJson(const corvel::Point* points, int count) {
  cJSON* array = cJSON_CreateArray();
  for (int i = 0; points != nullptr && i < count; ++i) {
    cJSON* point = cJSON_CreateArray();
    cJSON_AddItemToArray(point, MakeFloat(points[i].x));
    cJSON_AddItemToArray(point, MakeFloat(points[i].y));
    cJSON_AddItemToArray(point, MakeFloat(points[i].pressure));
    cJSON_AddItemToArray(array, point);
  }
  return array;
}

cJSON* Int32sToJson(const int32_t* values, int count) {
  cJSON* array = cJSON_CreateArray();
  for (int i = 0; values != nullptr && i < count; ++i) {
    cJSON_AddItemToArray(array, MakeInt(values[i]));
  }
  return array;
}

cJSON* KeynoteToJson(const corvel::KeynoteInfo& keynote) {
  cJSON* object = cJSON_CreateObject();
  Put(object, "value", Int32sToJson(keynote.value, 4));
  return object;
}

corvel::UserInfo UserFromJson(const cJSON* item) {
  corvel::UserInfo user;
  user.id = AsInt32(Member(item, "id"));
  user.type = AsInt32(Member(item, "type"));
  user.right = AsInt32(Member(item, "right"));
  user.name = AsString(Member(item, "name"));
  user.extra = AsString(Member(item, "extra"));
  return user;
}

corvel::SpeakerInfo SpeakerFromJson(const cJSON* item) {
  corvel::SpeakerInfo speaker;
  speaker.id = AsInt32(Member(item, "id"));
  speaker.type = AsInt32(Member(item, "type"));
  speaker.name = AsString(Member(item, "name"));
  speaker.channel = AsInt32(Member(item, "channel"));
  speaker.audioOpen = AsInt32(Member(item, "audioOpen"));
  speaker.videoOpen = AsInt32(Member(item, "videoOpen"));
  return speaker;
}

corvel::QuestionInfo QuestionFromJson(const cJSON* item) {
  corvel::QuestionInfo question;
  question.type = AsInt32(Member(item, "type"));
  question.status = AsInt32(Member(item, "status"));
  question.questionId = AsInt32(Member(item, "questionId"));
  question.optionNum = AsInt32(Member(item, "optionNum"));
  question.correctOptions = IntsFromJson(Member(item, "correctOptions"));
  const cJSON* summary = Member(item, "summary");
  if (cJSON_IsObject(summary)) {
    auto made = std::make_shared<corvel::AnswerSummary>();
    made->attendStudents = AsInt32(Member(summary, "attendStudents"));
    made->scorekeepers = AsInt32(Member(summary, "scorekeepers"));
    const cJSON* stat = nullptr;
    const cJSON* stats = Member(summary, "optionStats");
    if (cJSON_IsArray(stats)) {
      cJSON_ArrayForEach(stat, stats) {
        made->optionStats.push_back(
            {AsInt32(Member(stat, "option")), AsInt32(Member(stat, "num"))});
      }
    }
    question.summary = std::move(made);
  }
  return question;
}

corvel::RoomInfo RoomFromJson(const cJSON* item) {
  corvel::RoomInfo room;
  room.startTime = AsInt64(Member(item, "startTime"));
  room.microphoneQueueOpen = AsBool(Member(item, "microphoneQueueOpen"));
  room.videoMicOpen = AsBool(Member(item, "videoMicOpen"));
  room.latestMessageId = AsInt64(Member(item, "latestMessageId"));
  room.latestStrokeId = AsInt64(Member(item, "latestStrokeId"));
  room.banAllMessage = AsBool(Member(item, "banAllMessage"));
  room.startDuration = AsInt32(Member(item, "startDuration"));
  room.users = UsersFromJson(Member(item, "users"));
  room.microphoneQueue = UsersFromJson(Member(item, "microphoneQueue"));
  const cJSON* entry = nullptr;
  const cJSON* speakers = Member(item, "speakers");
  if (cJSON_IsArray(speakers)) {
    cJSON_ArrayForEach(entry, speakers) {
      room.speakers.push_back(cJSON_IsNull(entry)
                                  ? nullptr
                                  : std::make_shared<corvel::SpeakerInfo>(SpeakerFromJson(entry)));
    }
  }
  room.assistantUserId = AsInt32(Member(item, "assistantUserId"));
  room.largeUid = AsInt32(Member(item, "largeUid"));
  room.videoStyle = AsInt32(Member(item, "videoStyle"));
  room.latestTopMessageId = AsInt64(Member(item, "latestTopMessageId"));
  room.userCount = static_cast<uint32_t>(AsInt64(Member(item, "userCount")));
  room.bannedUsers = UsersFromJson(Member(item, "bannedUsers"));
  const cJSON* states = Member(item, "microphoneStates");
  if (cJSON_IsArray(states)) {
    cJSON_ArrayForEach(entry, states) {
      room.microphoneStates.push_back({AsInt32(Member(entry, "id")),
                                       AsInt32(Member(entry, "timer")),
                                       AsInt32(Member(entry, "valid"))});
    }
  }
  const cJSON* questions = Member(item, "questions");
  if (cJSON_IsArray(questions)) {
    cJSON_ArrayForEach(entry, questions) {
      room.questions.push_back(
          cJSON_IsNull(entry) ? nullptr
                              : std::make_shared<corvel::QuestionInfo>(QuestionFromJson(entry)));
    }
  }
  return room;
}

corvel::ChatMessage ChatFromJson(const cJSON* item) {
  corvel::ChatMessage chat;
  chat.messageId = AsInt64(Member(item, "messageId"));
  chat.requestMessageId = AsString(Member(item, "requestMessageId"));
  chat.text = AsString(Member(item, "text"));
  chat.timestamp = AsInt64(Member(item, "timestamp"));
  chat.messageType = AsInt32(Member(item, "messageType"));
  chat.sender = UserFromJson(Member(item, "sender"));
  return chat;
}

corvel::MediaInfo MediaInfoFromJson(const cJSON* item) {
  corvel::MediaInfo info;
  info.value = AsInt64(Member(item, "value"));
  const cJSON* sample = nullptr;
  const cJSON* samples = Member(item, "samples");
  if (cJSON_IsArray(samples)) {
    cJSON_ArrayForEach(sample, samples) {
      info.samples.push_back({AsInt64(Member(sample, "value")), AsInt32(Member(sample, "extra"))});
    }
  }
  info.p = AsInt32(Member(item, "p"));
  info.q = AsInt32(Member(item, "q"));
  info.r = AsInt32(Member(item, "r"));
  return info;
}

corvel::KeynoteInfo KeynoteFromJson(const cJSON* item) {
  corvel::KeynoteInfo keynote;
  const cJSON* values = Member(item, "value");
  for (int i = 0; i < 4; ++i) keynote.value[i] = AsInt32(Element(values, i));
  return keynote;
}

std::vector<corvel::Point> PointsFromJson(const cJSON* item) {
  std::vector<corvel::Point> points;
  const cJSON* entry = nullptr;
  if (!cJSON_IsArray(item)) return points;
  cJSON_ArrayForEach(entry, item) {
    corvel::Point point;
    if (cJSON_IsArray(entry)) {
      point.x = static_cast<float>(AsDouble(Element(entry, 0)));
      point.y = static_cast<float>(AsDouble(Element(entry, 1)));
      point.pressure = static_cast<float>(AsDouble(Element(entry, 2)));
    } else {
      point.x = static_cast<float>(AsDouble(Member(entry, "x")));
      point.y = static_cast<float>(AsDouble(Member(entry, "y")));
      point.pressure = static_cast<float>(AsDouble(Member(entry, "pressure")));
    }
    points.push_back(point);
  }
  return points;
}

}  // namespace kv_sim
