// The seam's side of the path guard: this machine's protected folders, and the final paths of the
// installation and data folders once the guard has approved them.
#pragma once

#include <string>

#include "core/path_guard.h"

namespace uninstall {

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

}  // namespace uninstall
