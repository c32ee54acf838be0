// Path texts as the uninstaller reads them, kept free of Windows headers so they are tested
// natively: the longest path, the program of a shell command, search patterns and folders.
#pragma once

#include <cstddef>
#include <string>

namespace uninstall {

// Longest path the uninstaller handles, terminator excluded (MAX_PATH - 1).
constexpr size_t kMaxPathChars = 259;

// `c` with ASCII capitals made small; every other character as it is.
wchar_t FoldAscii(wchar_t c);

// Case-insensitive comparison of whole paths (ASCII letters folded, like _wcsicmp in "C" locale).
bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b);

// The program a shell command starts: the first token of `command` (quoted, or up to the first
// blank). Empty unless it is an absolute drive path ("X:\..."), so a relative or bare name never
// stands for a file of ours.
std::wstring ProgramOfCommand(const std::wstring& command);

// Search pattern for the entries of `folder`: "\*.*" appended, or "*.*" when it ends in '\'.
std::wstring FindPattern(const std::wstring& folder);

// `path` cut at its last backslash (the backslash dropped); empty when there is none.
std::wstring FolderOf(const std::wstring& path);

}  // namespace uninstall
