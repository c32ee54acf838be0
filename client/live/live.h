// Live: the live-class state behind the "live." commands: the engine's live interface, the room
// that is entered and the device objects of that room.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/device_engine.h"
#include "engine/engine_holder.h"
#include "kv/engine.h"
#include "kv/kv_client.h"

namespace corvel_client {

class Live {
 public:
  // `dispatcher` is the host's core-thread queue (not owned); it outlives the Live.
  explicit Live(corvel::ICoreDispatcher* dispatcher);
  // Closes first, so a Live never keeps a use of the engine past its life.
  virtual ~Live();
  Live(const Live&) = delete;
  Live& operator=(const Live&) = delete;

  // Takes a use of the process's engine, hands it the dispatcher and takes the live interface.
  // Negative on failure; the Live is then closed and holds nothing.
  int Setup();

  // Leaves the room, releases every interface and gives the engine use back. Safe to repeat.
  void Close();

  // Enters the room `config` describes, leaving the current one first. On success the config is
  // kept, the room's device interface is taken and 0 returned; otherwise the engine's code (or -1
  // without a live interface) and no room. Should taking the devices throw, the room is left
  // before the exception goes on. Taken by value so that keeping it cannot fail.
  int EnterRoom(corvel::EnterRoomConfig config);

  // Leaves the room: the engine's QuitRoom code, or -1 without a live interface or a room.
  int QuitRoom();

  // Marks the room's sending as started: -1 when already started or not in a room, else 0.
  int StartSend();

  // The deferred stroke call, run on the host's core thread. Takes ownership of `points` (new[])
  // and frees it whatever happens; the engine's code is returned and otherwise unused.
  int SyncStroke(const corvel::Point* points, int32_t count, int32_t a, int32_t b);

  bool InRoom() const { return room_.roomId >= 0; }
  // The configuration of the entered room (room id -1 when none).
  const corvel::EnterRoomConfig& room() const { return room_; }
  bool sending() const { return sending_; }
  // Null when setup failed.
  corvel::CorvelLiveEngine* liveInterface() const { return live_; }
  // The room's device wrapper; null when not in a room.
  DeviceEngine* deviceEngine() const { return deviceEngine_.get(); }
  corvel::ICoreDispatcher* dispatcher() const { return dispatcher_; }

 private:
  // Steps shared by QuitRoom and EnterRoom: clear the flag, QuitRoom, drop the room's devices.
  int LeaveRoom();
  void DropDevices();

  corvel::EnterRoomConfig room_;
  EngineHolder* holder_ = nullptr;  // one use of the shared engine while set
  corvel::CorvelEngine* engine_ = nullptr;
  corvel::CorvelLiveEngine* live_ = nullptr;
  corvel::CorvelDeviceEngine* device_ = nullptr;
  std::unique_ptr<DeviceEngine> deviceEngine_;
  bool sending_ = false;
  corvel::ICoreDispatcher* dispatcher_;
};

// Runs `message` through the "live." table against `live` (null when setup failed: every command
// of the table then answers -1 and nothing is queued). Returns whether the method was one of the
// table's and was served; "getMicrophoneLevel" never is, and leaves the record untouched.
bool RunLiveCommand(Live* live, corvel_client_win::MessageFromCpp& message);

}  // namespace corvel_client
