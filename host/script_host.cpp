#include "script_host.h"

#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <memory>

#include "encode.h"

namespace kv_host {

namespace {

struct JsonDeleter {
  void operator()(cJSON* item) const { cJSON_Delete(item); }
};
using Json = std::unique_ptr<cJSON, JsonDeleter>;

}  // namespace

void Output::Print(cJSON* value) {
  Json owned(value);
  char* text = pretty_ ? cJSON_Print(value) : cJSON_PrintUnformatted(value);
  if (text == nullptr) return;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::fputs(text, stream_);
    std::fputc('\n', stream_);
    std::fflush(stream_);
  }
  cJSON_free(text);
}

void Output::PrintWithBytes(cJSON* value, const std::vector<ByteSpan>& parts) {
  Json owned(value);
  char* text = cJSON_PrintUnformatted(value);
  if (text == nullptr) return;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::fputs(text, stream_);
    std::fputc('\n', stream_);
    for (const ByteSpan& part : parts) std::fwrite(part.data, 1, part.size, stream_);
    std::fflush(stream_);
  }
  cJSON_free(text);
}

void Output::PrintText(const std::string& text) {
  if (pretty_) {
    if (cJSON* parsed = cJSON_Parse(text.c_str())) return Print(parsed);
  }
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::fputs(text.c_str(), stream_);
  std::fputc('\n', stream_);
  std::fflush(stream_);
}

void Output::Error(const std::string& why) {
  cJSON* line = cJSON_CreateObject();
  cJSON_AddStringToObject(line, "error", why.c_str());
  Print(line);
}

void ScriptRunner::AsyncRunScript(char* script) {
  cJSON* line = cJSON_CreateObject();
  if (script == nullptr) {
    cJSON_AddNullToObject(line, "script");
  } else {
    // The text lies in a 1024-byte block; never read beyond it.
    cJSON_AddStringToObject(line, "script", std::string(script, strnlen(script, 1024)).c_str());
  }
  corvel::LargeMemoryRelease(script);
  out_.Print(line);
}

void ScriptRunner::AsyncRunReserved() { out_.Error("AsyncRunReserved was called"); }

int ScriptRunner::AsyncRunFormatted(const wchar_t* name, const wchar_t* format, ...) {
  wchar_t text[1024] = L"";
  if (format != nullptr) {
    va_list args;
    va_start(args, format);
    std::vswprintf(text, sizeof text / sizeof text[0], format, args);
    va_end(args);
  }
  cJSON* line = cJSON_CreateObject();
  cJSON_AddStringToObject(line, "formatted", WideToUtf8(name).c_str());
  cJSON_AddStringToObject(line, "text", WideToUtf8(text).c_str());
  out_.Print(line);
  return 0;
}

void ScriptRunner::AsyncRun(const char* name, int count, corvel::GenericArray* args) {
  const corvel::GenericItem* bytes = frameBytes_ ? FirstBorrowedBytes(args) : nullptr;
  // --framed: long texts follow the line raw, neither escaped here nor parsed by the reader (an
  // event with a frame keeps them in its line).
  std::vector<ByteSpan> texts;
  cJSON* line = EncodeEvent(name, count, args, framedTexts_ && bytes == nullptr ? &texts : nullptr,
                            bytes);
  if (bytes != nullptr) {
    // The frame is read before the array goes back: the stream's next frame overwrites it.
    cJSON_AddNumberToObject(line, "bytesFollow", bytes->size);
    out_.PrintWithBytes(line, {{static_cast<const char*>(bytes->data),
                                static_cast<size_t>(bytes->size)}});
  } else if (!texts.empty()) {
    size_t size = 0;
    for (const ByteSpan& text : texts) size += text.size;
    cJSON_AddNumberToObject(line, "textsFollow", static_cast<double>(size));
    out_.PrintWithBytes(line, texts);
  } else {
    out_.Print(line);
  }
  corvel::ReleaseGenericArray(args);
}

}  // namespace kv_host
