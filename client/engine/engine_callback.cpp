#include "engine/engine_callback.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <new>
#include <type_traits>
#include <utility>

#include "catalogue.h"
#include "engine/audio_mix.h"
#include "engine/event_json.h"
#include "engine/video_frame.h"
#include "generic_array.h"
#include "os.h"

namespace corvel_client {
namespace {

using corvel::GenericArray;
using corvel_client_win::JavaScriptAsyncRunBase;

using catalogue::MessageName;
using Event = catalogue::Message;

struct ErrorText {
  int32_t code;
  const wchar_t* text;
};

// Engine error codes with a known meaning; only the number goes to the scripts.
constexpr ErrorText kErrorTexts[] = {
#define KV_ERROR_TEXT(code, text) {code, L"" text},
#include "catalogue.def"
};

// The frame events' sixth item; its meaning belongs to the scripts.
constexpr int32_t kFrameConstant = 10;
// The size notice lives in a block of this size that passes to the host.
constexpr int kSizeNoticeBytes = 1024;
// Type-25 items carry their element count in a signed 16-bit field.
constexpr int32_t kMaxStrokePoints = 0x7FFF;

// Builds one array with `fill` and posts it as `event`. Dropped when there is no host, the array
// cannot be created, `fill` reports failure (returns false) or anything throws: an engine thread
// must never see an exception.
template <typename Fill>
void Post(JavaScriptAsyncRunBase* run, Event event, Fill&& fill) {
  if (run == nullptr) return;
  try {
    ScopedGenericArray array;
    if (!array) return;
    if constexpr (std::is_same_v<decltype(fill(array.get())), bool>) {
      if (!fill(array.get())) return;
    } else {
      fill(array.get());
    }
    const int32_t count = array.get()->count;
    run->AsyncRun(MessageName(event), count, array.release());
  } catch (...) {
    // Allocation failure while formatting: the event is lost, as with a failed array.
  }
}

void PostInts(JavaScriptAsyncRunBase* run, Event event, std::initializer_list<int32_t> values) {
  Post(run, event, [values](GenericArray* array) {
    for (int32_t value : values) AppendInt32(array, value);
  });
}

void PostNothing(JavaScriptAsyncRunBase* run, Event event) {
  Post(run, event, [](GenericArray*) {});
}

void PostText(JavaScriptAsyncRunBase* run, Event event, const std::string& text) {
  Post(run, event, [&text](GenericArray* array) { AppendText(array, text.data(), text.size()); });
}

void AppendJson(GenericArray* array, const Json::Value& value) {
  const std::string text = WriteEventJson(value);
  AppendText(array, text.data(), text.size());
}

// One type-24 item filled straight from the samples. False when it cannot be allocated.
template <typename Get>
bool AppendSampleArray(GenericArray* array, const std::vector<corvel::MediaSample>& samples,
                       Get get) {
  if (samples.size() > static_cast<size_t>(INT32_MAX) / sizeof(double)) return false;
  const auto count = static_cast<int32_t>(samples.size());
  auto* values = static_cast<double*>(std::malloc(sizeof(double) * (count == 0 ? 1 : count)));
  if (values == nullptr) return false;
  for (int32_t i = 0; i < count; ++i) values[i] = get(samples[i]);
  if (!corvel::AppendGenericItem(values, corvel::kGenericDoubleArray, count, array)) {
    std::free(values);
    return false;
  }
  return true;
}

// The type-25 point array of a stroke. False (everything made so far freed) when an element
// cannot be allocated; a failure to attach the finished item only leaves the item out.
bool AppendStrokePoints(GenericArray* array, const corvel::Point* points, int32_t count) {
  auto** elements = static_cast<double**>(std::malloc(sizeof(double*) * (count == 0 ? 1 : count)));
  if (elements == nullptr) return false;
  for (int32_t i = 0; i < count; ++i) {
    elements[i] = static_cast<double*>(std::malloc(sizeof(double) * 3));
    if (elements[i] == nullptr) {
      for (int32_t j = 0; j < i; ++j) std::free(elements[j]);
      std::free(elements);
      return false;
    }
    elements[i][0] = points[i].x;
    elements[i][1] = points[i].y;
    elements[i][2] = points[i].pressure;
  }
  if (!corvel::AppendGenericItem(elements, corvel::kGenericPointArray,
                                 corvel::PackPointArraySize(count, 3), array)) {
    for (int32_t i = 0; i < count; ++i) std::free(elements[i]);
    std::free(elements);
  }
  return true;
}

// Tells the scripts a stream's frame size changed, before its frame arrives. False when no block
// could be allocated for the script text.
bool SendSizeNotice(JavaScriptAsyncRunBase* run, int32_t stream, int32_t width, int32_t height) {
  char* block = nullptr;
  try {
    block = corvel::LargeMemoryMalloc(kSizeNoticeBytes);
  } catch (...) {
    return false;
  }
  std::snprintf(block, kSizeNoticeBytes, "%s(%d,%d,%d);", MessageName(catalogue::kVideoSizeChange),
                stream, width, height);
  run->AsyncRunScript(block);
  return true;
}

int32_t StreamCapacityOf(int32_t stream) {
  for (const StreamCapacity& entry : kStreamCapacities) {
    if (entry.stream == stream) return entry.capacity;
  }
  return 0;
}

}  // namespace

EngineCallback::EngineCallback() {
  for (const StreamCapacity& entry : kStreamCapacities) {
    frames_.emplace(std::piecewise_construct, std::forward_as_tuple(entry.stream),
                    std::forward_as_tuple(nullptr));
  }
}

EngineCallback::~EngineCallback() {
  for (auto& slot : frames_) {
    FrameBuffer* buffer = slot.second.load(std::memory_order_acquire);
    if (buffer == nullptr) continue;
    delete[] buffer->data;
    delete buffer;
  }
}

void EngineCallback::SetAsyncRun(corvel_client_win::JavaScriptAsyncRunBase* run) {
  run_.store(run, std::memory_order_release);
}

void EngineCallback::OnConnected() { os::DebugPrint(L"Connected\n"); }

int EngineCallback::OnError(int32_t code) {
  const wchar_t* text = nullptr;
  for (const ErrorText& entry : kErrorTexts) {
    if (entry.code == code) text = entry.text;
  }
  if (text != nullptr) {
    os::DebugPrint(L"Error: %ls\n", text);
  } else {
    os::DebugPrint(L"Unknow Error: %d\n", code);
  }
  JavaScriptAsyncRunBase* run = Host();
  if (run == nullptr) return -1;
  return run->AsyncRunFormatted(catalogue::WideMessageName(catalogue::kError), L"%d", code);
}

void EngineCallback::OnServerChanged(int32_t server) {
  PostInts(Host(), catalogue::kServerChanged, {server});
}

void EngineCallback::OnUserEnterRoom(const corvel::UserInfo& user, int32_t n) {
  Post(Host(), catalogue::kUserEnterRoom, [&](GenericArray* array) {
    AppendInt32(array, n);
    AppendJson(array, UserJson(user));
  });
}

void EngineCallback::OnUserQuitRoom(int32_t userId, int32_t /*unused*/) {
  PostInts(Host(), catalogue::kUserQuitRoom, {userId});
}

void EngineCallback::OnRoomInfo(const corvel::RoomInfo& room) {
  JavaScriptAsyncRunBase* run = Host();
  if (run == nullptr) return;
  Post(run, catalogue::kRoomInfo, [&](GenericArray* array) {
    if (roomScratchBusy_.exchange(true, std::memory_order_acquire)) {
      AppendJson(array, RoomJson(room));
      return;
    }
    // Released on every path, exceptions included.
    struct Release {
      std::atomic<bool>& busy;
      ~Release() { busy.store(false, std::memory_order_release); }
    } release{roomScratchBusy_};
    if (!roomScratch_) roomScratch_ = std::make_unique<Json::Value>();
    FillRoomJson(room, *roomScratch_);
    AppendJson(array, *roomScratch_);
  });
  // A new room view may be drawn from scratch: every stream announces its size again.
  ResetFrameSizes();
}

void EngineCallback::OnMicrophoneApplied(const corvel::UserInfo& user, int32_t n) {
  Post(Host(), catalogue::kMicrophoneApplied, [&](GenericArray* array) {
    AppendJson(array, Json::Value(n));  // the scripts parse this one as JSON too
    AppendJson(array, UserJson(user));
  });
}

void EngineCallback::OnMicrophoneCanceled(int32_t a, int32_t b,
                                          const std::pair<int32_t, int32_t>& c) {
  PostInts(Host(), catalogue::kMicrophoneCanceled, {a, b, c.first, c.second});
}

void EngineCallback::OnMicrophoneApproved(const corvel::UserInfo& user, int32_t p, int32_t q,
                                          int32_t r) {
  Post(Host(), catalogue::kMicrophoneApproved, [&](GenericArray* array) {
    AppendInt32(array, p);
    AppendInt32(array, q);
    AppendJson(array, UserJson(user));
    AppendInt32(array, r);
  });
}

void EngineCallback::OnMicrophoneQueueOpened(int32_t value) {
  PostInts(Host(), catalogue::kMicrophoneQueueOpened, {value});
}

void EngineCallback::OnMicrophoneQueueClosed(int32_t value) {
  PostInts(Host(), catalogue::kMicrophoneQueueClosed, {value});
}

void EngineCallback::OnMicrophoneCancelAll(int32_t value) {
  PostInts(Host(), catalogue::kMicrophoneCancelAll, {value});
}

void EngineCallback::OnMediaInfo(const corvel::MediaInfo& info) {
  Post(Host(), catalogue::kMediaInfo, [&](GenericArray* array) {
    AppendInt64(array, info.value);
    const auto value = [](const corvel::MediaSample& s) { return static_cast<double>(s.value); };
    const auto extra = [](const corvel::MediaSample& s) { return static_cast<double>(s.extra); };
    if (!AppendSampleArray(array, info.samples, value) ||
        !AppendSampleArray(array, info.samples, extra)) {
      return false;
    }
    AppendInt32(array, info.q);
    AppendInt32(array, info.p);
    AppendInt32(array, info.r);
    return true;
  });
}

void EngineCallback::OnChatMessage(int32_t roomId, const corvel::ChatMessage& chat) {
  Post(Host(), catalogue::kChatMessage,
       [&](GenericArray* array) { AppendJson(array, ChatJson(roomId, chat)); });
}

void EngineCallback::OnChatMessageFailed(int32_t a, int32_t b, const std::string& text) {
  Post(Host(), catalogue::kChatMessageFailed, [&](GenericArray* array) {
    AppendInt32(array, b);
    AppendInt32(array, a);
    AppendText(array, text.data(), text.size());
  });
}

void EngineCallback::OnKeynoteInfo(const corvel::KeynoteInfo& keynote) {
  PostInts(Host(), catalogue::kKeynoteInfo,
           {keynote.value[0], keynote.value[1], keynote.value[2], keynote.value[3]});
}

void EngineCallback::OnPageTo(int32_t a, int32_t b) {
  PostInts(Host(), catalogue::kPageTo, {a, b});
}

void EngineCallback::OnSyncStroke(const corvel::StrokeInfo& stroke) {
  if (stroke.count < 0 || stroke.count > kMaxStrokePoints) {
    os::DebugPrint(L"stroke not posted: %d points do not fit the point array\n", stroke.count);
    return;
  }
  if (stroke.count > 0 && stroke.points == nullptr) {
    os::DebugPrint(L"stroke not posted: %d points announced but none given\n", stroke.count);
    return;
  }
  Post(Host(), catalogue::kSyncStroke, [&](GenericArray* array) {
    AppendInt32(array, stroke.count);
    if (!AppendStrokePoints(array, stroke.points, stroke.count)) return false;
    AppendInt32(array, stroke.a);
    AppendInt32(array, stroke.b);
    return true;
  });
}

void EngineCallback::OnEraseStroke(int32_t value) {
  PostInts(Host(), catalogue::kEraseStroke, {value});
}

void EngineCallback::OnStartClass(int64_t time) {
  Post(Host(), catalogue::kStartClass, [time](GenericArray* array) { AppendInt64(array, time); });
}

void EngineCallback::OnEndClass() { PostNothing(Host(), catalogue::kEndClass); }

void EngineCallback::OnSyncMedia() { PostNothing(Host(), catalogue::kSyncMedia); }

void EngineCallback::OnAssistantOnBoard(int32_t value) {
  PostInts(Host(), catalogue::kAssistantOnBoard, {value});
}

void EngineCallback::OnAssistantOffBoard(int32_t value) {
  PostInts(Host(), catalogue::kAssistantOffBoard, {value});
}

void EngineCallback::OnUserBanned(int32_t a, const int32_t& b) {
  PostInts(Host(), catalogue::kUserBanned, {a, b});
}

void EngineCallback::OnUserUnBanned(int32_t a, int32_t b) {
  PostInts(Host(), catalogue::kUserUnBanned, {a, b});
}

void EngineCallback::OnAllUserBanned(int32_t value) {
  PostInts(Host(), catalogue::kAllUserBanned, {value});
}

void EngineCallback::OnAllUserUnBanned(int32_t value) {
  PostInts(Host(), catalogue::kAllUserUnBanned, {value});
}

void EngineCallback::OnTopMessageCanceled() { PostNothing(Host(), catalogue::kTopMessageCanceled); }

void EngineCallback::OnReserved() {}

void EngineCallback::OnNetStatistics(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
  // The scripts take the last two the other way round.
  PostInts(Host(), catalogue::kNetStatistics, {a, b, c, e, d});
}

void EngineCallback::OnMicrophoneSettingTimer(int32_t a, int32_t b) {
  PostInts(Host(), catalogue::kMicrophoneSettingTimer, {a, b});
}

void EngineCallback::OnMediaDataReady(int64_t value) {
  Post(Host(), catalogue::kMediaDataReady,
       [value](GenericArray* array) { AppendInt64(array, value); });
}

void EngineCallback::OnSyncRoomInfo(int32_t a, int32_t /*unused1*/, int32_t /*unused2*/) {
  PostInts(Host(), catalogue::kSyncRoomInfo, {a});
}

void EngineCallback::OnVideoMicEvent(int32_t a, bool b) {
  Post(Host(), catalogue::kVideoMicEvent, [a, b](GenericArray* array) {
    AppendInt32(array, a);
    AppendBool(array, b);
  });
}

void EngineCallback::OnVideoStyleEvent(int32_t a, int32_t b, int32_t c) {
  PostInts(Host(), catalogue::kVideoStyleEvent, {a, b, c});
}

void EngineCallback::OnDeviceEvent(int32_t a, int32_t b, int32_t c) {
  PostInts(Host(), catalogue::kDeviceEvent, {a, b, c});
}

void EngineCallback::OnUploadClientLog(int32_t a, std::string text) {
  Post(Host(), catalogue::kUploadClientLog, [&](GenericArray* array) {
    AppendInt32(array, a);
    AppendText(array, text.data(), text.size());
  });
}

void EngineCallback::OnAddQuestion(const std::string& text) {
  PostText(Host(), catalogue::kAddQuestion, text);
}

void EngineCallback::OnRemoveQuestion(int32_t questionId) {
  PostInts(Host(), catalogue::kRemoveQuestion, {questionId});
}

void EngineCallback::OnEndQuestion(int32_t questionId) {
  PostInts(Host(), catalogue::kEndQuestion, {questionId});
}

void EngineCallback::OnAnswerSummary(const std::string& text) {
  PostText(Host(), catalogue::kAnswerSummary, text);
}

void EngineCallback::OnMyAnswer(const std::string& text) {
  PostText(Host(), catalogue::kMyAnswer, text);
}

void EngineCallback::OnSystemMessage(int64_t level, int64_t roomId, const std::string& text) {
  Post(Host(), catalogue::kSystemMessage,
       [&](GenericArray* array) { AppendJson(array, SystemMessageJson(level, roomId, text)); });
}

// ---------------------------------------------------------------------------------------------
// Media

int EngineCallback::OnMediaReserved0() { return 0; }

FrameBuffer* EngineCallback::StreamBuffer(int32_t stream, bool create) {
  auto slot = frames_.find(stream);
  if (slot == frames_.end()) return nullptr;
  FrameBuffer* buffer = slot->second.load(std::memory_order_acquire);
  if (buffer != nullptr || !create) return buffer;

  const int32_t capacity = StreamCapacityOf(stream);
  std::unique_ptr<FrameBuffer> fresh(new (std::nothrow) FrameBuffer);
  if (!fresh) return nullptr;
  // Not zeroed: only bytes of delivered frames are ever handed out, and untouched pages of the
  // large buffers then cost no memory.
  fresh->data = new (std::nothrow) uint8_t[static_cast<size_t>(capacity)];
  if (fresh->data == nullptr) return nullptr;
  fresh->capacity = capacity;
  // Two engine threads may deliver a stream's first frame at once; the first record wins.
  if (!slot->second.compare_exchange_strong(buffer, fresh.get(), std::memory_order_acq_rel,
                                            std::memory_order_acquire)) {
    delete[] fresh->data;
    return buffer;
  }
  return fresh.release();
}

bool EngineCallback::PostFrame(const char* name, int32_t stream, int32_t total, int32_t width,
                               int32_t height, int32_t extra, const FrameBuffer& buffer) {
  JavaScriptAsyncRunBase* run = Host();
  GenericArray* array = corvel::NewGenericArray();
  if (array == nullptr) return false;
  AppendInt32(array, stream);
  AppendDouble(array, static_cast<double>(total));
  AppendInt32(array, width);
  AppendInt32(array, height);
  AppendInt32(array, extra);
  AppendInt32(array, kFrameConstant);
  AppendInt64(array, static_cast<int64_t>(os::TickCount()));
  AppendBorrowed(array, buffer.data, total);
  run->AsyncRun(name, array->count, array);
  return true;
}

void EngineCallback::ResetFrameSizes() {
  for (auto& slot : frames_) {
    FrameBuffer* buffer = slot.second.load(std::memory_order_acquire);
    if (buffer == nullptr) continue;
    buffer->width.store(0, std::memory_order_relaxed);
    buffer->height.store(0, std::memory_order_relaxed);
  }
}

int EngineCallback::OnVideoData(int32_t stream, const uint8_t* data, int32_t byteCount,
                                int32_t width, int32_t height, int32_t /*unused*/, int32_t extra) {
  JavaScriptAsyncRunBase* run = Host();
  if (run == nullptr || frames_.find(stream) == frames_.end()) return -1;
  const int32_t total = FrameByteSize(width, height);
  if (total < 0) return -1;
  // Packed frames never create a buffer: a stream gets one with its first planar frame.
  FrameBuffer* buffer = StreamBuffer(stream, /*create=*/false);
  if (buffer == nullptr) return -1;
  if (buffer->capacity < total) {
    os::DebugPrint(L"video size too large, buffer size=%d, need size=%d\n", buffer->capacity,
                   total);
    return -1;
  }
  if (byteCount < 0) return -1;
  if (byteCount > buffer->capacity) {
    os::DebugPrint(L"video size too large, buffer size=%d, need size=%d\n", buffer->capacity,
                   byteCount);
    return -1;
  }
  if (byteCount > 0 && data == nullptr) return -1;
  if (byteCount > 0) std::memcpy(buffer->data, data, static_cast<size_t>(byteCount));
  return PostFrame(MessageName(catalogue::kVideoData), stream, total, width, height, extra, *buffer)
             ? 0
             : -1;
}

int EngineCallback::OnGetVideoData(int32_t stream, int32_t width, int32_t height, int32_t extra,
                                   const uint8_t* y, int32_t yStride, const uint8_t* u,
                                   int32_t uStride, const uint8_t* v, int32_t vStride) {
  JavaScriptAsyncRunBase* run = Host();
  if (run == nullptr || frames_.find(stream) == frames_.end()) return -1;
  const int32_t total = FrameByteSize(width, height);
  if (total < 0) return -1;
  // A plane is read only when it has bytes: a frame with a side of 0 needs no pointer at all.
  const bool hasChroma = width / 2 > 0 && height / 2 > 0;
  if ((total > 0 && y == nullptr) || (hasChroma && (u == nullptr || v == nullptr))) return -1;

  FrameBuffer* buffer = StreamBuffer(stream, /*create=*/true);
  if (buffer == nullptr) return -1;
  // The notice goes out before the capacity test, so the scripts learn the size of a frame that
  // is then refused.
  if (buffer->width.load(std::memory_order_relaxed) != width ||
      buffer->height.load(std::memory_order_relaxed) != height) {
    // Stored before the notice is sent: a room report that clears the sizes meanwhile, on another
    // engine thread, then stays in force and the next frame announces itself again.
    buffer->width.store(width, std::memory_order_relaxed);
    buffer->height.store(height, std::memory_order_relaxed);
    if (!SendSizeNotice(run, stream, width, height)) {
      // Not sent: the next frame tries again.
      buffer->width.store(0, std::memory_order_relaxed);
      buffer->height.store(0, std::memory_order_relaxed);
    }
  }
  if (buffer->capacity < total) {
    os::DebugPrint(L"video size too large, buffer size=%d, need size=%d\n", buffer->capacity,
                   total);
    return -1;
  }
  CopyPlanarFrame(buffer->data, width, height, y, yStride, u, uStride, v, vStride);
  if (!PostFrame(MessageName(catalogue::kGetVideoData), stream, total, width, height, extra,
                 *buffer)) {
    return -1;
  }
  return 0;
}

void EngineCallback::OnMediaReserved3(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                      int32_t, int32_t, int32_t) {}

void EngineCallback::OnRecordAudio(int16_t* samples, int32_t framesPerChannel, uint32_t sampleRate,
                                   uint8_t stereo) {
  if (!AudioLoopback::IsStarted()) return;
  AudioLoopback* loopback = AudioLoopback::GetInstance();
  if (loopback == nullptr) return;
  corvel::g_mic_sample_rate = sampleRate;

  int16_t* block = nullptr;
  try {
    // Held only to take the block out; mixing and freeing happen outside the lock.
    std::lock_guard<std::mutex> lock(loopback->AudioLoopMutex());
    std::queue<int16_t*>& queue = loopback->DataQueue();
    if (queue.empty()) return;
    block = queue.front();
    queue.pop();
  } catch (...) {
    return;  // the mutex could not be locked; the block stays queued
  }
  std::unique_ptr<int16_t[]> owned(block);
  if (block == nullptr || samples == nullptr || framesPerChannel <= 0) return;

  const int channels = stereo != 0 ? 2 : 1;
  const size_t frames = static_cast<size_t>(framesPerChannel);
  MixSamples(samples, frames * channels, channels, corvel::LoopbackBlockSamples(block),
             corvel::LoopbackBlockCount(block), /*sourceChannels=*/2, frames * 2);
}

void EngineCallback::OnNetQuality(uint64_t packageCount, double jitter) {
  if (Host() == nullptr) return;
  std::string text;
  try {
    text = WriteEventJson(NetQualityJson(packageCount, jitter));
  } catch (...) {
    return;
  }
  OnUploadClientLog(-1, std::move(text));
}

}  // namespace corvel_client
