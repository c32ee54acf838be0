// The Windows side of the removal steps: processes, folders, shortcuts, scheduled task, version.
// Every function is silent on failure; results only serve tests and the callers' own choices.
#pragma once

#include <windows.h>

#include <string>

#include "path_guard.h"

namespace uninstall {

// Full path of this program's module (260 characters); empty on failure.
std::wstring ModulePath();

// True when this 32-bit process runs under WOW64 (IsWow64Process looked up at run time).
bool IsWow64();

// Ends every process that has a module loaded from exactly `path` (case-insensitive). False when
// the process list could not be taken.
bool TerminateProcessByPath(const std::wstring& path);

// Deletes `path` with its contents; files that cannot be deleted are registered for deletion at
// restart. Paths of 3 characters or fewer are refused. A link (reparse point) is removed as a link,
// never entered. Returns whether the folder itself was removed.
bool DeleteFolderTree(const std::wstring& path);

// True when the tree below `path` holds a junction or symbolic link (links are not entered).
bool ContainsLink(const std::wstring& path);

// Case-insensitive comparison of two texts of equal length as the file system does it
// (CompareStringOrdinal ignoring case).
bool NamesEqualIgnoreCase(const std::wstring& a, const std::wstring& b);

// The final path of `path` ("\\?\X:\..."): opened with backup semantics (folders too), every link
// and short name resolved. Empty when it cannot be opened or resolved; `isDirectory` then false.
std::wstring FinalPathOf(const std::wstring& path, bool* isDirectory = nullptr);

// The folders of this machine that an installation folder must never be, contain or (Windows)
// lie in: each in its reported spelling and its final path.
ProtectedFolders ProtectedFoldersOfThisMachine();

// The final path of the recorded installation folder `recorded` when it may be removed as a whole
// (DecideInstallFolder with this machine's facts; `mainProcessFile` is the edition's main process
// file name); empty otherwise.
std::wstring InstallFolderToRemove(const std::wstring& recorded, const wchar_t* mainProcessFile);

// Deletes the desktop shortcut and the start-menu product folder's two shortcuts, then the
// product and maker folders when they are empty.
void RemoveShortcutSet(const wchar_t* shortcutName, const wchar_t* uninstallShortcutName);

// Task Scheduler 2.0 / 1.0 deletion of a task in the root folder; true on success.
bool DeleteScheduledTask(const wchar_t* name);
bool DeleteLegacyScheduledTask(const wchar_t* name);

// Fills `record` with the system version (size 276); always true.
bool GetOsVersion(OSVERSIONINFOW* record);

// `text` in the system's ANSI code page, sized from the conversion's own length query (never
// cut), without best-fit look-alikes; empty when the conversion fails or is not exact.
std::string ToAnsi(const std::wstring& text);

// True when a script written in the ANSI code page names `path` exactly for the command
// processor: the conversion is exact, and any byte outside ASCII means the same in the console's
// (OEM) code page, in which the command processor reads its scripts; and it holds no "!", which
// delayed expansion would change.
bool IsNameableInScript(const std::wstring& path);

// Starts `path` without waiting (command line: the path in double quotes); true on success.
bool RunProgram(const std::wstring& path);

}  // namespace uninstall
