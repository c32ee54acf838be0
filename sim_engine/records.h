// The engine's records as JSON objects, with the field names of engine.h (camelCase). Journal
// entries write what kv_client passed; scripted events read what the console asked to send.
#pragma once

#include <string>
#include <vector>

#include "json.h"
#include "kv/engine.h"

namespace kv_sim {

// Every field of the configuration, in declaration order. A text field that kv_client left
// without its terminator is read to the end of its buffer and flagged "<field>Unterminated".
cJSON* ConfigToJson(const corvel::EnterRoomConfig& config);
cJSON* ServerToJson(const corvel::ServerAddress& server);
cJSON* PointsToJson(const corvel::Point* points, int count);
cJSON* Int32sToJson(const int32_t* values, int count);
cJSON* KeynoteToJson(const corvel::KeynoteInfo& keynote);

// Readers: a missing member takes the record's default; wrong types read as the default too.
corvel::UserInfo UserFromJson(const cJSON* item);
corvel::SpeakerInfo SpeakerFromJson(const cJSON* item);
corvel::QuestionInfo QuestionFromJson(const cJSON* item);
corvel::RoomInfo RoomFromJson(const cJSON* item);
corvel::ChatMessage ChatFromJson(const cJSON* item);
corvel::MediaInfo MediaInfoFromJson(const cJSON* item);
corvel::KeynoteInfo KeynoteFromJson(const cJSON* item);
// [[x, y, pressure], ...] or [{"x":..,"y":..,"pressure":..}, ...].
std::vector<corvel::Point> PointsFromJson(const cJSON* item);

}  // namespace kv_sim
