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

// The user's application-data folder (CSIDL_APPDATA), or empty when the shell cannot give it.
std::wstring AppDataFolder();
// Whether `path` names an existing file or folder (GetFileAttributesW succeeds).
bool PathExists(const std::wstring& path);
// Creates one folder (CreateDirectoryW); false when it could not.
bool CreateFolder(const std::wstring& path);

// The system microphone mute of wave-input device `deviceIndex`, through the Windows mixer.
// `controlFound`: the recording line and its mute control were found; `muted`: the value read.
struct MicrophoneMute {
  bool controlFound = false;
  bool muted = false;
};
MicrophoneMute QueryMicrophoneMute(int32_t deviceIndex);
// Sets the mute control when there is one; returns whether the line and its control were found.
// The set call's own outcome is not reported.
bool SetMicrophoneMute(int32_t deviceIndex, bool mute);

}  // namespace corvel_client::os
