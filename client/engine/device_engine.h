// DeviceEngine: the wrapper around the device interface of an entered room or an opened medium,
// and the "engine." command table that runs against it.
#pragma once

#include <cstdint>

#include "kv/engine.h"
#include "kv/kv_client.h"
#include "os.h"

namespace corvel_client {

class DeviceEngine {
 public:
  // `device` is not owned: its owner releases it after deleting the wrapper. May be null. The
  // system mute commands go to `mixer` (tests give their own; it outlives the wrapper).
  explicit DeviceEngine(corvel::CorvelDeviceEngine* device,
                        os::MicrophoneMixer& mixer = os::SystemMicrophoneMixer())
      : device_(device), mixer_(&mixer) {}
  virtual ~DeviceEngine() = default;
  DeviceEngine(const DeviceEngine&) = delete;
  DeviceEngine& operator=(const DeviceEngine&) = delete;

  corvel::CorvelDeviceEngine* device() const { return device_; }
  os::MicrophoneMixer& mixer() const { return *mixer_; }
  // The last index given to "setRecordingDevice"; the system mute commands use it.
  int32_t recordingDeviceIndex() const { return recordingDeviceIndex_; }
  void setRecordingDeviceIndex(int32_t index) { recordingDeviceIndex_ = index; }

 private:
  int32_t recordingDeviceIndex_ = 0;
  corvel::CorvelDeviceEngine* device_;
  os::MicrophoneMixer* mixer_;
};

// Runs `message` through the "engine." table with `device`. Returns whether the command was one
// of the table's; only then is the result written (code first, outputs only when it is >= 0).
bool RunDeviceCommand(DeviceEngine& device, corvel_client_win::MessageFromCpp& message);

}  // namespace corvel_client
