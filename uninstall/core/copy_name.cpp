#include "core/copy_name.h"

#include <algorithm>

#include "core/path_text.h"

namespace uninstall {
namespace {

constexpr wchar_t kCopyMarker[] = L"_new.exe";

}  // namespace

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

}  // namespace uninstall
