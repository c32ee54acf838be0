// The classroom mode for demos: a small live class and a recorded class that answer the calls
// kv_client makes, with events from engine threads. Off by default so that tests stay exact.
#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "frames.h"
#include "records.h"
#include "sim.h"

namespace kv_sim {

namespace {

constexpr int kFramePeriodMs = 1000 / 15;  // 15 frames per second
constexpr int32_t kCameraWidth = 640, kCameraHeight = 360;
constexpr int32_t kPlaybackStream = 1000;

using Event = std::function<void(corvel::CorvelCallback&)>;
constexpr int kRefused = -1;  // what the class answers a call it refuses

// The question on show: as asked, and the answers given so far (user id -> options).
struct Question {
  corvel::QuestionInfo info;
  std::map<int32_t, std::vector<int32_t>> answers;
  bool open = false;
};

// The live class as the engine keeps it.
struct Room {
  int32_t roomId = -1;
  corvel::UserInfo self;
  std::vector<corvel::UserInfo> users;  // self included
  std::vector<corvel::UserInfo> queue;  // hands up, in order
  std::vector<int32_t> speaking;        // user ids, in the order they got the floor
  std::vector<int32_t> banned;
  bool queueOpen = true;
  bool videoMic = false;
  bool banAll = false;
  int32_t page = 1;
  int64_t startTime = 0;
  int64_t nextMessageId = 1;
  int32_t nextQuestionId = 31;
  bool hasQuestion = false;
  Question question;
};

// The class, guarded; the events an answer brings are collected while the lock is held and
// posted after it is released.
struct Class {
  std::mutex mutex;
  Room room;
};

// Answers held for the next {"sim":"wait"} (scripts that compare output lines see them at a fixed
// place); guarded by its own lock, taken after the class's is released.
struct Held {
  std::mutex mutex;
  bool on = false;
  std::vector<Event> events;
};

Class& TheClass() {
  static Class* the = new Class();
  return *the;
}

Held& TheHeld() {
  static Held* the = new Held();
  return *the;
}

std::atomic<int64_t> g_position{0};  // playback position in ms

corvel::UserInfo User(int32_t id, int32_t type, const std::string& name) {
  corvel::UserInfo user;
  user.id = id;
  user.type = type;
  user.right = type == 1 ? 7 : 1;
  user.name = name;
  return user;
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void Post(Event event) {
  Sim::Get().events.Post([event] {
    if (corvel::CorvelCallback* callback = Sim::Get().callback.load()) event(*callback);
  });
}

void Later(Event event) {
  {
    Held& held = TheHeld();
    std::lock_guard<std::mutex> lock(held.mutex);
    if (held.on) {
      held.events.push_back(std::move(event));
      return;
    }
  }
  Post(std::move(event));
}

void SendFrame(int32_t stream, int64_t n) {
  corvel::CorvelMediaCallBack* media = Sim::Get().media.load();
  if (media == nullptr) return;
  const PlanarFrame frame =
      MakePlanarFrame(kCameraWidth, kCameraHeight, static_cast<int32_t>(n % 256), 0);
  media->OnGetVideoData(stream, kCameraWidth, kCameraHeight, 0, frame.y.data(), frame.yStride,
                        frame.u.data(), frame.uStride, frame.v.data(), frame.vStride);
}

template <class T>
bool Contains(const std::vector<T>& list, const T& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

corvel::UserInfo* FindUser(Room& room, int32_t id) {
  for (corvel::UserInfo& user : room.users) {
    if (user.id == id) return &user;
  }
  return nullptr;
}

bool Queued(const Room& room, int32_t id) {
  return std::any_of(room.queue.begin(), room.queue.end(),
                     [id](const corvel::UserInfo& u) { return u.id == id; });
}

void Unqueue(Room& room, int32_t id) {
  room.queue.erase(std::remove_if(room.queue.begin(), room.queue.end(),
                                  [id](const corvel::UserInfo& u) { return u.id == id; }),
                   room.queue.end());
}

void Unspeak(Room& room, int32_t id) {
  room.speaking.erase(std::remove(room.speaking.begin(), room.speaking.end(), id),
                      room.speaking.end());
}

std::vector<int32_t> Ints(const cJSON* array) {
  std::vector<int32_t> values;
  const cJSON* item = nullptr;
  cJSON_ArrayForEach(item, array) values.push_back(AsInt32(item));
  return values;
}

cJSON* IntArray(const std::vector<int32_t>& values) {
  cJSON* array = cJSON_CreateArray();
  for (int32_t v : values) cJSON_AddItemToArray(array, MakeInt(v));
  return array;
}

std::shared_ptr<corvel::AnswerSummary> Summary(const Question& question) {
  auto summary = std::make_shared<corvel::AnswerSummary>();
  summary->attendStudents = static_cast<int32_t>(question.answers.size());
  for (int32_t option = 0; option < question.info.optionNum; ++option) {
    summary->optionStats.push_back({option, 0});
  }
  for (const auto& answer : question.answers) {
    if (answer.second == question.info.correctOptions) ++summary->scorekeepers;
    for (int32_t option : answer.second) {
      if (option >= 0 && option < question.info.optionNum) ++summary->optionStats[option].num;
    }
  }
  return summary;
}

std::string SummaryText(const Question& question) {
  const auto summary = Summary(question);
  Json text(cJSON_CreateObject());
  Put(text.get(), "attendStudents", MakeInt(summary->attendStudents));
  cJSON* stats = cJSON_CreateArray();
  for (const corvel::OptionStat& stat : summary->optionStats) {
    cJSON* entry = cJSON_CreateObject();
    Put(entry, "num", MakeInt(stat.num));
    Put(entry, "option", MakeInt(stat.option));
    cJSON_AddItemToArray(stats, entry);
  }
  Put(text.get(), "optionStats", stats);
  Put(text.get(), "questionId", MakeInt(question.info.questionId));
  Put(text.get(), "scorekeepers", MakeInt(summary->scorekeepers));
  return PrintJson(text.get());
}

// The room as the class reports it now.
std::shared_ptr<corvel::RoomInfo> Report(const Room& room) {
  auto info = std::make_shared<corvel::RoomInfo>();
  info->startTime = room.startTime;
  info->microphoneQueueOpen = room.queueOpen;
  info->videoMicOpen = room.videoMic;
  info->banAllMessage = room.banAll;
  info->latestMessageId = room.nextMessageId - 1;
  info->users = room.users;
  info->microphoneQueue = room.queue;
  int32_t channel = 0;
  for (int32_t id : room.speaking) {
    auto speaker = std::make_shared<corvel::SpeakerInfo>();
    speaker->id = id;
    for (const corvel::UserInfo& user : room.users) {
      if (user.id == id) {
        speaker->type = user.type;
        speaker->name = user.name;
      }
    }
    speaker->channel = ++channel;
    speaker->audioOpen = 1;
    speaker->videoOpen = speaker->type == 1 ? 1 : 0;
    info->speakers.push_back(speaker);
  }
  for (int32_t id : room.banned) {
    for (const corvel::UserInfo& user : room.users) {
      if (user.id == id) info->bannedUsers.push_back(user);
    }
  }
  if (room.hasQuestion) {
    auto question = std::make_shared<corvel::QuestionInfo>(room.question.info);
    question->status = room.question.open ? 1 : 2;
    question->summary = Summary(room.question);
    info->questions.push_back(question);
  }
  info->userCount = static_cast<uint32_t>(info->users.size());
  return info;
}

void AskQuestion(Room& room, int32_t id, int32_t type, int32_t optionNum,
                 std::vector<int32_t> correct) {
  room.hasQuestion = true;
  room.question = Question();
  room.question.info.questionId = id;
  room.question.info.type = type;
  room.question.info.optionNum = optionNum;
  room.question.info.correctOptions = std::move(correct);
  room.question.open = true;
}

using Events = std::vector<Event>;
// One live call the engine accepted: `args` as journaled. Returns the code for kv_client.
using Answer = int (*)(Room& room, const cJSON* args, Events& out);

const cJSON* Arg(const cJSON* args, int index) { return Element(args, index); }

int EnterRoom(Room& room, const cJSON* args, Events& out) {
  const cJSON* config = Arg(args, 0);
  const int32_t userId = AsInt32(Member(config, "userId"));
  room = Room();  // a room entered again starts afresh
  room.roomId = AsInt32(Member(config, "roomId"));
  room.self =
      User(userId, AsInt32(Member(config, "userType"), 2), "Me (" + std::to_string(userId) + ")");
  room.startTime = NowMs();
  room.users = {User(9001, 1, "Teacher"), User(9101, 2, "Student A"), User(9102, 2, "Student B"),
                User(9103, 2, "Student C"), room.self};
  room.queue = {User(9102, 2, "Student B")};
  room.speaking = {9001};
  const auto info = Report(room);
  const corvel::UserInfo self = room.self;
  out.push_back([](corvel::CorvelCallback& c) { c.OnConnected(); });
  out.push_back([info](corvel::CorvelCallback& c) { c.OnRoomInfo(*info); });
  out.push_back([self, info](corvel::CorvelCallback& c) {
    c.OnUserEnterRoom(self, static_cast<int32_t>(info->users.size()));
  });
  return 0;
}

int QuitRoom(Room& room, const cJSON*, Events&) {
  Sim::Get().video.Stop();
  room.roomId = -1;
  return 0;
}

int ApplyMicrophone(Room& room, const cJSON*, Events& out) {
  const int32_t me = room.self.id;
  if (!room.queueOpen || Queued(room, me) || Contains(room.speaking, me)) return kRefused;
  room.queue.push_back(room.self);
  const corvel::UserInfo self = room.self;
  const auto place = static_cast<int32_t>(room.queue.size());
  out.push_back([self, place](corvel::CorvelCallback& c) { c.OnMicrophoneApplied(self, place); });
  return 0;
}

int ApproveMicrophone(Room& room, const cJSON* args, Events& out) {
  const int32_t id = AsInt32(Arg(args, 0));
  const corvel::UserInfo* user = FindUser(room, id);
  if (user == nullptr || !Queued(room, id)) return kRefused;
  Unqueue(room, id);
  room.speaking.push_back(id);
  const corvel::UserInfo approved = *user;
  const auto channel = static_cast<int32_t>(room.speaking.size());
  const int32_t by = room.self.id;
  out.push_back([approved, channel, by](corvel::CorvelCallback& c) {
    c.OnMicrophoneApproved(approved, channel, channel, by);
  });
  return 0;
}

int RevokeMicrophone(Room& room, const cJSON* args, Events& out) {
  const int32_t id = AsInt32(Arg(args, 0));
  const bool speaking = Contains(room.speaking, id);
  if (!speaking && !Queued(room, id)) return kRefused;
  Unqueue(room, id);
  Unspeak(room, id);
  const int32_t by = room.self.id;
  const std::pair<int32_t, int32_t> detail(speaking ? 1 : 0,
                                           static_cast<int32_t>(room.queue.size()));
  out.push_back(
      [id, by, detail](corvel::CorvelCallback& c) { c.OnMicrophoneCanceled(id, by, detail); });
  return 0;
}

// An event that names us as the one who acted.
int ByUs(const Room& room, Events& out, void (corvel::CorvelCallback::*event)(int32_t)) {
  const int32_t by = room.self.id;
  out.push_back([by, event](corvel::CorvelCallback& c) { (c.*event)(by); });
  return 0;
}

int SettingMicrophone(Room&, const cJSON* args, Events& out) {
  const int32_t a = AsInt32(Arg(args, 0)), b = AsInt32(Arg(args, 1));
  out.push_back([a, b](corvel::CorvelCallback& c) { c.OnMicrophoneSettingTimer(a, b); });
  return 0;
}

int OpenMicrophoneQueue(Room& room, const cJSON*, Events& out) {
  room.queueOpen = true;
  return ByUs(room, out, &corvel::CorvelCallback::OnMicrophoneQueueOpened);
}

int CloseMicrophoneQueue(Room& room, const cJSON*, Events& out) {
  room.queueOpen = false;
  return ByUs(room, out, &corvel::CorvelCallback::OnMicrophoneQueueClosed);
}

int VideoMic(Room& room, bool open, Events& out) {
  room.videoMic = open;
  const int32_t by = room.self.id;
  out.push_back([by, open](corvel::CorvelCallback& c) { c.OnVideoMicEvent(by, open); });
  return 0;
}
int OpenVideoMic(Room& room, const cJSON*, Events& out) { return VideoMic(room, true, out); }
int CloseVideoMic(Room& room, const cJSON*, Events& out) { return VideoMic(room, false, out); }

int CancelAllMicrophone(Room& room, const cJSON*, Events& out) {
  room.queue.clear();
  return ByUs(room, out, &corvel::CorvelCallback::OnMicrophoneCancelAll);
}

int SendChatMessage(Room& room, const cJSON* args, Events& out) {
  corvel::ChatMessage chat;
  chat.messageId = room.nextMessageId++;
  chat.requestMessageId = "sim-" + std::to_string(chat.messageId);
  chat.sender = room.self;
  chat.text = AsString(Arg(args, 1));
  chat.timestamp = NowMs();
  chat.messageType = AsInt32(Arg(args, 2));
  const int32_t roomId = room.roomId;
  out.push_back([roomId, chat](corvel::CorvelCallback& c) { c.OnChatMessage(roomId, chat); });
  return 0;
}

int TurnTo(Room& room, int32_t page, Events& out) {
  if (page < 1) return kRefused;
  room.page = page;
  const int32_t by = room.self.id;
  out.push_back([page, by](corvel::CorvelCallback& c) { c.OnPageTo(page, by); });
  return 0;
}
int PageUp(Room& room, const cJSON*, Events& out) { return TurnTo(room, room.page - 1, out); }
int PageDown(Room& room, const cJSON*, Events& out) { return TurnTo(room, room.page + 1, out); }
int PageTo(Room& room, const cJSON* args, Events& out) {
  return TurnTo(room, AsInt32(Arg(args, 0)), out);
}

int PublishKeynote(Room&, const cJSON* args, Events& out) {
  const corvel::KeynoteInfo keynote = KeynoteFromJson(Arg(args, 0));
  out.push_back([keynote](corvel::CorvelCallback& c) { c.OnKeynoteInfo(keynote); });
  return 0;
}

int SyncStroke(Room&, const cJSON* args, Events& out) {
  auto points = std::make_shared<std::vector<corvel::Point>>(PointsFromJson(Arg(args, 0)));
  const int32_t a = AsInt32(Arg(args, 2)), b = AsInt32(Arg(args, 3));
  out.push_back([points, a, b](corvel::CorvelCallback& c) {
    corvel::StrokeInfo stroke;
    stroke.points = points->empty() ? nullptr : points->data();
    stroke.count = static_cast<int32_t>(points->size());
    stroke.a = a;
    stroke.b = b;
    c.OnSyncStroke(stroke);
  });
  return 0;
}

int EraseStroke(Room& room, const cJSON*, Events& out) {
  return ByUs(room, out, &corvel::CorvelCallback::OnEraseStroke);
}

int StartClass(Room& room, const cJSON*, Events& out) {
  room.startTime = NowMs();
  const int64_t at = room.startTime;
  out.push_back([at](corvel::CorvelCallback& c) { c.OnStartClass(at); });
  return 0;
}

int EndClass(Room&, const cJSON*, Events& out) {
  out.push_back([](corvel::CorvelCallback& c) { c.OnEndClass(); });
  return 0;
}

int AssistantOnBoard(Room& room, const cJSON*, Events& out) {
  return ByUs(room, out, &corvel::CorvelCallback::OnAssistantOnBoard);
}

int AssistantOffBoard(Room& room, const cJSON*, Events& out) {
  return ByUs(room, out, &corvel::CorvelCallback::OnAssistantOffBoard);
}

int BanUser(Room& room, const cJSON* args, Events& out) {
  const int32_t id = AsInt32(Arg(args, 0));
  if (FindUser(room, id) == nullptr) return kRefused;
  if (!Contains(room.banned, id)) room.banned.push_back(id);
  const int32_t by = room.self.id;
  out.push_back([id, by](corvel::CorvelCallback& c) { c.OnUserBanned(id, by); });
  return 0;
}

int UnBanUser(Room& room, const cJSON* args, Events& out) {
  const int32_t id = AsInt32(Arg(args, 0));
  if (FindUser(room, id) == nullptr) return kRefused;
  room.banned.erase(std::remove(room.banned.begin(), room.banned.end(), id), room.banned.end());
  const int32_t by = room.self.id;
  out.push_back([id, by](corvel::CorvelCallback& c) { c.OnUserUnBanned(id, by); });
  return 0;
}

int BanAllUser(Room& room, const cJSON*, Events& out) {
  room.banAll = true;
  return ByUs(room, out, &corvel::CorvelCallback::OnAllUserBanned);
}

int UnBanAllUser(Room& room, const cJSON*, Events& out) {
  room.banAll = false;
  return ByUs(room, out, &corvel::CorvelCallback::OnAllUserUnBanned);
}

int CancelTopMessage(Room&, const cJSON*, Events& out) {
  out.push_back([](corvel::CorvelCallback& c) { c.OnTopMessageCanceled(); });
  return 0;
}

// A new name shows in the next room report, which the class sends at once, and in our chat.
int SetNickname(Room& room, const cJSON* args, Events& out) {
  const std::string name = AsString(Arg(args, 0));
  if (name.empty()) return kRefused;
  room.self.name = name;
  for (corvel::UserInfo& user : room.users) {
    if (user.id == room.self.id) user.name = name;
  }
  for (corvel::UserInfo& user : room.queue) {
    if (user.id == room.self.id) user.name = name;
  }
  const auto info = Report(room);
  out.push_back([info](corvel::CorvelCallback& c) { c.OnRoomInfo(*info); });
  return 0;
}

int BeginSendVideo(Room&, const cJSON*, Events&) {
  Sim::Get().video.Start(kFramePeriodMs, [](int64_t n) { SendFrame(0, n); });
  return 0;
}

int StopSendVideo(Room&, const cJSON*, Events&) {
  Sim::Get().video.Stop();
  return 0;
}

int SwitchVideoStyle(Room& room, const cJSON* args, Events& out) {
  const int32_t a = AsInt32(Arg(args, 0)), b = AsInt32(Arg(args, 1)), by = room.self.id;
  out.push_back([a, b, by](corvel::CorvelCallback& c) { c.OnVideoStyleEvent(a, b, by); });
  return 0;
}

int AddQuestion(Room& room, const cJSON* args, Events& out) {
  const int32_t optionNum = AsInt32(Arg(args, 1));
  if (optionNum < 1 || optionNum > 26) return kRefused;
  AskQuestion(room, room.nextQuestionId++, AsInt32(Arg(args, 0)), optionNum, Ints(Arg(args, 2)));
  const corvel::QuestionInfo& info = room.question.info;
  Json text(cJSON_CreateObject());
  Put(text.get(), "correctOptions", IntArray(info.correctOptions));
  Put(text.get(), "optionNum", MakeInt(info.optionNum));
  cJSON* labels = cJSON_CreateArray();
  for (int32_t i = 0; i < optionNum; ++i) {
    cJSON_AddItemToArray(labels, MakeString(std::string(1, static_cast<char>('A' + i))));
  }
  Put(text.get(), "options", labels);
  Put(text.get(), "questionId", MakeInt(info.questionId));
  Put(text.get(), "text", MakeString("Question " + std::to_string(info.questionId)));
  Put(text.get(), "type", MakeInt(info.type));
  const std::string asked = PrintJson(text.get());
  out.push_back([asked](corvel::CorvelCallback& c) { c.OnAddQuestion(asked); });
  return 0;
}

int MyAnswer(Room& room, const cJSON* args, Events& out) {
  const int32_t id = AsInt32(Arg(args, 0));
  Question& question = room.question;
  if (!room.hasQuestion || !question.open || question.info.questionId != id ||
      question.answers.count(room.self.id) != 0) {
    return kRefused;
  }
  const std::vector<int32_t> chosen = Ints(Arg(args, 1));
  question.answers[room.self.id] = chosen;
  Json text(cJSON_CreateObject());
  // Without the correct options the class cannot judge, and says nothing about it.
  if (!question.info.correctOptions.empty()) {
    Put(text.get(), "correct", MakeBool(chosen == question.info.correctOptions));
  }
  Put(text.get(), "questionId", MakeInt(id));
  Put(text.get(), "selectedOptions", IntArray(chosen));
  const std::string verdict = PrintJson(text.get());
  const std::string summary = SummaryText(question);
  out.push_back([verdict](corvel::CorvelCallback& c) { c.OnMyAnswer(verdict); });
  out.push_back([summary](corvel::CorvelCallback& c) { c.OnAnswerSummary(summary); });
  return 0;
}

int EndQuestion(Room& room, const cJSON* args, Events& out) {
  const int32_t id = AsInt32(Arg(args, 0));
  if (!room.hasQuestion || !room.question.open || room.question.info.questionId != id) {
    return kRefused;
  }
  room.question.open = false;
  const std::string summary = SummaryText(room.question);
  out.push_back([summary](corvel::CorvelCallback& c) { c.OnAnswerSummary(summary); });
  out.push_back([id](corvel::CorvelCallback& c) { c.OnEndQuestion(id); });
  return 0;
}

int RemoveQuestion(Room& room, const cJSON* args, Events& out) {
  const int32_t id = AsInt32(Arg(args, 0));
  if (!room.hasQuestion || room.question.info.questionId != id) return kRefused;
  room.hasQuestion = false;
  out.push_back([id](corvel::CorvelCallback& c) { c.OnRemoveQuestion(id); });
  return 0;
}

struct LiveAnswer {
  const char* op;
  bool needsRoom;  // refused before a room is entered
  Answer answer;
};

// Every live operation kv_client calls, with what the class does with it. Not listed:
// Live.GetOutputLevel and the start-up calls, which answer as scripted.
const LiveAnswer kLiveAnswers[] = {
    {"Live.EnterRoom", false, EnterRoom},
    {"Live.QuitRoom", false, QuitRoom},
    {"Live.StartClass", true, StartClass},
    {"Live.EndClass", true, EndClass},
    {"Live.ApplyMicrophone", true, ApplyMicrophone},
    {"Live.RevokeMicrophone", true, RevokeMicrophone},
    {"Live.CancelAllMicrophone", true, CancelAllMicrophone},
    {"Live.ApproveMicrophone", true, ApproveMicrophone},
    {"Live.OpenMicrophoneQueue", true, OpenMicrophoneQueue},
    {"Live.CloseMicrophoneQueue", true, CloseMicrophoneQueue},
    {"Live.SettingMicrophone", true, SettingMicrophone},
    {"Live.SendChatMessage", true, SendChatMessage},
    {"Live.PublishKeynote", true, PublishKeynote},
    {"Live.PageUp", true, PageUp},
    {"Live.PageDown", true, PageDown},
    {"Live.PageTo", true, PageTo},
    {"Live.SyncStroke", true, SyncStroke},
    {"Live.EraseStroke", true, EraseStroke},
    {"Live.AssistantOnBoard", true, AssistantOnBoard},
    {"Live.AssistantOffBoard", true, AssistantOffBoard},
    {"Live.BanUser", true, BanUser},
    {"Live.UnBanUser", true, UnBanUser},
    {"Live.BanAllUser", true, BanAllUser},
    {"Live.UnBanAllUser", true, UnBanAllUser},
    {"Live.CancelTopMessage", true, CancelTopMessage},
    {"Live.SetNickname", true, SetNickname},
    {"Live.OpenVideoMic", true, OpenVideoMic},
    {"Live.CloseVideoMic", true, CloseVideoMic},
    {"Live.BeginSendVideo", true, BeginSendVideo},
    {"Live.StopSendVideo", true, StopSendVideo},
    {"Live.SwitchVideoStyle", true, SwitchVideoStyle},
    {"Live.AddQuestion", true, AddQuestion},
    {"Live.RemoveQuestion", true, RemoveQuestion},
    {"Live.EndQuestion", true, EndQuestion},
    {"Live.MyAnswer", true, MyAnswer},
};

}  // namespace

int ClassroomLive(const std::string& op, const cJSON* args, int code) {
  if (code < 0 || !Sim::Get().state.Classroom()) return code;
  Events out;
  {
    Class& guarded = TheClass();
    std::lock_guard<std::mutex> lock(guarded.mutex);
    Room& room = guarded.room;
    for (const LiveAnswer& entry : kLiveAnswers) {
      if (op != entry.op) continue;
      if (entry.needsRoom && room.roomId < 0) return kRefused;
      code = entry.answer(room, args, out);
      break;
    }
  }
  for (Event& event : out) Later(std::move(event));
  return code;
}

// What the other participants do (emitted events) changes the class the same way.
void ClassroomHeard(const std::string& event, const cJSON* args) {
  if (!Sim::Get().state.Classroom()) return;
  Class& guarded = TheClass();
  std::lock_guard<std::mutex> lock(guarded.mutex);
  Room& room = guarded.room;
  if (room.roomId < 0) return;
  const int32_t first = AsInt32(Element(args, 0));
  if (event == "OnAddQuestion") {
    Json text = ParseJson(AsString(Element(args, 0)));
    if (!cJSON_IsObject(text.get())) return;
    AskQuestion(room, AsInt32(Member(text.get(), "questionId")),
                AsInt32(Member(text.get(), "type")), AsInt32(Member(text.get(), "optionNum")),
                Ints(Member(text.get(), "correctOptions")));
  } else if (event == "OnEndQuestion") {
    if (room.question.info.questionId == first) room.question.open = false;
  } else if (event == "OnRemoveQuestion") {
    if (room.question.info.questionId == first) room.hasQuestion = false;
  } else if (event == "OnMicrophoneQueueOpened" || event == "OnMicrophoneQueueClosed") {
    room.queueOpen = event == "OnMicrophoneQueueOpened";
  } else if (event == "OnMicrophoneApplied") {
    const corvel::UserInfo user = UserFromJson(Element(args, 0));
    if (!Queued(room, user.id)) room.queue.push_back(user);
  } else if (event == "OnMicrophoneApproved") {
    const int32_t id = UserFromJson(Element(args, 0)).id;
    Unqueue(room, id);
    if (!Contains(room.speaking, id)) room.speaking.push_back(id);
  } else if (event == "OnMicrophoneCanceled") {
    Unqueue(room, first);
    Unspeak(room, first);
  } else if (event == "OnMicrophoneCancelAll") {
    room.queue.clear();
  } else if (event == "OnUserEnterRoom") {
    const corvel::UserInfo user = UserFromJson(Element(args, 0));
    if (FindUser(room, user.id) == nullptr) room.users.push_back(user);
  } else if (event == "OnUserQuitRoom") {
    room.users.erase(std::remove_if(room.users.begin(), room.users.end(),
                                    [first](const corvel::UserInfo& u) { return u.id == first; }),
                     room.users.end());
    Unqueue(room, first);
    Unspeak(room, first);
  }
}

void ClassroomHold(bool on) {
  Held& held = TheHeld();
  std::lock_guard<std::mutex> lock(held.mutex);
  held.on = on;
}

void ClassroomRelease() {
  std::vector<Event> events;
  {
    Held& held = TheHeld();
    std::lock_guard<std::mutex> lock(held.mutex);
    events.swap(held.events);
  }
  for (Event& event : events) Post(std::move(event));
}

void ClassroomReset() {
  {
    Held& held = TheHeld();
    std::lock_guard<std::mutex> lock(held.mutex);
    held.on = false;
    held.events.clear();
  }
  Class& guarded = TheClass();
  std::lock_guard<std::mutex> lock(guarded.mutex);
  guarded.room = Room();
}

void ClassroomOpenMedia(const corvel::EnterRoomConfig& /*config*/) {
  if (!Sim::Get().state.Classroom()) return;
  g_position = 0;
  auto info = std::make_shared<corvel::MediaInfo>();
  info->value = 10 * 60 * 1000;  // a ten-minute recording
  info->samples = {{0, 1}, {60000, 2}, {120000, 3}};
  info->p = 1;
  info->q = 2;
  info->r = 3;
  Later([info](corvel::CorvelCallback& c) { c.OnMediaInfo(*info); });
}

void ClassroomPlay(bool on) {
  if (!on) {
    Sim::Get().playback.Stop();
    return;
  }
  if (!Sim::Get().state.Classroom()) return;
  // Each tick advances the position and shows a frame; the recording's stored data is fetched
  // segment by segment, polling as the real playback engine does, until data or a failure.
  auto segment = std::make_shared<int>(1);
  Sim::Get().playback.Start(kFramePeriodMs, [segment](int64_t n) {
    g_position += kFramePeriodMs;
    SendFrame(kPlaybackStream, n);
    corvel::CorvelStorageCallback* storage = Sim::Get().storage.load();
    if (storage == nullptr || *segment > 3) return;
    std::vector<uint8_t> data;
    const int code = storage->GetStorageData("segment-" + std::to_string(*segment), data);
    if (code < 0 || !data.empty()) {
      const int64_t size = code < 0 ? -1 : static_cast<int64_t>(data.size());
      ++*segment;
      if (corvel::CorvelCallback* callback = Sim::Get().callback.load()) {
        callback->OnMediaDataReady(size);
      }
    }
  });
}

int64_t ClassroomPosition() { return g_position; }
void ClassroomSeek(int64_t position) { g_position = position; }

}  // namespace kv_sim
