#include "self_delete_script.h"

#include "rules.h"

namespace uninstall {
namespace {

constexpr int kRetryLimit = 10;
constexpr wchar_t kPauseCommand[] = L"ping 127.0.0.1";
constexpr wchar_t kEol[] = L"\r\n";

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

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

std::wstring BuildSelfDeleteScript(const std::wstring& uninstallerPath,
                                   const std::wstring& scriptPath, bool removeFolder) {
  const std::wstring file = EscapeForScript(uninstallerPath);
  const std::wstring folder = EscapeForScript(FolderOf(uninstallerPath));
  std::wstring s;
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
  s += L"del /Q " + Quoted(file);
  s += kEol;
  s += L"if exist " + Quoted(file) + L" goto kovradel";
  s += kEol;
  if (removeFolder) {
    s += L"del /F /S /Q " + Quoted(folder + L"\\*.*") + L" ";
    s += kEol;
    s += L"rd /S /Q " + Quoted(folder);
    s += kEol;
  }
  s += L":kovraend";
  s += kEol;
  s += L"del " + Quoted(EscapeForScript(scriptPath)) + L" /Q";
  return s;
}

}  // namespace uninstall
