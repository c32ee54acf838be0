// Text of the hidden command script that removes the uninstaller after its process has ended.
#pragma once

#include <string>

namespace uninstall {

// File name of the script in the temporary folder.
constexpr wchar_t kScriptFileName[] = L"delKovraUninstall.bat";

// `path` with every '%' doubled, so the command processor reads it literally.
std::wstring EscapeForScript(const std::wstring& path);

// The script, lines joined with CR LF and no line end after the last one. It waits for
// `uninstallerPath` to become deletable (at most ten pauses), then, when `removeFolder` is true,
// deletes the uninstaller's folder tree, and finally deletes itself (`scriptPath`). With
// `removeFolder` false it deletes only the uninstaller file and itself.
std::wstring BuildSelfDeleteScript(const std::wstring& uninstallerPath,
                                   const std::wstring& scriptPath, bool removeFolder);

}  // namespace uninstall
