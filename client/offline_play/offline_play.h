// OfflinePlay: the engine's offline-play interface with the opened recording's device wrapper and
// the storage callback registered with it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/device_engine.h"
#include "engine/engine_holder.h"
#include "kv/engine.h"
#include "kv/kv_client.h"
#include "offline_play/storage_callback.h"

namespace corvel_client {

// What OfflinePlay takes from the engine library and the engine holder. The process uses the
// real functions (ProcessEngineAccess); tests substitute their own.
struct OfflineEngineAccess {
  EngineHolder* (*acquire)();  // AcquireEngine
  void (*release)();           // ReleaseEngine
  // Makes the host's posting object the destination of the engine's events (SetEventHost),
  // whether or not an engine could be had.
  void (*connect)(corvel_client_win::JavaScriptAsyncRunBase* run);
  corvel::CorvelOfflinePlayEngine* (*offlineInterface)(corvel::CorvelEngine* engine);
  corvel::CorvelDeviceEngine* (*deviceInterface)(corvel::CorvelEngine* engine);
};

// The engine library itself, the process's engine holder and its EngineCallback.
const OfflineEngineAccess& ProcessEngineAccess();

class OfflinePlay {
 public:
  explicit OfflinePlay(const OfflineEngineAccess& access);
  // Tears down whatever Start left (the process never destroys it; tests do).
  ~OfflinePlay();
  OfflinePlay(const OfflinePlay&) = delete;
  OfflinePlay& operator=(const OfflinePlay&) = delete;

  // Acquires the engine, sends its events to `run`, takes the offline-play interface and
  // registers a new StorageCallback posting to `run`. -1 without an engine or interface, else the
  // registration's code when negative, else 0. After a failure the caller calls TearDown.
  int Start(corvel_client_win::JavaScriptAsyncRunBase* run);

  // Closes an open recording (CloseMedia only), releases the interfaces, deletes the device
  // wrapper and the storage callback and gives back the engine. Safe to call more than once.
  void TearDown();

  // Closes an open recording first (a negative close code is returned as is), then OpenMedia;
  // a code >= 0 marks the recording open. Whatever OpenMedia answered, the device interface and
  // its wrapper are taken anew, so device commands reach the playback devices even then. Should
  // taking them throw, the recording is closed and the interface given back before the exception
  // goes on.
  int Open(const corvel::EnterRoomConfig& config);
  // -1 without the interface or an open recording; else Stop, then CloseMedia's code. Clears the
  // open flag and drops the device wrapper and interface.
  int Close();
  int Play();
  // 0 without calling the engine when no recording is open.
  int Pause();
  int Stop();
  int Seek(int64_t position);
  // The position plus 500 (through single precision), truncated to int32, in `progress`.
  // 0 when the progress is >= 0, else -1 (also without the interface).
  int PlayProgress(int32_t& progress);
  // The engine's code, or -1 without the interface.
  int SetPlaySpeed(float speed);
  // Hands an answer of the scripts to the storage callback; -1 without one.
  int StoreData(const std::string& key, const uint8_t* data, int length, int status);

  bool isOpen() const { return open_; }
  // The device wrapper of the last open, or null.
  DeviceEngine* deviceWrapper() const { return device_wrapper_.get(); }

 private:
  void DropDevice();

  OfflineEngineAccess access_;
  EngineHolder* holder_ = nullptr;
  corvel::CorvelEngine* engine_ = nullptr;
  corvel::CorvelOfflinePlayEngine* offline_ = nullptr;
  std::unique_ptr<StorageCallback> storage_;
  corvel::CorvelDeviceEngine* device_ = nullptr;
  std::unique_ptr<DeviceEngine> device_wrapper_;
  bool open_ = false;
};

}  // namespace corvel_client
