#include "path_guard.h"

namespace uninstall {
namespace {

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c; }

bool IsDriveLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

struct Canonical {
  std::wstring text;  // "c:\a\b", folded, single separators, no trailing one
  size_t depth = 0;   // number of components below the drive root
  GuardVerdict error = GuardVerdict::kAllowed;
};

// Brings a "X:\..." path into one spelling so that equal folders compare equal.
Canonical Canonicalize(const std::wstring& raw) {
  Canonical out;
  std::wstring path(raw);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  if (path.size() < 3 || !IsDriveLetter(path[0]) || path[1] != L':' || path[2] != L'\\') {
    out.error = GuardVerdict::kNotLocalAbsolute;
    return out;
  }
  out.text = {FoldAscii(path[0]), L':'};
  size_t pos = 3;
  while (pos <= path.size()) {
    size_t end = path.find(L'\\', pos);
    if (end == std::wstring::npos) end = path.size();
    std::wstring name = path.substr(pos, end - pos);
    pos = end + 1;
    if (name.empty()) continue;  // repeated or trailing separator
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
    if (name.empty() || name.find(L':') != std::wstring::npos) {
      out.error = GuardVerdict::kBadComponent;  // ".", "..", or a stream name
      return out;
    }
    for (wchar_t& c : name) c = FoldAscii(c);
    out.text += L'\\';
    out.text += name;
    ++out.depth;
  }
  return out;
}

// True when `inner` is `outer` or lies below it.
bool IsSameOrBelow(const std::wstring& inner, const std::wstring& outer) {
  if (inner.size() < outer.size() || inner.compare(0, outer.size(), outer) != 0) return false;
  return inner.size() == outer.size() || inner[outer.size()] == L'\\';
}

}  // namespace

GuardVerdict CheckInstallFolder(const std::wstring& path, const ProtectedFolders& guarded) {
  const Canonical dir = Canonicalize(path);
  if (dir.error != GuardVerdict::kAllowed) return dir.error;
  if (dir.depth == 0) return GuardVerdict::kDriveRoot;
  for (const std::wstring& folder : guarded.folders) {
    if (folder.empty()) continue;
    const Canonical kept = Canonicalize(folder);
    if (kept.error != GuardVerdict::kAllowed) continue;
    if (IsSameOrBelow(kept.text, dir.text)) return GuardVerdict::kProtected;
  }
  if (!guarded.usersRoot.empty()) {
    const Canonical users = Canonicalize(guarded.usersRoot);
    if (users.error == GuardVerdict::kAllowed) {
      if (IsSameOrBelow(users.text, dir.text)) return GuardVerdict::kProtected;
      if (dir.depth == users.depth + 1 && IsSameOrBelow(dir.text, users.text)) {
        return GuardVerdict::kProfileRoot;
      }
    }
  }
  return GuardVerdict::kAllowed;
}

}  // namespace uninstall
