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
  std::wstring folder;       // its folder, removed once the file is gone if nothing else is left
  std::wstring script;       // the script itself, deleted last
  std::wstring ping;         // full path of the system's ping program, the pause between tries
};

// The script, lines joined with CR LF and no line end after the last one. It waits for the
// uninstaller file to become deletable (at most ten pauses), then removes the folder if it is
// empty by then, and finally deletes itself. Nothing is deleted recursively: the worker has
// removed everything else, and what is left (a link, a locked file, a person's file) stays. A
// path that `nameable` refuses gets no line: the script never names what it cannot name exactly
// (without the uninstaller file or the pause program, the waiting and folder lines go too).
// Empty when nothing is left to delete.
std::wstring BuildSelfDeleteScript(const ScriptTargets& targets, NameableInScript nameable);

// The same with the folder taken from `uninstallerPath` (cut at its last backslash) when
// `removeFolder` is true, every path taken as nameable: the plain text, for callers that judge
// the paths themselves.
std::wstring BuildSelfDeleteScript(const std::wstring& uninstallerPath,
                                   const std::wstring& scriptPath, const std::wstring& ping,
                                   bool removeFolder);

}  // namespace uninstall
