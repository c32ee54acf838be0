// The JSON forms of engine records that events carry to the scripts. Builders return plain
// Json::Value trees; WriteEventJson turns one into the compact text the scripts parse.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <json/value.h>

#include "kv/engine.h"

namespace corvel_client {

// At most this many students and banned users are listed in the room JSON; the scripts' lists
// are not built for more.
constexpr size_t kMaxListedStudents = 200;
constexpr size_t kMaxListedBannedUsers = 200;

// Compact text: no spaces, members in ascending key order, one "\n" at the end. May throw
// std::bad_alloc.
std::string WriteEventJson(const Json::Value& value);

// {"id","name","right","type"}; the user's extra text is not forwarded.
Json::Value UserJson(const corvel::UserInfo& user);

// The chat object of "onChatMessage".
Json::Value ChatJson(int32_t roomId, const corvel::ChatMessage& chat);

// The object of "OnSystemMessage".
Json::Value SystemMessageJson(int64_t level, int64_t roomId, const std::string& text);

// The room object of "onRoomInfo": users sorted into lists by type, the microphone queue without
// the users already speaking, and the first question (or null).
Json::Value RoomJson(const corvel::RoomInfo& room);

// Writes the room object into `out`, reusing the members of an earlier fill so that repeated room
// reports allocate little; the result equals RoomJson(room) whatever `out` held before.
void FillRoomJson(const corvel::RoomInfo& room, Json::Value& out);

// The network quality object sent up as a client log line.
Json::Value NetQualityJson(uint64_t packageCount, double jitter);

}  // namespace corvel_client
