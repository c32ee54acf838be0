// The heap figures of {"host":"memory"} on Windows: the bytes in use in the C runtime's heap, which
// kv_client, cJSON and the console all allocate from (walked with _heapwalk), and the working set.
#include <windows.h>

#include <malloc.h>
#include <psapi.h>

#include "console.h"

namespace kv_host {

MemoryFigures ReadMemory() {
  MemoryFigures figures;
  _HEAPINFO entry = {};
  int status = _HEAPOK;
  int64_t used = 0;
  while ((status = _heapwalk(&entry)) == _HEAPOK) {
    if (entry._useflag == _USEDENTRY) used += static_cast<int64_t>(entry._size);
  }
  if (status == _HEAPEND || status == _HEAPEMPTY) {
    figures.heapBytes = used;
    figures.heapSource = "C runtime _heapwalk";
  }
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    figures.residentBytes = static_cast<int64_t>(counters.WorkingSetSize);
  }
  return figures;
}

}  // namespace kv_host
