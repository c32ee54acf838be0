#include "core/os_version.h"

namespace uninstall {

std::optional<OsVersion> VersionFromText(const std::wstring& text) {
  if (text.empty() || text[0] < L'0' || text[0] > L'9') return std::nullopt;
  OsVersion v;
  v.nt = true;
  v.major = uint32_t(text[0] - L'0');
  const size_t dot = text.find(L'.');
  if (dot != std::wstring::npos) {
    for (size_t i = dot + 1; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
      v.minor = v.minor * 10 + uint32_t(text[i] - L'0');
    }
  }
  return v;
}

OsVersion VersionFromPacked(uint32_t packed) {
  OsVersion v;
  v.major = packed & 0xFF;
  v.minor = (packed >> 8) & 0xFF;
  v.nt = v.major > 4;
  return v;
}

bool NeedsTrueVersion(const OsVersion& v) { return v.major > 6 || (v.major == 6 && v.minor >= 2); }

bool UseLegacyTaskScheduler(const OsVersion& v) { return v.major == 5 && v.minor != 0; }

}  // namespace uninstall
