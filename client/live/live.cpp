#include "live/live.h"

#include <new>
#include <string>
#include <type_traits>
#include <utility>

namespace corvel_client {

using corvel::CorvelLiveEngine;

namespace {

// A room id below 0 marks "no room".
constexpr int32_t kNoRoom = -1;

}  // namespace

Live::Live(corvel::ICoreDispatcher* dispatcher) : dispatcher_(dispatcher) {
  room_.roomId = kNoRoom;
}

Live::~Live() { Close(); }

int Live::Setup() {
  holder_ = AcquireEngine();
  if (holder_ == nullptr || holder_->engine == nullptr) {
    Close();
    return -1;
  }
  engine_ = holder_->engine;
  const int code = engine_->SetCoreDispatcher(dispatcher_);
  if (code < 0) {
    Close();
    return code;
  }
  live_ = CorvelLiveEngine::GetInterface(engine_);
  if (live_ == nullptr) {
    Close();
    return -1;
  }
  return 0;
}

void Live::Close() {
  if (engine_ != nullptr) {
    if (live_ != nullptr) {
      if (InRoom()) live_->QuitRoom();
      live_->Release();
      live_ = nullptr;
    }
    engine_ = nullptr;
  }
  room_.roomId = kNoRoom;
  sending_ = false;
  DropDevices();
  if (holder_ != nullptr) {
    holder_ = nullptr;
    ReleaseEngine();
  }
}

void Live::DropDevices() {
  deviceEngine_.reset();
  if (device_ != nullptr) device_->Release();
  device_ = nullptr;
}

int Live::LeaveRoom() {
  sending_ = false;
  const int code = live_->QuitRoom();
  room_.roomId = kNoRoom;
  DropDevices();
  return code;
}

int Live::QuitRoom() {
  if (live_ == nullptr || !InRoom()) return -1;
  return LeaveRoom();
}

int Live::EnterRoom(corvel::EnterRoomConfig config) {
  if (live_ == nullptr) return -1;
  static_assert(std::is_nothrow_move_assignable<corvel::EnterRoomConfig>::value,
                "keeping the entered room must not fail");
  if (InRoom()) LeaveRoom();
  engine_->SetClientVersion(3, 3, config.appVersion);
  const int code = live_->EnterRoom(&config);
  if (code < 0) return code;
  room_ = std::move(config);
  // A kept room id below 0 leaves the old devices in place without marking a room; never leak them.
  DropDevices();
  try {
    device_ = CorvelLiveEngine::GetDeviceInterface(engine_);
    deviceEngine_ = std::make_unique<DeviceEngine>(device_);
  } catch (...) {
    LeaveRoom();  // the command answers -1, so the engine must not stay in the room
    throw;
  }
  return 0;
}

int Live::StartSend() {
  if (sending_ || !InRoom()) return -1;
  sending_ = true;
  return 0;
}

int Live::SyncStroke(const corvel::Point* points, int32_t count, int32_t a, int32_t b) {
  const int code = live_ == nullptr ? -1 : live_->SyncStroke(points, count, a, b);
  delete[] points;
  return code;
}

}  // namespace corvel_client
