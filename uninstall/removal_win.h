// The Windows side of the removal steps: processes, folders, shortcuts, scheduled task, version.
// Every function is silent on failure; results only serve tests and the callers' own choices.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "path_guard.h"
#include "unique_handle.h"

namespace uninstall {

// Full path of this program's module (260 characters); empty on failure.
std::wstring ModulePath();

// True when this 32-bit process runs under WOW64 (IsWow64Process looked up at run time).
bool IsWow64();

// Ends every process that has a module whose final path is `finalPath` (as FinalPathOf gives it;
// letter case aside). Only modules of the same file name are resolved. False when the process
// list could not be taken.
bool TerminateProcessByPath(const std::wstring& finalPath);

// What a folder removal left behind.
struct FolderRemoval {
  bool removed = false;     // the folder itself is gone
  bool registered = false;  // something in it was registered for deletion at restart
};

// Which entries of a folder go.
struct RemovalScope {
  std::wstring expectedFinalPath;       // if set, the folder is touched only with this final path
  std::wstring keep;                    // final path of a file neither deleted nor registered
  std::vector<std::wstring> onlyNames;  // if set, only these plain files directly in the folder
  // Gives a private folder on the folder's volume (MakeScriptFolder) for locked files; empty: none.
  std::function<std::wstring()> parking;
};

// Removes the folder `path` (more than 3 characters, no link itself) with what `scope` allows,
// then the folder itself if it is empty. Every entry is opened relative to its folder's open
// handle without following links, and acted on only while its final path is the one its name
// gives, so nothing reached through a link (or swapped in for a checked name) is ever touched: a
// link is removed itself, never entered. A file with other names (hard links) loses only this
// name and is never changed. A plain file of one name that is in use is moved into the private
// parking folder (renamed through its own handle) and registered for deletion at restart there;
// nothing is ever registered at a path that others could change before the restart.
FolderRemoval RemoveFolder(const std::wstring& path, const RemovalScope& scope);

// RemoveFolder with everything in it; returns whether the folder itself was removed.
bool DeleteFolderTree(const std::wstring& path);

// True when the tree below `finalPath` holds a file named as one of `names` (links not entered).
bool TreeHoldsFileNamed(const std::wstring& finalPath, const std::vector<std::wstring>& names);

// Case-insensitive comparison of two texts of equal length as the file system does it
// (CompareStringOrdinal ignoring case).
bool NamesEqualIgnoreCase(const std::wstring& a, const std::wstring& b);

// Moves the open file `handle` to `target` (an absolute "X:\..." path on its volume, optionally
// behind "\\?\") through the handle, so no name on the way is looked up again; never replaces.
bool MoveOpenFile(HANDLE handle, const std::wstring& target);

// The final path of the open file or folder `handle` ("\\?\X:\..."); empty on failure.
std::wstring FinalPathOfHandle(HANDLE handle);

// The final path of `path` ("\\?\X:\..."): opened with backup semantics (folders too), every link
// and short name resolved. Empty when it cannot be opened or resolved; `isDirectory` then false.
std::wstring FinalPathOf(const std::wstring& path, bool* isDirectory = nullptr);

// The folders of this machine that an installation folder must never be, contain or (Windows)
// lie in: each in its reported spelling and its final path.
ProtectedFolders ProtectedFoldersOfThisMachine();

// The final path of the recorded installation folder `recorded` when it may be removed
// (DecideInstallFolder with this machine's facts; `mainProcessFile` is the edition's main process
// file name); empty otherwise.
std::wstring InstallFolderToRemove(const std::wstring& recorded, const wchar_t* mainProcessFile);

// The final path of the per-user data folder `recorded` when it may be removed (DecideDataFolder
// with this machine's facts); empty otherwise.
std::wstring DataFolderToRemove(const std::wstring& recorded);

// Deletes `subkey` of `root` with everything below it, without following links: under
// HKEY_CLASSES_ROOT a link on the way leaves everything; a link at `subkey` or below is removed
// itself, never its target. `mayDelete`, when given, is asked about the opened key first. True when
// it is gone.
bool DeleteRegistryTree(HKEY root, const std::wstring& subkey,
                        const std::function<bool(HKEY key)>& mayDelete = {});

// The program named by the default value of `key` (a shell command) as a final path; empty when
// the value is missing or names no absolute path that resolves.
std::wstring CommandProgramOf(HKEY key);

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

// Writes this program (`module`) to `copy` for the relaunch and returns the copy open for reading,
// held against writers and renames until the caller has started it and closes the handle. The
// copy is never written through an existing name: a name that exists is removed first only when
// it is a plain file of one name whose bytes are this program's; anything else there, or a copy
// that does not read back as this program, gives an invalid handle (no copy to start).
UniqueFileHandle WriteCopyOfSelf(const std::wstring& module, const std::wstring& copy);

// `name` in the system folder ("C:\Windows\System32\cmd.exe"); empty when it cannot be read.
std::wstring SystemProgram(const wchar_t* name);

// A new private folder for this run (the script, the uninstaller's own file, locked files
// waiting for the restart), made with an access list that lets only administrators and the system
// in, under a fresh name (never an existing folder): in the Windows folder's Temp, or, for
// `onVolumeOf` on another volume, at that volume's root. Empty when none could be made.
std::wstring MakeScriptFolder(const std::wstring& onVolumeOf = {});

// Creates `path` as a new file holding `bytes`; false when the name exists or the write fails.
bool WriteNewFile(const std::wstring& path, const std::string& bytes);

// Starts `script` hidden with the system folder's command processor, by its full path, AutoRun
// and delayed expansion off, in the system folder; `folder` (the script's own) is removed once
// the script has deleted itself. True when the command processor started.
bool RunScript(const std::wstring& script, const std::wstring& folder);

}  // namespace uninstall
