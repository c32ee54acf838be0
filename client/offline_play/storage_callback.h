// StorageCallback: the playback engine's stored-data requests. The engine polls GetStorageData;
// a key it has not asked for yet is posted to the scripts as "getStorageData", and their answer
// (the "offlinePlay." command "setStorageData") is held here until the engine asks again.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "kv/engine.h"
#include "kv/kv_client.h"

namespace corvel_client {

class StorageCallback : public corvel::CorvelStorageCallback {
 public:
  // Seconds since 1970; the real one reads _time64. Must be callable from any thread.
  using Clock = std::function<int64_t()>;

  // An unanswered request fails after this many seconds.
  static constexpr int64_t kAnswerLimitSeconds = 10;

  // `run` is not owned and may be null (requests are then not posted). Starts with status 0 and
  // no key or data.
  explicit StorageCallback(corvel_client_win::JavaScriptAsyncRunBase* run);
  StorageCallback(corvel_client_win::JavaScriptAsyncRunBase* run, Clock clock);
  ~StorageCallback() override;
  StorageCallback(const StorageCallback&) = delete;
  StorageCallback& operator=(const StorageCallback&) = delete;

  // Engine thread. 0 with `out` untouched: asked for or still waiting; 0 with `out` replaced:
  // delivered; -1: the answer failed, was empty or did not come in time. Posts "getStorageData"
  // while holding the lock, so the host's AsyncRun must not call back into this object.
  int GetStorageData(const std::string& key, std::vector<uint8_t>& out) override;

  // Host thread. Holds `length` bytes of `data` with `key` and `status` for the next fetch;
  // always 0. A negative length or null data holds no bytes (the next fetch of the key then
  // fails unless the status says it is still pending).
  int SetStorageData(const std::string& key, const uint8_t* data, int length, int status) override;

 private:
  // Back to idle: no data, no key, status -1. Caller holds the lock.
  void ResetRequest();
  // Posts "getStorageData" with `key`; drops the message when it cannot be built.
  void PostRequest(const std::string& key);

  std::vector<uint8_t> value_buffer_;
  std::string key_;
  int32_t status_ = 0;
  int64_t request_time_ = 0;
  std::mutex lock_;
  corvel_client_win::JavaScriptAsyncRunBase* run_;
  Clock clock_;
};

}  // namespace corvel_client
