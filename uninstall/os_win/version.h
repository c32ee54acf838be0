// The seam's version query, for the task step and the shadow's composition check.
#pragma once

#include <windows.h>

#include "core/os_version.h"

namespace uninstall {

// Fills `record` with the system version (size 276): the version call, the registry text or the
// packed version where it fails, and the true version where the call understates. Always true.
bool GetOsVersion(OSVERSIONINFOW* record);

// The same as the task step reads it (major and minor, taken as NT).
OsVersion SystemVersion();

}  // namespace uninstall
