#include "live/testing/fake_engine.h"

#include <string>

namespace kv_fake {
namespace {

using corvel::Point;

FakeEngineControl* g_control = new FakeEngineControl();

std::string ToText(int value) { return std::to_string(value); }
std::string ToText(const std::string& value) { return value; }

// The code scripted for `operation` (0 when none).
int CodeOf(const char* operation) {
  if (g_control->codes.empty()) return 0;
  const auto found = g_control->codes.find(operation);
  return found == g_control->codes.end() ? 0 : found->second;
}

int Note(const char* operation) {
  if (!g_control->quiet) g_control->calls.push_back(operation);
  return CodeOf(operation);
}

template <typename... Values>
int NoteWith(const char* operation, const Values&... values) {
  if (g_control->quiet) return CodeOf(operation);
  std::string call = std::string(operation) + "(";
  const char* separator = "";
  ((call += separator, call += ToText(values), separator = ","), ...);
  g_control->calls.push_back(call + ")");
  return CodeOf(operation);
}

class Device final : public corvel::CorvelDeviceEngine {
 public:
  int SetSpeakerVolume(int v) override { return NoteWith("SetSpeakerVolume", v); }
  int GetSpeakerVolume(uint32_t& v) override {
    v = g_control->speakerVolume;
    return Note("GetSpeakerVolume");
  }
  int SetMicrophoneVolume(int v) override { return NoteWith("SetMicrophoneVolume", v); }
  int GetMicrophoneVolume(uint32_t& v) override {
    v = 0;
    return Note("GetMicrophoneVolume");
  }
  int GetMicrophoneLevel(uint32_t& v) override {
    v = 0;
    return Note("GetMicrophoneLevel");
  }
  int GetRecordingDeviceCount(int& c) override {
    c = 0;
    return Note("GetRecordingDeviceCount");
  }
  int GetRecordingDeviceName(int i, char*, char*) override {
    return NoteWith("GetRecordingDeviceName", i);
  }
  int StartMicrophoneTest() override { return Note("StartMicrophoneTest"); }
  int GetMicrophoneTestLevel(uint32_t& v) override {
    v = 0;
    return Note("GetMicrophoneTestLevel");
  }
  int EndMicrophoneTest() override { return Note("EndMicrophoneTest"); }
  int SetRecordingDevice(int i) override { return NoteWith("SetRecordingDevice", i); }
  int Release() override {
    --g_control->deviceInterfacesHeld;
    g_control->calls.push_back("Device.Release");
    return CodeOf("Device.Release");
  }
  int MuteSpeaker(bool m) override { return NoteWith("MuteSpeaker", m ? 1 : 0); }
  int IsSpeakerMute(bool& m) override {
    m = false;
    return Note("IsSpeakerMute");
  }
  int IsMicrophoneMute(bool& m) override {
    m = false;
    return Note("IsMicrophoneMute");
  }
  int MuteMicrophone(bool m) override { return NoteWith("MuteMicrophone", m ? 1 : 0); }
  int SetVideoCaptureDevice(int i) override { return NoteWith("SetVideoCaptureDevice", i); }
  int GetVideoCaptureDeviceCount(int& c) override {
    c = 0;
    return Note("GetVideoCaptureDeviceCount");
  }
  int GetVideoCaptureDeviceName(int i, char*, char*) override {
    return NoteWith("GetVideoCaptureDeviceName", i);
  }
  int OpenVideoPreview() override { return Note("OpenVideoPreview"); }
  int CloseVideoPreview() override { return Note("CloseVideoPreview"); }
  int OpenAudioCompressor(int v) override { return NoteWith("OpenAudioCompressor", v); }
  int CloseAudioCompressor() override { return Note("CloseAudioCompressor"); }
};

std::string Options(const int32_t* options, int count) {
  g_control->lastOptions.assign(options, options + (count > 0 ? count : 0));
  std::string text = "[";
  for (int i = 0; i < count; ++i) text += (i > 0 ? "," : "") + std::to_string(options[i]);
  return text + "]";
}

class Live final : public corvel::CorvelLiveEngine {
 public:
  int Release() override {
    --g_control->liveInterfacesHeld;
    g_control->calls.push_back("Live.Release");
    return CodeOf("Live.Release");
  }
  int EnterRoom(const corvel::EnterRoomConfig* config) override {
    g_control->lastConfig = *config;
    return NoteWith("EnterRoom", config->roomId);
  }
  int QuitRoom() override { return Note("QuitRoom"); }
  int StartClass() override { return Note("StartClass"); }
  int EndClass() override { return Note("EndClass"); }
  int Reserved0() override { return Note("Reserved0"); }
  int ApplyMicrophone() override { return Note("ApplyMicrophone"); }
  int RevokeMicrophone(int id) override { return NoteWith("RevokeMicrophone", id); }
  int CancelAllMicrophone() override { return Note("CancelAllMicrophone"); }
  int ApproveMicrophone(int id) override { return NoteWith("ApproveMicrophone", id); }
  int OpenMicrophoneQueue() override { return Note("OpenMicrophoneQueue"); }
  int CloseMicrophoneQueue() override { return Note("CloseMicrophoneQueue"); }
  int SettingMicrophone(int a, int b) override { return NoteWith("SettingMicrophone", a, b); }
  int Reserved1() override { return Note("Reserved1"); }
  int SendChatMessage(const std::string& user, const std::string& text, int type) override {
    return NoteWith("SendChatMessage", user, text, type);
  }
  int Reserved2() override { return Note("Reserved2"); }
  int PublishKeynote(const corvel::KeynoteInfo& k) override {
    return NoteWith("PublishKeynote", k.value[0], k.value[1], k.value[2], k.value[3]);
  }
  int PageUp() override { return Note("PageUp"); }
  int PageDown() override { return Note("PageDown"); }
  int PageTo(int page) override { return NoteWith("PageTo", page); }
  int Reserved3() override { return Note("Reserved3"); }
  int Reserved4() override { return Note("Reserved4"); }
  int SyncStroke(const Point* points, int count, int a, int b) override {
    g_control->lastPoints.assign(points, points + (count > 0 ? count : 0));
    return NoteWith("SyncStroke", count, a, b);
  }
  int EraseStroke() override { return Note("EraseStroke"); }
  int GetOutputLevel(int which, uint32_t& level) override {
    level = g_control->outputLevel;
    return NoteWith("GetOutputLevel", which);
  }
  int AssistantOnBoard() override { return Note("AssistantOnBoard"); }
  int AssistantOffBoard() override { return Note("AssistantOffBoard"); }
  int BanUser(int id) override { return NoteWith("BanUser", id); }
  int UnBanUser(int id) override { return NoteWith("UnBanUser", id); }
  int BanAllUser() override { return Note("BanAllUser"); }
  int UnBanAllUser() override { return Note("UnBanAllUser"); }
  int CancelTopMessage() override { return Note("CancelTopMessage"); }
  int SetNickname(std::string name) override { return NoteWith("SetNickname", name); }
  int OpenVideoMic() override { return Note("OpenVideoMic"); }
  int CloseVideoMic() override { return Note("CloseVideoMic"); }
  int BeginSendVideo(int kind) override { return NoteWith("BeginSendVideo", kind); }
  int StopSendVideo() override { return Note("StopSendVideo"); }
  int SwitchVideoStyle(int a, int b) override { return NoteWith("SwitchVideoStyle", a, b); }
  int AddQuestion(int type, int optionNum, const int32_t* options, int count) override {
    return NoteWith("AddQuestion", type, optionNum, Options(options, count), count);
  }
  int RemoveQuestion(int id) override { return NoteWith("RemoveQuestion", id); }
  int EndQuestion(int id) override { return NoteWith("EndQuestion", id); }
  int MyAnswer(int id, const int32_t* options, int count) override {
    return NoteWith("MyAnswer", id, Options(options, count), count);
  }
};

class Engine final : public corvel::CorvelEngine {
 public:
  int Reserved0() override { return Note("Reserved0"); }
  int SetCoreDispatcher(corvel::ICoreDispatcher* dispatcher) override {
    g_control->dispatcher = dispatcher;
    return Note("SetCoreDispatcher");
  }
  int SetCallback(corvel::CorvelCallback*) override { return Note("SetCallback"); }
  int SetMediaCallback(corvel::CorvelMediaCallBack*) override { return Note("SetMediaCallback"); }
  int SetOption(int option) override { return NoteWith("SetOption", option); }
  int SetLogFile(const char*) override { return Note("SetLogFile"); }
  int SetClientVersion(int a, int b, std::string version) override {
    return NoteWith("SetClientVersion", a, b, version);
  }

  Live live;
  Device device;
};

}  // namespace

FakeEngineControl& Fake() { return *g_control; }

void ResetFake() { *g_control = FakeEngineControl(); }

}  // namespace kv_fake

namespace corvel {

uint32_t g_mic_sample_rate = 0;

CorvelEngine* CorvelEngine::Create() {
  if (kv_fake::g_control->createFails) return nullptr;
  ++kv_fake::g_control->enginesAlive;
  kv_fake::g_control->calls.push_back("Create");
  return new kv_fake::Engine();
}

int CorvelEngine::Delete(CorvelEngine*& engine) {
  if (engine == nullptr) return -1;
  --kv_fake::g_control->enginesAlive;
  kv_fake::g_control->calls.push_back("Delete");
  delete static_cast<kv_fake::Engine*>(engine);
  engine = nullptr;
  return 0;
}

CorvelLiveEngine* CorvelLiveEngine::GetInterface(CorvelEngine* engine) {
  if (engine == nullptr || kv_fake::g_control->noLiveInterface) return nullptr;
  ++kv_fake::g_control->liveInterfacesHeld;
  return &static_cast<kv_fake::Engine*>(engine)->live;
}

CorvelDeviceEngine* CorvelLiveEngine::GetDeviceInterface(CorvelEngine* engine) {
  if (engine == nullptr) return nullptr;
  ++kv_fake::g_control->deviceInterfacesHeld;
  kv_fake::g_control->calls.push_back("GetDeviceInterface");
  return &static_cast<kv_fake::Engine*>(engine)->device;
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
