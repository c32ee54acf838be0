#include "notes.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "line_rules.h"
#include "reference.h"

namespace kv_host {
namespace {

std::string Lower(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Edits (insert, delete, replace) between two texts.
size_t Distance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The candidate closest to `name`: equal but for letter case, then one that starts with it, then
// the fewest edits when they are few for its length. "" when none is close.
std::string Nearest(const std::string& name, const std::vector<std::string>& candidates) {
  const std::string lower = Lower(name);
  for (const std::string& c : candidates) {
    if (Lower(c) == lower) return c;
  }
  if (lower.size() >= 3) {
    for (const std::string& c : candidates) {
      if (Lower(c).compare(0, lower.size(), lower) == 0) return c;
    }
  }
  std::string best;
  size_t best_distance = std::max<size_t>(2, lower.size() / 4) + 1;
  for (const std::string& c : candidates) {
    const size_t d = Distance(lower, Lower(c));
    if (d < best_distance) {
      best = c;
      best_distance = d;
    }
  }
  return best;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool IsByteBlock(const cJSON* arg) {
  return cJSON_IsObject(arg) && cJSON_GetObjectItemCaseSensitive(arg, "$bytes") != nullptr;
}

// What an argument of another type turns into inside the bridge.
const char* ReadsAs(ArgKind kind) {
  switch (kind) {
    case ArgKind::kNone:
      break;
    case ArgKind::kNumber:
      return "it reads as 0";
    case ArgKind::kBool:
      return "it reads as false";
    case ArgKind::kText:
    case ArgKind::kConfig:
      return "the bridge reads no text";
    case ArgKind::kPoints:
      return "the stroke has no points";
    case ArgKind::kBlock:
      return "the key and status go to the engine with no data (status 0 fails its fetch at once)";
  }
  return "";
}

bool HasKind(const cJSON* arg, ArgKind kind) {
  switch (kind) {
    case ArgKind::kNone:
      break;
    case ArgKind::kNumber:
      return cJSON_IsNumber(arg);
    case ArgKind::kBool:
      return cJSON_IsBool(arg);
    case ArgKind::kText:
    case ArgKind::kConfig:
      return cJSON_IsString(arg);
    case ArgKind::kPoints:
      return cJSON_IsArray(arg);
    case ArgKind::kBlock:
      return IsByteBlock(arg);
  }
  return false;
}

bool HasKeyType(const cJSON* value, KeyType type) {
  switch (type) {
    case KeyType::kInteger:
    case KeyType::kNumber:
      return cJSON_IsNumber(value);
    case KeyType::kUnsigned:
      return cJSON_IsNumber(value) && value->valuedouble >= 0;
    case KeyType::kText:
      return cJSON_IsString(value);
    case KeyType::kObject:
      return cJSON_IsObject(value);
    case KeyType::kArray:
      return cJSON_IsArray(value);
  }
  return false;
}

const ConfigKeySpec* FindKey(const ConfigSpec& config, const std::string& path) {
  for (const ConfigKeySpec& key : config.keys) {
    if (path == key.path) return &key;
  }
  return nullptr;
}

// The part of a key path after its last "." ("server.roomServer.host" -> "host").
std::string LastMember(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot == std::string::npos ? path : path.substr(dot + 1);
}

std::string ParentOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot == std::string::npos ? "" : path.substr(0, dot);
}

// An unknown key: the key whose journal field has that name (scripts copy "roomId" from the
// journal for "id"), else the closest sibling.
std::string UnknownKeyNote(const ConfigSpec& config, const std::string& parent,
                           const std::string& member) {
  const std::string path = parent.empty() ? member : parent + "." + member;
  std::string note = std::string("the ") + config.name + " text has the key " + Quoted(path) +
                     ", which is not read";
  for (const ConfigKeySpec& key : config.keys) {
    if (*key.field != '\0' && Lower(member) == Lower(key.field)) {
      return note + "; " + Quoted(member) + " is the journal's name of the key " + Quoted(key.path);
    }
  }
  std::vector<std::string> siblings;
  for (const ConfigKeySpec& key : config.keys) {
    if (ParentOf(key.path) == parent) siblings.push_back(LastMember(key.path));
  }
  const std::string nearest = Nearest(member, siblings);
  if (!nearest.empty()) {
    note += "; did you mean " + Quoted(parent.empty() ? nearest : parent + "." + nearest) + "?";
  }
  return note;
}

void CheckConfigValue(const ConfigSpec& config, const ConfigKeySpec& key, const cJSON* value,
                      std::vector<std::string>& notes);

// The members of an object at `parent` ("" for the top level).
void CheckConfigObject(const ConfigSpec& config, const std::string& parent, const cJSON* object,
                       std::vector<std::string>& notes) {
  const cJSON* member = nullptr;
  cJSON_ArrayForEach(member, object) {
    const std::string name = member->string != nullptr ? member->string : "";
    const std::string path = parent.empty() ? name : parent + "." + name;
    const ConfigKeySpec* key = FindKey(config, path);
    if (key == nullptr) {
      notes.push_back(UnknownKeyNote(config, parent, name));
    } else {
      CheckConfigValue(config, *key, member, notes);
    }
  }
}

void CheckConfigValue(const ConfigSpec& config, const ConfigKeySpec& key, const cJSON* value,
                      std::vector<std::string>& notes) {
  const std::string where = "the key " + Quoted(key.path) + " of the " + config.name + " text";
  if (!HasKeyType(value, key.type)) {
    std::string note =
        where + " should be " +
        (key.type == KeyType::kInteger || key.type == KeyType::kUnsigned ? std::string("an ")
                                                                         : std::string("a ")) +
        KeyTypeName(key.type) + ", not " + JsonTypeName(value);
    if (*key.fallback != '\0') note += std::string("; it may read as its default ") + key.fallback;
    notes.push_back(note);
    return;
  }
  if (key.maxBytes > 0 && std::strlen(value->valuestring) > key.maxBytes) {
    notes.push_back(where + " is longer than " + std::to_string(key.maxBytes) +
                    " bytes and is cut");
  }
  if (cJSON_IsObject(value)) CheckConfigObject(config, key.path, value, notes);
  if (cJSON_IsArray(value)) {
    const int count = cJSON_GetArraySize(value);
    if (key.maxItems > 0 && count > static_cast<int>(key.maxItems)) {
      notes.push_back(where + " has " + std::to_string(count) + " entries; only the first " +
                      std::to_string(key.maxItems) + " are read");
    }
    const ConfigKeySpec* element = FindKey(config, std::string(key.path) + "[]");
    const cJSON* item = nullptr;
    int index = 0;
    cJSON_ArrayForEach(item, value) {
      if (element == nullptr) break;
      if (!HasKeyType(item, element->type)) {
        notes.push_back(where + ": entry " + std::to_string(index) + " should be " +
                        (element->type == KeyType::kObject ? "an object" : "a number") + ", not " +
                        JsonTypeName(item));
        break;  // one note per list is enough
      }
      if (cJSON_IsObject(item)) CheckConfigObject(config, element->path, item, notes);
      ++index;
    }
  }
}

void CheckConfigText(const ConfigSpec& config, const char* text, std::vector<std::string>& notes) {
  const char* end = nullptr;
  // Like the bridge's reader, stop after the first value: what follows is ignored, not an error.
  cJSON* root = cJSON_ParseWithOpts(text, &end, /*require_null_terminated=*/0);
  if (root == nullptr) {
    const size_t at = end != nullptr && end >= text ? static_cast<size_t>(end - text) : 0;
    notes.push_back("the " + std::string(config.name) + " text does not parse (stopped at " +
                    "character " + std::to_string(at + 1) + "): " + config.unparsable);
    return;
  }
  while (end != nullptr && *end != '\0' && static_cast<unsigned char>(*end) <= ' ') ++end;
  if (end != nullptr && *end != '\0') {
    notes.push_back("the " + std::string(config.name) +
                    " text goes on after its first JSON value (from character " +
                    std::to_string(end - text + 1) +
                    "); the bridge reads that value and ignores the rest");
  }
  if (!cJSON_IsObject(root)) {
    notes.push_back("the " + std::string(config.name) + " text is " + JsonTypeName(root) +
                    ", not a JSON object: no key is read");
  } else {
    CheckConfigObject(config, "", root, notes);
  }
  cJSON_Delete(root);
}

// The members of a stroke point, in the catalogue's order.
std::vector<std::string> PointMembers() {
  std::vector<std::string> members;
  for (const catalogue::KeyRow& key : catalogue::kKeys) {
    if (key.shape == catalogue::Shape::kPoint) members.emplace_back(key.key);
  }
  return members;
}

// Stroke points: objects with number members (x, y and pressure).
void CheckPoints(const cJSON* points, std::vector<std::string>& notes) {
  const std::vector<std::string> members = PointMembers();
  std::string form, list;
  for (size_t i = 0; i < members.size(); ++i) {
    form += (i ? ",\"" : "{\"") + members[i] + "\":..";
    list += (i == 0 ? "" : i + 1 == members.size() ? " and " : ", ") + members[i];
  }
  form += "}";
  const cJSON* point = nullptr;
  int index = 0;
  cJSON_ArrayForEach(point, points) {
    if (!cJSON_IsObject(point)) {
      notes.push_back("point " + std::to_string(index) + " of the stroke is " +
                      JsonTypeName(point) + "; points are objects " + form +
                      ", and this one becomes x 0, y 0, pressure 0.5");
      return;
    }
    const cJSON* member = nullptr;
    cJSON_ArrayForEach(member, point) {
      const std::string name = member->string != nullptr ? member->string : "";
      if (std::find(members.begin(), members.end(), name) == members.end()) {
        notes.push_back("point " + std::to_string(index) + " has the member " + Quoted(name) +
                        ", which is not read (points have " + list + ")");
        return;
      }
      if (!cJSON_IsNumber(member)) {
        notes.push_back("point " + std::to_string(index) + ": " + Quoted(name) +
                        " should be a number, not " + JsonTypeName(member) +
                        "; it keeps its start value");
        return;
      }
    }
    ++index;
  }
}

std::string Signature(const CommandSpec& command) {
  std::string text = command.name + "(";
  for (int i = 0; i < catalogue::ArgCount(*command.row); ++i) {
    text += (i ? ", " : "") + std::string(ArgKindName(command.row->args[i].kind));
  }
  return text + ")";
}

void CheckArguments(const CommandSpec& command, const cJSON* args,
                    std::vector<std::string>& notes) {
  const int given = cJSON_IsArray(args) ? cJSON_GetArraySize(args) : 0;
  const int wanted = catalogue::ArgCount(*command.row);
  for (int i = 0; i < wanted; ++i) {
    const catalogue::Arg& expected = command.row->args[i];
    const cJSON* arg = i < given ? cJSON_GetArrayItem(args, i) : nullptr;
    const std::string which =
        "argument " + std::to_string(i) + " (" + expected.meaning + ") of " + command.name;
    if (arg == nullptr) {
      notes.push_back(which + " is missing: " + ReadsAs(expected.kind) + "; the command is " +
                      Signature(command));
      continue;
    }
    if (!HasKind(arg, expected.kind)) {
      std::string note =
          which + " should be " +
          (expected.kind == ArgKind::kBlock ? "the stored-data block {\"$bytes\":\"<base64>\"}"
                                            : std::string("a ") + ArgKindName(expected.kind)) +
          ", not " + JsonTypeName(arg) + "; " + ReadsAs(expected.kind);
      if (expected.kind == ArgKind::kConfig && cJSON_IsObject(arg)) {
        note += " (write the object as a JSON text: \"{\\\"id\\\":7}\")";
      }
      notes.push_back(note);
      continue;
    }
    if (expected.kind == ArgKind::kConfig) {
      const ConfigSpec* config = FindConfig(expected.config);
      if (config != nullptr) CheckConfigText(*config, arg->valuestring, notes);
    }
    if (expected.kind == ArgKind::kPoints) CheckPoints(arg, notes);
  }
  if (given > wanted) {
    notes.push_back(command.name + std::string(" takes ") + std::to_string(wanted) + " argument" +
                    (wanted == 1 ? "" : "s") + "; " + std::to_string(given - wanted) + " more " +
                    (given - wanted == 1 ? "is" : "are") + " ignored");
  }
}

}  // namespace

std::string NearestCommand(const std::string& name) {
  std::vector<std::string> names;
  for (const CommandSpec& command : Commands()) names.push_back(command.name);
  std::string nearest = Nearest(name, names);
  if (!nearest.empty()) return nearest;
  // The same method under another prefix ("live.muteSpeaker" for "engine.muteSpeaker").
  const size_t dot = name.find('.');
  if (dot == std::string::npos) return "";
  const std::string method = Lower(name.substr(dot + 1));
  for (const std::string& candidate : names) {
    if (Lower(LastMember(candidate)) == method) return candidate;
  }
  // A method named without its prefix or with a mistyped one: compare the methods alone.
  std::vector<std::string> methods;
  for (const std::string& candidate : names) methods.push_back(LastMember(candidate));
  nearest = Nearest(name.substr(dot + 1), methods);
  if (nearest.empty()) return "";
  for (const std::string& candidate : names) {
    if (LastMember(candidate) == nearest) return candidate;
  }
  return "";
}

std::vector<std::string> CommandNotes(const cJSON* line, int resultCount) {
  std::vector<std::string> notes;
  const cJSON* member = nullptr;
  cJSON_ArrayForEach(member, line) {
    const std::string key = member->string != nullptr ? member->string : "";
    if (key != "call" && key != "args") {
      notes.push_back("the line's member " + Quoted(key) +
                      " is not read: a command line has \"call\" and \"args\"");
    }
  }
  const cJSON* call = cJSON_GetObjectItemCaseSensitive(line, "call");
  const std::string name = cJSON_IsString(call) ? call->valuestring : "";
  const cJSON* args = cJSON_GetObjectItemCaseSensitive(line, "args");
  const CommandSpec* command = FindCommand(name);
  if (command == nullptr) {
    std::string note = "no table handles " + Quoted(name) +
                       " (names are exact, letter case included), so nothing was done";
    const std::string nearest = NearestCommand(name);
    if (!nearest.empty()) note += "; did you mean " + Quoted(nearest) + "?";
    notes.push_back(note);
    return notes;
  }
  CheckArguments(*command, args, notes);
  if (resultCount == 0 && command->row->result.form == catalogue::ResultForm::kUnhandled) {
    notes.push_back(name + " has no handling in its table and never answers (" +
                    command->row->result.text + ")");
  } else if (resultCount == 0 && command->row->table == corvel_client::CommandTable::kEngine) {
    notes.push_back(name +
                    " answered nothing: engine. commands reach a device only while a room is "
                    "entered (live.enterRoom) or a recording is open (offlinePlay.openMedia)");
  }
  return notes;
}

namespace {

// Why a class refuses a live command inside a room (docs/console.md, "The classroom mode").
const struct {
  const char* command;
  const char* why;
} kRefusals[] = {
    {"live.applyMicrophone",
     "the microphone queue is closed (onMicrophoneQueueOpened opens it), "
     "or your hand is already up or you are speaking"},
    {"live.approveMicrophone", "that user has no hand up"},
    {"live.revokeMicrophone", "that user has no hand up and is not speaking"},
    {"live.myAnswer",
     "no open question has that questionId (OnAddQuestion brings one), or you "
     "answered it already"},
    {"live.endQuestion", "no open question has that id"},
    {"live.removeQuestion", "no question has that id"},
    {"live.setNickname", "the name is empty"},
    {"live.banUser", "no user with that id is in the room"},
    {"live.unBanUser", "no user with that id is in the room"},
    {"live.pageUp", "the first page is already shown"},
    {"live.pageTo", "pages start at 1"},
    {"live.addQuestion", "a question has 1 to 26 options (optionNum)"},
};

}  // namespace

std::vector<std::string> RoomNotes::After(const cJSON* line, const cJSON* result, int resultCount) {
  std::vector<std::string> notes = CommandNotes(line, resultCount);
  const cJSON* call = cJSON_GetObjectItemCaseSensitive(line, "call");
  const std::string name = cJSON_IsString(call) ? call->valuestring : "";
  const CommandSpec* command = FindCommand(name);
  if (command == nullptr || command->row->table != corvel_client::CommandTable::kLive) {
    return notes;
  }
  const cJSON* first = cJSON_GetArrayItem(result, 0);
  const double code = cJSON_IsNumber(first) ? first->valuedouble : 0;
  if (name == "live.enterRoom") {
    inRoom_ = resultCount > 0 && code >= 0;
    return notes;
  }
  if (name == "live.quitRoom") {
    if (!inRoom_) notes.push_back("no room is entered, so there is none to leave");
    inRoom_ = false;
    return notes;
  }
  if (resultCount == 0) return notes;  // not handled at all: CommandNotes said why
  if (!inRoom_) {
    notes.push_back(name +
                    " was sent before a room was entered (live.enterRoom answering 0): a "
                    "class refuses it, and nothing it would bring comes");
    return notes;
  }
  if (code >= 0) return notes;
  for (const auto& refusal : kRefusals) {
    if (name == refusal.command) {
      notes.push_back(name + " was refused (" + std::to_string(static_cast<int>(code)) +
                      "): " + refusal.why);
    }
  }
  return notes;
}

}  // namespace kv_host
