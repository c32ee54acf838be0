#include "engine/device_engine.h"

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "failing_allocator.h"
#include "kv/sim_engine.h"
#include "method_names.h"

namespace {

using corvel_client::DeviceEngine;
using corvel_client::RunDeviceCommand;
using corvel_client_win::MessageFromCpp;

// A device interface with settable answers that notes every call.
class FakeDevice : public corvel::CorvelDeviceEngine {
 public:
  int code = 0;
  uint32_t value = 0;
  bool flag = false;
  int count = 0;
  std::vector<std::string> names;
  bool unterminated = false;  // fill the whole name buffer without a terminator
  std::vector<std::string> calls;

  int SetSpeakerVolume(int v) override { return Note("SetSpeakerVolume", v); }
  int GetSpeakerVolume(uint32_t& v) override { v = value; return Note("GetSpeakerVolume"); }
  int SetMicrophoneVolume(int v) override { return Note("SetMicrophoneVolume", v); }
  int GetMicrophoneVolume(uint32_t& v) override { v = value; return Note("GetMicrophoneVolume"); }
  int GetMicrophoneLevel(uint32_t& v) override { v = value; return Note("GetMicrophoneLevel"); }
  int GetRecordingDeviceCount(int& c) override { c = count; return Note("GetRecordingDeviceCount"); }
  int GetRecordingDeviceName(int i, char* name, char* second) override {
    return Name("GetRecordingDeviceName", i, name, second);
  }
  int StartMicrophoneTest() override { return Note("StartMicrophoneTest"); }
  int GetMicrophoneTestLevel(uint32_t& v) override { v = value + 1; return Note("GetMicrophoneTestLevel"); }
  int EndMicrophoneTest() override { return Note("EndMicrophoneTest"); }
  int SetRecordingDevice(int i) override { return Note("SetRecordingDevice", i); }
  int Release() override { return Note("Release"); }
  int MuteSpeaker(bool m) override { return Note("MuteSpeaker", m); }
  int IsSpeakerMute(bool& m) override { m = flag; return Note("IsSpeakerMute"); }
  int IsMicrophoneMute(bool& m) override { m = flag; return Note("IsMicrophoneMute"); }
  int MuteMicrophone(bool m) override { return Note("MuteMicrophone", m); }
  int SetVideoCaptureDevice(int i) override { return Note("SetVideoCaptureDevice", i); }
  int GetVideoCaptureDeviceCount(int& c) override { c = count; return Note("GetVideoCaptureDeviceCount"); }
  int GetVideoCaptureDeviceName(int i, char* name, char* second) override {
    Name("GetVideoCaptureDeviceName", i, name, second);
    return -9;  // the video list reports the count call's code, never this one
  }
  int OpenVideoPreview() override { return Note("OpenVideoPreview"); }
  int CloseVideoPreview() override { return Note("CloseVideoPreview"); }
  int OpenAudioCompressor(int v) override { return Note("OpenAudioCompressor", v); }
  int CloseAudioCompressor() override { return Note("CloseAudioCompressor"); }

 private:
  int Note(const std::string& op, int arg) {
    calls.push_back(op + "(" + std::to_string(arg) + ")");
    return code;
  }
  int Note(const std::string& op) {
    calls.push_back(op);
    return code;
  }
  int Name(const std::string& op, int i, char* name, char* second) {
    if (unterminated) {
      std::memset(name, 'N', 1024);
    } else if (i < static_cast<int>(names.size())) {
      std::strcpy(name, names[static_cast<size_t>(i)].c_str());
    }
    std::strcpy(second, "guid");
    return Note(op, i);
  }
};

std::string RunCommand(DeviceEngine& device, const char* name, const char* args = "[]",
                bool* handled = nullptr) {
  auto message = corvel::CreateMessage(name);
  cJSON_Delete(message->args);
  message->args = cJSON_Parse(args);
  const bool was_handled = RunDeviceCommand(device, *message);
  if (handled != nullptr) *handled = was_handled;
  char* text = cJSON_PrintUnformatted(message->result);
  std::string result = std::to_string(message->resultCount) + " " + text;
  cJSON_free(text);
  return result;
}

// Volumes go in unchanged (truncated) and come out as a single-precision fraction of 255.
TEST(DeviceCommands, VolumesUseTheDeviceScale) {
  FakeDevice fake;
  DeviceEngine device(&fake);
  EXPECT_EQ(RunCommand(device, "engine.setSpeakerVolume", "[127.9]"), "1 [0]");
  EXPECT_EQ(RunCommand(device, "engine.setMicrophoneVolume", "[-3.7]"), "1 [0]");
  fake.value = 51;
  EXPECT_EQ(RunCommand(device, "engine.getSpeakerVolume"), "2 [0,0.20000000298023224]");
  EXPECT_EQ(RunCommand(device, "engine.getMicrophoneVolume"), "2 [0,0.20000000298023224]");
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"SetSpeakerVolume(127)",
                                                  "SetMicrophoneVolume(-3)", "GetSpeakerVolume",
                                                  "GetMicrophoneVolume"}));
}

// The output value follows only a code of 0 or more; failures pass through unchanged.
TEST(DeviceCommands, FailuresCarryOnlyTheCode) {
  FakeDevice fake;
  fake.code = -4;
  fake.value = 51;
  DeviceEngine device(&fake);
  EXPECT_EQ(RunCommand(device, "engine.getSpeakerVolume"), "1 [-4]");
  EXPECT_EQ(RunCommand(device, "engine.isMicrophoneMute"), "1 [-4]");
  EXPECT_EQ(RunCommand(device, "engine.getRecordingDevices"), "1 [-4]");
  fake.code = 3;
  EXPECT_EQ(RunCommand(device, "engine.isSpeakerMute"), "2 [3,false]");
}

TEST(DeviceCommands, MuteFlagsAndLevels) {
  FakeDevice fake;
  DeviceEngine device(&fake);
  EXPECT_EQ(RunCommand(device, "engine.isMicrophoneMute"), "2 [0,false]");
  fake.flag = true;
  EXPECT_EQ(RunCommand(device, "engine.isMicrophoneMute"), "2 [0,true]");
  EXPECT_EQ(RunCommand(device, "engine.isSpeakerMute"), "2 [0,true]");
  fake.value = 4000000000u;  // an unsigned level beyond int32
  EXPECT_EQ(RunCommand(device, "engine.getMicrophoneLevel", "[false]"), "2 [0,4000000000]");
  EXPECT_EQ(RunCommand(device, "engine.getMicrophoneLevel", "[true]"), "2 [0,4000000001]");
  EXPECT_EQ(RunCommand(device, "engine.getMicrophoneLevel", "[1]"), "2 [0,4000000000]");
  fake.calls.clear();
  RunCommand(device, "engine.muteMicrophone");
  RunCommand(device, "engine.unMuteMicrophone");
  RunCommand(device, "engine.muteSpeaker");
  RunCommand(device, "engine.unMuteSpeaker");
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"MuteMicrophone(1)", "MuteMicrophone(0)",
                                                  "MuteSpeaker(1)", "MuteSpeaker(0)"}));
}

// Lists: the recording list reports the last describe code, the video list the count's; no
// devices gives the count's code and an empty array.
TEST(DeviceCommands, DeviceLists) {
  FakeDevice fake;
  DeviceEngine device(&fake);
  EXPECT_EQ(RunCommand(device, "engine.getRecordingDevices"), "2 [0,[]]");
  fake.count = 2;
  fake.names = {"Mic A", "Mic B"};
  EXPECT_EQ(RunCommand(device, "engine.getRecordingDevices"), R"(2 [0,["Mic A","Mic B"]])");
  EXPECT_EQ(RunCommand(device, "engine.getVideoCaptureDevices"), R"(2 [0,["Mic A","Mic B"]])");
  fake.count = 0;
  fake.code = 5;
  EXPECT_EQ(RunCommand(device, "engine.getRecordingDevices"), "2 [5,[]]");
}

// Catches a list that trusts any device count: a faulty engine's count near INT32_MAX would keep
// the host's thread describing devices for hours. Lists stop at 256 devices.
TEST(DeviceCommands, DeviceListsStopAtTheirLimit) {
  FakeDevice fake;
  fake.count = 2147483647;
  DeviceEngine device(&fake);
  RunCommand(device, "engine.getRecordingDevices");
  EXPECT_EQ(fake.calls.size(), 1u + 256u);
  EXPECT_EQ(fake.calls.back(), "GetRecordingDeviceName(255)");
}

// A name that fills its whole 1024-byte buffer is read to the buffer's end and no further.
TEST(DeviceCommands, UnterminatedNamesStayInTheirBuffer) {
  FakeDevice fake;
  fake.count = 1;
  fake.unterminated = true;
  DeviceEngine device(&fake);
  EXPECT_EQ(RunCommand(device, "engine.getRecordingDevices"),
            "2 [0,[\"" + std::string(1024, 'N') + "\"]]");
}

TEST(DeviceCommands, RecordingDeviceIndexIsKept) {
  FakeDevice fake;
  DeviceEngine device(&fake);
  EXPECT_EQ(device.recordingDeviceIndex(), 0);
  EXPECT_EQ(RunCommand(device, "engine.setRecordingDevice", "[3.9]"), "1 [0]");
  EXPECT_EQ(device.recordingDeviceIndex(), 3);
  EXPECT_EQ(fake.calls.back(), "SetRecordingDevice(3)");
}

std::string SimControl(const std::string& request) {
  char* reply = kv_sim_control(request.c_str());
  std::string text = reply != nullptr ? reply : "";
  kv_sim_free(reply);
  return text;
}

// The engine calls since the last journal request, as "Op[arguments]".
void TakeJournal(std::vector<std::string>& calls) {
  cJSON* reply = cJSON_Parse(SimControl(R"({"sim":"journal"})").c_str());
  const cJSON* entry = nullptr;
  cJSON_ArrayForEach(entry, cJSON_GetObjectItemCaseSensitive(reply, "journal")) {
    char* args = cJSON_PrintUnformatted(cJSON_GetObjectItemCaseSensitive(entry, "args"));
    calls.push_back(std::string(cJSON_GetObjectItemCaseSensitive(entry, "op")->valuestring) + args);
    cJSON_free(args);
  }
  cJSON_Delete(reply);
}

// A mixer whose recording line has a mute control (unless `control` is false); notes each use
// with the device index it was given.
class FakeMixer : public corvel_client::os::MicrophoneMixer {
 public:
  explicit FakeMixer(std::vector<std::string>& calls) : calls_(calls) {}
  corvel_client::os::MicrophoneMute Query(int32_t index) override {
    calls_.push_back("Mixer.Query[" + std::to_string(index) + "]");
    return {control, control && muted};
  }
  bool Set(int32_t index, bool mute) override {
    calls_.push_back("Mixer.Set[" + std::to_string(index) + (mute ? ",true]" : ",false]"));
    if (control) muted = mute;
    return control;
  }
  bool control = true;
  bool muted = false;

 private:
  std::vector<std::string>& calls_;
};

struct DeviceCase {
  const char* method;
  const char* args;
  std::vector<std::string> sim;    // control lines before the command
  std::vector<std::string> calls;  // engine operations (and mixer uses) it must reach, in order
  const char* result;
};

// Catches a command that reaches the wrong operation, drops or mangles its argument, or reports
// the wrong code: every "engine." command, in table order, against the simulated engine's device
// and a mixer with a mute control. The recording list answers with its last describe call's code
// (here once a device the count promised cannot be described), the video list with its count
// call's; the capture's start is not reported; both system mute commands use the index that
// "setRecordingDevice" stored.
TEST(DeviceCommands, EachCommandReachesItsOperation) {
  const std::string reply = R"({"sim":"reply","op":"Device.)";
  const std::string loopback = R"({"sim":"reply","op":"AudioLoopback.)";
  const std::string mics = R"({"sim":"devices","recording":["Mic A","Mic B"]})";
  const DeviceCase cases[] = {
      {"getMicrophoneLevel", "[false]", {reply + R"(GetMicrophoneLevel","out":7})"},
       {"Device.GetMicrophoneLevel[]"}, "2 [0,7]"},
      {"getMicrophoneLevel", "[true]", {reply + R"(GetMicrophoneTestLevel","out":8})"},
       {"Device.GetMicrophoneTestLevel[]"}, "2 [0,8]"},
      {"setMicrophoneVolume", "[200.9]", {reply + R"(SetMicrophoneVolume","code":3})"},
       {"Device.SetMicrophoneVolume[200]"}, "1 [3]"},
      {"getMicrophoneVolume", "[]", {reply + R"(GetMicrophoneVolume","out":51})"},
       {"Device.GetMicrophoneVolume[]"}, "2 [0,0.20000000298023224]"},
      {"muteMicrophone", "[]", {}, {"Device.MuteMicrophone[true]"}, "1 [0]"},
      {"unMuteMicrophone", "[]", {reply + R"(MuteMicrophone","code":4})"},
       {"Device.MuteMicrophone[false]"}, "1 [4]"},
      {"mixMicrophone", "[]", {}, {"AudioLoopback.GetInstance[]", "AudioLoopback.Start[]"},
       "1 [0]"},
      {"mixMicrophone", "[]", {loopback + R"(Start","code":-1})"},
       {"AudioLoopback.GetInstance[]", "AudioLoopback.Start[]"}, "1 [0]"},
      {"unMixMicrophone", "[]", {}, {"AudioLoopback.GetInstance[]", "AudioLoopback.Stop[]"},
       "1 [0]"},
      {"isMicrophoneMute", "[]", {reply + R"(IsMicrophoneMute","out":true})"},
       {"Device.IsMicrophoneMute[]"}, "2 [0,true]"},
      {"startMicrophoneTest", "[]", {}, {"Device.StartMicrophoneTest[]"}, "1 [0]"},
      {"endMicrophoneTest", "[]", {reply + R"(EndMicrophoneTest","code":-5})"},
       {"Device.EndMicrophoneTest[]"}, "1 [-5]"},
      {"setSpeakerVolume", "[127.9]", {}, {"Device.SetSpeakerVolume[127]"}, "1 [0]"},
      {"getSpeakerVolume", "[]", {reply + R"(GetSpeakerVolume","out":255})"},
       {"Device.GetSpeakerVolume[]"}, "2 [0,1]"},
      {"muteSpeaker", "[]", {}, {"Device.MuteSpeaker[true]"}, "1 [0]"},
      {"unMuteSpeaker", "[]", {}, {"Device.MuteSpeaker[false]"}, "1 [0]"},
      {"isSpeakerMute", "[]", {reply + R"(IsSpeakerMute","code":2})"},
       {"Device.IsSpeakerMute[]"}, "2 [2,false]"},
      {"getRecordingDevices", "[]", {mics, reply + R"(GetRecordingDeviceCount","code":6})"},
       {"Device.GetRecordingDeviceCount[]", "Device.GetRecordingDeviceName[0]",
        "Device.GetRecordingDeviceName[1]"},
       R"(2 [0,["Mic A","Mic B"]])"},
      {"getRecordingDevices", "[]", {mics, reply + R"(GetRecordingDeviceCount","out":3})"},
       {"Device.GetRecordingDeviceCount[]", "Device.GetRecordingDeviceName[0]",
        "Device.GetRecordingDeviceName[1]", "Device.GetRecordingDeviceName[2]"},
       "1 [-1]"},
      {"setRecordingDevice", "[3.9]", {}, {"Device.SetRecordingDevice[3]"}, "1 [0]"},
      {"isSysMicrophoneMute", "[]", {}, {"Mixer.Query[3]"}, "2 [0,false]"},
      {"setSysMicrophoneMute", "[true]", {}, {"Mixer.Set[3,true]"}, "1 [1]"},
      {"isSysMicrophoneMute", "[]", {}, {"Mixer.Query[3]"}, "2 [0,true]"},
      {"getVideoCaptureDevices", "[]",
       {R"({"sim":"devices","video":["Cam A","Cam B"]})",
        reply + R"(GetVideoCaptureDeviceCount","code":2,"out":3})"},
       {"Device.GetVideoCaptureDeviceCount[]", "Device.GetVideoCaptureDeviceName[0]",
        "Device.GetVideoCaptureDeviceName[1]", "Device.GetVideoCaptureDeviceName[2]"},
       R"(2 [2,["Cam A","Cam B","Cam B"]])"},  // the buffer keeps a name nothing overwrote
      {"setVideoCaptureDevice", "[1]", {}, {"Device.SetVideoCaptureDevice[1]"}, "1 [0]"},
      {"openVideoPreview", "[]", {}, {"Device.OpenVideoPreview[]"}, "1 [0]"},
      {"closeVideoPreview", "[]", {}, {"Device.CloseVideoPreview[]"}, "1 [0]"},
      {"openAudioCompressor", "[2.5]", {}, {"Device.OpenAudioCompressor[2]"}, "1 [0]"},
      {"closeAudioCompressor", "[]", {}, {"Device.CloseAudioCompressor[]"}, "1 [0]"},
  };
  SimControl(R"({"sim":"reset"})");
  corvel::CorvelEngine* engine = corvel::CorvelEngine::Create();
  ASSERT_NE(engine, nullptr);
  std::vector<std::string> calls;
  FakeMixer mixer(calls);
  DeviceEngine device(corvel::CorvelLiveEngine::GetDeviceInterface(engine), mixer);
  ASSERT_NE(device.device(), nullptr);
  std::set<std::string> covered;
  for (const DeviceCase& c : cases) {
    SimControl(R"({"sim":"reset"})");
    for (const std::string& line : c.sim) ASSERT_EQ(SimControl(line), "") << line;
    calls.clear();
    const std::string name = std::string("engine.") + c.method;
    EXPECT_EQ(RunCommand(device, name.c_str(), c.args), c.result) << c.method;
    TakeJournal(calls);
    EXPECT_EQ(calls, c.calls) << c.method;
    covered.insert(c.method);
  }
  EXPECT_EQ(covered.size(), static_cast<size_t>(
                                corvel_client::MethodCount(corvel_client::CommandTable::kEngine)));
  corvel::CorvelEngine::Delete(engine);
  SimControl(R"({"sim":"reset"})");
}

// A machine without a mute control: the query answers 0 and false, the set answers 0; neither
// needs the device interface.
TEST(DeviceCommands, SystemMuteWithoutMixerControl) {
  std::vector<std::string> calls;
  FakeMixer mixer(calls);
  mixer.control = false;
  DeviceEngine device(nullptr, mixer);
  EXPECT_EQ(RunCommand(device, "engine.isSysMicrophoneMute"), "2 [0,false]");
  EXPECT_EQ(RunCommand(device, "engine.setSysMicrophoneMute", "[true]"), "1 [0]");
  EXPECT_EQ(calls, (std::vector<std::string>{"Mixer.Query[0]", "Mixer.Set[0,true]"}));
}

// Without a device interface every other command answers -1 without output.
TEST(DeviceCommands, MissingDeviceAnswersMinusOne) {
  DeviceEngine device(nullptr);
  for (const char* name : {"engine.getSpeakerVolume", "engine.mixMicrophone",
                           "engine.getRecordingDevices", "engine.closeAudioCompressor"}) {
    EXPECT_EQ(RunCommand(device, name), "1 [-1]") << name;
  }
}

// Unknown methods, other prefixes and other letter cases are not handled and write nothing.
TEST(DeviceCommands, ForeignCommandsAreNotHandled) {
  FakeDevice fake;
  DeviceEngine device(&fake);
  bool handled = true;
  EXPECT_EQ(RunCommand(device, "engine.GetSpeakerVolume", "[]", &handled), "0 []");
  EXPECT_FALSE(handled);
  EXPECT_EQ(RunCommand(device, "live.getSpeakerVolume", "[]", &handled), "0 []");
  EXPECT_FALSE(handled);
  RunCommand(device, "engine.openVideoPreview", "[]", &handled);
  EXPECT_TRUE(handled);
  EXPECT_TRUE(fake.calls.size() == 1 && fake.calls[0] == "OpenVideoPreview");
}

// Catches an allocation failure escaping the device table to the host: wherever it strikes, the
// command answers -1 alone, as a device without its interface does.
TEST(DeviceCommands, AllocationFailureAnswersMinusOne) {
  FakeDevice fake;
  fake.count = 2;
  fake.names = {"Mic A", "Mic B"};
  DeviceEngine device(&fake);
  auto message = corvel::CreateMessage("engine.getRecordingDevices");
  corvel_client::testing::ForEachAllocationFailure(
      [&] { RunDeviceCommand(device, *message); },
      [&](bool failed, bool escaped) {
        EXPECT_FALSE(escaped);
        char* text = cJSON_PrintUnformatted(message->result);
        EXPECT_EQ(std::to_string(message->resultCount) + " " + text,
                  failed ? "1 [-1]" : R"(2 [0,["Mic A","Mic B"]])");
        cJSON_free(text);
        message = corvel::CreateMessage("engine.getRecordingDevices");
      });
}

}  // namespace
