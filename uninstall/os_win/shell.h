// The seam's shell: special and known folders, the per-user data folder and the shortcuts.
#pragma once

#include <windows.h>

#include <string>

namespace uninstall {

// The folder `csidl` as SHGetFolderPathW reports it now; empty on failure.
std::wstring FolderPath(int csidl);

// A known folder by id, looked up at run time so older import libraries suffice; empty on failure.
std::wstring KnownFolder(const GUID& id);

// "<the user's roaming application data folder>\<name>", never created; empty when the folder is
// not set or the result would not fit.
std::wstring UserDataFolder(const wchar_t* name);

// Deletes the desktop shortcut and the start-menu product folder's two shortcuts, then the
// product and maker folders when they are empty.
void RemoveShortcutSet(const wchar_t* shortcutName, const wchar_t* uninstallShortcutName);

}  // namespace uninstall
