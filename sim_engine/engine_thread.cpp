#include "engine_thread.h"

#include <utility>

namespace kv_sim {

void EngineThread::Post(std::function<void()> work) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back(std::move(work));
  if (!thread_.joinable()) {
    stopping_ = false;
    thread_ = std::thread([this] { Loop(); });
  }
  wake_.notify_one();
}

void EngineThread::PostAndWait(std::function<void()> work) {
  std::mutex done_mutex;
  std::condition_variable done_signal;
  bool done = false;
  Post([&] {
    work();
    std::lock_guard<std::mutex> lock(done_mutex);
    done = true;
    done_signal.notify_one();
  });
  std::unique_lock<std::mutex> lock(done_mutex);
  done_signal.wait(lock, [&] { return done; });
}

void EngineThread::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return queue_.empty() && !running_; });
}

void EngineThread::Stop() {
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id()) return;
    stopping_ = true;
    wake_.notify_one();
    thread = std::move(thread_);
  }
  thread.join();
}

bool EngineThread::OnThread() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return thread_.get_id() == std::this_thread::get_id();
}

void EngineThread::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) break;  // stopping, and everything has run
    auto work = std::move(queue_.front());
    queue_.pop_front();
    running_ = true;
    lock.unlock();
    work();
    lock.lock();
    running_ = false;
    if (queue_.empty()) idle_.notify_all();
  }
  idle_.notify_all();
}

}  // namespace kv_sim
