#include "self_delete_script.h"

#include "rules.h"

namespace uninstall {
namespace {

constexpr int kRetryLimit = 10;
constexpr wchar_t kPauseCommand[] = L"ping 127.0.0.1";
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
  const bool file = Usable(targets.uninstaller, nameable);
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
    s += kPauseCommand;
    s += kEol;
    s += L"del /Q " + Quoted(targets.uninstaller);
    s += kEol;
    s += L"if exist " + Quoted(targets.uninstaller) + L" goto kovradel";
    s += kEol;
  }
  if (folder) {
    s += L"del /F /S /Q " + Quoted(targets.folder + L"\\*.*") + L" ";
    s += kEol;
    s += L"rd /S /Q " + Quoted(targets.folder);
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
                                   const std::wstring& scriptPath, bool removeFolder) {
  return BuildSelfDeleteScript(
      {uninstallerPath, removeFolder ? FolderOf(uninstallerPath) : std::wstring(), scriptPath},
      [](const std::wstring&) { return true; });
}

}  // namespace uninstall
