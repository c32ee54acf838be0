// The shared library's load hook. Loading does nothing beyond switching off the per-thread
// notifications, which the bridge never needs (engine threads come and go constantly).
#if defined(_WIN32)
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
#endif
