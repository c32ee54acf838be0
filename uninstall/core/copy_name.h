// The relaunched copy's name: how the copy is named beside the installed file and recognised.
#pragma once

#include <optional>
#include <string>

namespace uninstall {

// True when `modulePath` names the relaunched copy: it contains "_new.exe" anywhere, in any
// letter case.
bool IsCopyPath(const std::wstring& modulePath);

// The copy's path: `modulePath` without the extension of its last component, plus "_new.exe".
// Empty when the result would not fit kMaxPathChars; the caller then works in the installed file
// instead of writing the copy under a cut name.
std::optional<std::wstring> CopyPathFor(const std::wstring& modulePath);

// The installed file a copy was made from: `copyPath` with its final "_new.exe" (any letter case)
// replaced by ".exe". Empty when the name does not end in the marker.
std::wstring InstalledPathOfCopy(const std::wstring& copyPath);

}  // namespace uninstall
