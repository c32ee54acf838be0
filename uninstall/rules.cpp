#include "rules.h"

#include <algorithm>

namespace uninstall {
namespace {

constexpr wchar_t kCopyMarker[] = L"_new.exe";

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c; }

}  // namespace

bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool IsCopyPath(const std::wstring& modulePath) {
  std::wstring folded(modulePath);
  std::transform(folded.begin(), folded.end(), folded.begin(), FoldAscii);
  return folded.find(kCopyMarker) != std::wstring::npos;
}

std::optional<std::wstring> CopyPathFor(const std::wstring& modulePath) {
  std::wstring base(modulePath);
  const size_t lastSep = base.find_last_of(L"\\/");
  const size_t dot = base.rfind(L'.');
  // Like PathRemoveExtension: only a dot in the last component starts an extension.
  if (dot != std::wstring::npos && (lastSep == std::wstring::npos || dot > lastSep)) {
    base.resize(dot);
  }
  base += kCopyMarker;
  if (base.size() > kMaxPathChars) return std::nullopt;
  return base;
}

std::wstring InstalledPathOfCopy(const std::wstring& copyPath) {
  const size_t marker = sizeof(kCopyMarker) / sizeof(wchar_t) - 1;
  if (copyPath.size() <= marker ||
      !EqualsIgnoreCase(copyPath.substr(copyPath.size() - marker), kCopyMarker)) {
    return {};
  }
  return copyPath.substr(0, copyPath.size() - marker) + L".exe";
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

std::wstring PercentText(int32_t percent) {
  return L"%" + std::to_wstring(std::clamp<int32_t>(percent, 0, 100));
}

std::optional<OsVersion> VersionFromText(const std::wstring& text) {
  if (text.empty() || text[0] < L'0' || text[0] > L'9') return std::nullopt;
  OsVersion v;
  v.nt = true;
  v.major = uint32_t(text[0] - L'0');
  const size_t dot = text.find(L'.');
  if (dot != std::wstring::npos) {
    for (size_t i = dot + 1; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
      v.minor = v.minor * 10 + uint32_t(text[i] - L'0');
    }
  }
  return v;
}

OsVersion VersionFromPacked(uint32_t packed) {
  OsVersion v;
  v.major = packed & 0xFF;
  v.minor = (packed >> 8) & 0xFF;
  v.nt = v.major > 4;
  return v;
}

bool NeedsTrueVersion(const OsVersion& v) { return v.major > 6 || (v.major == 6 && v.minor >= 2); }

bool UseLegacyTaskScheduler(const OsVersion& v) { return v.major == 5 && v.minor != 0; }

bool IsIdleMessage(uint32_t message) {
  constexpr uint32_t kMouseMove = 0x0200, kNcMouseMove = 0x00A0, kPaint = 0x000F,
                     kSystemTimer = 0x0118;
  return message != kMouseMove && message != kNcMouseMove && message != kPaint &&
         message != kSystemTimer;
}

Point CenterInWorkArea(const Rect& work, int32_t width, int32_t height) {
  Point p{(work.left + work.right) / 2 - width / 2, (work.top + work.bottom) / 2 - height / 2};
  if (p.x + width > work.right) p.x = work.right - width;
  if (p.y + height > work.bottom) p.y = work.bottom - height;
  if (p.x < work.left) p.x = work.left;
  if (p.y < work.top) p.y = work.top;
  return p;
}

}  // namespace uninstall
