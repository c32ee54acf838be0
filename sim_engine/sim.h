// The simulated engine's process-wide state: the scripted state, the engine threads, and the
// pointers kv_client handed over (callbacks, core dispatcher, storage callback).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine_thread.h"
#include "json.h"
#include "kv/engine.h"
#include "state.h"

namespace kv_sim {

// A repeating engine activity (a video test pattern, a playback): calls `tick` every `period_ms`
// on its own thread until stopped.
class Ticker {
 public:
  ~Ticker() { Stop(); }
  template <class F>
  void Start(int period_ms, F tick) {
    Stop();
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = false;
    thread_ = std::thread([this, period_ms, tick]() mutable {
      std::unique_lock<std::mutex> guard(mutex_);
      for (int64_t n = 0; !stop_; ++n) {
        guard.unlock();
        tick(n);
        guard.lock();
        wake_.wait_for(guard, std::chrono::milliseconds(period_ms), [this] { return stop_; });
      }
    });
  }
  void Stop() {
    std::thread thread;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
      wake_.notify_all();
      if (thread_.get_id() == std::this_thread::get_id()) return;
      thread = std::move(thread_);
    }
    if (thread.joinable()) thread.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = true;
  std::thread thread_;
};

class Sim {
 public:
  static Sim& Get();

  State state;
  EngineThread events;  // scripted events and classroom replies, in order
  Ticker video;         // classroom: the camera test pattern (stream 0)
  Ticker playback;      // classroom: a playing medium (stream 1000, stored-data requests)

  std::atomic<corvel::CorvelEngine*> engine{nullptr};
  std::atomic<corvel::CorvelCallback*> callback{nullptr};
  std::atomic<corvel::CorvelMediaCallBack*> media{nullptr};
  std::atomic<corvel::CorvelStorageCallback*> storage{nullptr};
  std::atomic<corvel::ICoreDispatcher*> dispatcher{nullptr};

  // Stops every engine thread after running what is queued. The engine keeps its pointers.
  void StopThreads();
  // Forgets the pointers (the engine object was deleted).
  void ForgetPointers();
};

// Journals one call on the calling thread and returns its scripted reply.
Reply Call(const char* op, cJSON* args, const char* device = nullptr);
// A JSON array of the given items (ownership taken).
cJSON* Args(std::initializer_list<cJSON*> items);
// How a pointer argument is journaled: true when set, null when null.
cJSON* PointerArg(const void* pointer);

// Classroom reactions to calls (no-ops when the classroom mode is off).
// The class's answer to a live call the engine accepted (`code` 0 or more), `args` as journaled:
// the code to return (negative when the class refuses it); `code` outside the classroom mode.
int ClassroomLive(const std::string& op, const cJSON* args, int code);
// An emitted event (another participant's act) changes the class as it would a real one.
void ClassroomHeard(const std::string& event, const cJSON* args);
// Held: the class's events wait for ClassroomRelease ({"sim":"wait"}), so that scripts comparing
// output lines see them at a fixed place.
void ClassroomHold(bool on);
void ClassroomRelease();
// Forgets the class and what it held.
void ClassroomReset();
void ClassroomOpenMedia(const corvel::EnterRoomConfig& config);
void ClassroomPlay(bool on);
int64_t ClassroomPosition();
void ClassroomSeek(int64_t position);

// Replies of emits that did not wait, once everything queued has run; one line each.
std::string TakePendingReplies();

// Runs one "sim" control request; returns its reply lines (none: empty text).
std::string Control(const cJSON* request);
// The "emit" request; null when it did not wait.
Json Emit(const cJSON* request);
// The names Emit knows, in the engine's declaration order.
std::vector<std::string> EventNames();

}  // namespace kv_sim
