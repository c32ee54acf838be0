#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <memory>
#include <type_traits>

#include "os.h"

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
