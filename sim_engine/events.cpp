// Scripted events: {"sim":"emit","event":<name>,"args":[...]} calls one operation of the
// registered CorvelCallback, CorvelMediaCallBack or CorvelStorageCallback on an engine thread.
// Arguments are positional, in the operation's order; records are JSON objects (records.h).
#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "frames.h"
#include "loopback.h"
#include "records.h"
#include "sim.h"

namespace kv_sim {

namespace {

// Runs on the engine thread and writes its outcome into the reply object.
using Fn = std::function<void(cJSON* reply)>;

int32_t I(const cJSON* args, int i) { return AsInt32(Element(args, i)); }
int64_t L(const cJSON* args, int i) { return AsInt64(Element(args, i)); }
bool B(const cJSON* args, int i) { return AsBool(Element(args, i)); }
std::string S(const cJSON* args, int i) { return AsString(Element(args, i)); }

void Fail(cJSON* reply, const char* why) { Put(reply, "error", MakeString(why)); }

Fn Callback(std::function<void(corvel::CorvelCallback&)> call) {
  return [call](cJSON* reply) {
    corvel::CorvelCallback* callback = Sim::Get().callback.load();
    if (callback == nullptr) return Fail(reply, "no CorvelCallback registered");
    call(*callback);
  };
}

Fn Media(std::function<int(corvel::CorvelMediaCallBack&, cJSON* reply)> call) {
  return [call](cJSON* reply) {
    corvel::CorvelMediaCallBack* media = Sim::Get().media.load();
    if (media == nullptr) return Fail(reply, "no CorvelMediaCallBack registered");
    Put(reply, "result", MakeInt(call(*media, reply)));
  };
}

Fn Storage(std::function<void(corvel::CorvelStorageCallback&, cJSON* reply)> call) {
  return [call](cJSON* reply) {
    corvel::CorvelStorageCallback* storage = Sim::Get().storage.load();
    if (storage == nullptr) return Fail(reply, "no CorvelStorageCallback registered");
    call(*storage, reply);
  };
}

// Bytes from {"$bytes":"<base64>"} or a plain text.
bool BytesArg(const cJSON* item, std::vector<uint8_t>& out) {
  if (cJSON_IsString(item)) {
    const std::string text = AsString(item);
    out.assign(text.begin(), text.end());
    return true;
  }
  return Base64Decode(AsString(Member(item, "$bytes")), out);
}

constexpr int64_t kMaxFrameBytes = int64_t{64} << 20;

using Prepare = Fn (*)(const cJSON* args, const cJSON* request, std::string& error);

struct EventEntry {
  const char* name;
  Prepare prepare;
};

// In the engine's declaration order: CorvelCallback (44), CorvelMediaCallBack (6), then the
// storage callback's two operations.
const EventEntry kEvents[] = {
    {"OnConnected",
     [](const cJSON*, const cJSON*, std::string&) {
       return Callback([](corvel::CorvelCallback& c) { c.OnConnected(); });
     }},
    {"OnError",
     [](const cJSON* a, const cJSON*, std::string&) -> Fn {
       const int32_t code = I(a, 0);
       return [code](cJSON* reply) {
         corvel::CorvelCallback* callback = Sim::Get().callback.load();
         if (callback == nullptr) return Fail(reply, "no CorvelCallback registered");
         Put(reply, "result", MakeInt(callback->OnError(code)));
       };
     }},
    {"OnServerChanged",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t v = I(a, 0);
       return Callback([v](corvel::CorvelCallback& c) { c.OnServerChanged(v); });
     }},
    {"OnUserEnterRoom",
     [](const cJSON* a, const cJSON*, std::string&) {
       const corvel::UserInfo user = UserFromJson(Element(a, 0));
       const int32_t n = I(a, 1);
       return Callback([user, n](corvel::CorvelCallback& c) { c.OnUserEnterRoom(user, n); });
     }},
    {"OnUserQuitRoom",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t x = I(a, 0), y = I(a, 1);
       return Callback([x, y](corvel::CorvelCallback& c) { c.OnUserQuitRoom(x, y); });
     }},
    {"OnRoomInfo",
     [](const cJSON* a, const cJSON*, std::string&) {
       auto room = std::make_shared<corvel::RoomInfo>(RoomFromJson(Element(a, 0)));
       return Callback([room](corvel::CorvelCallback& c) { c.OnRoomInfo(*room); });
     }},
    {"OnMicrophoneApplied",
     [](const cJSON* a, const cJSON*, std::string&) {
       const corvel::UserInfo user = UserFromJson(Element(a, 0));
       const int32_t n = I(a, 1);
       return Callback([user, n](corvel::CorvelCallback& c) { c.OnMicrophoneApplied(user, n); });
     }},
    {"OnMicrophoneCanceled",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t x = I(a, 0), y = I(a, 1);
       const std::pair<int32_t, int32_t> pair{I(Element(a, 2), 0), I(Element(a, 2), 1)};
       return Callback(
           [x, y, pair](corvel::CorvelCallback& c) { c.OnMicrophoneCanceled(x, y, pair); });
     }},
    {"OnMicrophoneApproved",
     [](const cJSON* a, const cJSON*, std::string&) {
       const corvel::UserInfo user = UserFromJson(Element(a, 0));
       const int32_t p = I(a, 1), q = I(a, 2), r = I(a, 3);
       return Callback(
           [user, p, q, r](corvel::CorvelCallback& c) { c.OnMicrophoneApproved(user, p, q, r); });
     }},
    {"OnMicrophoneQueueOpened",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t v = I(a, 0);
       return Callback([v](corvel::CorvelCallback& c) { c.OnMicrophoneQueueOpened(v); });
     }},
    {"OnMicrophoneQueueClosed",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t v = I(a, 0);
       return Callback([v](corvel::CorvelCallback& c) { c.OnMicrophoneQueueClosed(v); });
     }},
    {"OnMicrophoneCancelAll",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t v = I(a, 0);
       return Callback([v](corvel::CorvelCallback& c) { c.OnMicrophoneCancelAll(v); });
     }},
    {"OnMediaInfo",
     [](const cJSON* a, const cJSON*, std::string&) {
       const corvel::MediaInfo info = MediaInfoFromJson(Element(a, 0));
       return Callback([info](corvel::CorvelCallback& c) { c.OnMediaInfo(info); });
     }},
    {"OnChatMessage",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t room = I(a, 0);
       const corvel::ChatMessage chat = ChatFromJson(Element(a, 1));
       return Callback([room, chat](corvel::CorvelCallback& c) { c.OnChatMessage(room, chat); });
     }},
    {"OnChatMessageFailed",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t x = I(a, 0), y = I(a, 1);
       const std::string text = S(a, 2);
       return Callback(
           [x, y, text](corvel::CorvelCallback& c) { c.OnChatMessageFailed(x, y, text); });
     }},
    {"OnKeynoteInfo",
     [](const cJSON* a, const cJSON*, std::string&) {
       const corvel::KeynoteInfo keynote = KeynoteFromJson(Element(a, 0));
       return Callback([keynote](corvel::CorvelCallback& c) { c.OnKeynoteInfo(keynote); });
     }},
    {"OnPageTo",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t x = I(a, 0), y = I(a, 1);
       return Callback([x, y](corvel::CorvelCallback& c) { c.OnPageTo(x, y); });
     }},
    {"OnSyncStroke",
     [](const cJSON* a, const cJSON*, std::string&) {
       // {"points":[[x,y,p],...],"a":..,"b":..}, or {"generate":n,...} for n generated points
       // (point i = [i, 2i, 0.5]), which reaches counts beyond a 16-bit field cheaply.
       const cJSON* record = Element(a, 0);
       auto points = std::make_shared<std::vector<corvel::Point>>(
           PointsFromJson(Member(record, "points")));
       const int32_t generate = AsInt32(Member(record, "generate"), -1);
       if (generate >= 0) {
         points->resize(static_cast<size_t>(std::min(generate, 1 << 22)));
         for (size_t i = 0; i < points->size(); ++i) {
           (*points)[i] = {static_cast<float>(i), static_cast<float>(2 * i), 0.5f};
         }
       }
       const int32_t x = AsInt32(Member(record, "a")), y = AsInt32(Member(record, "b"));
       return Callback([points, x, y](corvel::CorvelCallback& c) {
         corvel::StrokeInfo stroke;
         stroke.points = points->empty() ? nullptr : points->data();
         stroke.count = static_cast<int32_t>(points->size());
         stroke.a = x;
         stroke.b = y;
         c.OnSyncStroke(stroke);
       });
     }},
    {"OnEraseStroke",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t v = I(a, 0);
       return Callback([v](corvel::CorvelCallback& c) { c.OnEraseStroke(v); });
     }},
    {"OnStartClass",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int64_t v = L(a, 0);
       return Callback([v](corvel::CorvelCallback& c) { c.OnStartClass(v); });
     }},
    {"OnEndClass",
     [](const cJSON*, const cJSON*, std::string&) {
       return Callback([](corvel::CorvelCallback& c) { c.OnEndClass(); });
     }},
    {"OnSyncMedia",
     [](const cJSON*, const cJSON*, std::string&) {
       return Callback([](corvel::CorvelCallback& c) { c.OnSyncMedia(); });
     }},
    {"OnAssistantOnBoard",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t v = I(a, 0);
       return Callback([v](corvel::CorvelCallback& c) { c.OnAssistantOnBoard(v); });
     }},
    {"OnAssistantOffBoard",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t v = I(a, 0);
       return Callback([v](corvel::CorvelCallback& c) { c.OnAssistantOffBoard(v); });
     }},
    {"OnUserBanned",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t x = I(a, 0), y = I(a, 1);
       return Callback([x, y](corvel::CorvelCallback& c) { c.OnUserBanned(x, y); });
     }},
    {"OnUserUnBanned",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t x = I(a, 0), y = I(a, 1);
       return Callback([x, y](corvel::CorvelCallback& c) { c.OnUserUnBanned(x, y); });
     }},
    {"OnAllUserBanned",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t v = I(a, 0);
       return Callback([v](corvel::CorvelCallback& c) { c.OnAllUserBanned(v); });
     }},
    {"OnAllUserUnBanned",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t v = I(a, 0);
       return Callback([v](corvel::CorvelCallback& c) { c.OnAllUserUnBanned(v); });
     }},
    {"OnTopMessageCanceled",
     [](const cJSON*, const cJSON*, std::string&) {
       return Callback([](corvel::CorvelCallback& c) { c.OnTopMessageCanceled(); });
     }},
    {"OnReserved",
     [](const cJSON*, const cJSON*, std::string&) {
       return Callback([](corvel::CorvelCallback& c) { c.OnReserved(); });
     }},
    {"OnNetStatistics",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t v0 = I(a, 0), v1 = I(a, 1), v2 = I(a, 2), v3 = I(a, 3), v4 = I(a, 4);
       return Callback([=](corvel::CorvelCallback& c) { c.OnNetStatistics(v0, v1, v2, v3, v4); });
     }},
    {"OnMicrophoneSettingTimer",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t x = I(a, 0), y = I(a, 1);
       return Callback([x, y](corvel::CorvelCallback& c) { c.OnMicrophoneSettingTimer(x, y); });
     }},
    {"OnMediaDataReady",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int64_t v = L(a, 0);
       return Callback([v](corvel::CorvelCallback& c) { c.OnMediaDataReady(v); });
     }},
    {"OnSyncRoomInfo",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t x = I(a, 0), y = I(a, 1), z = I(a, 2);
       return Callback([x, y, z](corvel::CorvelCallback& c) { c.OnSyncRoomInfo(x, y, z); });
     }},
    {"OnVideoMicEvent",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t x = I(a, 0);
       const bool y = B(a, 1);
       return Callback([x, y](corvel::CorvelCallback& c) { c.OnVideoMicEvent(x, y); });
     }},
    {"OnVideoStyleEvent",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t x = I(a, 0), y = I(a, 1), z = I(a, 2);
       return Callback([x, y, z](corvel::CorvelCallback& c) { c.OnVideoStyleEvent(x, y, z); });
     }},
    {"OnDeviceEvent",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t x = I(a, 0), y = I(a, 1), z = I(a, 2);
       return Callback([x, y, z](corvel::CorvelCallback& c) { c.OnDeviceEvent(x, y, z); });
     }},
    {"OnUploadClientLog",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t x = I(a, 0);
       const std::string text = S(a, 1);
       return Callback([x, text](corvel::CorvelCallback& c) { c.OnUploadClientLog(x, text); });
     }},
    {"OnAddQuestion",
     [](const cJSON* a, const cJSON*, std::string&) {
       const std::string text = S(a, 0);
       return Callback([text](corvel::CorvelCallback& c) { c.OnAddQuestion(text); });
     }},
    {"OnRemoveQuestion",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t v = I(a, 0);
       return Callback([v](corvel::CorvelCallback& c) { c.OnRemoveQuestion(v); });
     }},
    {"OnEndQuestion",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int32_t v = I(a, 0);
       return Callback([v](corvel::CorvelCallback& c) { c.OnEndQuestion(v); });
     }},
    {"OnAnswerSummary",
     [](const cJSON* a, const cJSON*, std::string&) {
       const std::string text = S(a, 0);
       return Callback([text](corvel::CorvelCallback& c) { c.OnAnswerSummary(text); });
     }},
    {"OnMyAnswer",
     [](const cJSON* a, const cJSON*, std::string&) {
       const std::string text = S(a, 0);
       return Callback([text](corvel::CorvelCallback& c) { c.OnMyAnswer(text); });
     }},
    {"OnSystemMessage",
     [](const cJSON* a, const cJSON*, std::string&) {
       const int64_t level = L(a, 0), room = L(a, 1);
       const std::string text = S(a, 2);
       return Callback(
           [level, room, text](corvel::CorvelCallback& c) { c.OnSystemMessage(level, room, text); });
     }},
    // CorvelMediaCallBack.
    {"OnMediaReserved0",
     [](const cJSON*, const cJSON*, std::string&) {
       return Media([](corvel::CorvelMediaCallBack& m, cJSON*) { return m.OnMediaReserved0(); });
     }},
    {"OnVideoData",
     [](const cJSON* a, const cJSON*, std::string& error) -> Fn {
       // [stream, byteCount, width, height, unused, extra, frame]; byteCount defaults to the
       // I420 size of width x height. The bytes are generated (frames.h).
       const int32_t stream = I(a, 0), width = I(a, 2), height = I(a, 3);
       const int32_t unused = I(a, 4), extra = I(a, 5), frame = I(a, 6);
       // Clamped before the multiplication: 3 * w * h of two dimensions near INT32_MAX does not
       // fit even in 64 bits.
       const int64_t natural =
           std::clamp<int64_t>(int64_t{width} * height, INT32_MIN, INT32_MAX) * 3 / 2;
       const int32_t count = AsInt32(Element(a, 1), static_cast<int32_t>(natural));
       if (count > kMaxFrameBytes) {
         error = "OnVideoData: at most 64 MiB of frame bytes can be generated";
         return nullptr;
       }
       auto bytes = std::make_shared<std::vector<uint8_t>>(MakePackedFrame(count, frame));
       if (bytes->empty()) bytes->push_back(0);  // a valid pointer even for counts <= 0
       return Media([=](corvel::CorvelMediaCallBack& m, cJSON*) {
         return m.OnVideoData(stream, bytes->data(), count, width, height, unused, extra);
       });
     }},
    {"OnGetVideoData",
     [](const cJSON* a, const cJSON*, std::string& error) -> Fn {
       // [stream, width, height, extra, frame, pad]; the planes are generated (frames.h).
       const int32_t stream = I(a, 0), width = I(a, 1), height = I(a, 2), extra = I(a, 3);
       const int32_t frame = I(a, 4), pad = std::max(I(a, 5), 0);
       // Checked in 64 bits before anything is added or multiplied: a width of 2147483647 plus
       // a pad must not overflow (frames.h).
       if (width > 0 && height > 0 && PlanarFrameBytes(width, height, pad, kMaxFrameBytes) < 0) {
         error = "OnGetVideoData: at most 64 MiB of planes can be generated";
         return nullptr;
       }
       auto planes = std::make_shared<PlanarFrame>(MakePlanarFrame(width, height, frame, pad));
       return Media([=](corvel::CorvelMediaCallBack& m, cJSON*) {
         return m.OnGetVideoData(stream, width, height, extra, planes->y.data(), planes->yStride,
                                 planes->u.data(), planes->uStride, planes->v.data(),
                                 planes->vStride);
       });
     }},
    {"OnMediaReserved3",
     [](const cJSON* a, const cJSON*, std::string&) -> Fn {
       int32_t v[10];
       for (int i = 0; i < 10; ++i) v[i] = I(a, i);
       return [=](cJSON* reply) {
         corvel::CorvelMediaCallBack* media = Sim::Get().media.load();
         if (media == nullptr) return Fail(reply, "no CorvelMediaCallBack registered");
         media->OnMediaReserved3(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]);
       };
     }},
    {"OnRecordAudio",
     [](const cJSON* a, const cJSON* request, std::string& error) -> Fn {
       // [samples, framesPerChannel, sampleRate, stereo]; "loopback": blocks queued first.
       auto samples = std::make_shared<std::vector<int16_t>>();
       const cJSON* item = nullptr;
       if (cJSON_IsArray(Element(a, 0))) {
         cJSON_ArrayForEach(item, Element(a, 0)) {
           samples->push_back(static_cast<int16_t>(AsInt32(item)));
         }
       }
       const bool stereo = B(a, 3);
       const int32_t frames =
           AsInt32(Element(a, 1), static_cast<int32_t>(samples->size() / (stereo ? 2 : 1)));
       const uint32_t rate = static_cast<uint32_t>(AsInt64(Element(a, 2), 48000));
       if (frames < 0 || frames > (1 << 20)) {
         error = "OnRecordAudio: framesPerChannel must be 0 to 1048576";
         return nullptr;
       }
       // The buffer always holds what the callee may touch: frames x channels samples.
       samples->resize(std::max(samples->size(), static_cast<size_t>(frames) * (stereo ? 2 : 1)));
       auto blocks = std::make_shared<std::vector<std::vector<int16_t>>>();
       const cJSON* loopback = Member(request, "loopback");
       if (cJSON_IsArray(loopback)) {
         cJSON_ArrayForEach(item, loopback) {
           blocks->emplace_back();
           const cJSON* sample = nullptr;
           if (cJSON_IsArray(item)) {
             cJSON_ArrayForEach(sample, item) {
               blocks->back().push_back(static_cast<int16_t>(AsInt32(sample)));
             }
           }
         }
       }
       return [=](cJSON* reply) {
         corvel::CorvelMediaCallBack* media = Sim::Get().media.load();
         if (media == nullptr) return Fail(reply, "no CorvelMediaCallBack registered");
         for (const auto& block : *blocks) {
           int16_t* made = corvel::NewLoopbackBlock(static_cast<uint32_t>(block.size()));
           std::copy(block.begin(), block.end(), corvel::LoopbackBlockSamples(made));
           PushLoopbackBlock(made);
         }
         media->OnRecordAudio(samples->data(), frames, rate, stereo ? 1 : 0);
         cJSON* mixed = cJSON_CreateArray();
         for (const int16_t s : *samples) cJSON_AddItemToArray(mixed, MakeInt(s));
         Put(reply, "samples", mixed);
         Put(reply, "micSampleRate", MakeUInt(corvel::g_mic_sample_rate));
         Put(reply, "queued", MakeInt(static_cast<int64_t>(LoopbackQueueLength())));
       };
     }},
    {"OnNetQuality",
     [](const cJSON* a, const cJSON*, std::string&) -> Fn {
       const uint64_t count = static_cast<uint64_t>(L(a, 0));
       const double jitter = AsDouble(Element(a, 1));
       return [=](cJSON* reply) {
         corvel::CorvelMediaCallBack* media = Sim::Get().media.load();
         if (media == nullptr) return Fail(reply, "no CorvelMediaCallBack registered");
         media->OnNetQuality(count, jitter);
       };
     }},
    // CorvelStorageCallback.
    {"GetStorageData",
     [](const cJSON* a, const cJSON*, std::string&) {
       const std::string key = S(a, 0);
       return Storage([key](corvel::CorvelStorageCallback& s, cJSON* reply) {
         std::vector<uint8_t> out;
         Put(reply, "result", MakeInt(s.GetStorageData(key, out)));
         Put(reply, "size", MakeInt(static_cast<int64_t>(out.size())));
         Put(reply, "data", MakeString(Base64Encode(out.data(), out.size())));
       });
     }},
    {"SetStorageData",
     [](const cJSON* a, const cJSON*, std::string& error) -> Fn {
       // [key, {"$bytes":"<base64>"} or text, length, status]; length defaults to the byte count.
       auto bytes = std::make_shared<std::vector<uint8_t>>();
       if (!BytesArg(Element(a, 1), *bytes)) {
         error = "SetStorageData: argument 1 must be a text or {\"$bytes\":\"<base64>\"}";
         return nullptr;
       }
       const std::string key = S(a, 0);
       const int32_t length = std::min(AsInt32(Element(a, 2), static_cast<int32_t>(bytes->size())),
                                       static_cast<int32_t>(bytes->size()));
       const int32_t status = I(a, 3);
       return Storage([=](corvel::CorvelStorageCallback& s, cJSON* reply) {
         Put(reply, "result",
             MakeInt(s.SetStorageData(key, bytes->empty() ? nullptr : bytes->data(), length,
                                      status)));
       });
     }},
};

std::mutex g_pending_mutex;
std::vector<std::string> g_pending;  // replies of emits nobody waited for

}  // namespace

Json Emit(const cJSON* request) {
  const std::string name = AsString(Member(request, "event"));
  const EventEntry* entry = nullptr;
  for (const auto& candidate : kEvents) {
    if (name == candidate.name) entry = &candidate;
  }
  Json reply(cJSON_CreateObject());
  Put(reply.get(), "emit", MakeString(name));
  if (entry == nullptr) {
    Fail(reply.get(), "unknown event");
    return reply;
  }
  const cJSON* args = Member(request, "args");
  if (args != nullptr && !cJSON_IsArray(args)) {
    Fail(reply.get(), "args must be an array");
    return reply;
  }
  std::string error;
  Fn fn = entry->prepare(args, request, error);
  if (!fn) {
    Fail(reply.get(), error.c_str());
    return reply;
  }
  ClassroomHeard(name, args);

  // Several engine threads at once: every thread runs the event `repeat` times.
  const int32_t threads = AsInt32(Member(request, "threads"), 0);
  if (threads > 0) {
    const int32_t repeat = std::max(AsInt32(Member(request, "repeat"), 1), 1);
    std::vector<std::thread> running;
    for (int32_t t = 0; t < std::min(threads, 64); ++t) {
      running.emplace_back([&fn, repeat] {
        for (int32_t i = 0; i < repeat; ++i) {
          Json scratch(cJSON_CreateObject());
          fn(scratch.get());
        }
      });
    }
    for (auto& thread : running) thread.join();
    Put(reply.get(), "runs", MakeInt(int64_t{std::min(threads, 64)} * repeat));
    return reply;
  }

  auto& events = Sim::Get().events;
  if (!AsBool(Member(request, "wait"), true)) {
    auto shared = std::make_shared<Json>(std::move(reply));
    events.Post([fn, shared] {
      fn(shared->get());
      std::lock_guard<std::mutex> lock(g_pending_mutex);
      g_pending.push_back(PrintJson(shared->get()));
    });
    return nullptr;
  }
  cJSON* target = reply.get();
  events.PostAndWait([&fn, target] { fn(target); });
  return reply;
}

std::vector<std::string> EventNames() {
  std::vector<std::string> names;
  for (const auto& entry : kEvents) names.emplace_back(entry.name);
  return names;
}

std::string TakePendingReplies() {
  Sim::Get().events.WaitIdle();
  std::vector<std::string> taken;
  {
    std::lock_guard<std::mutex> lock(g_pending_mutex);
    taken.swap(g_pending);
  }
  std::string out;
  for (const auto& line : taken) out += (out.empty() ? "" : "\n") + line;
  return out;
}

}  // namespace kv_sim
