// Functions of the system's own DLLs looked up at run time, so the program imports nothing that
// older systems or import libraries lack. Windows only.
#pragma once

#include <windows.h>

namespace uninstall {

// The function `name` of the already loaded module `module` as type Fn; null when the module or
// the function is missing.
template <typename Fn>
Fn SystemFunction(const wchar_t* module, const char* name) {
  const HMODULE loaded = ::GetModuleHandleW(module);
  return loaded != nullptr
             ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(loaded, name)))
             : nullptr;
}

}  // namespace uninstall
