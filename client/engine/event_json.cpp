#include "event_json.h"

#include <json/writer.h>

namespace corvel_client {
namespace {

// Keys as static strings: JsonCpp then stores the pointer instead of duplicating the key for
// every member, which matters for rooms with hundreds of users.
using Key = Json::StaticString;

const Key kId("id");
const Key kType("type");
const Key kRight("right");
const Key kName("name");

Json::Value EmptyArray() { return Json::Value(Json::arrayValue); }

bool IsSpeaking(const corvel::RoomInfo& room, int32_t userId) {
  for (const auto& speaker : room.speakers) {
    if (speaker && speaker->id == userId) return true;
  }
  return false;
}

Json::Value SpeakerJson(const corvel::SpeakerInfo& speaker) {
  Json::Value value(Json::objectValue);
  value[Key("id")] = speaker.id;
  value[Key("type")] = speaker.type;
  value[Key("name")] = speaker.name;
  value[Key("channel")] = speaker.channel;
  value[Key("isAudioOpen")] = speaker.audioOpen;
  value[Key("isVideoOpen")] = speaker.videoOpen;
  return value;
}

Json::Value QuestionJson(const corvel::QuestionInfo& question) {
  Json::Value value(Json::objectValue);
  value[Key("type")] = question.type;
  value[Key("status")] = question.status;
  value[Key("questionId")] = question.questionId;
  value[Key("optionNum")] = question.optionNum;
  Json::Value& options = value[Key("correctOptions")] = EmptyArray();
  for (int32_t option : question.correctOptions) options.append(option);
  if (question.summary) {
    const corvel::AnswerSummary& summary = *question.summary;
    Json::Value& out = value[Key("answerSummary")] = Json::Value(Json::objectValue);
    out[Key("attendStudents")] = summary.attendStudents;
    out[Key("scorekeepers")] = summary.scorekeepers;
    Json::Value& stats = out[Key("optionStats")] = EmptyArray();
    for (const corvel::OptionStat& stat : summary.optionStats) {
      Json::Value entry(Json::objectValue);
      entry[Key("option")] = stat.option;
      entry[Key("num")] = stat.num;
      stats.append(std::move(entry));
    }
  }
  return value;
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
  value[kId] = user.id;
  value[kType] = user.type;
  value[kRight] = user.right;
  value[kName] = user.name;
  return value;
}

Json::Value ChatJson(int32_t roomId, const corvel::ChatMessage& chat) {
  Json::Value value(Json::objectValue);
  value[Key("room_id")] = roomId;
  value[Key("message_id")] = Json::Int64(chat.messageId);
  value[Key("request_message_id")] = chat.requestMessageId;
  value[Key("chat_message")] = chat.text;
  value[Key("timestamp")] = Json::Int64(chat.timestamp);
  value[Key("message_type")] = chat.messageType;
  value[Key("user")] = UserJson(chat.sender);
  return value;
}

Json::Value SystemMessageJson(int64_t level, int64_t roomId, const std::string& text) {
  Json::Value value(Json::objectValue);
  value[Key("level")] = Json::Int64(level);
  value[Key("room_id")] = Json::Int64(roomId);
  value[Key("message")] = text;
  return value;
}

Json::Value RoomJson(const corvel::RoomInfo& room) {
  Json::Value value(Json::objectValue);
  Json::Value& teachers = value[Key("teacherList")] = EmptyArray();
  Json::Value& students = value[Key("studentList")] = EmptyArray();
  Json::Value& assistants = value[Key("assistantList")] = EmptyArray();
  for (const corvel::UserInfo& user : room.users) {
    switch (user.type) {
      case 1:
        teachers.append(UserJson(user));
        break;
      case 2:
        if (students.size() < kMaxListedStudents) students.append(UserJson(user));
        break;
      case 4:
        assistants.append(UserJson(user));
        break;
      default:
        break;  // other kinds of user are not shown in the class lists
    }
  }

  Json::Value& microphones = value[Key("microphoneList")] = EmptyArray();
  for (const corvel::UserInfo& user : room.microphoneQueue) {
    if (!IsSpeaking(room, user.id)) microphones.append(UserJson(user));
  }

  Json::Value& speakers = value[Key("speakingUserList")] = EmptyArray();
  for (const auto& speaker : room.speakers) {
    if (speaker) speakers.append(SpeakerJson(*speaker));
  }

  value[Key("userCount")] = Json::UInt(room.userCount);
  value[Key("startTime")] = Json::Int64(room.startTime);
  value[Key("latestMessageId")] = Json::Int64(room.latestMessageId);
  value[Key("latestStrokeId")] = Json::Int64(room.latestStrokeId);
  value[Key("latestTopMessageId")] = Json::Int64(room.latestTopMessageId);
  value[Key("isMicrophoneQueueOpen")] = room.microphoneQueueOpen;
  value[Key("isVideoMicOpen")] = room.videoMicOpen;
  value[Key("banAllMessage")] = room.banAllMessage;
  value[Key("assistantUserId")] = room.assistantUserId;
  value[Key("largeUid")] = room.largeUid;
  value[Key("videoStyle")] = room.videoStyle;
  value[Key("startDuration")] = room.startDuration;

  Json::Value& banned = value[Key("bannedUserList")] = EmptyArray();
  for (const corvel::UserInfo& user : room.bannedUsers) {
    if (banned.size() >= kMaxListedBannedUsers) break;
    banned.append(UserJson(user));
  }

  Json::Value& micStates = value[Key("micStatusList")] = EmptyArray();
  for (const corvel::MicrophoneState& state : room.microphoneStates) {
    Json::Value entry(Json::objectValue);
    entry[Key("id")] = state.id;
    entry[Key("timer")] = state.timer;
    entry[Key("valid")] = state.valid;
    micStates.append(std::move(entry));
  }

  // Only the first question is shown; a missing first entry reads as no question.
  if (!room.questions.empty() && room.questions.front()) {
    value[Key("question")] = QuestionJson(*room.questions.front());
  } else {
    value[Key("question")] = Json::Value(Json::nullValue);
  }
  return value;
}

Json::Value NetQualityJson(uint64_t packageCount, double jitter) {
  Json::Value value(Json::objectValue);
  value[Key("packageCount")] = Json::UInt64(packageCount);
  value[Key("jitter")] = jitter;
  return value;
}

}  // namespace corvel_client
