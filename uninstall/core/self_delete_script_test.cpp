// The self-deleting script's text.
#include "core/self_delete_script.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace uninstall;

bool AnyPath(const std::wstring&) { return true; }

// Stands in for a code page without the full-width forms: only ASCII converts exactly.
bool AsciiOnly(const std::wstring& path) {
  for (wchar_t c : path) {
    if (c >= 0x80) return false;
  }
  return true;
}

constexpr wchar_t kPing[] = L"C:\\Windows\\system32\\PING.EXE";

// Catches any change of the script's lines, its CR LF ends or a line end after the last; a bare
// "ping" (found first in whatever folder the script runs in) or a recursive deletion coming back.
TEST(SelfDeleteScript, TenLinesByteForByte) {
  const std::wstring script = BuildSelfDeleteScript(
      {L"C:\\Program Files\\Kovra\\uninstall_new.exe", L"C:\\Program Files\\Kovra",
       L"C:\\Windows\\Temp\\KovraUninstall-{1}\\delKovraUninstall.bat", kPing},
      AnyPath);
  const std::wstring expected =
      L"set num=0\r\n"
      L":kovradel\r\n"
      L"set /a num+=1\r\n"
      L"if %num% GTR 10 goto kovraend\r\n"
      L"\"C:\\Windows\\system32\\PING.EXE\" 127.0.0.1\r\n"
      L"del /Q \"C:\\Program Files\\Kovra\\uninstall_new.exe\"\r\n"
      L"if exist \"C:\\Program Files\\Kovra\\uninstall_new.exe\" goto kovradel\r\n"
      L"rd \"C:\\Program Files\\Kovra\"\r\n"
      L":kovraend\r\n"
      L"del \"C:\\Windows\\Temp\\KovraUninstall-{1}\\delKovraUninstall.bat\" /Q";
  EXPECT_EQ(script, expected);
  // Without the pause program by its full path there is no waiting, so no deleting either.
  EXPECT_EQ(BuildSelfDeleteScript({L"C:\\K\\u_new.exe", L"C:\\K", L"C:\\T\\d.bat", L""}, AnyPath),
            L":kovraend\r\ndel \"C:\\T\\d.bat\" /Q");
}

// Catches a '%' in a path left for the command processor to expand (it could name another
// folder, for example "%num%").
TEST(SelfDeleteScript, PercentInPathsIsDoubled) {
  const std::wstring script = BuildSelfDeleteScript(
      {L"C:\\a%num%b\\u_new.exe", L"C:\\a%num%b", L"C:\\T%x\\delKovraUninstall.bat", kPing},
      AnyPath);
  EXPECT_NE(script.find(L"del /Q \"C:\\a%%num%%b\\u_new.exe\"\r\n"), std::wstring::npos);
  EXPECT_NE(script.find(L"rd \"C:\\a%%num%%b\"\r\n"), std::wstring::npos);
  EXPECT_NE(script.find(L"del \"C:\\T%%x\\delKovraUninstall.bat\" /Q"), std::wstring::npos);
  EXPECT_NE(script.find(L"if %num% GTR 10"), std::wstring::npos);
}

// Catches a foreign folder (uninstaller not in the installation folder) being wiped.
TEST(SelfDeleteScript, ForeignFolderKeepsFolder) {
  const std::wstring script = BuildSelfDeleteScript(
      {L"C:\\Tools\\u_new.exe", L"", L"C:\\T\\delKovraUninstall.bat", kPing}, AnyPath);
  EXPECT_EQ(script.find(L"rd "), std::wstring::npos);
  EXPECT_NE(script.find(L"if exist \"C:\\Tools\\u_new.exe\" goto kovradel\r\n:kovraend\r\n"),
            std::wstring::npos);
}

// Catches a path that would reach the command processor as a look-alike (full-width percent
// signs, separators, quotes) named in a deleting line.
TEST(SelfDeleteScript, UnnameablePathsGetNoDeletingLine) {
  const std::wstring lookalike = L"C:\\Apps\\a\uFF05num\uFF05b\uFF3C..";
  const std::wstring bat = L"C:\\T\\delKovraUninstall.bat";
  EXPECT_EQ(BuildSelfDeleteScript({lookalike + L"\\u_new.exe", lookalike, bat, kPing}, AsciiOnly),
            L":kovraend\r\ndel \"C:\\T\\delKovraUninstall.bat\" /Q");
  const std::wstring keepFolder =
      BuildSelfDeleteScript({L"C:\\K\\u_new.exe", lookalike, bat, kPing}, AsciiOnly);
  EXPECT_NE(keepFolder.find(L"del /Q \"C:\\K\\u_new.exe\""), std::wstring::npos);
  EXPECT_EQ(keepFolder.find(L"rd "), std::wstring::npos);
  const std::wstring keepScript = BuildSelfDeleteScript(
      {L"C:\\K\\u_new.exe", L"C:\\K", L"C:\\\u00C9\\d.bat", kPing}, AsciiOnly);
  const std::wstring tail = L"rd \"C:\\K\"\r\n:kovraend";
  EXPECT_EQ(keepScript.substr(keepScript.size() - tail.size()), tail);
  EXPECT_EQ(
      BuildSelfDeleteScript({lookalike + L"\\u.exe", L"", L"C:\\\u00C9\\d.bat", kPing}, AsciiOnly),
      L"");
}

}  // namespace
