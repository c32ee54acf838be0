// The classroom mode for demos: a small live class and a recorded class that answer the calls
// kv_client makes, with events from engine threads. Off by default so that tests stay exact.
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "frames.h"
#include "sim.h"

namespace kv_sim {

namespace {

constexpr int kFramePeriodMs = 1000 / 15;  // 15 frames per second
constexpr int32_t kCameraWidth = 640, kCameraHeight = 360;
constexpr int32_t kPlaybackStream = 1000;

struct Class {
  std::mutex mutex;
  int32_t roomId = -1;
  corvel::UserInfo self;
  int64_t nextMessageId = 1;
};

Class& TheClass() {
  static Class* the = new Class();
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

void Later(std::function<void(corvel::CorvelCallback&)> event) {
  Sim::Get().events.Post([event] {
    if (corvel::CorvelCallback* callback = Sim::Get().callback.load()) event(*callback);
  });
}

void SendFrame(int32_t stream, int64_t n) {
  corvel::CorvelMediaCallBack* media = Sim::Get().media.load();
  if (media == nullptr) return;
  const PlanarFrame frame =
      MakePlanarFrame(kCameraWidth, kCameraHeight, static_cast<int32_t>(n % 256), 0);
  media->OnGetVideoData(stream, kCameraWidth, kCameraHeight, 0, frame.y.data(), frame.yStride,
                        frame.u.data(), frame.uStride, frame.v.data(), frame.vStride);
}

}  // namespace

void ClassroomEnterRoom(const corvel::EnterRoomConfig& config) {
  if (!Sim::Get().state.Classroom()) return;
  Class& room = TheClass();
  corvel::UserInfo self;
  {
    std::lock_guard<std::mutex> lock(room.mutex);
    room.roomId = config.roomId;
    room.self = User(config.userId, config.userType, "Me (" + std::to_string(config.userId) + ")");
    self = room.self;
  }
  auto info = std::make_shared<corvel::RoomInfo>();
  info->startTime = NowMs();
  info->microphoneQueueOpen = true;
  info->users = {User(9001, 1, "Teacher"), User(9101, 2, "Student A"), User(9102, 2, "Student B"),
                 User(9103, 2, "Student C"), self};
  info->microphoneQueue = {User(9102, 2, "Student B")};
  auto speaker = std::make_shared<corvel::SpeakerInfo>();
  speaker->id = 9001;
  speaker->type = 1;
  speaker->name = "Teacher";
  speaker->audioOpen = 1;
  speaker->videoOpen = 1;
  info->speakers = {speaker};
  info->userCount = static_cast<uint32_t>(info->users.size());
  Later([](corvel::CorvelCallback& c) { c.OnConnected(); });
  Later([info](corvel::CorvelCallback& c) { c.OnRoomInfo(*info); });
  Later([self, info](corvel::CorvelCallback& c) {
    c.OnUserEnterRoom(self, static_cast<int32_t>(info->users.size()));
  });
}

void ClassroomQuitRoom() {
  Sim::Get().video.Stop();
  std::lock_guard<std::mutex> lock(TheClass().mutex);
  TheClass().roomId = -1;
}

void ClassroomChat(const std::string& /*userId*/, const std::string& text, int type) {
  if (!Sim::Get().state.Classroom()) return;
  Class& room = TheClass();
  corvel::ChatMessage chat;
  int32_t roomId = 0;
  {
    std::lock_guard<std::mutex> lock(room.mutex);
    roomId = room.roomId;
    chat.messageId = room.nextMessageId++;
    chat.requestMessageId = "sim-" + std::to_string(chat.messageId);
    chat.sender = room.self;
  }
  chat.text = text;
  chat.timestamp = NowMs();
  chat.messageType = type;
  Later([roomId, chat](corvel::CorvelCallback& c) { c.OnChatMessage(roomId, chat); });
}

void ClassroomStroke(const corvel::Point* points, int count, int a, int b) {
  if (!Sim::Get().state.Classroom() || count < 0) return;
  auto copy = std::make_shared<std::vector<corvel::Point>>(points, points + (points ? count : 0));
  Later([copy, a, b](corvel::CorvelCallback& c) {
    corvel::StrokeInfo stroke;
    stroke.points = copy->empty() ? nullptr : copy->data();
    stroke.count = static_cast<int32_t>(copy->size());
    stroke.a = a;
    stroke.b = b;
    c.OnSyncStroke(stroke);
  });
}

void ClassroomVideo(bool on) {
  if (!on) {
    Sim::Get().video.Stop();
    return;
  }
  if (!Sim::Get().state.Classroom()) return;
  Sim::Get().video.Start(kFramePeriodMs, [](int64_t n) { SendFrame(0, n); });
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
