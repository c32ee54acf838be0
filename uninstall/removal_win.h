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

// The folders of this machine and user that an installation folder must never be or contain.
ProtectedFolders ProtectedFoldersOfThisMachine();

// True when `dir` may be deleted as a whole: the guard accepts both its recorded spelling and its
// resolved long form.
bool IsRemovableInstallFolder(const std::wstring& dir);

// Deletes the desktop shortcut and the start-menu product folder's two shortcuts, then the
// product and maker folders when they are empty.
void RemoveShortcutSet(const wchar_t* shortcutName, const wchar_t* uninstallShortcutName);

// Task Scheduler 2.0 / 1.0 deletion of a task in the root folder; true on success.
bool DeleteScheduledTask(const wchar_t* name);
bool DeleteLegacyScheduledTask(const wchar_t* name);

// Fills `record` with the system version (size 276); always true.
bool GetOsVersion(OSVERSIONINFOW* record);

// `text` in the system's ANSI code page, sized from the conversion's own length query (never
// cut); empty when the conversion fails.
std::string ToAnsi(const std::wstring& text);

// Starts `path` without waiting (command line: the path in double quotes); true on success.
bool RunProgram(const std::wstring& path);

}  // namespace uninstall
