// On Windows kv_client writes with OutputDebugStringW, which raises DBG_PRINTEXCEPTION_WIDE_C
// (and, when nobody takes that, DBG_PRINTEXCEPTION_C with the ANSI text). A vectored handler sees
// both first; it prints the text and lets the search continue, so a debugger still gets it.
#include <windows.h>

#include "console.h"
#include "encode.h"

#include <string>

#ifndef DBG_PRINTEXCEPTION_WIDE_C
#define DBG_PRINTEXCEPTION_WIDE_C 0x4001000AL
#endif
#ifndef DBG_PRINTEXCEPTION_C
#define DBG_PRINTEXCEPTION_C 0x40010006L
#endif

namespace kv_host {

namespace {

Output* g_out = nullptr;
thread_local bool t_saw_wide = false;  // the ANSI echo of a wide text is not printed twice

void PrintDebug(const std::string& text) {
  cJSON* line = cJSON_CreateObject();
  cJSON_AddStringToObject(line, "debug", text.c_str());
  g_out->Print(line);
}

LONG CALLBACK Observe(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  if (record->ExceptionCode == static_cast<DWORD>(DBG_PRINTEXCEPTION_WIDE_C) &&
      record->NumberParameters >= 2) {
    const auto* text = reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]);
    const size_t length = static_cast<size_t>(record->ExceptionInformation[0]);
    if (text != nullptr) {
      std::wstring copy(text, wcsnlen(text, length));
      PrintDebug(WideToUtf8(copy.c_str()));
      t_saw_wide = true;
    }
  } else if (record->ExceptionCode == static_cast<DWORD>(DBG_PRINTEXCEPTION_C) &&
             record->NumberParameters >= 2) {
    if (t_saw_wide) {
      t_saw_wide = false;
    } else if (const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1])) {
      const size_t length = static_cast<size_t>(record->ExceptionInformation[0]);
      const std::string ansi(text, strnlen(text, length));
      std::wstring wide(ansi.size() + 1, L'\0');
      MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
      PrintDebug(WideToUtf8(wide.c_str()));
    }
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void CaptureDebugOutput(Output& out) {
  g_out = &out;
  AddVectoredExceptionHandler(1, &Observe);
}

void WriteDebugOutput(const std::string& utf8) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  if (size <= 0) return;
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], size);
  OutputDebugStringW(wide.c_str());
}

}  // namespace kv_host
