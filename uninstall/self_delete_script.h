// Text of the hidden command script that removes the uninstaller after its process has ended.
#pragma once

#include <string>

namespace uninstall {

// File name of the script in the temporary folder.
constexpr wchar_t kScriptFileName[] = L"delKovraUninstall.bat";

// True when `path` reaches the command processor exactly as written: the script's code page holds
// every character of it without substitutes or look-alikes.
using NameableInScript = bool (*)(const std::wstring& path);

// `path` with every '%' doubled, so the command processor reads it literally.
std::wstring EscapeForScript(const std::wstring& path);

// What the script removes. Paths are written as given; empty ones are left out.
struct ScriptTargets {
  std::wstring uninstaller;  // the running uninstaller file, deleted once the process is gone
  std::wstring folder;       // its folder, removed with everything in it after the file is gone
  std::wstring script;       // the script itself, deleted last
};

// The script, lines joined with CR LF and no line end after the last one. It waits for the
// uninstaller file to become deletable (at most ten pauses), then removes the folder tree, and
// finally deletes itself. A path that `nameable` refuses gets no deleting line: the script never
// names what it cannot name exactly (without the uninstaller file, the folder lines go too).
// Empty when nothing is left to delete.
std::wstring BuildSelfDeleteScript(const ScriptTargets& targets, NameableInScript nameable);

// The same with the folder taken from `uninstallerPath` (cut at its last backslash) when
// `removeFolder` is true, every path taken as nameable: the plain text, for callers that judge
// the paths themselves.
std::wstring BuildSelfDeleteScript(const std::wstring& uninstallerPath,
                                   const std::wstring& scriptPath, bool removeFolder);

}  // namespace uninstall
