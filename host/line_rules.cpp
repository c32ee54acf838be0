#include "line_rules.h"

#include <algorithm>
#include <cstring>

namespace kv_host {
namespace {

enum class MemberType { kBool, kNumber, kText, kArray };

struct MemberRule {
  const char* kind;     // "call", "sim" or "host"
  const char* request;  // the value of that member, or null for every request of the kind
  const char* member;
  MemberType type;
};

// Members whose type the console checks itself. The simulated engine checks the rest of its own
// ("code", device lists, emit arguments) and reads a wrong type in these as a default, which would
// turn {"on":"false"} into "on".
constexpr MemberRule kMemberRules[] = {
    {"call", nullptr, "call", MemberType::kText},    {"call", nullptr, "args", MemberType::kArray},
    {"host", nullptr, "host", MemberType::kText},    {"host", "sleep", "ms", MemberType::kNumber},
    {"host", "debug", "text", MemberType::kText},    {"sim", nullptr, "sim", MemberType::kText},
    {"sim", "classroom", "on", MemberType::kBool},   {"sim", "loopback", "on", MemberType::kBool},
    {"sim", "emit", "event", MemberType::kText},     {"sim", "emit", "wait", MemberType::kBool},
    {"sim", "emit", "threads", MemberType::kNumber}, {"sim", "emit", "repeat", MemberType::kNumber},
    {"sim", "emit", "loopback", MemberType::kArray}, {"sim", "reply", "op", MemberType::kText},
};

constexpr const char* kKinds[] = {"call", "sim", "host"};

bool HasType(const cJSON* item, MemberType type) {
  switch (type) {
    case MemberType::kBool:
      return cJSON_IsBool(item);
    case MemberType::kNumber:
      return cJSON_IsNumber(item);
    case MemberType::kText:
      return cJSON_IsString(item);
    case MemberType::kArray:
      return cJSON_IsArray(item);
  }
  return false;
}

const char* TypeName(MemberType type) {
  switch (type) {
    case MemberType::kBool:
      return "a bool (true or false)";
    case MemberType::kNumber:
      return "a number";
    case MemberType::kText:
      return "a text";
    case MemberType::kArray:
      return "an array";
  }
  return "";
}

std::string CheckMembers(const cJSON* request, const char* kind) {
  const cJSON* what = cJSON_GetObjectItemCaseSensitive(request, kind);
  const std::string name = cJSON_IsString(what) ? what->valuestring : "";
  for (const MemberRule& rule : kMemberRules) {
    if (std::strcmp(rule.kind, kind) != 0) continue;
    if (rule.request != nullptr && name != rule.request) continue;
    const cJSON* member = cJSON_GetObjectItemCaseSensitive(request, rule.member);
    if (member == nullptr || HasType(member, rule.type)) continue;
    std::string where = "\"" + std::string(rule.member) + "\"";
    if (rule.request != nullptr) {
      where += " of {\"" + std::string(kind) + "\":\"" + rule.request + "\"}";
    }
    return where + " must be " + TypeName(rule.type) + ", not " + JsonTypeName(member);
  }
  return "";
}

}  // namespace

const char* JsonTypeName(const cJSON* item) {
  if (item == nullptr) return "nothing";
  if (cJSON_IsBool(item)) return "a bool";
  if (cJSON_IsNull(item)) return "null";
  if (cJSON_IsNumber(item)) return "a number";
  if (cJSON_IsString(item)) return "a text";
  if (cJSON_IsArray(item)) return "an array";
  if (cJSON_IsObject(item)) return "an object";
  return "something else";
}

std::string ParseLine(const std::string& line, cJSON*& parsed, LineKind& kind) {
  parsed = nullptr;
  const char* end = nullptr;
  cJSON* request = cJSON_ParseWithOpts(line.c_str(), &end, /*require_null_terminated=*/1);
  if (request == nullptr) {
    const size_t at =
        end != nullptr && end >= line.c_str() ? static_cast<size_t>(end - line.c_str()) : 0;
    const std::string rest = line.substr(std::min(at, line.size()), 20);
    return "not JSON: parsing stopped at character " + std::to_string(at + 1) +
           (rest.empty() ? std::string(", at the end") : ", before \"" + rest + "\"") + ": " + line;
  }
  if (!cJSON_IsObject(request)) {
    const std::string what = JsonTypeName(request);
    cJSON_Delete(request);
    return "not a JSON object but " + what + ": " + line;
  }
  std::string present;
  int count = 0;
  for (int i = 0; i < 3; ++i) {
    if (cJSON_GetObjectItemCaseSensitive(request, kKinds[i]) == nullptr) continue;
    present += (count ? " and \"" : "\"") + std::string(kKinds[i]) + "\"";
    kind = static_cast<LineKind>(i);
    ++count;
  }
  std::string error;
  if (count == 0) {
    error = "a line has \"call\", \"sim\" or \"host\": " + line;
  } else if (count > 1) {
    error = "a line has exactly one of \"call\", \"sim\" or \"host\"; this one has " + present +
            ": " + line;
  } else {
    error = CheckMembers(request, kKinds[static_cast<int>(kind)]);
    if (!error.empty()) error += ": " + line;
  }
  if (!error.empty()) {
    cJSON_Delete(request);
    return error;
  }
  parsed = request;
  return "";
}

}  // namespace kv_host
