// The console host's side of the script host's interface: the output stream, the core thread
// (ICoreDispatcher) and the runner of posted scripts and events (JavaScriptAsyncRunBase).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "kv/kv_client.h"

namespace kv_host {

// Writes whole lines to a stream, one writer at a time (events arrive on engine threads).
class Output {
 public:
  Output(std::FILE* stream, bool pretty) : stream_(stream), pretty_(pretty) {}
  // Prints `value` (a JSON object; ownership taken) as one line, or indented with --pretty.
  void Print(cJSON* value);
  // Prints `value` as one line followed directly by `size` raw bytes (--frame-bytes), so that no
  // other line comes between them.
  void PrintWithBytes(cJSON* value, const void* bytes, size_t size);
  // Prints a JSON text produced elsewhere (re-indented with --pretty).
  void PrintText(const std::string& text);
  void Error(const std::string& why);

 private:
  std::recursive_mutex mutex_;  // a debug line can arrive on a thread that is printing
  std::FILE* stream_;
  bool pretty_;
};

// The core thread: runs dispatched work items one at a time, in order.
class CoreThread : public corvel::ICoreDispatcher {
 public:
  CoreThread();
  ~CoreThread();
  // Runs what is queued, then ends the thread; later work items are not run. Idempotent.
  void Stop();
  void Dispatch(corvel::IDispatchHanler* handler) override;
  // Returns once every item dispatched so far has run.
  void WaitIdle();

 private:
  void Loop();
  std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::deque<corvel::IDispatchHanler*> queue_;
  bool running_ = false, stopping_ = false;
  std::thread thread_;
};

// What kv_client posts to the scripts becomes one output line each; every array and script
// block is freed with kv_client's own functions. Safe from any thread.
class ScriptRunner : public corvel_client_win::JavaScriptAsyncRunBase {
 public:
  explicit ScriptRunner(Output& out) : out_(out) {}
  // --frame-bytes: borrowed bytes follow their event line raw. Set before Init.
  void SetFrameBytes(bool on) { frameBytes_ = on; }
  void AsyncRunScript(char* script) override;
  void AsyncRunReserved() override;
  int AsyncRunFormatted(const wchar_t* name, const wchar_t* format, ...) override;
  void AsyncRun(const char* name, int count, corvel::GenericArray* args) override;

 private:
  Output& out_;
  bool frameBytes_ = false;
};

}  // namespace kv_host
