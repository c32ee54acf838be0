#include <atomic>
#include <cstdio>
#include <ctime>

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

bool CreateFolder(const std::wstring& /*path*/) { return false; }

// No mixer here: the answers of a machine whose recording line has no mute control.
MicrophoneMute QueryMicrophoneMute(int32_t /*deviceIndex*/) { return {}; }

bool SetMicrophoneMute(int32_t /*deviceIndex*/, bool /*mute*/) { return false; }

}  // namespace corvel_client::os
