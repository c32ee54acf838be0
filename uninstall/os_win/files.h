// The seam's files: final paths, moving and writing files through handles, the private run folder
// and the hidden command script. Silent on failure; results serve tests and the callers' choices.
#pragma once

#include <windows.h>

#include <string>

#include "os_win/unique_handle.h"

namespace uninstall {

// Case-insensitive comparison of two texts of equal length as the file system does it
// (CompareStringOrdinal ignoring case).
bool NamesEqualIgnoreCase(const std::wstring& a, const std::wstring& b);

// Moves the open file `handle` to `target` (an absolute "X:\..." path on its volume, optionally
// behind "\\?\") through the handle, so no name on the way is looked up again; never replaces.
bool MoveOpenFile(HANDLE handle, const std::wstring& target);

// Moves `path` to `target` as MoveOpenFile does, only when it is a plain file of one name (no
// folder, no link); false, moving nothing, otherwise.
bool MovePlainFile(const std::wstring& path, const std::wstring& target);

// The final path of the open file or folder `handle` ("\\?\X:\..."); empty on failure.
std::wstring FinalPathOfHandle(HANDLE handle);

// The final path of `path` ("\\?\X:\..."): opened with backup semantics (folders too), every link
// and short name resolved. Empty when it cannot be opened or resolved; `isDirectory` then false.
std::wstring FinalPathOf(const std::wstring& path, bool* isDirectory = nullptr);

// A new private folder for this run (the script, the uninstaller's own file, locked files
// waiting for the restart), made with an access list that lets only administrators and the system
// in, under a fresh name (never an existing folder): in the Windows folder's Temp, or, for
// `onVolumeOf` on another volume, at that volume's root. Empty when none could be made.
std::wstring MakeScriptFolder(const std::wstring& onVolumeOf = {});

// Creates `path` as a new file holding `bytes`; false when the name exists or the write fails.
bool WriteNewFile(const std::wstring& path, const std::string& bytes);

// Deletes the file `path`; removes the folder `path` if it is empty; registers `path` for
// deletion at the next restart. Each ignores a failure.
void DeleteFileAt(const std::wstring& path);
void RemoveEmptyFolder(const std::wstring& path);
void RemoveAtRestart(const std::wstring& path);

// `text` in the system's ANSI code page, sized from the conversion's own length query (never
// cut), without best-fit look-alikes; empty when the conversion fails or is not exact.
std::string ToAnsi(const std::wstring& text);

// True when a script written in the ANSI code page names `path` exactly for the command
// processor: the conversion is exact, and any byte outside ASCII means the same in the console's
// (OEM) code page, in which the command processor reads its scripts; and it holds no "!", which
// delayed expansion would change.
bool IsNameableInScript(const std::wstring& path);

// Starts `script` hidden with the system folder's command processor, by its full path, AutoRun
// and delayed expansion off, in the system folder; `folder` (the script's own) is removed once
// the script has deleted itself. True when the command processor started.
bool RunScript(const std::wstring& script, const std::wstring& folder);

}  // namespace uninstall
