// The one reader of the JSON texts the scripts send as command arguments (the room and recording
// configurations, the questions): JsonCpp's Json::Reader, which refuses trailing commas and a
// leading byte-order mark.
#pragma once

namespace Json {
class Value;
}

namespace corvel_client {

// Parses `text` into `root`. False for null text, text the reader refuses, and text that makes it
// throw (nesting beyond its limit): all of them are "does not parse". Running out of memory is
// not: std::bad_alloc leaves, so that the command answers as a failed one.
bool ParseJsonText(const char* text, Json::Value& root);

}  // namespace corvel_client
