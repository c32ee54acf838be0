// The seam's processes: this program's file, WOW64, ending the product's processes, starting
// programs, the copy for the relaunch and the named mutexes. Silent on failure.
#pragma once

#include <cstdint>
#include <string>

#include "os_win/unique_handle.h"

namespace uninstall {

// Full path of this program's module (260 characters); empty on failure.
std::wstring ModulePath();

// True when this 32-bit process runs under WOW64 (IsWow64Process looked up at run time, once).
bool IsWow64();

// Ends every process that has a module whose final path is `finalPath` (as FinalPathOf gives it;
// letter case aside). Only modules of the same file name are resolved. False when the process
// list could not be taken.
bool TerminateProcessByPath(const std::wstring& finalPath);

// Starts `path` without waiting (command line: the path in double quotes); true on success.
bool RunProgram(const std::wstring& path);

// Writes this program (`module`) to `copy` for the relaunch and returns the copy open for reading,
// held against writers and renames until the caller has started it and closes the handle. The
// copy is never written through an existing name: a name that exists is removed first only when
// it is a plain file of one name whose bytes are this program's; anything else there, or a copy
// that does not read back as this program, gives an invalid handle (no copy to start).
UniqueFileHandle WriteCopyOfSelf(const std::wstring& module, const std::wstring& copy);

// `name` in the system folder ("C:\Windows\System32\cmd.exe"); empty when it cannot be read.
std::wstring SystemProgram(const wchar_t* name);

// Creates the named mutex; empty (and the handle closed) when it already existed.
UniqueHandle CreateFreshMutex(const wchar_t* name);

// Milliseconds since the system started (wraps after 49.7 days; compare differences).
uint32_t TickCount();

// Sleeps the calling thread.
void Pause(uint32_t milliseconds);

}  // namespace uninstall
