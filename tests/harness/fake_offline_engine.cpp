#include "fake_offline_engine.h"

namespace corvel_client::testing {
namespace {

FakeOfflineWorld* g_world = nullptr;

EngineHolder* Acquire() {
  g_world->journal.push_back("AcquireEngine");
  if (!g_world->engineAvailable) return nullptr;
  ++g_world->acquired;
  g_world->holder.engine = &g_world->engine;
  return &g_world->holder;
}

void Release() {
  g_world->journal.push_back("ReleaseEngine");
  --g_world->acquired;
}

void Connect(corvel_client_win::JavaScriptAsyncRunBase* run) {
  g_world->journal.push_back("SetAsyncRun");
  g_world->connectedRun = run;
}

corvel::CorvelOfflinePlayEngine* OfflineInterface(corvel::CorvelEngine*) {
  g_world->journal.push_back("GetInterface");
  return g_world->interfaceAvailable ? &g_world->offline : nullptr;
}

corvel::CorvelDeviceEngine* DeviceInterface(corvel::CorvelEngine*) {
  const int id = static_cast<int>(g_world->devices.size()) + 1;
  g_world->journal.push_back("GetDeviceInterface " + std::to_string(id));
  g_world->devices.push_back(std::make_unique<FakeDevice>(*g_world, id));
  return g_world->devices.back().get();
}

}  // namespace

FakeOfflineWorld::FakeOfflineWorld() { g_world = this; }
FakeOfflineWorld::~FakeOfflineWorld() { g_world = nullptr; }

const OfflineEngineAccess& FakeOfflineWorld::Access() {
  static const OfflineEngineAccess access{Acquire, Release, Connect, OfflineInterface,
                                          DeviceInterface};
  return access;
}

int FakeDevice::Note(const char* call) {
  world_.journal.push_back("Device" + std::to_string(id_) + "." + call);
  return 0;
}

int FakeOffline::Release() {
  world_.journal.push_back("Release");
  return 0;
}
int FakeOffline::SetStorageCallback(corvel::CorvelStorageCallback* callback) {
  world_.journal.push_back("SetStorageCallback");
  world_.storage = callback;
  return world_.storageCallbackCode;
}
int FakeOffline::OpenMedia(const corvel::EnterRoomConfig* config) {
  world_.journal.push_back("OpenMedia");
  world_.lastConfig = *config;
  world_.mediaOpen = world_.openCode >= 0;
  return world_.openCode;
}
int FakeOffline::CloseMedia() {
  world_.journal.push_back("CloseMedia");
  world_.mediaOpen = false;
  return world_.closeCode;
}
int FakeOffline::Reserved0() { return 0; }
int FakeOffline::Play(int value) {
  world_.journal.push_back("Play " + std::to_string(value));
  return world_.playCode;
}
int FakeOffline::Pause(int value) {
  world_.journal.push_back("Pause " + std::to_string(value));
  return world_.pauseCode;
}
int FakeOffline::Stop() {
  world_.journal.push_back("Stop");
  return world_.stopCode;
}
int FakeOffline::Seek(int64_t position) {
  world_.journal.push_back("Seek " + std::to_string(position));
  return world_.seekCode;
}
int64_t FakeOffline::GetPosition() {
  world_.journal.push_back("GetPosition");
  return world_.position;
}
int FakeOffline::SetPlaySpeed(float speed) {
  world_.journal.push_back("SetPlaySpeed " + std::to_string(speed));
  return world_.speedCode;
}

}  // namespace corvel_client::testing
