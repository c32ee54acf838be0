// The console host: the script host's two objects (JavaScriptAsyncRunBase, ICoreDispatcher) and
// the line interpreter that drives kv_client and the simulated engine. See docs/console.md.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "kv/kv_client.h"
#include "notes.h"

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

struct Options {
  bool pretty = false;
  bool deferInit = false;  // Init waits for {"host":"init"}
  bool quiet = false;      // no {"note":..} lines after commands
  std::string script;      // empty: standard input

  // --frame-bytes: an event's borrowed bytes follow its line raw (docs/console.md).
  bool frameBytes = false;

  // --plain-args: a command's arguments are plain JSON and real byte blocks only; the console's
  // own test forms ({"$nest":N}, {"$bytes":null}, a "count" beside "$bytes") are refused. The
  // development host runs kv_host this way for pages (docs/page-scripts.md).
  bool plainArgs = false;

  // --framed: input is records (4 bytes of text length and 4 of byte count, little-endian, the
  // console line, the bytes) whose {"$bytes":N} and {"$text":N} arguments take the record's bytes
  // in order, so that blocks and long texts are never base64 or JSON (docs/console.md).
  bool framed = false;
};

// The bytes of the --framed record being run, handed out in argument order.
struct Attached {
  const char* data;
  size_t size;
  size_t used;
  // The next `count` bytes; the caller has checked that the record holds them.
  const char* Take(size_t count) {
    const char* at = data + used;
    used += count;
    return at;
  }
};

class Console {
 public:
  explicit Console(const Options& options);
  // Reads lines until the end of input; returns the process exit code.
  int Run(std::FILE* input);
  // One input line (without its newline).
  void Line(const std::string& line);

 private:
  void Command(const cJSON* request);
  void Host(const cJSON* request);
  void Sim(const std::string& line);
  void Init();
  void RunFramed(std::FILE* input);
  int Finish();

  Output out_;
  bool quiet_;
  bool plainArgs_;
  bool framed_;
  Attached* attached_ = nullptr;  // the bytes of the --framed record being run
  CoreThread core_;
  ScriptRunner run_;
  bool initialised_ = false;
  RoomNotes room_notes_;
};

// The process's memory for {"host":"memory"}: bytes in use on the heap that kv_client allocates
// from (-1 when the platform cannot tell) and the resident set.
struct MemoryFigures {
  int64_t heapBytes = -1;
  const char* heapSource = "unavailable";
  int64_t residentBytes = -1;
};
MemoryFigures ReadMemory();

// Routes kv_client's debug output to `out` (kv_set_debug_sink natively; on Windows a vectored
// exception handler observing OutputDebugString, which still reaches a debugger).
void CaptureDebugOutput(Output& out);

// Writes `text` to the debug output the way kv_client does (OutputDebugStringW on Windows, the
// debug sink natively), so that the capture itself can be checked from a script.
void WriteDebugOutput(const std::string& utf8);

}  // namespace kv_host
