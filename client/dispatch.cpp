#include "dispatch.h"

#include <cmath>
#include <limits>

namespace corvel_client {

using corvel_client_win::MessageFromCpp;

bool ArgBool(const MessageFromCpp& message, int index) {
  return corvel_client_win::cJSON_GetBoolFromJsonArray(message.args, index);
}

double ArgNumber(const MessageFromCpp& message, int index) {
  return corvel_client_win::cJSON_GetNumberFromJsonArray(message.args, index);
}

int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

int32_t ArgInt(const MessageFromCpp& message, int index) {
  return TruncateToInt32(ArgNumber(message, index));
}

const char* ArgText(const MessageFromCpp& message, int index) {
  return corvel_client_win::cJSON_GetStringFromJsonArray(message.args, index);
}

std::string ArgString(const MessageFromCpp& message, int index) {
  const char* text = ArgText(message, index);
  return text == nullptr ? std::string() : std::string(text);
}

namespace {

void AppendOutput(MessageFromCpp& message, cJSON* value) {
  if (value == nullptr) return;
  if (message.result == nullptr || !cJSON_AddItemToArray(message.result, value)) {
    cJSON_Delete(value);
    return;
  }
  ++message.resultCount;
}

}  // namespace

void WriteResultCode(MessageFromCpp& message, int32_t code) {
  // The count is set, not added to: an "engine." command served by two delegates leaves both
  // result groups in `result` and the count of the last one. A code that cannot be allocated
  // leaves the count 0, so the record never claims an answer it does not hold.
  message.resultCount = 0;
  AppendOutput(message, cJSON_CreateNumber(code));
}

void AppendResultNumber(MessageFromCpp& message, double value) {
  AppendOutput(message, cJSON_CreateNumber(value));
}

void AppendResultBool(MessageFromCpp& message, bool value) {
  AppendOutput(message, cJSON_CreateBool(value ? 1 : 0));
}

void AppendResultStrings(MessageFromCpp& message, const std::vector<std::string>& values) {
  cJSON* array = cJSON_CreateArray();
  if (array == nullptr) return;
  for (const std::string& value : values) {
    cJSON* item = cJSON_CreateString(value.c_str());
    if (item != nullptr) cJSON_AddItemToArray(array, item);
  }
  AppendOutput(message, array);
}

ResultMark MarkResult(const MessageFromCpp& message) {
  return {message.resultCount, message.result == nullptr ? 0 : cJSON_GetArraySize(message.result)};
}

void FailCommand(MessageFromCpp& message, const ResultMark& mark, bool answers) {
  if (message.result != nullptr) {
    for (int items = cJSON_GetArraySize(message.result); items > mark.items; --items) {
      cJSON_DeleteItemFromArray(message.result, items - 1);
    }
  }
  message.resultCount = mark.count;
  if (answers) WriteResultCode(message, -1);
}

}  // namespace corvel_client
