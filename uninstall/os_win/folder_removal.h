// The seam's folder removal: a folder and what a scope allows of it, removed through handles so
// that nothing reached through a link is touched. Plain types: callers need no Windows headers.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace uninstall {

// What a folder removal left behind.
struct FolderRemoval {
  bool removed = false;     // the folder itself is gone
  bool registered = false;  // something in it was registered for deletion at restart
};

// Which entries of a folder go.
struct RemovalScope {
  std::wstring expectedFinalPath;       // if set, the folder is touched only with this final path
  std::wstring keep;                    // final path of a file neither deleted nor registered
  std::vector<std::wstring> onlyNames;  // if set, only these plain files directly in the folder
  // Gives a private folder on the folder's volume (MakeScriptFolder) for locked files; empty: none.
  std::function<std::wstring()> parking;
};

// Removes the folder `path` (more than 3 characters, no link itself) with what `scope` allows,
// then the folder itself if it is empty. Every entry is opened relative to its folder's open
// handle without following links, and acted on only while its final path is the one its name
// gives, so nothing reached through a link (or swapped in for a checked name) is ever touched: a
// link is removed itself, never entered. A file with other names (hard links) loses only this
// name and is never changed. A plain file of one name that is in use is moved into the private
// parking folder (renamed through its own handle) and registered for deletion at restart there;
// nothing is ever registered at a path that others could change before the restart.
FolderRemoval RemoveFolder(const std::wstring& path, const RemovalScope& scope);

// RemoveFolder with everything in it; returns whether the folder itself was removed.
bool DeleteFolderTree(const std::wstring& path);

// True when the tree below `finalPath` holds a file named as one of `names` (links not entered).
bool TreeHoldsFileNamed(const std::wstring& finalPath, const std::vector<std::wstring>& names);

}  // namespace uninstall
