#include "dispatch.h"

namespace corvel_client {

using corvel_client_win::MessageFromCpp;

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
