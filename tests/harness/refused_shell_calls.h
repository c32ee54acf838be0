// Test hook of the bridge's native seam (client/os_posix.cpp), for test programs only.
#pragma once

#include <string>
#include <vector>

namespace corvel_client::os {

// Native builds only. The native build creates nothing on the Linux file system and launches
// nothing: CreateFolder and ShellOpen refuse and record what they were asked, as
// L"create <path>" and L"open <file>|<parameters>|<directory>". Returns the records since the
// last call and forgets them.
std::vector<std::wstring> TakeRefusedShellCalls();

}  // namespace corvel_client::os
