#include "engine/device_engine.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dispatch.h"
#include "method_names.h"
#include "os.h"

namespace corvel_client {
namespace {

using corvel::CorvelDeviceEngine;
using corvel_client_win::MessageFromCpp;

constexpr size_t kNameBuffer = 1024;
// The most devices a list describes. An engine count beyond any real machine's (up to INT32_MAX)
// would otherwise keep the host's thread describing devices for hours and fill its memory.
constexpr int kMaxListedDevices = 256;

// Volumes come on a 0..255 scale and go out as a fraction rounded to single precision.
double VolumeFraction(uint32_t volume) { return static_cast<float>(volume / 255.0); }

// A device name from a 1024-byte buffer the engine may have filled without a terminator.
std::string BoundedName(const char* buffer) {
  const void* end = std::memchr(buffer, '\0', kNameBuffer);
  const size_t length = end == nullptr ? kNameBuffer : static_cast<const char*>(end) - buffer;
  return std::string(buffer, length);
}

using CountFn = int (CorvelDeviceEngine::*)(int&);
using NameFn = int (CorvelDeviceEngine::*)(int, char*, char*);

struct DeviceList {
  int32_t countCode;  // of the count call
  int32_t lastCode;   // of the last describe call, or the count call's when none was made
  std::vector<std::string> names;
};

// Counts (with -1 preset), then describes each device with the same two buffers, which are not
// cleared between calls.
DeviceList ListDevices(CorvelDeviceEngine& device, CountFn count_fn, NameFn name_fn) {
  int count = -1;
  DeviceList list{(device.*count_fn)(count), 0, {}};
  list.lastCode = list.countCode;
  if (list.countCode < 0 || count < 1) return list;
  std::vector<char> name(kNameBuffer, '\0');
  std::vector<char> second(kNameBuffer, '\0');
  for (int i = 0; i < std::min(count, kMaxListedDevices); ++i) {
    list.lastCode = (device.*name_fn)(i, name.data(), second.data());
    list.names.push_back(BoundedName(name.data()));
  }
  return list;
}

void WriteDeviceList(MessageFromCpp& m, int32_t code, const std::vector<std::string>& names) {
  WriteResultCode(m, code);
  if (code >= 0) AppendResultStrings(m, names);
}

// One command of the table.
using Handler = void (*)(DeviceEngine& wrapper, MessageFromCpp& m);
// One command that works on the device interface: `device` is never null here.
using DeviceHandler = void (*)(DeviceEngine& wrapper, CorvelDeviceEngine& device,
                               MessageFromCpp& m);

// Without a device interface the command answers -1.
template <DeviceHandler Run>
void WithDevice(DeviceEngine& wrapper, MessageFromCpp& m) {
  if (wrapper.device() == nullptr) {
    WriteResultCode(m, -1);
  } else {
    Run(wrapper, *wrapper.device(), m);
  }
}

void WithNumber(MessageFromCpp& m, int code, double value) {
  WriteResultCode(m, code);
  if (code >= 0) AppendResultNumber(m, value);
}

void WithBool(MessageFromCpp& m, int code, bool value) {
  WriteResultCode(m, code);
  if (code >= 0) AppendResultBool(m, value);
}

void GetMicrophoneLevel(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  uint32_t level = 0;
  const int code = ArgBool(m, 0) ? d.GetMicrophoneTestLevel(level) : d.GetMicrophoneLevel(level);
  WithNumber(m, code, level);
}
void SetMicrophoneVolume(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  WriteResultCode(m, d.SetMicrophoneVolume(ArgInt(m, 0)));
}
void GetMicrophoneVolume(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  uint32_t volume = 0;
  const int code = d.GetMicrophoneVolume(volume);
  WithNumber(m, code, VolumeFraction(volume));
}
void MuteMicrophone(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  WriteResultCode(m, d.MuteMicrophone(true));
}
void UnMuteMicrophone(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  WriteResultCode(m, d.MuteMicrophone(false));
}
void MixMicrophone(DeviceEngine&, CorvelDeviceEngine&, MessageFromCpp& m) {
  AudioLoopback::GetInstance()->Start();  // whether capture started is not reported
  WriteResultCode(m, 0);
}
void UnMixMicrophone(DeviceEngine&, CorvelDeviceEngine&, MessageFromCpp& m) {
  AudioLoopback::GetInstance()->Stop();
  WriteResultCode(m, 0);
}
void IsMicrophoneMute(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  bool mute = false;
  const int code = d.IsMicrophoneMute(mute);
  WithBool(m, code, mute);
}
void StartMicrophoneTest(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  WriteResultCode(m, d.StartMicrophoneTest());
}
void EndMicrophoneTest(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  WriteResultCode(m, d.EndMicrophoneTest());
}
void SetSpeakerVolume(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  WriteResultCode(m, d.SetSpeakerVolume(ArgInt(m, 0)));
}
void GetSpeakerVolume(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  uint32_t volume = 0;
  const int code = d.GetSpeakerVolume(volume);
  WithNumber(m, code, VolumeFraction(volume));
}
void MuteSpeaker(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  WriteResultCode(m, d.MuteSpeaker(true));
}
void UnMuteSpeaker(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  WriteResultCode(m, d.MuteSpeaker(false));
}
void IsSpeakerMute(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  bool mute = false;
  const int code = d.IsSpeakerMute(mute);
  WithBool(m, code, mute);
}
void GetRecordingDevices(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  const DeviceList list = ListDevices(d, &CorvelDeviceEngine::GetRecordingDeviceCount,
                                      &CorvelDeviceEngine::GetRecordingDeviceName);
  WriteDeviceList(m, list.lastCode, list.names);
}
void SetRecordingDevice(DeviceEngine& w, CorvelDeviceEngine& d, MessageFromCpp& m) {
  const int32_t index = ArgInt(m, 0);
  w.setRecordingDeviceIndex(index);
  WriteResultCode(m, d.SetRecordingDevice(index));
}
void GetVideoCaptureDevices(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  const DeviceList list = ListDevices(d, &CorvelDeviceEngine::GetVideoCaptureDeviceCount,
                                      &CorvelDeviceEngine::GetVideoCaptureDeviceName);
  WriteDeviceList(m, list.countCode, list.names);
}
void SetVideoCaptureDevice(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  WriteResultCode(m, d.SetVideoCaptureDevice(ArgInt(m, 0)));
}
void OpenVideoPreview(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  WriteResultCode(m, d.OpenVideoPreview());
}
void CloseVideoPreview(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  WriteResultCode(m, d.CloseVideoPreview());
}
void OpenAudioCompressor(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  WriteResultCode(m, d.OpenAudioCompressor(ArgInt(m, 0)));
}
void CloseAudioCompressor(DeviceEngine&, CorvelDeviceEngine& d, MessageFromCpp& m) {
  WriteResultCode(m, d.CloseAudioCompressor());
}

// The two system-mute commands work through the mixer and need no device interface.
void IsSysMicrophoneMute(DeviceEngine& w, MessageFromCpp& m) {
  const os::MicrophoneMute mute = w.mixer().Query(w.recordingDeviceIndex());
  WriteResultCode(m, 0);
  AppendResultBool(m, mute.controlFound && mute.muted);
}
void SetSysMicrophoneMute(DeviceEngine& w, MessageFromCpp& m) {
  const bool found = w.mixer().Set(w.recordingDeviceIndex(), ArgBool(m, 0));
  WriteResultCode(m, found ? 1 : 0);
}

// In the order of the method-name table: the catalogue's handler column.
constexpr Handler kHandlers[] = {
#define KV_ENGINE_COMMAND(method, handler, ...) handler,
#include "catalogue.def"
};
static_assert(sizeof(kHandlers) / sizeof(kHandlers[0]) ==
                  static_cast<size_t>(catalogue::TableOf(CommandTable::kEngine).count),
              "one handler per engine method");

}  // namespace

bool RunDeviceCommand(DeviceEngine& device, MessageFromCpp& message) {
  const int method = FindMethod(CommandName(message), CommandTable::kEngine);
  if (method < 0) return false;
  RunContained(message,
               catalogue::AnswersWithCode(catalogue::TableCommand(CommandTable::kEngine, method)),
               [&] { kHandlers[method](device, message); });
  return true;
}

}  // namespace corvel_client
