// The media and classroom engine library `engine` as kv_client sees it: the engine object, the
// interfaces obtained from it, the callback interfaces kv_client implements, and the records they
// pass. Operations are declared in the engine's order; records are plain C++ values built with the
// same compiler on both sides of the library boundary.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <queue>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#if defined(KV_ENGINE_BUILD)
#define KV_ENGINE_API __declspec(dllexport)
#else
#define KV_ENGINE_API __declspec(dllimport)
#endif
#else
#define KV_ENGINE_API __attribute__((visibility("default")))
#endif

namespace corvel {

class ICoreDispatcher;  // kv_client.h

// ---------------------------------------------------------------------------------------------
// Records

// One server of a room configuration. kind: 0 room server, 1 media server over "UDP",
// 2 media server over any other protocol.
struct ServerAddress {
  uint8_t kind = 0;
  uint16_t port = 0;
  uint16_t controlPort = 0;
  std::string host;
};

// What EnterRoom and OpenMedia receive. Reserved fields are the engine's; kv_client zeroes them.
struct EnterRoomConfig {
  int32_t roomId = 0;  // kv_client's Live also uses it as the in-room marker (-1: no room)
  int32_t roomType = 0;
  int32_t userId = 0;
  int32_t userType = 0;
  uint8_t reserved0[128] = {};
  int16_t reserved1[3] = {};
  char signature[256] = {};  // always NUL-terminated
  char sess[1024] = {};      // always NUL-terminated
  int32_t versionSet = 0;
  std::string appVersion;
  std::string reservedText0;
  std::string reservedText1;
  float lossRate = 0;
  int32_t jitter = 0;
  int32_t switchThreshold = 0;
  std::vector<ServerAddress> servers;        // room server first, then media servers
  std::vector<ServerAddress> backupServers;
  int32_t reserved2 = 0;
  std::string reservedText2;
  bool flag0 = false;
  bool flag1 = false;
  uint32_t logLevel = 0;
};

struct KeynoteInfo {
  int32_t value[4] = {};
};

// A stroke point.
struct Point {
  float x = 0;
  float y = 0;
  float pressure = 0;
};

struct UserInfo {
  int32_t id = 0;
  int32_t type = 0;  // 1 teacher, 2 student, 4 assistant; others are the engine's
  int32_t right = 0;
  std::string name;
  std::string extra;  // not forwarded to the scripts
};

struct SpeakerInfo {
  int32_t id = 0;
  int32_t type = 0;
  std::string name;
  int32_t channel = 0;
  int32_t audioOpen = 0;
  int32_t videoOpen = 0;
};

struct MicrophoneState {
  int32_t id = 0;
  int32_t timer = 0;
  int32_t valid = 0;
};

struct OptionStat {
  int32_t option = 0;
  int32_t num = 0;
};

struct AnswerSummary {
  int32_t attendStudents = 0;
  int32_t scorekeepers = 0;
  std::vector<OptionStat> optionStats;
};

struct QuestionInfo {
  int32_t type = 0;
  int32_t status = 0;
  int32_t questionId = 0;
  int32_t optionNum = 0;
  std::vector<int32_t> correctOptions;
  std::shared_ptr<AnswerSummary> summary;  // null: the question carries no summary
};

struct RoomInfo {
  int64_t startTime = 0;
  bool microphoneQueueOpen = false;
  bool videoMicOpen = false;
  int64_t latestMessageId = 0;
  int64_t latestStrokeId = 0;
  bool banAllMessage = false;
  int32_t startDuration = 0;
  std::vector<UserInfo> users;
  std::vector<UserInfo> microphoneQueue;
  std::vector<std::shared_ptr<SpeakerInfo>> speakers;  // an entry may be null
  int32_t assistantUserId = 0;
  int32_t largeUid = 0;
  int32_t videoStyle = 0;
  int64_t latestTopMessageId = 0;
  uint32_t userCount = 0;
  std::vector<UserInfo> bannedUsers;
  std::vector<MicrophoneState> microphoneStates;
  std::vector<std::shared_ptr<QuestionInfo>> questions;  // an entry may be null
};

struct ChatMessage {
  int64_t messageId = 0;
  std::string requestMessageId;
  std::string text;
  int64_t timestamp = 0;
  int32_t messageType = 0;
  UserInfo sender;
};

struct MediaSample {
  int64_t value = 0;
  int32_t extra = 0;
};

struct MediaInfo {
  int64_t value = 0;
  std::vector<MediaSample> samples;
  int32_t p = 0;
  int32_t q = 0;
  int32_t r = 0;
};

// Points stay owned by the engine for the duration of the callback.
struct StrokeInfo {
  const Point* points = nullptr;
  int32_t count = 0;
  int32_t a = 0;
  int32_t b = 0;
};

// ---------------------------------------------------------------------------------------------
// Callback interfaces implemented by kv_client; the engine calls them on its own threads.

class CorvelCallback {
 public:
  virtual void OnConnected() = 0;
  virtual int OnError(int32_t code) = 0;
  virtual void OnServerChanged(int32_t server) = 0;
  virtual void OnUserEnterRoom(const UserInfo& user, int32_t n) = 0;
  virtual void OnUserQuitRoom(int32_t userId, int32_t unused) = 0;
  virtual void OnRoomInfo(const RoomInfo& room) = 0;
  virtual void OnMicrophoneApplied(const UserInfo& user, int32_t n) = 0;
  virtual void OnMicrophoneCanceled(int32_t a, int32_t b, const std::pair<int32_t, int32_t>& c) = 0;
  virtual void OnMicrophoneApproved(const UserInfo& user, int32_t p, int32_t q, int32_t r) = 0;
  virtual void OnMicrophoneQueueOpened(int32_t value) = 0;
  virtual void OnMicrophoneQueueClosed(int32_t value) = 0;
  virtual void OnMicrophoneCancelAll(int32_t value) = 0;
  virtual void OnMediaInfo(const MediaInfo& info) = 0;
  virtual void OnChatMessage(int32_t roomId, const ChatMessage& chat) = 0;
  virtual void OnChatMessageFailed(int32_t a, int32_t b, const std::string& text) = 0;
  virtual void OnKeynoteInfo(const KeynoteInfo& keynote) = 0;
  virtual void OnPageTo(int32_t a, int32_t b) = 0;
  virtual void OnSyncStroke(const StrokeInfo& stroke) = 0;
  virtual void OnEraseStroke(int32_t value) = 0;
  virtual void OnStartClass(int64_t time) = 0;
  virtual void OnEndClass() = 0;
  virtual void OnSyncMedia() = 0;
  virtual void OnAssistantOnBoard(int32_t value) = 0;
  virtual void OnAssistantOffBoard(int32_t value) = 0;
  virtual void OnUserBanned(int32_t a, const int32_t& b) = 0;
  virtual void OnUserUnBanned(int32_t a, int32_t b) = 0;
  virtual void OnAllUserBanned(int32_t value) = 0;
  virtual void OnAllUserUnBanned(int32_t value) = 0;
  virtual void OnTopMessageCanceled() = 0;
  virtual void OnReserved() = 0;
  virtual void OnNetStatistics(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) = 0;
  virtual void OnMicrophoneSettingTimer(int32_t a, int32_t b) = 0;
  virtual void OnMediaDataReady(int64_t value) = 0;
  virtual void OnSyncRoomInfo(int32_t a, int32_t unused1, int32_t unused2) = 0;
  virtual void OnVideoMicEvent(int32_t a, bool b) = 0;
  virtual void OnVideoStyleEvent(int32_t a, int32_t b, int32_t c) = 0;
  virtual void OnDeviceEvent(int32_t a, int32_t b, int32_t c) = 0;
  virtual void OnUploadClientLog(int32_t a, std::string text) = 0;
  virtual void OnAddQuestion(const std::string& text) = 0;
  virtual void OnRemoveQuestion(int32_t questionId) = 0;
  virtual void OnEndQuestion(int32_t questionId) = 0;
  virtual void OnAnswerSummary(const std::string& text) = 0;
  virtual void OnMyAnswer(const std::string& text) = 0;
  virtual void OnSystemMessage(int64_t level, int64_t roomId, const std::string& text) = 0;
  virtual ~CorvelCallback() = default;
};

// Media events. A negative result means the frame was not taken.
class CorvelMediaCallBack {
 public:
  virtual int OnMediaReserved0() = 0;
  // A packed frame of `byteCount` bytes.
  virtual int OnVideoData(int32_t stream, const uint8_t* data, int32_t byteCount, int32_t width,
                          int32_t height, int32_t unused, int32_t extra) = 0;
  // A planar I420 frame given plane by plane.
  virtual int OnGetVideoData(int32_t stream, int32_t width, int32_t height, int32_t extra,
                             const uint8_t* y, int32_t yStride, const uint8_t* u, int32_t uStride,
                             const uint8_t* v, int32_t vStride) = 0;
  virtual void OnMediaReserved3(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                int32_t, int32_t, int32_t) = 0;
  // Captured microphone samples to mix the loopback sound into, in place.
  virtual void OnRecordAudio(int16_t* samples, int32_t framesPerChannel, uint32_t sampleRate,
                             uint8_t stereo) = 0;
  virtual void OnNetQuality(uint64_t packageCount, double jitter) = 0;

 protected:
  ~CorvelMediaCallBack() = default;
};

// Stored data for offline playback; the engine polls GetStorageData until it gets data or -1.
class CorvelStorageCallback {
 public:
  // 0 with `out` unchanged: not there yet; 0 with data: delivered; -1: failed.
  virtual int GetStorageData(const std::string& key, std::vector<uint8_t>& out) = 0;
  virtual int SetStorageData(const std::string& key, const uint8_t* data, int length,
                             int status) = 0;
  virtual ~CorvelStorageCallback() = default;
};

// ---------------------------------------------------------------------------------------------
// Engine interfaces. Every operation returns an int32 code, negative on failure, unless stated.

class CorvelEngine;

// Devices of an entered room or an opened medium. Name buffers are 1024 bytes each.
class CorvelDeviceEngine {
 public:
  virtual int SetSpeakerVolume(int volume) = 0;
  virtual int GetSpeakerVolume(uint32_t& volume) = 0;
  virtual int SetMicrophoneVolume(int volume) = 0;
  virtual int GetMicrophoneVolume(uint32_t& volume) = 0;
  virtual int GetMicrophoneLevel(uint32_t& level) = 0;
  virtual int GetRecordingDeviceCount(int& count) = 0;
  virtual int GetRecordingDeviceName(int index, char name[1024], char guid[1024]) = 0;
  virtual int StartMicrophoneTest() = 0;
  virtual int GetMicrophoneTestLevel(uint32_t& level) = 0;
  virtual int EndMicrophoneTest() = 0;
  virtual int SetRecordingDevice(int index) = 0;
  virtual int Release() = 0;
  virtual int MuteSpeaker(bool mute) = 0;
  virtual int IsSpeakerMute(bool& mute) = 0;
  virtual int IsMicrophoneMute(bool& mute) = 0;
  virtual int MuteMicrophone(bool mute) = 0;
  virtual int SetVideoCaptureDevice(int index) = 0;
  virtual int GetVideoCaptureDeviceCount(int& count) = 0;
  virtual int GetVideoCaptureDeviceName(int index, char name[1024], char guid[1024]) = 0;
  virtual int OpenVideoPreview() = 0;
  virtual int CloseVideoPreview() = 0;
  virtual int OpenAudioCompressor(int value) = 0;
  virtual int CloseAudioCompressor() = 0;

 protected:
  ~CorvelDeviceEngine() = default;
};

class CorvelLiveEngine {
 public:
  KV_ENGINE_API static CorvelLiveEngine* GetInterface(CorvelEngine* engine);
  KV_ENGINE_API static CorvelDeviceEngine* GetDeviceInterface(CorvelEngine* engine);

  virtual int Release() = 0;
  virtual int EnterRoom(const EnterRoomConfig* config) = 0;
  virtual int QuitRoom() = 0;
  virtual int StartClass() = 0;
  virtual int EndClass() = 0;
  virtual int Reserved0() = 0;
  virtual int ApplyMicrophone() = 0;
  virtual int RevokeMicrophone(int userId) = 0;
  virtual int CancelAllMicrophone() = 0;
  virtual int ApproveMicrophone(int userId) = 0;
  virtual int OpenMicrophoneQueue() = 0;
  virtual int CloseMicrophoneQueue() = 0;
  virtual int SettingMicrophone(int a, int b) = 0;
  virtual int Reserved1() = 0;
  virtual int SendChatMessage(const std::string& userId, const std::string& text, int type) = 0;
  virtual int Reserved2() = 0;
  virtual int PublishKeynote(const KeynoteInfo& keynote) = 0;
  virtual int PageUp() = 0;
  virtual int PageDown() = 0;
  virtual int PageTo(int page) = 0;
  virtual int Reserved3() = 0;
  virtual int Reserved4() = 0;
  // `points` stays the caller's.
  virtual int SyncStroke(const Point* points, int count, int a, int b) = 0;
  virtual int EraseStroke() = 0;
  virtual int GetOutputLevel(int which, uint32_t& level) = 0;
  virtual int AssistantOnBoard() = 0;
  virtual int AssistantOffBoard() = 0;
  virtual int BanUser(int userId) = 0;
  virtual int UnBanUser(int userId) = 0;
  virtual int BanAllUser() = 0;
  virtual int UnBanAllUser() = 0;
  virtual int CancelTopMessage() = 0;
  virtual int SetNickname(std::string name) = 0;
  virtual int OpenVideoMic() = 0;
  virtual int CloseVideoMic() = 0;
  virtual int BeginSendVideo(int kind) = 0;
  virtual int StopSendVideo() = 0;
  virtual int SwitchVideoStyle(int a, int b) = 0;
  // `options` holds `count` values (kv_client passes at most 32).
  virtual int AddQuestion(int type, int optionNum, const int32_t* options, int count) = 0;
  virtual int RemoveQuestion(int questionId) = 0;
  virtual int EndQuestion(int questionId) = 0;
  virtual int MyAnswer(int questionId, const int32_t* options, int count) = 0;

 protected:
  ~CorvelLiveEngine() = default;
};

class CorvelOfflinePlayEngine {
 public:
  KV_ENGINE_API static CorvelOfflinePlayEngine* GetInterface(CorvelEngine* engine);
  KV_ENGINE_API static CorvelDeviceEngine* GetDeviceInterface(CorvelEngine* engine);

  virtual int Release() = 0;
  virtual int SetStorageCallback(CorvelStorageCallback* callback) = 0;
  virtual int OpenMedia(const EnterRoomConfig* config) = 0;
  virtual int CloseMedia() = 0;
  virtual int Reserved0() = 0;
  virtual int Play(int value) = 0;
  virtual int Pause(int value) = 0;
  virtual int Stop() = 0;
  virtual int Seek(int64_t position) = 0;
  // Returns the position itself, not a code.
  virtual int64_t GetPosition() = 0;
  virtual int SetPlaySpeed(float speed) = 0;

 protected:
  ~CorvelOfflinePlayEngine() = default;
};

// The engine object: one per process, created with Create and destroyed with Delete after every
// interface taken from it has been released.
class CorvelEngine {
 public:
  KV_ENGINE_API static CorvelEngine* Create();
  KV_ENGINE_API static int Delete(CorvelEngine*& engine);

  virtual int Reserved0() = 0;
  virtual int SetCoreDispatcher(ICoreDispatcher* dispatcher) = 0;
  virtual int SetCallback(CorvelCallback* callback) = 0;
  virtual int SetMediaCallback(CorvelMediaCallBack* callback) = 0;
  virtual int SetOption(int option) = 0;
  virtual int SetLogFile(const char* utf8Path) = 0;
  virtual int SetClientVersion(int a, int b, std::string version) = 0;

 protected:
  ~CorvelEngine() = default;
};

// Written by kv_client with the sample rate of the captured microphone sound.
extern KV_ENGINE_API uint32_t g_mic_sample_rate;

}  // namespace corvel

// ---------------------------------------------------------------------------------------------
// System-sound capture that kv_client mixes into the microphone signal.
//
// A captured block is one int16_t array from new[]: two header words holding the sample count
// (low 16 bits first, as an unsigned 32-bit value), then that many interleaved stereo samples.
// Whoever takes a block from DataQueue owns it and frees it with delete[].
class KV_ENGINE_API AudioLoopback {
 public:
  static AudioLoopback* GetInstance();
  static bool IsStarted();
  bool Start();
  bool Stop();
  std::mutex& AudioLoopMutex();
  std::queue<int16_t*>& DataQueue();

 private:
  AudioLoopback() = default;
  std::mutex mutex_;
  std::queue<int16_t*> queue_;
};

namespace corvel {

constexpr int kLoopbackHeaderWords = 2;

// A new loopback block holding `count` samples, the samples zeroed. Caller owns it (delete[]).
inline int16_t* NewLoopbackBlock(uint32_t count) {
  auto* block = new int16_t[kLoopbackHeaderWords + count]();
  block[0] = static_cast<int16_t>(count & 0xFFFFu);
  block[1] = static_cast<int16_t>(count >> 16);
  return block;
}

inline uint32_t LoopbackBlockCount(const int16_t* block) {
  return static_cast<uint16_t>(block[0]) | (static_cast<uint32_t>(static_cast<uint16_t>(block[1])) << 16);
}

inline int16_t* LoopbackBlockSamples(int16_t* block) { return block + kLoopbackHeaderWords; }

}  // namespace corvel
