// The console's rules for one input line: a JSON object with exactly one of "call", "sim" or
// "host", whose typed members (booleans, numbers, texts, arrays) have their types.
#pragma once

#include <string>

#include "kv/kv_client.h"

namespace kv_host {

// "a bool", "null", "a number", "a text", "an array" or "an object" ("nothing" for null).
const char* JsonTypeName(const cJSON* item);

enum class LineKind { kCall, kSim, kHost };

// Parses `line`. On success `parsed` owns the object (the caller frees it with cJSON_Delete),
// `kind` says which of the three it is and the result is ""; otherwise the result is the error
// text and `parsed` is null.
std::string ParseLine(const std::string& line, cJSON*& parsed, LineKind& kind);

}  // namespace kv_host
