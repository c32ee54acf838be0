#include "live/live_config.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include <json/json.h>

#include "json_reader.h"

namespace corvel_client {
namespace {

// The member `key` of `object`, or null when `object` is not an object or has no such member.
// (JsonCpp's own lookups throw on arrays and scalars.)
const Json::Value* Member(const Json::Value* object, const char* key) {
  if (object == nullptr || !object->isObject()) return nullptr;
  return object->find(key, key + std::strlen(key));
}

// JsonCpp's conversions throw for values they cannot convert (a text as int, a negative number as
// unsigned, a number out of range); such values take the default instead, as absent keys do.
int32_t ToInt(const Json::Value* value, int32_t fallback) {
  if (value == nullptr || !value->isConvertibleTo(Json::intValue)) return fallback;
  return value->asInt();
}

uint32_t ToUInt(const Json::Value* value, uint32_t fallback) {
  if (value == nullptr || !value->isConvertibleTo(Json::uintValue)) return fallback;
  return value->asUInt();
}

float ToFloat(const Json::Value* value, float fallback) {
  if (value == nullptr || !value->isConvertibleTo(Json::realValue)) return fallback;
  return ClampToFloat(value->asDouble());
}

std::string ToString(const Json::Value* value, const char* fallback) {
  if (value == nullptr || !value->isConvertibleTo(Json::stringValue)) return fallback;
  return value->asString();
}

// Ports are 16 bits wide; larger values keep their low 16 bits.
uint16_t ToPort(const Json::Value* value, uint32_t fallback) {
  return static_cast<uint16_t>(ToUInt(value, fallback) & 0xFFFFu);
}

// The media servers of one list, in array order. A list that is not an array holds none; an
// element that is not an object is a server with every member at its default.
void AppendMediaServers(const Json::Value* list, std::vector<corvel::ServerAddress>& out) {
  if (list == nullptr || !list->isArray()) return;
  for (Json::ArrayIndex i = 0; i < list->size(); ++i) {
    const Json::Value* entry = &(*list)[i];
    corvel::ServerAddress server;
    server.host = ToString(Member(entry, "host"), "");
    server.port = ToPort(Member(entry, "rtpPort"), 5004);
    server.controlPort = ToPort(Member(entry, "rtcpPort"), 5005);
    server.kind = ToString(Member(entry, "protoType"), "UDP") == "UDP" ? 1 : 2;
    out.push_back(std::move(server));
  }
}

// The options of `list` as int (an unconvertible element reads 0), at most kOptionSlots of them.
void CopyOptions(const Json::Value* list, QuestionArgs& args) {
  if (list == nullptr || !list->isArray()) return;
  const Json::ArrayIndex count = std::min<Json::ArrayIndex>(list->size(), kOptionSlots);
  for (Json::ArrayIndex i = 0; i < count; ++i) args.options[i] = ToInt(&(*list)[i], 0);
  args.count = static_cast<int32_t>(count);
}

// Fills `config` from the parsed root; a root that is not an object has no keys.
void ReadConfig(const Json::Value& root, corvel::EnterRoomConfig& config) {
  config.userId = ToInt(Member(&root, "userId"), 0);
  config.roomType = ToInt(Member(&root, "type"), 0);
  config.userType = ToInt(Member(&root, "userType"), 2);
  config.roomId = ToInt(Member(&root, "id"), 0);
  CopyTextField(ToString(Member(&root, "sess"), ""), config.sess, sizeof(config.sess));
  CopyTextField(ToString(Member(&root, "signature"), ""), config.signature,
                sizeof(config.signature));
  config.versionSet = 1;
  config.appVersion = ToString(Member(&root, "appVersion"), "3.0.0.0001");

  const Json::Value* server = Member(&root, "server");
  const Json::Value* room_server = Member(server, "roomServer");
  if (room_server != nullptr && room_server->isObject()) {
    corvel::ServerAddress address;
    address.kind = 0;
    address.host = ToString(Member(room_server, "host"), "");
    address.port = ToPort(Member(room_server, "tcpPort"), 5003);
    address.controlPort = 0;
    config.servers.push_back(std::move(address));
  }
  AppendMediaServers(Member(server, "mediaServerList"), config.servers);
  AppendMediaServers(Member(server, "backupMediaServerList"), config.backupServers);

  config.lossRate = 5.0f;
  config.jitter = 500;
  config.switchThreshold = ToInt(Member(&root, "switchThreshold"), 0);
  const Json::Value* threshold = Member(server, "multiAudioThreshold");
  if (threshold != nullptr && threshold->isObject()) {
    config.lossRate = ToFloat(Member(threshold, "lossrate"), 5.0f);
    config.jitter = ToInt(Member(threshold, "jitter"), 500);
  }

  if (ToInt(Member(server, "version"), 1) == 2 && config.roomType == 1) config.roomType = 4;
  config.logLevel = ToUInt(Member(server, "logLevel"), 4096);
}

}  // namespace

corvel::EnterRoomConfig ParseEnterRoomConfig(const char* text) {
  corvel::EnterRoomConfig config;  // every field zero or empty
  Json::Value root;
  if (ParseJsonText(text, root)) ReadConfig(root, config);
  config.flag0 = true;
  config.flag1 = true;
  return config;
}

QuestionArgs ParseAddQuestion(const char* text) {
  QuestionArgs args;
  Json::Value root;
  if (!ParseJsonText(text, root)) return args;
  args.type = ToInt(Member(&root, "type"), 0);
  args.optionNum = ToInt(Member(&root, "optionNum"), 0);
  CopyOptions(Member(&root, "correctOptions"), args);
  return args;
}

QuestionArgs ParseMyAnswer(const char* text) {
  QuestionArgs args;
  Json::Value root;
  if (!ParseJsonText(text, root)) return args;
  args.type = ToInt(Member(&root, "questionId"), 0);
  CopyOptions(Member(&root, "selectedOptions"), args);
  return args;
}

float ClampToFloat(double value) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax && value <= std::numeric_limits<double>::max()) return static_cast<float>(kMax);
  if (value < -kMax && value >= -std::numeric_limits<double>::max()) {
    return -static_cast<float>(kMax);
  }
  return static_cast<float>(value);
}

void CopyTextField(const std::string& text, char* field, size_t size) {
  if (size == 0) return;
  size_t length = text.size();
  if (length > size - 1) {
    length = size - 1;
    // Back up over continuation bytes so that no character is cut in half.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0u) == 0x80u) --length;
  }
  std::memset(field, 0, size);
  text.copy(field, length);
}

}  // namespace corvel_client
