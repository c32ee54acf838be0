// The operating-system seam of kv_client: the few Windows services the bridge uses, behind plain
// functions. os_win.cpp implements them with Win32; os_posix.cpp gives the native test build the
// behaviour of a Windows machine without those facilities.
#pragma once

#include <cstdint>
#include <string>

namespace corvel_client::os {

// Writes `text` to the debugger (OutputDebugStringW).
void DebugOutput(const wchar_t* text);

// Formats like swprintf into at most 1023 wide characters (longer output is cut) and writes it
// with DebugOutput.
void DebugPrint(const wchar_t* format, ...);

// Milliseconds since the system started (GetTickCount).
uint32_t TickCount();

}  // namespace corvel_client::os
