#include "offline_play/storage_callback.h"

#include <exception>
#include <utility>

#include "catalogue.h"
#include "generic_array.h"
#include "os.h"

namespace corvel_client {

StorageCallback::StorageCallback(corvel_client_win::JavaScriptAsyncRunBase* run)
    : StorageCallback(run, [] { return os::Time64(); }) {}

StorageCallback::StorageCallback(corvel_client_win::JavaScriptAsyncRunBase* run, Clock clock)
    : run_(run), clock_(std::move(clock)) {}

StorageCallback::~StorageCallback() = default;

void StorageCallback::ResetRequest() {
  value_buffer_.clear();
  key_.clear();
  status_ = -1;
}

void StorageCallback::PostRequest(const std::string& key) {
  if (run_ == nullptr) return;
  ScopedGenericArray args;
  if (!args || !AppendText(args.get(), key.data(), key.size())) return;
  const int count = args.get()->count;
  run_->AsyncRun(catalogue::MessageName(catalogue::kGetStorageData), count, args.release());
}

int StorageCallback::GetStorageData(const std::string& key, std::vector<uint8_t>& out) {
  // The engine calls this on its own thread: nothing may escape, so an allocation failure fails
  // the fetch instead.
  try {
    std::lock_guard<std::mutex> hold(lock_);
    if (key.empty()) return 0;
    if (status_ > 0) {
      ResetRequest();
      return -1;
    }
    if (key_ != key) {
      ResetRequest();
      key_ = key;
      PostRequest(key);
      request_time_ = clock_();
      return 0;
    }
    if (!value_buffer_.empty()) {
      out = value_buffer_;
      ResetRequest();
      return 0;
    }
    if (status_ == 0) {
      ResetRequest();
      return -1;
    }
    // Still waiting. A clock that went backwards keeps the request waiting; the difference is
    // taken unsigned so that no pair of clock readings can overflow it.
    const int64_t now = clock_();
    if (now < request_time_) return 0;
    const uint64_t waited = static_cast<uint64_t>(now) - static_cast<uint64_t>(request_time_);
    return waited > static_cast<uint64_t>(kAnswerLimitSeconds) ? -1 : 0;
  } catch (const std::exception&) {
    return -1;
  }
}

int StorageCallback::SetStorageData(const std::string& key, const uint8_t* data, int length,
                                    int status) {
  std::lock_guard<std::mutex> hold(lock_);
  try {
    key_ = key;
    if (data == nullptr || length <= 0) {
      value_buffer_.clear();
    } else {
      value_buffer_.assign(data, data + length);
    }
  } catch (const std::exception&) {
    // Data that cannot be held reads as an empty answer, which fails the fetch.
    value_buffer_.clear();
  }
  status_ = status;
  return 0;
}

}  // namespace corvel_client
