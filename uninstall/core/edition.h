// The client editions whose traces the uninstaller removes, and every per-edition name it uses.
// Portable: plain tables and string building, no Windows headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The installed client's edition. The uninstaller always works on Student; the other rows exist
// because the names are still chosen through the edition.
enum Edition : int32_t { Student = 0, Teacher = 1, Admin = 2, Assistant = 3 };

namespace uninstall {

// One row of the edition table; all pointers are static strings.
struct EditionNames {
  Edition edition;
  const wchar_t* uninstallKeyName;
  const wchar_t* mainProcessFile;
  const wchar_t* shortcutName;
  const wchar_t* uninstallShortcutName;
};

// The names of `edition`; an unknown value falls back to Student's row.
const EditionNames& NamesOf(Edition edition);

// The HKEY_LOCAL_MACHINE path of the edition's uninstall key in the registry view of a 32-bit
// process (`wow64` true: the 32-bit view on 64-bit Windows).
std::wstring UninstallKeyPath(Edition edition, bool wow64);

// The HKEY_CLASSES_ROOT URL-protocol command key removed for `edition`, or nullptr when the
// edition owns none. The pairing is reversed under WOW64, as the installer registered it.
const wchar_t* UrlProtocolCommandKey(Edition edition, bool wow64);

// File names of the edition's own programs, as the process step looks for them: the main process
// file, then the helpers every edition ships.
std::vector<std::wstring> ProgramFileNames(Edition edition);

// The main process file of every edition: a folder that holds one holds an installation.
std::vector<std::wstring> MainProcessFilesOfAllEditions();

// The name the installer gives the edition's own installation folder (its uninstall key name).
// Only a folder of that name is removed with everything in it.
const wchar_t* ProductFolderName(Edition edition);

// Full paths of the processes to end: installDir, one backslash, file name, in list order. The
// backslash is appended as is, so a trailing separator in installDir matches no module path.
std::vector<std::wstring> ProcessTargets(Edition edition, const std::wstring& installDir);

// "<folder>\<name>.lnk".
std::wstring ShortcutPath(const std::wstring& folder, const std::wstring& name);

}  // namespace uninstall
