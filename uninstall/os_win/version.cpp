#include "os_win/version.h"

#include "os_win/system_function.h"

namespace uninstall {

bool GetOsVersion(OSVERSIONINFOW* record) {
  *record = {};
  record->dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  if (!::GetVersionExW(record)) {
    // RegGetValueW always ends the text, even a value that fills the buffer.
    wchar_t text[32] = {};
    DWORD size = sizeof(text);
    OsVersion v;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                       L"CurrentVersion", RRF_RT_REG_SZ, nullptr, text, &size) == ERROR_SUCCESS &&
        VersionFromText(text)) {
      v = *VersionFromText(text);
    } else {
      v = VersionFromPacked(::GetVersion());
    }
    record->dwMajorVersion = v.major;
    record->dwMinorVersion = v.minor;
    record->dwPlatformId = v.nt ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
  }
  if (NeedsTrueVersion({record->dwMajorVersion, record->dwMinorVersion, true})) {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    static const auto fn = SystemFunction<RtlGetVersionFn>(L"ntdll.dll", "RtlGetVersion");
    OSVERSIONINFOW exact = {};
    exact.dwOSVersionInfoSize = sizeof(exact);
    if (fn != nullptr && fn(&exact) == 0) *record = exact;
  }
  return true;
}

OsVersion SystemVersion() {
  OSVERSIONINFOW record = {};
  GetOsVersion(&record);
  return {record.dwMajorVersion, record.dwMinorVersion, true};
}

}  // namespace uninstall
