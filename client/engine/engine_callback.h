// EngineCallback: the one process-wide implementation of the engine's event interfaces. Every
// engine event becomes one named message posted to the host with a typed argument list; video
// frames travel as borrowed pointers into per-stream buffers owned here.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "kv/engine.h"
#include "kv/kv_client.h"

namespace Json {
class Value;
}

namespace corvel_client {

// One stream's frame buffer: allocated once, reused for every frame of the stream. The size
// fields are atomic because "onRoomInfo" clears them from whichever engine thread reports the
// room while frames of the stream arrive on another.
struct FrameBuffer {
  uint8_t* data = nullptr;        // new[]; freed by ~EngineCallback
  int32_t capacity = 0;           // bytes
  std::atomic<int32_t> width{0};  // of the last planar frame seen; 0 after "onRoomInfo"
  std::atomic<int32_t> height{0};
};

class EngineCallback : public corvel::CorvelCallback, public corvel::CorvelMediaCallBack {
 public:
  EngineCallback();
  ~EngineCallback() override;
  EngineCallback(const EngineCallback&) = delete;
  EngineCallback& operator=(const EngineCallback&) = delete;

  // Where events go from now on (not owned). Events that arrive before this is set are dropped.
  void SetAsyncRun(corvel_client_win::JavaScriptAsyncRunBase* run);

  // corvel::CorvelCallback
  void OnConnected() override;
  int OnError(int32_t code) override;
  void OnServerChanged(int32_t server) override;
  void OnUserEnterRoom(const corvel::UserInfo& user, int32_t n) override;
  void OnUserQuitRoom(int32_t userId, int32_t unused) override;
  void OnRoomInfo(const corvel::RoomInfo& room) override;
  void OnMicrophoneApplied(const corvel::UserInfo& user, int32_t n) override;
  void OnMicrophoneCanceled(int32_t a, int32_t b, const std::pair<int32_t, int32_t>& c) override;
  void OnMicrophoneApproved(const corvel::UserInfo& user, int32_t p, int32_t q, int32_t r) override;
  void OnMicrophoneQueueOpened(int32_t value) override;
  void OnMicrophoneQueueClosed(int32_t value) override;
  void OnMicrophoneCancelAll(int32_t value) override;
  void OnMediaInfo(const corvel::MediaInfo& info) override;
  void OnChatMessage(int32_t roomId, const corvel::ChatMessage& chat) override;
  void OnChatMessageFailed(int32_t a, int32_t b, const std::string& text) override;
  void OnKeynoteInfo(const corvel::KeynoteInfo& keynote) override;
  void OnPageTo(int32_t a, int32_t b) override;
  void OnSyncStroke(const corvel::StrokeInfo& stroke) override;
  void OnEraseStroke(int32_t value) override;
  void OnStartClass(int64_t time) override;
  void OnEndClass() override;
  void OnSyncMedia() override;
  void OnAssistantOnBoard(int32_t value) override;
  void OnAssistantOffBoard(int32_t value) override;
  void OnUserBanned(int32_t a, const int32_t& b) override;
  void OnUserUnBanned(int32_t a, int32_t b) override;
  void OnAllUserBanned(int32_t value) override;
  void OnAllUserUnBanned(int32_t value) override;
  void OnTopMessageCanceled() override;
  void OnReserved() override;
  void OnNetStatistics(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) override;
  void OnMicrophoneSettingTimer(int32_t a, int32_t b) override;
  void OnMediaDataReady(int64_t value) override;
  void OnSyncRoomInfo(int32_t a, int32_t unused1, int32_t unused2) override;
  void OnVideoMicEvent(int32_t a, bool b) override;
  void OnVideoStyleEvent(int32_t a, int32_t b, int32_t c) override;
  void OnDeviceEvent(int32_t a, int32_t b, int32_t c) override;
  void OnUploadClientLog(int32_t a, std::string text) override;
  void OnAddQuestion(const std::string& text) override;
  void OnRemoveQuestion(int32_t questionId) override;
  void OnEndQuestion(int32_t questionId) override;
  void OnAnswerSummary(const std::string& text) override;
  void OnMyAnswer(const std::string& text) override;
  void OnSystemMessage(int64_t level, int64_t roomId, const std::string& text) override;

  // corvel::CorvelMediaCallBack
  int OnMediaReserved0() override;
  int OnVideoData(int32_t stream, const uint8_t* data, int32_t byteCount, int32_t width,
                  int32_t height, int32_t unused, int32_t extra) override;
  int OnGetVideoData(int32_t stream, int32_t width, int32_t height, int32_t extra, const uint8_t* y,
                     int32_t yStride, const uint8_t* u, int32_t uStride, const uint8_t* v,
                     int32_t vStride) override;
  void OnMediaReserved3(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                        int32_t, int32_t) override;
  void OnRecordAudio(int16_t* samples, int32_t framesPerChannel, uint32_t sampleRate,
                     uint8_t stereo) override;
  void OnNetQuality(uint64_t packageCount, double jitter) override;

 private:
  // The host to post to, or null while there is none (the event is then dropped).
  corvel_client_win::JavaScriptAsyncRunBase* Host() const {
    return run_.load(std::memory_order_acquire);
  }
  // The stream's buffer, created on first use when `create`; null for an unknown stream, a stream
  // without a buffer (and !create) or a failed allocation.
  FrameBuffer* StreamBuffer(int32_t stream, bool create);
  // Posts a frame event pointing into `buffer`; false when the array cannot be created.
  bool PostFrame(const char* name, int32_t stream, int32_t total, int32_t width, int32_t height,
                 int32_t extra, const FrameBuffer& buffer);
  // Clears the recorded size of every stream so that each announces its size again.
  void ResetFrameSizes();

  // Keys fixed at construction; a record is published once (atomically, as engine threads may
  // race on a stream's first frame) and lives until destruction.
  std::map<int32_t, std::atomic<FrameBuffer*>> frames_;
  // The last room object, refilled by the next "onRoomInfo" so that a large room is not rebuilt
  // node by node each time. Taken without waiting: a thread that finds it busy builds its own.
  std::unique_ptr<Json::Value> roomScratch_;
  std::atomic<bool> roomScratchBusy_{false};
  std::atomic<corvel_client_win::JavaScriptAsyncRunBase*> run_{nullptr};
};

}  // namespace corvel_client
