// The plain-data parts of the "offlinePlay." commands: the recording's configuration read from
// JSON, the user-data folder a name may open, and the desktop programs the scripts may start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kv/engine.h"

namespace corvel_client {

// Fills a fresh `config` for OpenMedia from the JSON object `text`: "id", "userId", "type",
// "userType" (2), "signature" (cut to 255 bytes), "sess" (cut to 1023 bytes), "appVersion"
// ("3.0.0.0001") and a top-level "logLevel" (4096); version-set flag 1, both flags true, every
// other field zero or empty. A value JsonCpp cannot convert to the key's type takes the default.
// Returns false, leaving `config` unspecified, when `text` is null, does not parse, makes the
// reader throw (deep nesting), or is neither an object nor null. Never throws.
bool ParseOfflineConfig(const char* text, corvel::EnterRoomConfig& config);

// Copies `text` into the zero-filled `field` of `size` bytes, always leaving a terminator. A text
// that does not fit is cut before the first UTF-8 character that would not fit whole.
void CopyUtf8Field(const std::string& text, char* field, size_t size);

// The folders "openFolder" creates for `name`, in order, and then opens (the second).
struct UserFolderPlan {
  std::wstring userData;  // "<appData>\Corvel_Client\user_data\"
  std::wstring folder;    // "<appData>\Corvel_Client\user_data\<name>"
};

// The longest path the shell buffer holds, terminator excluded.
constexpr size_t kMaxUserFolderPath = 259;

// Plans the folders for `name` under `appData`. False, and nothing may be created or opened,
// when `appData` is empty (the shell did not give it) or `name` is empty, contains "\", "/" or
// ":" (a drive or stream), consists of dots and spaces only (".." among them), or makes the
// folder path longer than kMaxUserFolderPath.
bool PlanUserFolder(const std::wstring& appData, const std::wstring& name, UserFolderPlan& plan);

// The file that starts the permitted program named exactly `program` ("calc", "notepad",
// "mspaint"), or null for any other name, including null and other letter cases.
const wchar_t* PermittedProgramFile(const char* program);

}  // namespace corvel_client
