#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <mutex>
#include <utility>

#include "kv/kv_client.h"
#include "os.h"

namespace {
std::atomic<void (*)(const wchar_t*)> g_debug_sink{nullptr};
}

extern "C" void kv_set_debug_sink(void (*sink)(const wchar_t* text)) { g_debug_sink = sink; }

namespace corvel_client::os {

void DebugOutput(const wchar_t* text) {
  if (auto sink = g_debug_sink.load()) {
    sink(text);
  } else {
    std::fprintf(stderr, "%ls", text);
  }
}

int64_t Time64() { return static_cast<int64_t>(std::time(nullptr)); }

uint32_t TickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u + now.tv_nsec / 1000000);
}

}  // namespace corvel_client::os

namespace corvel_client::os {

// The native build stands for a Windows machine without a shell folder: the log folder falls back
// to its relative form and nothing is created on the Linux file system.
std::wstring AppDataFolder() { return std::wstring(); }

bool PathExists(const std::wstring& /*path*/) { return false; }

namespace {

std::mutex g_refused_lock;
std::vector<std::wstring>& RefusedCalls() {
  static auto* calls = new std::vector<std::wstring>();  // never destroyed: callable at exit
  return *calls;
}

void Refuse(std::wstring call) {
  std::lock_guard<std::mutex> hold(g_refused_lock);
  RefusedCalls().push_back(std::move(call));
}

}  // namespace

bool CreateFolder(const std::wstring& path) {
  Refuse(L"create " + path);
  return false;
}

bool ShellOpen(const std::wstring& file, const wchar_t* parameters, const wchar_t* directory) {
  Refuse(L"open " + file + L"|" + (parameters ? parameters : L"") + L"|" +
         (directory ? directory : L""));
  return false;
}

// The test hook of tests/harness/refused_shell_calls.h.
std::vector<std::wstring> TakeRefusedShellCalls() {
  std::lock_guard<std::mutex> hold(g_refused_lock);
  std::vector<std::wstring> calls;
  calls.swap(RefusedCalls());
  return calls;
}

std::wstring LocaleToWide(const char* text) {
  std::wstring wide;
  if (text == nullptr) return wide;
  std::mbstate_t state{};
  const char* at = text;
  size_t left = std::strlen(text);
  while (left > 0) {
    wchar_t c = 0;
    const size_t used = std::mbrtowc(&c, at, left, &state);
    if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
      wide.push_back(L'\xFFFD');
      state = std::mbstate_t{};
      ++at;
      --left;
      continue;
    }
    wide.push_back(c);
    at += used;
    left -= used;
  }
  return wide;
}

namespace {

// No mixer here: the answers of a machine whose recording line has no mute control.
class NoMixer : public MicrophoneMixer {
 public:
  MicrophoneMute Query(int32_t /*deviceIndex*/) override { return {}; }
  bool Set(int32_t /*deviceIndex*/, bool /*mute*/) override { return false; }
};

}  // namespace

MicrophoneMixer& SystemMicrophoneMixer() {
  static auto* mixer = new NoMixer();  // never destroyed: device wrappers outlive statics
  return *mixer;
}

}  // namespace corvel_client::os
