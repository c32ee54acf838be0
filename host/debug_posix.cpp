// Natively kv_client hands its debug output to a sink instead of a debugger.
#include "console.h"
#include "encode.h"

#include <string>

namespace kv_host {

namespace {
Output* g_out = nullptr;

void Sink(const wchar_t* text) {
  cJSON* line = cJSON_CreateObject();
  cJSON_AddStringToObject(line, "debug", WideToUtf8(text).c_str());
  g_out->Print(line);
}
}  // namespace

void CaptureDebugOutput(Output& out) {
  g_out = &out;
  kv_set_debug_sink(&Sink);
}

void WriteDebugOutput(const std::string& utf8) {
  // Natively kv_client hands wide texts to the sink; the console's texts are ASCII-safe here.
  std::wstring wide;
  for (const unsigned char c : utf8) wide += static_cast<wchar_t>(c < 0x80 ? c : 0xFFFD);
  Sink(wide.c_str());
}

}  // namespace kv_host
