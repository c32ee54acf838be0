// A trivial engine for the live command benchmark: every operation answers 0 at once, so the
// measured time is kv_client's own.
#include <mutex>
#include <queue>

#include "kv/engine.h"

namespace {

using corvel::Point;

class Device final : public corvel::CorvelDeviceEngine {
 public:
  int SetSpeakerVolume(int) override { return 0; }
  int GetSpeakerVolume(uint32_t& v) override { return v = 0; }
  int SetMicrophoneVolume(int) override { return 0; }
  int GetMicrophoneVolume(uint32_t& v) override { return v = 0; }
  int GetMicrophoneLevel(uint32_t& v) override { return v = 0; }
  int GetRecordingDeviceCount(int& c) override { return c = 0; }
  int GetRecordingDeviceName(int, char*, char*) override { return 0; }
  int StartMicrophoneTest() override { return 0; }
  int GetMicrophoneTestLevel(uint32_t& v) override { return v = 0; }
  int EndMicrophoneTest() override { return 0; }
  int SetRecordingDevice(int) override { return 0; }
  int Release() override { return 0; }
  int MuteSpeaker(bool) override { return 0; }
  int IsSpeakerMute(bool& m) override { return m = false; }
  int IsMicrophoneMute(bool& m) override { return m = false; }
  int MuteMicrophone(bool) override { return 0; }
  int SetVideoCaptureDevice(int) override { return 0; }
  int GetVideoCaptureDeviceCount(int& c) override { return c = 0; }
  int GetVideoCaptureDeviceName(int, char*, char*) override { return 0; }
  int OpenVideoPreview() override { return 0; }
  int CloseVideoPreview() override { return 0; }
  int OpenAudioCompressor(int) override { return 0; }
  int CloseAudioCompressor() override { return 0; }
};

class Live final : public corvel::CorvelLiveEngine {
 public:
  int Release() override { return 0; }
  int EnterRoom(const corvel::EnterRoomConfig*) override { return 0; }
  int QuitRoom() override { return 0; }
  int StartClass() override { return 0; }
  int EndClass() override { return 0; }
  int Reserved0() override { return 0; }
  int ApplyMicrophone() override { return 0; }
  int RevokeMicrophone(int) override { return 0; }
  int CancelAllMicrophone() override { return 0; }
  int ApproveMicrophone(int) override { return 0; }
  int OpenMicrophoneQueue() override { return 0; }
  int CloseMicrophoneQueue() override { return 0; }
  int SettingMicrophone(int, int) override { return 0; }
  int Reserved1() override { return 0; }
  int SendChatMessage(const std::string&, const std::string&, int) override { return 0; }
  int Reserved2() override { return 0; }
  int PublishKeynote(const corvel::KeynoteInfo&) override { return 0; }
  int PageUp() override { return 0; }
  int PageDown() override { return 0; }
  int PageTo(int) override { return 0; }
  int Reserved3() override { return 0; }
  int Reserved4() override { return 0; }
  int SyncStroke(const Point*, int, int, int) override { return 0; }
  int EraseStroke() override { return 0; }
  int GetOutputLevel(int, uint32_t& level) override { return static_cast<int>(level = 0); }
  int AssistantOnBoard() override { return 0; }
  int AssistantOffBoard() override { return 0; }
  int BanUser(int) override { return 0; }
  int UnBanUser(int) override { return 0; }
  int BanAllUser() override { return 0; }
  int UnBanAllUser() override { return 0; }
  int CancelTopMessage() override { return 0; }
  int SetNickname(std::string) override { return 0; }
  int OpenVideoMic() override { return 0; }
  int CloseVideoMic() override { return 0; }
  int BeginSendVideo(int) override { return 0; }
  int StopSendVideo() override { return 0; }
  int SwitchVideoStyle(int, int) override { return 0; }
  int AddQuestion(int, int, const int32_t*, int) override { return 0; }
  int RemoveQuestion(int) override { return 0; }
  int EndQuestion(int) override { return 0; }
  int MyAnswer(int, const int32_t*, int) override { return 0; }
};

class Engine final : public corvel::CorvelEngine {
 public:
  int Reserved0() override { return 0; }
  int SetCoreDispatcher(corvel::ICoreDispatcher*) override { return 0; }
  int SetCallback(corvel::CorvelCallback*) override { return 0; }
  int SetMediaCallback(corvel::CorvelMediaCallBack*) override { return 0; }
  int SetOption(int) override { return 0; }
  int SetLogFile(const char*) override { return 0; }
  int SetClientVersion(int, int, std::string) override { return 0; }

  Live live;
  Device device;
};

}  // namespace

namespace corvel {

uint32_t g_mic_sample_rate = 0;

CorvelEngine* CorvelEngine::Create() { return new Engine(); }

int CorvelEngine::Delete(CorvelEngine*& engine) {
  delete static_cast<Engine*>(engine);
  engine = nullptr;
  return 0;
}

CorvelLiveEngine* CorvelLiveEngine::GetInterface(CorvelEngine* engine) {
  return &static_cast<Engine*>(engine)->live;
}

CorvelDeviceEngine* CorvelLiveEngine::GetDeviceInterface(CorvelEngine* engine) {
  return &static_cast<Engine*>(engine)->device;
}

CorvelOfflinePlayEngine* CorvelOfflinePlayEngine::GetInterface(CorvelEngine*) { return nullptr; }

CorvelDeviceEngine* CorvelOfflinePlayEngine::GetDeviceInterface(CorvelEngine*) { return nullptr; }

}  // namespace corvel

AudioLoopback* AudioLoopback::GetInstance() {
  static AudioLoopback* instance = new AudioLoopback();
  return instance;
}
bool AudioLoopback::IsStarted() { return false; }
bool AudioLoopback::Start() { return false; }
bool AudioLoopback::Stop() { return true; }
std::mutex& AudioLoopback::AudioLoopMutex() { return mutex_; }
std::queue<int16_t*>& AudioLoopback::DataQueue() { return queue_; }
