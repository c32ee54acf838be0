#include "event_json.h"

#include <json/writer.h>

#include "catalogue.h"

namespace corvel_client {
namespace {

// Keys as static strings: JsonCpp then stores the pointer instead of duplicating the key for
// every member, which matters for rooms with hundreds of users.
using Key = Json::StaticString;
namespace keys = catalogue::keys;

const Key kId(keys::User::id);
const Key kType(keys::User::type);
const Key kRight(keys::User::right);
const Key kName(keys::User::name);

// Makes `value` an object (or an array) unless it already is one, keeping its members so that a
// refill reuses their storage.
Json::Value& AsObject(Json::Value& value) {
  if (!value.isObject()) value = Json::Value(Json::objectValue);
  return value;
}
Json::Value& AsArray(Json::Value& value) {
  if (!value.isArray()) value = Json::Value(Json::arrayValue);
  return value;
}

void FillUser(Json::Value& out, const corvel::UserInfo& user) {
  AsObject(out);
  out[kId] = user.id;
  out[kType] = user.type;
  out[kRight] = user.right;
  out[kName] = user.name;
}

// Fills `list` with one entry per element of `items` that `keep` accepts, at most `limit`, and
// drops entries left over from an earlier, longer fill.
template <typename Items, typename Keep, typename FillEntry>
void FillList(Json::Value& list, const Items& items, size_t limit, Keep keep, FillEntry fill) {
  AsArray(list);
  Json::ArrayIndex used = 0;
  for (const auto& item : items) {
    if (used >= limit) break;
    if (!keep(item)) continue;
    fill(list[used++], item);
  }
  list.resize(used);
}

constexpr size_t kNoLimit = static_cast<size_t>(-1);

bool IsSpeaking(const corvel::RoomInfo& room, int32_t userId) {
  for (const auto& speaker : room.speakers) {
    if (speaker && speaker->id == userId) return true;
  }
  return false;
}

void FillSpeaker(Json::Value& out, const std::shared_ptr<corvel::SpeakerInfo>& speaker) {
  AsObject(out);
  out[Key(keys::Speaker::id)] = speaker->id;
  out[Key(keys::Speaker::type)] = speaker->type;
  out[Key(keys::Speaker::name)] = speaker->name;
  out[Key(keys::Speaker::channel)] = speaker->channel;
  out[Key(keys::Speaker::isAudioOpen)] = speaker->audioOpen;
  out[Key(keys::Speaker::isVideoOpen)] = speaker->videoOpen;
}

void FillQuestion(Json::Value& out, const corvel::QuestionInfo& question) {
  AsObject(out);
  out[Key(keys::Question::type)] = question.type;
  out[Key(keys::Question::status)] = question.status;
  out[Key(keys::Question::questionId)] = question.questionId;
  out[Key(keys::Question::optionNum)] = question.optionNum;
  FillList(
      out[Key(keys::Question::correctOptions)], question.correctOptions, kNoLimit,
      [](int32_t) { return true; }, [](Json::Value& entry, int32_t option) { entry = option; });
  if (!question.summary) {
    out.removeMember(keys::Question::answerSummary);
    return;
  }
  const corvel::AnswerSummary& summary = *question.summary;
  Json::Value& stats = AsObject(out[Key(keys::Question::answerSummary)]);
  stats[Key(keys::AnswerSummary::attendStudents)] = summary.attendStudents;
  stats[Key(keys::AnswerSummary::scorekeepers)] = summary.scorekeepers;
  FillList(
      stats[Key(keys::AnswerSummary::optionStats)], summary.optionStats, kNoLimit,
      [](const corvel::OptionStat&) { return true; },
      [](Json::Value& entry, const corvel::OptionStat& stat) {
        AsObject(entry);
        entry[Key(keys::OptionStat::option)] = stat.option;
        entry[Key(keys::OptionStat::num)] = stat.num;
      });
}

}  // namespace

std::string WriteEventJson(const Json::Value& value) {
  // FastWriter is deprecated in JsonCpp 1.9 but is the writer whose compact output the scripts
  // were written against (exact number formatting, trailing newline).
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
  Json::FastWriter writer;
  return writer.write(value);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

Json::Value UserJson(const corvel::UserInfo& user) {
  Json::Value value(Json::objectValue);
  FillUser(value, user);
  return value;
}

Json::Value ChatJson(int32_t roomId, const corvel::ChatMessage& chat) {
  Json::Value value(Json::objectValue);
  value[Key(keys::Chat::room_id)] = roomId;
  value[Key(keys::Chat::message_id)] = Json::Int64(chat.messageId);
  value[Key(keys::Chat::request_message_id)] = chat.requestMessageId;
  value[Key(keys::Chat::chat_message)] = chat.text;
  value[Key(keys::Chat::timestamp)] = Json::Int64(chat.timestamp);
  value[Key(keys::Chat::message_type)] = chat.messageType;
  value[Key(keys::Chat::user)] = UserJson(chat.sender);
  return value;
}

Json::Value SystemMessageJson(int64_t level, int64_t roomId, const std::string& text) {
  Json::Value value(Json::objectValue);
  value[Key(keys::SystemMessage::level)] = Json::Int64(level);
  value[Key(keys::SystemMessage::room_id)] = Json::Int64(roomId);
  value[Key(keys::SystemMessage::message)] = text;
  return value;
}

Json::Value RoomJson(const corvel::RoomInfo& room) {
  Json::Value value(Json::objectValue);
  FillRoomJson(room, value);
  return value;
}

void FillRoomJson(const corvel::RoomInfo& room, Json::Value& out) {
  Json::Value& value = AsObject(out);
  const auto ofType = [](int32_t type) {
    return [type](const corvel::UserInfo& user) { return user.type == type; };
  };
  const auto all = [](const auto&) { return true; };
  // Other kinds of user (type 3 and the engine's own) are not shown in the class lists.
  FillList(value[Key(keys::Room::teacherList)], room.users, kNoLimit, ofType(1), FillUser);
  FillList(value[Key(keys::Room::studentList)], room.users, kMaxListedStudents, ofType(2),
           FillUser);
  FillList(value[Key(keys::Room::assistantList)], room.users, kNoLimit, ofType(4), FillUser);
  FillList(
      value[Key(keys::Room::microphoneList)], room.microphoneQueue, kNoLimit,
      [&room](const corvel::UserInfo& user) { return !IsSpeaking(room, user.id); }, FillUser);
  FillList(
      value[Key(keys::Room::speakingUserList)], room.speakers, kNoLimit,
      [](const std::shared_ptr<corvel::SpeakerInfo>& speaker) { return speaker != nullptr; },
      FillSpeaker);

  value[Key(keys::Room::userCount)] = Json::UInt(room.userCount);
  value[Key(keys::Room::startTime)] = Json::Int64(room.startTime);
  value[Key(keys::Room::latestMessageId)] = Json::Int64(room.latestMessageId);
  value[Key(keys::Room::latestStrokeId)] = Json::Int64(room.latestStrokeId);
  value[Key(keys::Room::latestTopMessageId)] = Json::Int64(room.latestTopMessageId);
  value[Key(keys::Room::isMicrophoneQueueOpen)] = room.microphoneQueueOpen;
  value[Key(keys::Room::isVideoMicOpen)] = room.videoMicOpen;
  value[Key(keys::Room::banAllMessage)] = room.banAllMessage;
  value[Key(keys::Room::assistantUserId)] = room.assistantUserId;
  value[Key(keys::Room::largeUid)] = room.largeUid;
  value[Key(keys::Room::videoStyle)] = room.videoStyle;
  value[Key(keys::Room::startDuration)] = room.startDuration;

  FillList(value[Key(keys::Room::bannedUserList)], room.bannedUsers, kMaxListedBannedUsers, all,
           FillUser);
  FillList(value[Key(keys::Room::micStatusList)], room.microphoneStates, kNoLimit, all,
           [](Json::Value& entry, const corvel::MicrophoneState& state) {
             AsObject(entry);
             entry[Key(keys::MicStatus::id)] = state.id;
             entry[Key(keys::MicStatus::timer)] = state.timer;
             entry[Key(keys::MicStatus::valid)] = state.valid;
           });

  // Only the first question is shown; a missing first entry reads as no question.
  Json::Value& question = value[Key(keys::Room::question)];
  if (!room.questions.empty() && room.questions.front()) {
    FillQuestion(question, *room.questions.front());
  } else {
    question = Json::Value(Json::nullValue);
  }
}

Json::Value NetQualityJson(uint64_t packageCount, double jitter) {
  Json::Value value(Json::objectValue);
  value[Key(keys::NetQuality::packageCount)] = Json::UInt64(packageCount);
  value[Key(keys::NetQuality::jitter)] = jitter;
  return value;
}

}  // namespace corvel_client
