// The operating-system version rules of the task step: reading the version where the version call
// fails or understates, and choosing the task scheduler.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace uninstall {

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

}  // namespace uninstall
