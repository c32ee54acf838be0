#include "engine/device_engine.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "failing_allocator.h"

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

// A machine without a mute control: the query answers 0 and false, the set answers 0.
TEST(DeviceCommands, SystemMuteWithoutMixerControl) {
  DeviceEngine device(nullptr);
  EXPECT_EQ(RunCommand(device, "engine.isSysMicrophoneMute"), "2 [0,false]");
  EXPECT_EQ(RunCommand(device, "engine.setSysMicrophoneMute", "[true]"), "1 [0]");
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
