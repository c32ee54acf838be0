#include "core/self_delete_script.h"

#include "core/path_text.h"

namespace uninstall {
namespace {

constexpr int kRetryLimit = 10;
// The pause: four echo requests to this machine, about three seconds.
constexpr wchar_t kPauseArguments[] = L" 127.0.0.1";
constexpr wchar_t kEol[] = L"\r\n";

std::wstring Quoted(const std::wstring& text) { return L"\"" + EscapeForScript(text) + L"\""; }

bool Usable(const std::wstring& path, NameableInScript nameable) {
  return !path.empty() && nameable(path);
}

}  // namespace

std::wstring EscapeForScript(const std::wstring& path) {
  std::wstring out;
  out.reserve(path.size());
  for (wchar_t c : path) {
    out += c;
    if (c == L'%') out += L'%';
  }
  return out;
}

std::wstring BuildSelfDeleteScript(const ScriptTargets& targets, NameableInScript nameable) {
  const bool file = Usable(targets.uninstaller, nameable) && Usable(targets.ping, nameable);
  const bool folder = file && Usable(targets.folder, nameable);
  const bool self = Usable(targets.script, nameable);
  if (!file && !self) return {};
  std::wstring s;
  if (file) {
    s += L"set num=0";
    s += kEol;
    s += L":kovradel";
    s += kEol;
    s += L"set /a num+=1";
    s += kEol;
    s += L"if %num% GTR " + std::to_wstring(kRetryLimit) + L" goto kovraend";
    s += kEol;
    s += Quoted(targets.ping) + kPauseArguments;
    s += kEol;
    s += L"del /Q " + Quoted(targets.uninstaller);
    s += kEol;
    s += L"if exist " + Quoted(targets.uninstaller) + L" goto kovradel";
    s += kEol;
  }
  if (folder) {
    // Not recursive: a link or a person's file that appeared since the worker ran keeps it.
    s += L"rd " + Quoted(targets.folder);
    s += kEol;
  }
  s += L":kovraend";
  if (self) {
    s += kEol;
    s += L"del " + Quoted(targets.script) + L" /Q";
  }
  return s;
}

std::wstring BuildSelfDeleteScript(const std::wstring& uninstallerPath,
                                   const std::wstring& scriptPath, const std::wstring& ping,
                                   bool removeFolder) {
  return BuildSelfDeleteScript(
      {uninstallerPath, removeFolder ? FolderOf(uninstallerPath) : std::wstring(), scriptPath,
       ping},
      [](const std::wstring&) { return true; });
}

}  // namespace uninstall
