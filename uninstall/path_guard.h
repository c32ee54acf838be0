// Decides whether a recorded installation folder may be deleted as a whole. The registry value
// comes from outside this program, so a damaged or hostile value must never make the uninstaller
// erase a drive, the system or a user's own folders.
#pragma once

#include <string>
#include <vector>

namespace uninstall {

// The folders of this machine that must survive, as the system reports them. Empty entries are
// ignored.
struct ProtectedFolders {
  std::vector<std::wstring> folders;  // Windows, system, Program Files, ProgramData, profile...
  std::wstring usersRoot;             // the folder that holds every user profile
};

enum class GuardVerdict {
  kAllowed,
  kNotLocalAbsolute,  // relative, drive-relative, UNC, device or other namespace paths
  kBadComponent,      // "." or ".." or a component made only of dots and blanks
  kDriveRoot,
  kProtected,    // is, or contains, one of the protected folders
  kProfileRoot,  // a direct child of the users root
};

// Judges `path` against `guarded`. Separators may be '\' or '/'; letter case, repeated
// separators and the trailing dots and blanks Windows strips from names are ignored.
GuardVerdict CheckInstallFolder(const std::wstring& path, const ProtectedFolders& guarded);

}  // namespace uninstall
