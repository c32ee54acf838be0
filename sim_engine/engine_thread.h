// One engine thread: runs posted work items in order, as the real engine's event threads would
// call kv_client. Started on first use, joined by Stop or the destructor.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kv_sim {

class EngineThread {
 public:
  EngineThread() = default;
  ~EngineThread() { Stop(); }
  EngineThread(const EngineThread&) = delete;
  EngineThread& operator=(const EngineThread&) = delete;

  // Queues `work`; it runs after everything queued before it. Work must not throw.
  void Post(std::function<void()> work);
  // Queues `work` and returns once it has run. Must not be called from this thread itself.
  void PostAndWait(std::function<void()> work);
  // Returns once everything queued so far has run.
  void WaitIdle();
  // Runs what is queued, then ends the thread. Later posts start it again.
  void Stop();
  // True on this engine thread (work that waits for the thread must not run on it).
  bool OnThread() const;

 private:
  void Loop();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::function<void()>> queue_;
  bool running_ = false;  // an item is being run
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace kv_sim
