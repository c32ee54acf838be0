// Decides whether a recorded installation folder may be deleted as a whole. The registry value
// comes from outside this program, so a damaged, stale or hostile value must never make the
// uninstaller erase a drive, the system, another program or anyone's own files.
#pragma once

#include <string>
#include <vector>

namespace uninstall {

// True when two texts of equal length name the same thing for the file system (on Windows:
// CompareStringOrdinal ignoring case). Only called with texts of equal length.
using NamesEqual = bool (*)(const std::wstring& a, const std::wstring& b);

// The folders of this machine that must survive, as the system reports them (each best given in
// its reported spelling and its resolved final path). Empty entries are ignored.
struct ProtectedFolders {
  std::vector<std::wstring> inside;         // the folder and everything in it: Windows
  std::vector<std::wstring> folders;        // the folder and its ancestors: Program Files...
  std::vector<std::wstring> profiles;       // profile roots: the folder, its ancestors and its
                                            // well-known folders (kProfileFolders)
  std::vector<std::wstring> profilesRoots;  // folders whose every child is a profile root
};

// The well-known folders of a profile, relative to its root. Each is refused, with its ancestors,
// in every profile.
extern const wchar_t* const kProfileFolders[9];

enum class GuardVerdict {
  kAllowed,
  kNotLocalAbsolute,  // relative, drive-relative, UNC, volume or other namespace paths
  kBadComponent,      // "." or ".." or a component made only of dots and blanks, or a stream
  kDriveRoot,
  kProtected,          // is, contains or lies inside a protected folder
  kProfileRoot,        // a profile root (a child of a profiles root)
  kUnresolved,         // the folder could not be opened and resolved to its final path
  kNotDirectory,       // the location names a file, not a folder
  kNotOwned,           // nothing in the folder shows that it is this product's
  kHoldsInstallation,  // a data folder that holds the main process file of some edition
};

// Judges `path` against `guarded`. `\\?\` and `\\.\` prefixes are read as the path they carry;
// separators may be '\' or '/'; repeated separators and the trailing dots and blanks Windows strips
// from names are ignored; letter case is compared with `equal`.
GuardVerdict CheckInstallFolder(const std::wstring& path, const ProtectedFolders& guarded,
                                NamesEqual equal);

// What the system reports about a recorded installation folder.
struct InstallFolderFacts {
  std::wstring recorded;              // the "InstallLocation" text
  std::wstring finalPath;             // its final path (links, short names resolved); empty when it
                                      // could not be opened and resolved
  bool isDirectory = false;           // the final path names a folder
  bool holdsMainProcessFile = false;  // the folder holds the edition's main process file
  std::wstring uninstallerFolder;     // final path of the running uninstaller's folder, or empty
};

// The whole decision: kAllowed only when both the recorded spelling and the final path pass the
// guard, the final path is a folder, and the folder shows it is the product's (it holds the main
// process file, or it is the running uninstaller's own folder).
GuardVerdict DecideInstallFolder(const InstallFolderFacts& facts, const ProtectedFolders& guarded,
                                 NamesEqual equal);

// The per-user data folder's decision: the same spelling, protected-set and final-path rules as
// for an installation folder; its place and name make it the product's, but a folder that holds
// an installation (`holdsMainProcessFile`, looked for with every edition's main process file
// anywhere in the tree) is never removed.
GuardVerdict DecideDataFolder(const InstallFolderFacts& facts, const ProtectedFolders& guarded,
                              NamesEqual equal);

// The last name of `path`, as the guard reads it (trailing separators, dots and blanks dropped);
// empty for a drive root or a path the guard cannot read.
std::wstring LastName(const std::wstring& path);

// True when `inner` is `outer` or lies below it, after the guard's spelling rules.
bool IsInside(const std::wstring& inner, const std::wstring& outer, NamesEqual equal);

// True when two paths name the same folder after the guard's spelling rules (prefixes,
// separators, trailing dots and blanks, letter case by `equal`). Unusable paths never match.
bool SameFolderPath(const std::wstring& a, const std::wstring& b, NamesEqual equal);

// `path` written as a plain "X:\..." path that the command processor reads as the same folder:
// a `\\?\` or `\\.\` prefix dropped. Empty when that cannot be done exactly (no drive path, or a
// name ending in a dot or blank, which plain paths would lose).
std::wstring PlainDrivePath(const std::wstring& path);

}  // namespace uninstall
