#include <windows.h>

#include "os.h"

namespace corvel_client::os {

void DebugOutput(const wchar_t* text) { OutputDebugStringW(text); }

uint32_t TickCount() { return GetTickCount(); }

}  // namespace corvel_client::os
