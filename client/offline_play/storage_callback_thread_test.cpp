#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "offline_play/storage_callback.h"

namespace {

using corvel_client::StorageCallback;

// A host whose scripts answer every "getStorageData" on their own threads, as the real host does
// (the answer never comes back inside AsyncRun, which runs under the callback's lock).
class AnsweringHost : public corvel_client_win::JavaScriptAsyncRunBase {
 public:
  void AsyncRunScript(char* script) override { corvel::LargeMemoryRelease(script); }
  void AsyncRunReserved() override {}
  int AsyncRunFormatted(const wchar_t*, const wchar_t*, ...) override { return 0; }
  void AsyncRun(const char* /*name*/, int /*count*/, corvel::GenericArray* args) override {
    std::string key = static_cast<const char*>(args->items[0]->data);
    corvel::ReleaseGenericArray(args);
    {
      std::lock_guard<std::mutex> hold(lock_);
      pending_.push_back(std::move(key));
    }
    wake_.notify_one();
  }

  // Answers requests until stopped; the data is the key's bytes.
  void Serve(StorageCallback& storage) {
    for (;;) {
      std::string key;
      {
        std::unique_lock<std::mutex> hold(lock_);
        wake_.wait(hold, [&] { return stop_ || !pending_.empty(); });
        if (pending_.empty()) return;
        key = std::move(pending_.front());
        pending_.pop_front();
      }
      storage.SetStorageData(key, reinterpret_cast<const uint8_t*>(key.data()),
                             static_cast<int>(key.size()), 0);
    }
  }
  void Stop() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      stop_ = true;
      pending_.clear();
    }
    wake_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::string> pending_;
  bool stop_ = false;
};

// Several engine threads polling while two script threads answer: every delivery carries exactly
// the bytes of the key it was asked for, and the sanitizer sees no unguarded access.
TEST(StorageCallbackThreads, ConcurrentFetchesAndAnswers) {
  AnsweringHost host;
  std::atomic<int64_t> now{0};
  StorageCallback storage(&host, [&now] { return now.load(); });
  std::thread answer1([&] { host.Serve(storage); });
  std::thread answer2([&] { host.Serve(storage); });

  constexpr int kFetchers = 4;
  constexpr int kDeliveriesEach = 50;
  std::atomic<int> wrong{0};
  std::vector<std::thread> fetchers;
  for (int f = 0; f < kFetchers; ++f) {
    fetchers.emplace_back([&, f] {
      // Two fetchers share each key so that requests for one key meet answers for another.
      const std::string key = "key" + std::to_string(f % 2);
      int delivered = 0;
      while (delivered < kDeliveriesEach) {
        std::vector<uint8_t> out;
        const int code = storage.GetStorageData(key, out);
        if (code == 0 && !out.empty()) {
          if (std::string(out.begin(), out.end()) != key) ++wrong;
          ++delivered;
        }
        std::this_thread::yield();
      }
    });
  }
  for (auto& fetcher : fetchers) fetcher.join();
  host.Stop();
  answer1.join();
  answer2.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
