#include "json_reader.h"

#include <cstring>
#include <exception>
#include <new>

#include <json/json.h>

namespace corvel_client {

bool ParseJsonText(const char* text, Json::Value& root) {
  if (text == nullptr) return false;
  try {
    Json::Reader reader;
    return reader.parse(text, text + std::strlen(text), root, /*collectComments=*/false);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    root = Json::Value();
    return false;
  }
}

}  // namespace corvel_client
