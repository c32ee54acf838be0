#include "core/path_text.h"

namespace uninstall {

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c; }

bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

std::wstring ProgramOfCommand(const std::wstring& command) {
  size_t start = command.find_first_not_of(L" \t");
  if (start == std::wstring::npos) return {};
  std::wstring program;
  if (command[start] == L'"') {
    const size_t end = command.find(L'"', start + 1);
    if (end == std::wstring::npos) return {};
    program = command.substr(start + 1, end - start - 1);
  } else {
    program = command.substr(start, command.find_first_of(L" \t", start) - start);
  }
  const bool absolute =
      program.size() > 3 &&
      ((program[0] >= L'a' && program[0] <= L'z') || (program[0] >= L'A' && program[0] <= L'Z')) &&
      program[1] == L':' && program[2] == L'\\';
  return absolute ? program : std::wstring();
}

std::wstring FindPattern(const std::wstring& folder) {
  if (!folder.empty() && folder.back() == L'\\') return folder + L"*.*";
  return folder + L"\\*.*";
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t sep = path.rfind(L'\\');
  return sep == std::wstring::npos ? std::wstring() : path.substr(0, sep);
}

}  // namespace uninstall
