#include "offline_play/offline_play.h"

#include "dispatch.h"

namespace corvel_client {
namespace {

// The position rounded to single precision. Going through memory makes the rounding happen on
// x87 builds too, where a plain cast may keep the extended precision.
double SinglePrecision(int64_t position) {
  volatile float rounded = static_cast<float>(position);
  return rounded;
}

}  // namespace

OfflinePlay::OfflinePlay(const OfflineEngineAccess& access) : access_(access) {}

OfflinePlay::~OfflinePlay() { TearDown(); }

int OfflinePlay::Start(corvel_client_win::JavaScriptAsyncRunBase* run) {
  holder_ = access_.acquire();
  // Before the checks: a start that fails gives back an engine that the live part may create
  // anew, and that one must still post to the host.
  access_.connect(run);
  if (holder_ == nullptr) return -1;
  engine_ = holder_->engine;
  offline_ = access_.offlineInterface(engine_);
  storage_ = std::make_unique<StorageCallback>(run);
  const int code = offline_ == nullptr ? -1 : offline_->SetStorageCallback(storage_.get());
  return code < 0 ? code : 0;
}

void OfflinePlay::TearDown() {
  if (offline_ != nullptr) {
    if (open_) offline_->CloseMedia();
    offline_->Release();
    offline_ = nullptr;
  }
  open_ = false;
  DropDevice();
  // The engine no longer holds the callback once its interface is released.
  storage_.reset();
  engine_ = nullptr;
  if (holder_ != nullptr) {
    holder_ = nullptr;
    access_.release();
  }
}

void OfflinePlay::DropDevice() {
  device_wrapper_.reset();
  if (device_ != nullptr) device_->Release();
  device_ = nullptr;
}

int OfflinePlay::Open(const corvel::EnterRoomConfig& config) {
  if (offline_ == nullptr) return -1;
  if (open_) {
    const int closed = Close();
    if (closed < 0) return closed;
  }
  const int code = offline_->OpenMedia(&config);
  if (code >= 0) open_ = true;
  DropDevice();
  try {
    device_ = access_.deviceInterface(engine_);
    device_wrapper_ = std::make_unique<DeviceEngine>(device_);
  } catch (...) {
    // The command answers -1, so the recording must not stay open or its devices held.
    if (open_) Close();
    DropDevice();
    throw;
  }
  return code;
}

int OfflinePlay::Close() {
  if (offline_ == nullptr || !open_) return -1;
  offline_->Stop();
  const int code = offline_->CloseMedia();
  open_ = false;
  DropDevice();
  return code;
}

int OfflinePlay::Play() { return offline_ == nullptr ? -1 : offline_->Play(0); }

int OfflinePlay::Pause() {
  if (offline_ == nullptr) return -1;
  return open_ ? offline_->Pause(0) : 0;
}

int OfflinePlay::Stop() { return offline_ == nullptr ? -1 : offline_->Stop(); }

int OfflinePlay::Seek(int64_t position) {
  return offline_ == nullptr ? -1 : offline_->Seek(position);
}

int OfflinePlay::PlayProgress(int32_t& progress) {
  if (offline_ == nullptr) return -1;
  const int64_t position = offline_->GetPosition();
  progress = TruncateToInt32(SinglePrecision(position) + 500.0);
  return progress >= 0 ? 0 : -1;
}

int OfflinePlay::SetPlaySpeed(float speed) {
  return offline_ == nullptr ? -1 : offline_->SetPlaySpeed(speed);
}

int OfflinePlay::StoreData(const std::string& key, const uint8_t* data, int length, int status) {
  return storage_ == nullptr ? -1 : storage_->SetStorageData(key, data, length, status);
}

}  // namespace corvel_client
