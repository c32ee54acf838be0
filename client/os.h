// The operating-system seam of kv_client: the few Windows services the bridge uses, behind plain
// functions. os_win.cpp implements them with Win32; os_posix.cpp gives the native test build the
// behaviour of a Windows machine without those facilities.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvel_client::os {

// Writes `text` to the debugger (OutputDebugStringW).
void DebugOutput(const wchar_t* text);

// Formats like swprintf into at most 1023 wide characters (longer output is cut) and writes it
// with DebugOutput.
void DebugPrint(const wchar_t* format, ...);

// Milliseconds since the system started (GetTickCount).
uint32_t TickCount();

// Seconds since 1970-01-01 UTC (_time64).
int64_t Time64();

// The user's application-data folder (CSIDL_APPDATA), or empty when the shell cannot give it.
std::wstring AppDataFolder();
// Whether `path` names an existing file or folder (GetFileAttributesW succeeds).
bool PathExists(const std::wstring& path);
// Creates one folder (CreateDirectoryW); false when it could not.
bool CreateFolder(const std::wstring& path);

// Opens `file` with the shell's "open" verb and show mode 10 (ShellExecuteW). Null `parameters`
// or `directory` pass none. Returns whether the shell accepted it; callers do not report failures.
bool ShellOpen(const std::wstring& file, const wchar_t* parameters, const wchar_t* directory);

// `text` converted from the current locale's multibyte encoding (the ANSI code page on Windows);
// null gives an empty text. Bytes the encoding cannot read become U+FFFD.
std::wstring LocaleToWide(const char* text);

// The system microphone mute of a wave-input device, through the Windows mixer.
// `controlFound`: the device's recording line and its mute control were found; `muted`: the value
// read.
struct MicrophoneMute {
  bool controlFound = false;
  bool muted = false;
};
// The device commands reach the mixer through this interface, so that tests put their own in its
// place and never touch a real microphone.
class MicrophoneMixer {
 public:
  virtual ~MicrophoneMixer() = default;
  // The mute control of wave-input device `deviceIndex` and its value.
  virtual MicrophoneMute Query(int32_t deviceIndex) = 0;
  // Sets the mute control when there is one; returns whether the line and its control were
  // found. The set call's own outcome is not reported.
  virtual bool Set(int32_t deviceIndex, bool mute) = 0;
};
// The machine's own mixer (natively: a machine without a mute control). Lives until the process
// ends.
MicrophoneMixer& SystemMicrophoneMixer();

}  // namespace corvel_client::os
