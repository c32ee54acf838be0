// Small decisions of the uninstaller kept free of Windows headers so they are tested natively:
// copy naming, folder search patterns, the percentage text, version rules and window placement.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace uninstall {

// Longest path the uninstaller handles, terminator excluded (MAX_PATH - 1).
constexpr size_t kMaxPathChars = 259;

// True when `modulePath` names the relaunched copy: it contains "_new.exe" anywhere, in any
// letter case.
bool IsCopyPath(const std::wstring& modulePath);

// The copy's path: `modulePath` without the extension of its last component, plus "_new.exe".
// Empty when the result would not fit kMaxPathChars; the caller then works in the installed file
// instead of writing the copy under a cut name.
std::optional<std::wstring> CopyPathFor(const std::wstring& modulePath);

// The installed file a copy was made from: `copyPath` with its final "_new.exe" (any letter case)
// replaced by ".exe". Empty when the name does not end in the marker.
std::wstring InstalledPathOfCopy(const std::wstring& copyPath);

// The program a shell command starts: the first token of `command` (quoted, or up to the first
// blank). Empty unless it is an absolute drive path ("X:\..."), so a relative or bare name never
// stands for a file of ours.
std::wstring ProgramOfCommand(const std::wstring& command);

// Search pattern for the entries of `folder`: "\*.*" appended, or "*.*" when it ends in '\'.
std::wstring FindPattern(const std::wstring& folder);

// `path` cut at its last backslash (the backslash dropped); empty when there is none.
std::wstring FolderOf(const std::wstring& path);

// Case-insensitive comparison of whole paths (ASCII letters folded, like _wcsicmp in "C" locale).
bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b);

// The percentage label: the percent clamped to 0..100, written as "%" followed by the number.
std::wstring PercentText(int32_t percent);

// Operating-system version as used by the task step.
struct OsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  bool nt = false;
};

// Version from the registry text "CurrentVersion" ("6.1"): the first digit and the number after
// the point. Empty when the text does not start with a digit.
std::optional<OsVersion> VersionFromText(const std::wstring& text);

// Version from GetVersion's packed result: low byte major, next byte minor; NT when major > 4.
OsVersion VersionFromPacked(uint32_t packed);

// True for versions above 6.1, where the compatibility-shimmed version call understates.
bool NeedsTrueVersion(const OsVersion& v);

// True when the scheduled task goes through the 1.0 scheduler (Windows XP and Server 2003).
bool UseLegacyTaskScheduler(const OsVersion& v);

// Message loop: true when `message` re-arms idle processing (all but mouse moves, paint and the
// system timer).
bool IsIdleMessage(uint32_t message);

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct Point {
  int32_t x = 0, y = 0;
};

// Top-left corner that centres a window of `width` x `height` on `work`, kept inside it (right
// and bottom edges first, then left and top).
Point CenterInWorkArea(const Rect& work, int32_t width, int32_t height);

}  // namespace uninstall
