#include <windows.h>
// After windows.h, which they need.
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <ctime>

#include "os.h"

namespace corvel_client::os {

void DebugOutput(const wchar_t* text) { OutputDebugStringW(text); }

uint32_t TickCount() { return GetTickCount(); }

int64_t Time64() { return static_cast<int64_t>(_time64(nullptr)); }

std::wstring AppDataFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return std::wstring();
  }
  return path;
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CreateFolder(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr) != 0; }

bool ShellOpen(const std::wstring& file, const wchar_t* parameters, const wchar_t* directory) {
  constexpr int kShowDefault = 10;  // SW_SHOWDEFAULT
  const HINSTANCE done =
      ShellExecuteW(nullptr, L"open", file.c_str(), parameters, directory, kShowDefault);
  // ShellExecuteW reports success as a value greater than 32.
  return reinterpret_cast<INT_PTR>(done) > 32;
}

std::wstring LocaleToWide(const char* text) {
  if (text == nullptr || *text == '\0') return std::wstring();
  const int length = static_cast<int>(std::strlen(text));
  const int needed = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, length, &wide[0], needed);
  return wide;
}

}  // namespace corvel_client::os

#include <mmsystem.h>

#include <memory>
#include <type_traits>

namespace corvel_client::os {
namespace {

struct MixerCloser {
  void operator()(HMIXER mixer) const { mixerClose(mixer); }
};
using UniqueMixer = std::unique_ptr<std::remove_pointer_t<HMIXER>, MixerCloser>;

// The mute control of the wave-in destination line of mixer `deviceIndex`, or false.
bool FindMuteControl(int32_t deviceIndex, UniqueMixer& mixer, MIXERCONTROLW& control) {
  HMIXER raw = nullptr;
  if (mixerOpen(&raw, static_cast<UINT>(deviceIndex), 0, 0, MIXER_OBJECTF_WAVEIN) !=
      MMSYSERR_NOERROR) {
    return false;
  }
  mixer.reset(raw);
  MIXERLINEW line{};
  line.cbStruct = sizeof(line);
  line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
  if (mixerGetLineInfoW(reinterpret_cast<HMIXEROBJ>(raw), &line,
                        MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) !=
      MMSYSERR_NOERROR) {
    return false;
  }
  MIXERLINECONTROLSW controls{};
  controls.cbStruct = sizeof(controls);
  controls.dwLineID = line.dwLineID;
  controls.dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
  controls.cControls = 1;
  controls.cbmxctrl = sizeof(control);
  controls.pamxctrl = &control;
  control.cbStruct = sizeof(control);
  return mixerGetLineControlsW(reinterpret_cast<HMIXEROBJ>(raw), &controls,
                               MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) ==
         MMSYSERR_NOERROR;
}

MIXERCONTROLDETAILS OneBoolean(const MIXERCONTROLW& control, MIXERCONTROLDETAILS_BOOLEAN& value) {
  MIXERCONTROLDETAILS details{};
  details.cbStruct = sizeof(details);
  details.dwControlID = control.dwControlID;
  details.cChannels = 1;
  details.cbDetails = sizeof(value);
  details.paDetails = &value;
  return details;
}

class WaveInMixer : public MicrophoneMixer {
 public:
  MicrophoneMute Query(int32_t deviceIndex) override {
    UniqueMixer mixer;
    MIXERCONTROLW control{};
    MicrophoneMute result;
    if (!FindMuteControl(deviceIndex, mixer, control)) return result;
    result.controlFound = true;
    MIXERCONTROLDETAILS_BOOLEAN value{};
    value.fValue = 0;
    MIXERCONTROLDETAILS details = OneBoolean(control, value);
    mixerGetControlDetailsW(reinterpret_cast<HMIXEROBJ>(mixer.get()), &details,
                            MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE);
    result.muted = value.fValue == 1;
    return result;
  }

  bool Set(int32_t deviceIndex, bool mute) override {
    UniqueMixer mixer;
    MIXERCONTROLW control{};
    if (!FindMuteControl(deviceIndex, mixer, control)) return false;
    MIXERCONTROLDETAILS_BOOLEAN value{};
    value.fValue = mute ? 1 : 0;
    MIXERCONTROLDETAILS details = OneBoolean(control, value);
    mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(mixer.get()), &details,
                           MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
    return true;
  }
};

}  // namespace

MicrophoneMixer& SystemMicrophoneMixer() {
  static auto* mixer = new WaveInMixer();  // never destroyed: device wrappers outlive statics
  return *mixer;
}

}  // namespace corvel_client::os
