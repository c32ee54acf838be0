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
