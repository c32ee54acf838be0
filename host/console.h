// The console host's line interpreter: drives kv_client and the simulated engine through the
// script host's two objects (script_host.h). See docs/console.md.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core_thread.h"
#include "kv/kv_client.h"
#include "notes.h"
#include "script_host.h"

namespace kv_host {

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
  kv_common::CoreThread core_;
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
