#include "offline_play/offline_args.h"

#include <json/json.h>

#include "json_reader.h"

#include <cstring>
#include <exception>

namespace corvel_client {
namespace {

// Each reader follows JsonCpp's own conversions (a number for a text key reads as its text, null
// as 0 or empty) but takes the default where JsonCpp would throw.
int32_t ReadInt(const Json::Value& root, const char* key, int32_t fallback) {
  if (!root.isMember(key)) return fallback;
  const Json::Value& value = root[key];
  return value.isConvertibleTo(Json::intValue) ? value.asInt() : fallback;
}

uint32_t ReadUInt(const Json::Value& root, const char* key, uint32_t fallback) {
  if (!root.isMember(key)) return fallback;
  const Json::Value& value = root[key];
  return value.isConvertibleTo(Json::uintValue) ? value.asUInt() : fallback;
}

std::string ReadText(const Json::Value& root, const char* key, const char* fallback) {
  if (!root.isMember(key)) return fallback;
  const Json::Value& value = root[key];
  return value.isConvertibleTo(Json::stringValue) ? value.asString() : std::string(fallback);
}

struct ProgramEntry {
  const char* name;
  const wchar_t* file;
};

// The only programs the scripts may start, by exact name.
constexpr ProgramEntry kPermittedPrograms[] = {
    {"calc", L"calc.exe"},
    {"notepad", L"notepad.exe"},
    {"mspaint", L"mspaint.exe"},
};

}  // namespace

void CopyUtf8Field(const std::string& text, char* field, size_t size) {
  if (field == nullptr || size == 0) return;
  size_t length = text.size() < size - 1 ? text.size() : size - 1;
  if (length < text.size()) {
    // Back up over the continuation bytes of the character the cut would split.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0u) == 0x80u) --length;
  }
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), length);
}

bool ParseOfflineConfig(const char* text, corvel::EnterRoomConfig& config) {
  if (text == nullptr) return false;
  try {
    Json::Value root;
    if (!ParseJsonText(text, root)) return false;
    if (!root.isObject() && !root.isNull()) return false;
    config = corvel::EnterRoomConfig();
    config.roomId = ReadInt(root, "id", 0);
    config.userId = ReadInt(root, "userId", 0);
    config.roomType = ReadInt(root, "type", 0);
    config.userType = ReadInt(root, "userType", 2);
    CopyUtf8Field(ReadText(root, "signature", ""), config.signature, sizeof(config.signature));
    CopyUtf8Field(ReadText(root, "sess", ""), config.sess, sizeof(config.sess));
    config.appVersion = ReadText(root, "appVersion", "3.0.0.0001");
    config.logLevel = ReadUInt(root, "logLevel", 4096);
    config.versionSet = 1;
    config.flag0 = true;
    config.flag1 = true;
    return true;
  } catch (const std::exception&) {
    return false;  // the reader's nesting limit, or an allocation failure
  }
}

bool PlanUserFolder(const std::wstring& appData, const std::wstring& name, UserFolderPlan& plan) {
  if (appData.empty() || name.empty()) return false;
  if (name.find_first_of(L"\\/:") != std::wstring::npos) return false;
  // Windows drops trailing dots and spaces from a path component, so a name made only of them
  // would name the user-data folder itself or its parent.
  if (name.find_first_not_of(L". ") == std::wstring::npos) return false;
  std::wstring userData = appData + L"\\Corvel_Client\\user_data\\";
  std::wstring folder = userData + name;
  if (folder.size() > kMaxUserFolderPath) return false;
  plan.userData = std::move(userData);
  plan.folder = std::move(folder);
  return true;
}

const wchar_t* PermittedProgramFile(const char* program) {
  if (program == nullptr) return nullptr;
  for (const ProgramEntry& entry : kPermittedPrograms) {
    if (std::strcmp(program, entry.name) == 0) return entry.file;
  }
  return nullptr;
}

}  // namespace corvel_client
