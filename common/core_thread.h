// The script host's core thread, shared by the console host and the test programs: work items
// dispatched by kv_client run one at a time, in order, on one thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "kv/kv_client.h"

namespace kv_common {

// The queue of dispatched work items and the loop that runs them. Safe from any thread.
class WorkQueue {
 public:
  // Takes over the reference of `handler` (not null); it runs later, after the items before it.
  void Push(corvel::IDispatchHanler* handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(handler);
    wake_.notify_all();
  }

  // Runs items as they come until Stop, then what is still queued; returns after that.
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      RunFront(lock);
    }
  }

  // Runs every queued item on the calling thread, including those queued meanwhile.
  void RunQueued() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!queue_.empty()) RunFront(lock);
  }

  // Ends Loop once the queue is empty.
  void Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
  }
  // After Loop has returned: the next Loop runs again.
  void Restart() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
  }

  // Returns once every item pushed so far has run.
  void WaitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !running_; });
  }

  // Items run so far.
  int64_t Ran() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ran_;
  }

 private:
  void RunFront(std::unique_lock<std::mutex>& lock) {
    corvel::IDispatchHanler* handler = queue_.front();
    queue_.pop_front();
    running_ = true;
    lock.unlock();
    handler->Run();  // drops kv_client's reference; the handler deletes itself
    lock.lock();
    running_ = false;
    ++ran_;
    if (queue_.empty()) idle_.notify_all();
  }

  mutable std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::deque<corvel::IDispatchHanler*> queue_;
  bool running_ = false, stopping_ = false;
  int64_t ran_ = 0;
};

// A WorkQueue with its own thread, started at construction.
class CoreThread : public corvel::ICoreDispatcher {
 public:
  CoreThread() : thread_([this] { queue_.Loop(); }) {}
  ~CoreThread() { Stop(); }
  CoreThread(const CoreThread&) = delete;
  CoreThread& operator=(const CoreThread&) = delete;

  // Runs what is queued, then ends the thread; later work items are not run. Idempotent.
  void Stop() {
    if (!thread_.joinable()) return;
    queue_.Stop();
    thread_.join();
  }
  void Dispatch(corvel::IDispatchHanler* handler) override {
    if (handler == nullptr) return;  // kv_client could not allocate the item
    queue_.Push(handler);
  }
  // Returns once every item dispatched so far has run.
  void WaitIdle() { queue_.WaitIdle(); }

 private:
  WorkQueue queue_;
  std::thread thread_;
};

}  // namespace kv_common
