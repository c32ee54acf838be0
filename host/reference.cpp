#include "reference.h"

#include <deque>
#include <string>

namespace kv_host {
namespace {

constexpr KeyType I = KeyType::kInteger;
constexpr KeyType U = KeyType::kUnsigned;
constexpr KeyType F = KeyType::kNumber;
constexpr KeyType S = KeyType::kText;
constexpr KeyType O = KeyType::kObject;
constexpr KeyType A = KeyType::kArray;

// The keys of a room configuration that both "enterRoom" and "openMedia" read.
std::vector<ConfigKeySpec> RoomKeys() {
  return {
      {"id", I, "0", "", "roomId", 0, 0},
      {"type", I, "0", "", "roomType", 0, 0},
      {"userId", I, "0", "", "userId", 0, 0},
      {"userType", I, "2", "", "userType", 0, 0},
      {"sess", S, "\"\"", "1023 bytes; longer texts are cut", "sess", 1023, 0},
      {"signature", S, "\"\"", "255 bytes; longer texts are cut", "signature", 255, 0},
      {"appVersion", S, "\"3.0.0.0001\"", "", "appVersion", 0, 0},
  };
}

// One list of media servers under "server" (`list`), filling the record's `field`.
void AddMediaServerKeys(std::vector<ConfigKeySpec>& keys, const char* list, const char* remark,
                        const char* field) {
  // The paths and field names live as long as the table; a deque never moves its elements.
  static std::deque<std::string> texts;
  const auto text = [](const std::string& value) -> const char* {
    texts.push_back(value);
    return texts.back().c_str();
  };
  const std::string path = std::string("server.") + list;
  const std::string element = std::string(field) + "[].";
  keys.push_back({text(path), A, "[]", remark, field, 0, 0});
  keys.push_back({text(path + "[]"), O, "", "", "", 0, 0});
  keys.push_back({text(path + "[].host"), S, "\"\"", "", text(element + "host"), 0, 0});
  keys.push_back({text(path + "[].rtpPort"), U, "5004", "16 bits (higher bits dropped)",
                  text(element + "port"), 0, 0});
  keys.push_back({text(path + "[].rtcpPort"), U, "5005", "16 bits (higher bits dropped)",
                  text(element + "controlPort"), 0, 0});
  keys.push_back({text(path + "[].protoType"), S, "\"UDP\"",
                  "exactly \"UDP\" gives kind 1, anything else kind 2", text(element + "kind"), 0,
                  0});
}

std::vector<ConfigSpec> MakeConfigs() {
  std::vector<ConfigKeySpec> live = RoomKeys();
  live.insert(live.end(), {
                              {"switchThreshold", I, "0", "", "switchThreshold", 0, 0},
                              {"server", O, "", "", "", 0, 0},
                              {"server.roomServer", O, "none",
                               "an object adds the first server, kind 0", "servers", 0, 0},
                              {"server.roomServer.host", S, "\"\"", "", "servers[].host", 0, 0},
                              {"server.roomServer.tcpPort", U, "5003",
                               "16 bits (higher bits dropped)", "servers[].port", 0, 0},
                          });
  AddMediaServerKeys(live, "mediaServerList", "one server each, after the room server", "servers");
  AddMediaServerKeys(live, "backupMediaServerList", "one server each", "backupServers");
  live.insert(
      live.end(),
      {
          {"server.multiAudioThreshold", O, "", "", "", 0, 0},
          {"server.multiAudioThreshold.lossrate", F, "5", "single precision", "lossRate", 0, 0},
          {"server.multiAudioThreshold.jitter", I, "500", "", "jitter", 0, 0},
          {"server.version", I, "1", "not stored; 2 turns a room type of 1 into 4", "", 0, 0},
          {"server.logLevel", U, "4096", "", "logLevel", 0, 0},
      });
  std::vector<ConfigKeySpec> playback = RoomKeys();
  playback.push_back(
      {"logLevel", U, "4096", "at the top level here, not under server", "logLevel", 0, 0});
  return {
      {"enterRoom",
       "not an error: the engine is asked to enter with every field zero or empty (room 0, user "
       "type 0, no servers, no application version)",
       live},
      {"openMedia",
       "answers [-1] and calls nothing (also for JSON that is neither an object nor `null`; `null` "
       "opens with every key at its default)",
       playback},
      {"addQuestion",
       "not an error: every key takes its default",
       {
           {"type", I, "0", "", "", 0, 0},
           {"optionNum", I, "0", "", "", 0, 0},
           {"correctOptions", A, "[]", "the first 32 entries", "", 0, 32},
           {"correctOptions[]", I, "", "", "", 0, 0},
       }},
      {"myAnswer",
       "not an error: every key takes its default",
       {
           {"questionId", I, "0", "", "", 0, 0},
           {"selectedOptions", A, "[]", "the first 32 entries", "", 0, 32},
           {"selectedOptions[]", I, "", "", "", 0, 0},
       }},
  };
}

const std::vector<ConfigSpec> kConfigs = MakeConfigs();

std::vector<CommandSpec> MakeCommands() {
  std::vector<CommandSpec> commands;
  for (const catalogue::CommandRow& row : catalogue::kCommands) {
    commands.push_back({std::string(catalogue::TableOf(row.table).prefix) + row.method, &row});
  }
  return commands;
}

const std::vector<CommandSpec> kCommands = MakeCommands();

}  // namespace

const std::vector<CommandSpec>& Commands() { return kCommands; }
const std::vector<ConfigSpec>& Configs() { return kConfigs; }

const CommandSpec* FindCommand(const std::string& name) {
  for (const CommandSpec& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

const ConfigSpec* FindConfig(const std::string& name) {
  for (const ConfigSpec& config : kConfigs) {
    if (name == config.name) return &config;
  }
  return nullptr;
}

namespace {

struct ArgKindNames {
  ArgKind kind;
  const char* name;  // for the documents and the notes
  const char* type;  // TypeScript
};

constexpr ArgKindNames kArgKinds[] = {
    {ArgKind::kNone, "none", "never"},
    {ArgKind::kNumber, "number", "number"},
    {ArgKind::kBool, "bool", "boolean"},
    {ArgKind::kText, "text", "string"},
    {ArgKind::kConfig, "JSON text", "string"},
    {ArgKind::kPoints, "array of point objects", "Array<Partial<Point>>"},
    {ArgKind::kBlock, "stored-data block", "Uint8Array | ArrayBuffer"},
};

struct JsonKindNames {
  catalogue::JsonKind kind;
  const char* name;  // for the documents
  const char* type;  // TypeScript
};

constexpr JsonKindNames kJsonKinds[] = {
    {catalogue::JsonKind::kNone, "nothing", "never"},
    {catalogue::JsonKind::kInteger, "integer", "number"},
    {catalogue::JsonKind::kInt64, "64-bit integer", "number"},
    {catalogue::JsonKind::kUnsigned, "unsigned integer", "number"},
    {catalogue::JsonKind::kNumber, "number", "number"},
    {catalogue::JsonKind::kBool, "bool", "boolean"},
    {catalogue::JsonKind::kText, "text", "string"},
    {catalogue::JsonKind::kObject, "object", "object"},
    {catalogue::JsonKind::kArray, "array", "unknown[]"},
    {catalogue::JsonKind::kBytes, "byte block", "{$bytes: string} | string"},
    {catalogue::JsonKind::kPoints, "points",
     "Array<[x: number, y: number, pressure: number] | Point>"},
};

}  // namespace

const char* ArgKindName(ArgKind kind) {
  for (const ArgKindNames& row : kArgKinds) {
    if (row.kind == kind) return row.name;
  }
  return "?";
}

const char* ArgKindType(ArgKind kind) {
  for (const ArgKindNames& row : kArgKinds) {
    if (row.kind == kind) return row.type;
  }
  return "unknown";
}

const char* JsonKindName(catalogue::JsonKind kind) {
  for (const JsonKindNames& row : kJsonKinds) {
    if (row.kind == kind) return row.name;
  }
  return "?";
}

const char* JsonKindType(catalogue::JsonKind kind) {
  for (const JsonKindNames& row : kJsonKinds) {
    if (row.kind == kind) return row.type;
  }
  return "unknown";
}

const char* KeyTypeName(KeyType type) {
  switch (type) {
    case KeyType::kInteger:
      return "integer";
    case KeyType::kUnsigned:
      return "unsigned integer";
    case KeyType::kNumber:
      return "number";
    case KeyType::kText:
      return "text";
    case KeyType::kObject:
      return "object";
    case KeyType::kArray:
      return "array";
  }
  return "?";
}

std::string CallbacksOf(catalogue::Message message) {
  std::string names;
  for (const catalogue::CallbackRow& callback : catalogue::kCallbacks) {
    for (const catalogue::Message brought : callback.brings) {
      if (brought != message) continue;
      if (!names.empty()) names += ", ";
      names += callback.name;
    }
  }
  return names;
}

namespace {

// A JSON string of `text` (every text of the catalogue is printable ASCII or UTF-8).
std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string CatalogueJson() {
  std::string out = "{\"commands\":[";
  for (const CommandSpec& command : kCommands) {
    if (&command != &kCommands.front()) out += ",";
    out += "{\"name\":" + Quote(command.name) + ",\"args\":[";
    for (int i = 0; i < catalogue::ArgCount(*command.row); ++i) {
      out += (i ? "," : "") + Quote(ArgKindName(command.row->args[i].kind));
    }
    out += "]}";
  }
  out += "],\"messages\":[";
  for (const catalogue::MessageRow& message : catalogue::kMessages) {
    out += (message.id == catalogue::kMessages[0].id ? "" : ",") + Quote(message.name);
  }
  out += "],\"callbacks\":[";
  for (const catalogue::CallbackRow& callback : catalogue::kCallbacks) {
    out += (&callback == &catalogue::kCallbacks[0] ? "" : ",") + Quote(callback.name);
  }
  return out + "]}\n";
}

}  // namespace kv_host
