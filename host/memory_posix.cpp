// The heap figures of {"host":"memory"} on Linux: the allocator's bytes in use (the sanitizer's
// allocator in sanitized builds, glibc's otherwise) and the resident set from /proc.
#include <malloc.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>

#include "console.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KV_HOST_SANITIZER_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KV_HOST_SANITIZER_HEAP 1
#endif
#endif

#if defined(KV_HOST_SANITIZER_HEAP)
// From the sanitizer runtime (declared here: g++ installs no sanitizer headers).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace kv_host {

MemoryFigures ReadMemory() {
  MemoryFigures figures;
#if defined(KV_HOST_SANITIZER_HEAP)
  figures.heapBytes = static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
  figures.heapSource = "sanitizer allocator";
#else
  const struct mallinfo2 info = mallinfo2();
  figures.heapBytes = static_cast<int64_t>(info.uordblks + info.hblkhd);
  figures.heapSource = "glibc mallinfo2";
#endif
  long pages = 0, resident = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  figures.residentBytes = static_cast<int64_t>(resident) * sysconf(_SC_PAGESIZE);
  return figures;
}

}  // namespace kv_host
