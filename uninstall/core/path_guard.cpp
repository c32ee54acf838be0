#include "core/path_guard.h"

namespace uninstall {

const wchar_t* const kProfileFolders[9] = {
    L"Desktop", L"Documents", L"Downloads",        L"Pictures",      L"Music",
    L"Videos",  L"AppData",   L"AppData\\Roaming", L"AppData\\Local"};

namespace {

bool IsDriveLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

struct Canonical {
  std::wstring text;                // "c:\a\b": one separator between names, none at the end
  std::vector<std::wstring> names;  // the components below the drive root
  bool exact = true;                // no name lost a trailing dot or blank on the way
  GuardVerdict error = GuardVerdict::kAllowed;
};

// Brings a path into one spelling so that equal folders compare equal: "X:\...", optionally
// behind a `\\?\` or `\\.\` prefix. Anything else is not a local folder.
Canonical Canonicalize(const std::wstring& raw) {
  Canonical out;
  std::wstring path(raw);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  if (path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0) {
    path.erase(0, 4);
  }
  if (path.size() < 3 || !IsDriveLetter(path[0]) || path[1] != L':' || path[2] != L'\\') {
    out.error = GuardVerdict::kNotLocalAbsolute;
    return out;
  }
  out.text = {path[0] >= L'a' ? wchar_t(path[0] - L'a' + L'A') : path[0], L':'};
  size_t pos = 3;
  while (pos <= path.size()) {
    size_t end = path.find(L'\\', pos);
    if (end == std::wstring::npos) end = path.size();
    std::wstring name = path.substr(pos, end - pos);
    pos = end + 1;
    if (name.empty()) continue;  // repeated or trailing separator
    const size_t written = name.size();
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
    if (name.empty() || name.find(L':') != std::wstring::npos) {
      out.error = GuardVerdict::kBadComponent;  // ".", "..", or a stream name
      return out;
    }
    if (name.size() != written) out.exact = false;
    out.text += L'\\';
    out.text += name;
    out.names.push_back(name);
  }
  return out;
}

// True when `inner` is `outer` or lies below it.
bool IsSameOrBelow(const std::wstring& inner, const std::wstring& outer, NamesEqual equal) {
  if (inner.size() < outer.size() || !equal(inner.substr(0, outer.size()), outer)) return false;
  return inner.size() == outer.size() || inner[outer.size()] == L'\\';
}

// Guarded folders in canonical form; entries the guard cannot read are left out.
std::vector<Canonical> CanonicalList(const std::vector<std::wstring>& folders) {
  std::vector<Canonical> out;
  for (const std::wstring& folder : folders) {
    if (folder.empty()) continue;
    Canonical c = Canonicalize(folder);
    if (c.error == GuardVerdict::kAllowed) out.push_back(std::move(c));
  }
  return out;
}

// True when `dir` is `kept` or one of its ancestors.
bool Shelters(const Canonical& dir, const std::wstring& kept, NamesEqual equal) {
  return IsSameOrBelow(kept, dir.text, equal);
}

// True when `dir` is a well-known folder of the profile `profile`, or one of its ancestors.
bool SheltersProfileFolder(const Canonical& dir, const std::wstring& profile, NamesEqual equal) {
  for (const wchar_t* known : kProfileFolders) {
    if (Shelters(dir, profile + L"\\" + known, equal)) return true;
  }
  return false;
}

}  // namespace

GuardVerdict CheckInstallFolder(const std::wstring& path, const ProtectedFolders& guarded,
                                NamesEqual equal) {
  const Canonical dir = Canonicalize(path);
  if (dir.error != GuardVerdict::kAllowed) return dir.error;
  if (dir.names.empty()) return GuardVerdict::kDriveRoot;
  for (const Canonical& windows : CanonicalList(guarded.inside)) {
    if (IsSameOrBelow(dir.text, windows.text, equal) || Shelters(dir, windows.text, equal)) {
      return GuardVerdict::kProtected;
    }
  }
  for (const Canonical& profile : CanonicalList(guarded.profiles)) {
    if (Shelters(dir, profile.text, equal)) {
      return SameFolderPath(dir.text, profile.text, equal) ? GuardVerdict::kProfileRoot
                                                           : GuardVerdict::kProtected;
    }
    if (SheltersProfileFolder(dir, profile.text, equal)) return GuardVerdict::kProtected;
  }
  for (const Canonical& root : CanonicalList(guarded.profilesRoots)) {
    if (Shelters(dir, root.text, equal)) return GuardVerdict::kProtected;
    if (!IsSameOrBelow(dir.text, root.text, equal)) continue;
    // Every child of a profiles root is someone's profile, listed or not.
    const std::wstring profile = root.text + L"\\" + dir.names[root.names.size()];
    if (dir.names.size() == root.names.size() + 1) return GuardVerdict::kProfileRoot;
    if (SheltersProfileFolder(dir, profile, equal)) return GuardVerdict::kProtected;
  }
  for (const Canonical& kept : CanonicalList(guarded.folders)) {
    if (Shelters(dir, kept.text, equal)) return GuardVerdict::kProtected;
  }
  return GuardVerdict::kAllowed;
}

namespace {

// Both spellings pass the guard and the final path names a folder.
GuardVerdict CheckResolvedFolder(const InstallFolderFacts& facts, const ProtectedFolders& guarded,
                                 NamesEqual equal) {
  GuardVerdict verdict = CheckInstallFolder(facts.recorded, guarded, equal);
  if (verdict != GuardVerdict::kAllowed) return verdict;
  if (facts.finalPath.empty()) return GuardVerdict::kUnresolved;
  // Links, short names and other aliases are gone from the final path: it is the one that counts.
  verdict = CheckInstallFolder(facts.finalPath, guarded, equal);
  if (verdict != GuardVerdict::kAllowed) return verdict;
  return facts.isDirectory ? GuardVerdict::kAllowed : GuardVerdict::kNotDirectory;
}

}  // namespace

GuardVerdict DecideInstallFolder(const InstallFolderFacts& facts, const ProtectedFolders& guarded,
                                 NamesEqual equal) {
  const GuardVerdict verdict = CheckResolvedFolder(facts, guarded, equal);
  if (verdict != GuardVerdict::kAllowed) return verdict;
  if (facts.holdsMainProcessFile) return GuardVerdict::kAllowed;
  if (SameFolderPath(facts.uninstallerFolder, facts.finalPath, equal)) {
    return GuardVerdict::kAllowed;
  }
  return GuardVerdict::kNotOwned;
}

GuardVerdict DecideDataFolder(const InstallFolderFacts& facts, const ProtectedFolders& guarded,
                              NamesEqual equal) {
  const GuardVerdict verdict = CheckResolvedFolder(facts, guarded, equal);
  if (verdict != GuardVerdict::kAllowed) return verdict;
  return facts.holdsMainProcessFile ? GuardVerdict::kHoldsInstallation : GuardVerdict::kAllowed;
}

std::wstring LastName(const std::wstring& path) {
  const Canonical c = Canonicalize(path);
  return c.error == GuardVerdict::kAllowed && !c.names.empty() ? c.names.back() : std::wstring();
}

bool IsInside(const std::wstring& inner, const std::wstring& outer, NamesEqual equal) {
  const Canonical x = Canonicalize(inner), y = Canonicalize(outer);
  if (x.error != GuardVerdict::kAllowed || y.error != GuardVerdict::kAllowed) return false;
  return IsSameOrBelow(x.text, y.text, equal);
}

bool SameFolderPath(const std::wstring& a, const std::wstring& b, NamesEqual equal) {
  const Canonical x = Canonicalize(a), y = Canonicalize(b);
  if (x.error != GuardVerdict::kAllowed || y.error != GuardVerdict::kAllowed) return false;
  return x.text.size() == y.text.size() && equal(x.text, y.text);
}

std::wstring PlainDrivePath(const std::wstring& path) {
  const Canonical c = Canonicalize(path);
  if (c.error != GuardVerdict::kAllowed || !c.exact || c.names.empty()) return {};
  return c.text;
}

}  // namespace uninstall
