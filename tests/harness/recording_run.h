// Test support: a JavaScriptAsyncRunBase that keeps what is posted to it, thread-safely, and
// frees every argument list the way the host does.
#pragma once

#include <condition_variable>
#include <cstdarg>
#include <mutex>
#include <string>
#include <vector>

#include "kv/kv_client.h"

namespace corvel_client::testing {

struct PostedMessage {
  std::string name;
  int count = 0;
  std::vector<int32_t> types;
  std::vector<int32_t> sizes;
  std::vector<std::string> texts;  // the text of each type-13 item, empty for others
};

class RecordingRun : public corvel_client_win::JavaScriptAsyncRunBase {
 public:
  void AsyncRunScript(char* script) override { corvel::LargeMemoryRelease(script); }
  void AsyncRunReserved() override {}
  int AsyncRunFormatted(const wchar_t*, const wchar_t*, ...) override { return 0; }
  void AsyncRun(const char* name, int count, corvel::GenericArray* args) override {
    PostedMessage posted;
    posted.name = name == nullptr ? "" : name;
    posted.count = count;
    for (int i = 0; args != nullptr && i < args->count; ++i) {
      const corvel::GenericItem* item = args->items[i];
      posted.types.push_back(item->type);
      posted.sizes.push_back(item->size);
      posted.texts.push_back(item->type == corvel::kGenericText
                                 ? std::string(static_cast<const char*>(item->data))
                                 : std::string());
    }
    corvel::ReleaseGenericArray(args);
    {
      std::lock_guard<std::mutex> hold(lock_);
      posted_.push_back(std::move(posted));
    }
    changed_.notify_all();
  }

  std::vector<PostedMessage> Posted() {
    std::lock_guard<std::mutex> hold(lock_);
    return posted_;
  }
  size_t PostedCount() {
    std::lock_guard<std::mutex> hold(lock_);
    return posted_.size();
  }
  // Waits until more than `seen` messages were posted; returns the count then.
  size_t WaitBeyond(size_t seen) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [&] { return posted_.size() > seen; });
    return posted_.size();
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<PostedMessage> posted_;
};

}  // namespace corvel_client::testing
