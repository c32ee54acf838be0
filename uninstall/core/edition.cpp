#include "core/edition.h"

#include <iterator>

namespace uninstall {
namespace {

constexpr EditionNames kEditions[] = {
    {Student, L"KovraPravik", L"KovraPravik.exe", L"KovraPravik", L"卸载KovraPravik"},
    {Teacher, L"KovraPravik_Teacher", L"Kovrapravik_Teacher.exe", L"KovraPravik教师版",
     L"卸载KovraPravik教师版"},
    {Admin, L"KovraPravik_Admin", L"KovrapravikAdmin.exe", L"KovraPravik管理员版",
     L"卸载KovraPravik管理员版"},
    {Assistant, L"KovraPravik_Assistant", L"KovrapravikAssistant.exe", L"KovraPravik助教版",
     L"卸载KovraPravik助教版"},
};

constexpr const wchar_t* kUninstallRoot =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const wchar_t* kUninstallRootWow64 =
    L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

constexpr const wchar_t* kUrlCommandQpx = L"qpx\\shell\\open\\command";
constexpr const wchar_t* kUrlCommandQpxt = L"qpxt\\shell\\open\\command";

// The helper processes every edition ships beside its main program.
constexpr const wchar_t* kHelperProcesses[] = {L"crash_server.exe", L"KovraUpdate.exe"};

}  // namespace

const EditionNames& NamesOf(Edition edition) {
  for (const EditionNames& row : kEditions) {
    if (row.edition == edition) return row;
  }
  return kEditions[0];
}

std::wstring UninstallKeyPath(Edition edition, bool wow64) {
  return std::wstring(wow64 ? kUninstallRootWow64 : kUninstallRoot) +
         NamesOf(edition).uninstallKeyName;
}

const wchar_t* UrlProtocolCommandKey(Edition edition, bool wow64) {
  switch (edition) {
    case Student:
      return wow64 ? kUrlCommandQpxt : kUrlCommandQpx;
    case Teacher:
      return wow64 ? kUrlCommandQpx : kUrlCommandQpxt;
    default:
      return nullptr;
  }
}

std::vector<std::wstring> ProgramFileNames(Edition edition) {
  std::vector<std::wstring> names{NamesOf(edition).mainProcessFile};
  names.insert(names.end(), std::begin(kHelperProcesses), std::end(kHelperProcesses));
  return names;
}

std::vector<std::wstring> MainProcessFilesOfAllEditions() {
  std::vector<std::wstring> names;
  for (const EditionNames& row : kEditions) names.push_back(row.mainProcessFile);
  return names;
}

const wchar_t* ProductFolderName(Edition edition) { return NamesOf(edition).uninstallKeyName; }

std::vector<std::wstring> ProcessTargets(Edition edition, const std::wstring& installDir) {
  std::vector<std::wstring> targets;
  for (const std::wstring& file : ProgramFileNames(edition))
    targets.push_back(installDir + L"\\" + file);
  return targets;
}

std::wstring ShortcutPath(const std::wstring& folder, const std::wstring& name) {
  return folder + L"\\" + name + L".lnk";
}

}  // namespace uninstall
