// The engine interfaces of engine.h as the simulated engine serves them: every call is journaled
// with its arguments and answered from the scripted replies; the classroom mode adds reactions.
#include <cstring>
#include <memory>
#include <mutex>

#include "records.h"
#include "sim.h"

namespace kv_sim {

Reply Call(const char* op, cJSON* args, const char* device) {
  Sim::Get().state.Record(op, args, device);
  return Sim::Get().state.Answer(op);
}

cJSON* Args(std::initializer_list<cJSON*> items) {
  cJSON* array = cJSON_CreateArray();
  for (cJSON* item : items) cJSON_AddItemToArray(array, item);
  return array;
}

cJSON* PointerArg(const void* pointer) {
  return pointer != nullptr ? cJSON_CreateTrue() : cJSON_CreateNull();
}

namespace {

using corvel::CorvelDeviceEngine;

// One device interface; `owner` names it in the journal ("live" or "offlinePlay").
class SimDevice final : public CorvelDeviceEngine {
 public:
  explicit SimDevice(const char* owner) : owner_(owner) {}

  int SetSpeakerVolume(int volume) override { return Set("Device.SetSpeakerVolume", volume); }
  int GetSpeakerVolume(uint32_t& volume) override {
    return GetUnsigned("Device.GetSpeakerVolume", volume);
  }
  int SetMicrophoneVolume(int volume) override { return Set("Device.SetMicrophoneVolume", volume); }
  int GetMicrophoneVolume(uint32_t& volume) override {
    return GetUnsigned("Device.GetMicrophoneVolume", volume);
  }
  int GetMicrophoneLevel(uint32_t& level) override {
    return GetUnsigned("Device.GetMicrophoneLevel", level);
  }
  int GetRecordingDeviceCount(int& count) override {
    return Count("Device.GetRecordingDeviceCount", DeviceList::kRecording, count);
  }
  int GetRecordingDeviceName(int index, char name[1024], char guid[1024]) override {
    return Name("Device.GetRecordingDeviceName", DeviceList::kRecording, index, name, guid);
  }
  int StartMicrophoneTest() override { return Plain("Device.StartMicrophoneTest"); }
  int GetMicrophoneTestLevel(uint32_t& level) override {
    return GetUnsigned("Device.GetMicrophoneTestLevel", level);
  }
  int EndMicrophoneTest() override { return Plain("Device.EndMicrophoneTest"); }
  int SetRecordingDevice(int index) override { return Set("Device.SetRecordingDevice", index); }
  int Release() override { return Plain("Device.Release"); }
  int MuteSpeaker(bool mute) override { return SetBool("Device.MuteSpeaker", mute); }
  int IsSpeakerMute(bool& mute) override { return GetBool("Device.IsSpeakerMute", mute); }
  int IsMicrophoneMute(bool& mute) override { return GetBool("Device.IsMicrophoneMute", mute); }
  int MuteMicrophone(bool mute) override { return SetBool("Device.MuteMicrophone", mute); }
  int SetVideoCaptureDevice(int index) override {
    return Set("Device.SetVideoCaptureDevice", index);
  }
  int GetVideoCaptureDeviceCount(int& count) override {
    return Count("Device.GetVideoCaptureDeviceCount", DeviceList::kVideo, count);
  }
  int GetVideoCaptureDeviceName(int index, char name[1024], char guid[1024]) override {
    return Name("Device.GetVideoCaptureDeviceName", DeviceList::kVideo, index, name, guid);
  }
  int OpenVideoPreview() override { return Plain("Device.OpenVideoPreview"); }
  int CloseVideoPreview() override { return Plain("Device.CloseVideoPreview"); }
  int OpenAudioCompressor(int value) override { return Set("Device.OpenAudioCompressor", value); }
  int CloseAudioCompressor() override { return Plain("Device.CloseAudioCompressor"); }

 private:
  int Plain(const char* op) { return Call(op, Args({}), owner_).code; }
  int Set(const char* op, int value) { return Call(op, Args({MakeInt(value)}), owner_).code; }
  int SetBool(const char* op, bool value) { return Call(op, Args({MakeBool(value)}), owner_).code; }
  int GetUnsigned(const char* op, uint32_t& out) {
    const Reply reply = Call(op, Args({}), owner_);
    out = static_cast<uint32_t>(reply.OutInt());
    return reply.code;
  }
  int GetBool(const char* op, bool& out) {
    const Reply reply = Call(op, Args({}), owner_);
    out = reply.OutBool();
    return reply.code;
  }
  int Count(const char* op, DeviceList list, int& count) {
    const Reply reply = Call(op, Args({}), owner_);
    count = reply.out ? static_cast<int>(reply.OutInt())
                      : static_cast<int>(Sim::Get().state.Devices(list).size());
    return reply.code;
  }
  // Names come from the device list; an index outside it answers -1 and writes nothing. A
  // scripted code replaces the answer for every index.
  int Name(const char* op, DeviceList list, int index, char name[1024], char guid[1024]) {
    const Reply reply = Call(op, Args({MakeInt(index)}), owner_);
    const auto names = Sim::Get().state.Devices(list);
    if (index < 0 || static_cast<size_t>(index) >= names.size()) {
      return reply.scripted ? reply.code : -1;
    }
    FillDeviceName(names[static_cast<size_t>(index)], *reinterpret_cast<char(*)[1024]>(name));
    const std::string id = "{sim-device-" + std::to_string(index) + "}";
    FillDeviceName(id, *reinterpret_cast<char(*)[1024]>(guid));
    return reply.code;
  }

  const char* owner_;
};

// Every live call is journaled, answered as scripted, and, in the classroom mode, answered by
// the class (sim_engine/classroom.cpp) when the scripted code accepts it.
int LiveCall(const char* op, cJSON* args) {
  Json copy(cJSON_Duplicate(args, /*recurse=*/1));
  return ClassroomLive(op, copy.get(), Call(op, args).code);
}

class SimLive final : public corvel::CorvelLiveEngine {
 public:
  SimDevice device{"live"};

  int Release() override { return Plain("Live.Release"); }
  int EnterRoom(const corvel::EnterRoomConfig* config) override {
    return LiveCall("Live.EnterRoom",
                    Args({config != nullptr ? ConfigToJson(*config) : cJSON_CreateNull()}));
  }
  int QuitRoom() override { return Plain("Live.QuitRoom"); }
  int StartClass() override { return Plain("Live.StartClass"); }
  int EndClass() override { return Plain("Live.EndClass"); }
  int Reserved0() override { return Plain("Live.Reserved0"); }
  int ApplyMicrophone() override { return Plain("Live.ApplyMicrophone"); }
  int RevokeMicrophone(int userId) override { return Int("Live.RevokeMicrophone", userId); }
  int CancelAllMicrophone() override { return Plain("Live.CancelAllMicrophone"); }
  int ApproveMicrophone(int userId) override { return Int("Live.ApproveMicrophone", userId); }
  int OpenMicrophoneQueue() override { return Plain("Live.OpenMicrophoneQueue"); }
  int CloseMicrophoneQueue() override { return Plain("Live.CloseMicrophoneQueue"); }
  int SettingMicrophone(int a, int b) override {
    return LiveCall("Live.SettingMicrophone", Args({MakeInt(a), MakeInt(b)}));
  }
  int Reserved1() override { return Plain("Live.Reserved1"); }
  int SendChatMessage(const std::string& userId, const std::string& text, int type) override {
    return LiveCall("Live.SendChatMessage",
                    Args({MakeString(userId), MakeString(text), MakeInt(type)}));
  }
  int Reserved2() override { return Plain("Live.Reserved2"); }
  int PublishKeynote(const corvel::KeynoteInfo& keynote) override {
    return LiveCall("Live.PublishKeynote", Args({KeynoteToJson(keynote)}));
  }
  int PageUp() override { return Plain("Live.PageUp"); }
  int PageDown() override { return Plain("Live.PageDown"); }
  int PageTo(int page) override { return Int("Live.PageTo", page); }
  int Reserved3() override { return Plain("Live.Reserved3"); }
  int Reserved4() override { return Plain("Live.Reserved4"); }
  int SyncStroke(const corvel::Point* points, int count, int a, int b) override {
    return LiveCall("Live.SyncStroke",
                    Args({PointsToJson(points, count), MakeInt(count), MakeInt(a), MakeInt(b)}));
  }
  int EraseStroke() override { return Plain("Live.EraseStroke"); }
  int GetOutputLevel(int which, uint32_t& level) override {
    const Reply reply = Call("Live.GetOutputLevel", Args({MakeInt(which)}));
    level = static_cast<uint32_t>(reply.OutInt());
    return reply.code;
  }
  int AssistantOnBoard() override { return Plain("Live.AssistantOnBoard"); }
  int AssistantOffBoard() override { return Plain("Live.AssistantOffBoard"); }
  int BanUser(int userId) override { return Int("Live.BanUser", userId); }
  int UnBanUser(int userId) override { return Int("Live.UnBanUser", userId); }
  int BanAllUser() override { return Plain("Live.BanAllUser"); }
  int UnBanAllUser() override { return Plain("Live.UnBanAllUser"); }
  int CancelTopMessage() override { return Plain("Live.CancelTopMessage"); }
  int SetNickname(std::string name) override {
    return LiveCall("Live.SetNickname", Args({MakeString(name)}));
  }
  int OpenVideoMic() override { return Plain("Live.OpenVideoMic"); }
  int CloseVideoMic() override { return Plain("Live.CloseVideoMic"); }
  int BeginSendVideo(int kind) override {
    return LiveCall("Live.BeginSendVideo", Args({MakeInt(kind)}));
  }
  int StopSendVideo() override { return Plain("Live.StopSendVideo"); }
  int SwitchVideoStyle(int a, int b) override {
    return LiveCall("Live.SwitchVideoStyle", Args({MakeInt(a), MakeInt(b)}));
  }
  int AddQuestion(int type, int optionNum, const int32_t* options, int count) override {
    return LiveCall("Live.AddQuestion", Args({MakeInt(type), MakeInt(optionNum),
                                              Int32sToJson(options, count), MakeInt(count)}));
  }
  int RemoveQuestion(int questionId) override { return Int("Live.RemoveQuestion", questionId); }
  int EndQuestion(int questionId) override { return Int("Live.EndQuestion", questionId); }
  int MyAnswer(int questionId, const int32_t* options, int count) override {
    return LiveCall("Live.MyAnswer",
                    Args({MakeInt(questionId), Int32sToJson(options, count), MakeInt(count)}));
  }

 private:
  static int Plain(const char* op) { return LiveCall(op, Args({})); }
  static int Int(const char* op, int value) { return LiveCall(op, Args({MakeInt(value)})); }
};

class SimOfflinePlay final : public corvel::CorvelOfflinePlayEngine {
 public:
  SimDevice device{"offlinePlay"};

  int Release() override { return Plain("OfflinePlay.Release"); }
  int SetStorageCallback(corvel::CorvelStorageCallback* callback) override {
    const Reply reply = Call("OfflinePlay.SetStorageCallback", Args({PointerArg(callback)}));
    if (reply.code >= 0) Sim::Get().storage = callback;
    return reply.code;
  }
  int OpenMedia(const corvel::EnterRoomConfig* config) override {
    const Reply reply =
        Call("OfflinePlay.OpenMedia",
             Args({config != nullptr ? ConfigToJson(*config) : cJSON_CreateNull()}));
    if (reply.code >= 0 && config != nullptr) ClassroomOpenMedia(*config);
    return reply.code;
  }
  int CloseMedia() override {
    ClassroomPlay(false);
    return Plain("OfflinePlay.CloseMedia");
  }
  int Reserved0() override { return Plain("OfflinePlay.Reserved0"); }
  int Play(int value) override {
    const Reply reply = Call("OfflinePlay.Play", Args({MakeInt(value)}));
    if (reply.code >= 0) ClassroomPlay(true);
    return reply.code;
  }
  int Pause(int value) override {
    ClassroomPlay(false);
    return Call("OfflinePlay.Pause", Args({MakeInt(value)})).code;
  }
  int Stop() override {
    ClassroomPlay(false);
    return Plain("OfflinePlay.Stop");
  }
  int Seek(int64_t position) override {
    const Reply reply = Call("OfflinePlay.Seek", Args({MakeInt(position)}));
    if (reply.code >= 0 && Sim::Get().state.Classroom()) ClassroomSeek(position);
    return reply.code;
  }
  // The position is the scripted out value (not a code); in the classroom, the played time.
  int64_t GetPosition() override {
    const Reply reply = Call("OfflinePlay.GetPosition", Args({}));
    if (!reply.out && Sim::Get().state.Classroom()) return ClassroomPosition();
    return reply.OutInt();
  }
  int SetPlaySpeed(float speed) override {
    return Call("OfflinePlay.SetPlaySpeed", Args({MakeFloat(speed)})).code;
  }

 private:
  static int Plain(const char* op) { return Call(op, Args({})).code; }
};

}  // namespace

// The engine object with its two interfaces. Every pointer kv_client registers is kept in Sim.
class SimEngine final : public corvel::CorvelEngine {
 public:
  SimLive live;
  SimOfflinePlay offline;

  ~SimEngine() = default;

  int Reserved0() override { return Call("Engine.Reserved0", Args({})).code; }
  int SetCoreDispatcher(corvel::ICoreDispatcher* dispatcher) override {
    return Keep("Engine.SetCoreDispatcher", Sim::Get().dispatcher, dispatcher);
  }
  int SetCallback(corvel::CorvelCallback* callback) override {
    return Keep("Engine.SetCallback", Sim::Get().callback, callback);
  }
  int SetMediaCallback(corvel::CorvelMediaCallBack* callback) override {
    return Keep("Engine.SetMediaCallback", Sim::Get().media, callback);
  }
  int SetOption(int option) override {
    return Call("Engine.SetOption", Args({MakeInt(option)})).code;
  }
  int SetLogFile(const char* utf8Path) override {
    return Call("Engine.SetLogFile",
                Args({utf8Path != nullptr ? MakeString(utf8Path) : cJSON_CreateNull()}))
        .code;
  }
  int SetClientVersion(int a, int b, std::string version) override {
    return Call("Engine.SetClientVersion", Args({MakeInt(a), MakeInt(b), MakeString(version)}))
        .code;
  }

 private:
  // A failed registration keeps the previous pointer, as a refusing engine would.
  template <class T>
  static int Keep(const char* op, std::atomic<T*>& slot, T* pointer) {
    const Reply reply = Call(op, Args({PointerArg(pointer)}));
    if (reply.code >= 0) slot = pointer;
    return reply.code;
  }
};

namespace {

SimEngine* Cast(corvel::CorvelEngine* engine) {
  // Only engines from Create exist in this process; anything else (null) has no interfaces.
  return engine != nullptr && engine == Sim::Get().engine.load() ? static_cast<SimEngine*>(engine)
                                                                 : nullptr;
}

}  // namespace

}  // namespace kv_sim

namespace corvel {

using kv_sim::Args;
using kv_sim::Call;
using kv_sim::PointerArg;

uint32_t g_mic_sample_rate = 0;

CorvelEngine* CorvelEngine::Create() {
  if (Call("Engine.Create", Args({})).code < 0) return nullptr;
  auto& sim = kv_sim::Sim::Get();
  if (sim.engine.load() != nullptr) return sim.engine.load();  // one engine per process
  auto* engine = new kv_sim::SimEngine();
  sim.engine = engine;
  return engine;
}

int CorvelEngine::Delete(CorvelEngine*& engine) {
  const int code = Call("Engine.Delete", Args({PointerArg(engine)})).code;
  auto& sim = kv_sim::Sim::Get();
  if (kv_sim::SimEngine* owned = kv_sim::Cast(engine)) {
    // Nothing may reach the callbacks once the engine is gone.
    sim.StopThreads();
    sim.ForgetPointers();
    sim.engine = nullptr;
    delete owned;
  }
  engine = nullptr;
  return code;
}

CorvelLiveEngine* CorvelLiveEngine::GetInterface(CorvelEngine* engine) {
  const kv_sim::Reply reply = Call("Live.GetInterface", Args({PointerArg(engine)}));
  kv_sim::SimEngine* sim = kv_sim::Cast(engine);
  return reply.code < 0 || sim == nullptr ? nullptr : &sim->live;
}

CorvelDeviceEngine* CorvelLiveEngine::GetDeviceInterface(CorvelEngine* engine) {
  const kv_sim::Reply reply = Call("Live.GetDeviceInterface", Args({PointerArg(engine)}));
  kv_sim::SimEngine* sim = kv_sim::Cast(engine);
  return reply.code < 0 || sim == nullptr ? nullptr : &sim->live.device;
}

CorvelOfflinePlayEngine* CorvelOfflinePlayEngine::GetInterface(CorvelEngine* engine) {
  const kv_sim::Reply reply = Call("OfflinePlay.GetInterface", Args({PointerArg(engine)}));
  kv_sim::SimEngine* sim = kv_sim::Cast(engine);
  return reply.code < 0 || sim == nullptr ? nullptr : &sim->offline;
}

CorvelDeviceEngine* CorvelOfflinePlayEngine::GetDeviceInterface(CorvelEngine* engine) {
  const kv_sim::Reply reply = Call("OfflinePlay.GetDeviceInterface", Args({PointerArg(engine)}));
  kv_sim::SimEngine* sim = kv_sim::Cast(engine);
  return reply.code < 0 || sim == nullptr ? nullptr : &sim->offline.device;
}

}  // namespace corvel
