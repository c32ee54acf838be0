// The console host's side of the script host's interface: the output stream and the runner of
// posted scripts and events (JavaScriptAsyncRunBase). The core thread is common/core_thread.h.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "encode.h"
#include "kv/kv_client.h"

namespace kv_host {

// Writes whole lines to a stream, one writer at a time (events arrive on engine threads).
class Output {
 public:
  Output(std::FILE* stream, bool pretty) : stream_(stream), pretty_(pretty) {}
  // Prints `value` (a JSON object; ownership taken) as one line, or indented with --pretty.
  void Print(cJSON* value);
  // Prints `value` as one line followed directly by the raw bytes of `parts` (--frame-bytes,
  // --framed), so that no other line comes between them.
  void PrintWithBytes(cJSON* value, const std::vector<ByteSpan>& parts);
  // Prints a JSON text produced elsewhere (re-indented with --pretty).
  void PrintText(const std::string& text);
  void Error(const std::string& why);

 private:
  std::recursive_mutex mutex_;  // a debug line can arrive on a thread that is printing
  std::FILE* stream_;
  bool pretty_;
};

// What kv_client posts to the scripts becomes one output line each; every array and script
// block is freed with kv_client's own functions. Safe from any thread.
class ScriptRunner : public corvel_client_win::JavaScriptAsyncRunBase {
 public:
  explicit ScriptRunner(Output& out) : out_(out) {}
  // --frame-bytes: borrowed bytes follow their event line raw. Set before Init.
  void SetFrameBytes(bool on) { frameBytes_ = on; }
  // --framed: an event's long texts follow its line raw. Set before Init.
  void SetFramedTexts(bool on) { framedTexts_ = on; }
  void AsyncRunScript(char* script) override;
  void AsyncRunReserved() override;
  int AsyncRunFormatted(const wchar_t* name, const wchar_t* format, ...) override;
  void AsyncRun(const char* name, int count, corvel::GenericArray* args) override;

 private:
  Output& out_;
  bool frameBytes_ = false;
  bool framedTexts_ = false;
};

}  // namespace kv_host
