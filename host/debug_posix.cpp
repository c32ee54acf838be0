// Natively kv_client hands its debug output to a sink instead of a debugger.
#include "console.h"
#include "encode.h"

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

}  // namespace kv_host
