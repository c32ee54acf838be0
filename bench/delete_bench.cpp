// The uninstaller's folder deletion against the command processor's: deletes two identical trees,
// one with uninstall::DeleteFolderTree (the function the uninstall worker runs) and one with
// "cmd /c rd /s /q", and prints both times. scripts/bench builds the trees and runs this program in
// a sealed throw-away Wine prefix, several times, alternating the order.
//
//   kv_delete_bench.exe OURS_TREE RD_TREE [rd-first]
//
// Prints one line: "tree_ms=<ms> rd_ms=<ms> cmd_start_ms=<ms>", where cmd_start_ms is the cost of
// starting the command processor with an empty command (part of rd_ms). Exits 2 on a refused
// path, 1 when a tree is still there afterwards.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "os_win/folder_removal.h"
#include "os_win/unique_handle.h"

namespace {

// Only trees below this folder of the throw-away prefix are ever deleted.
constexpr wchar_t kBenchRoot[] = L"C:\\kvbench\\";

bool IsBenchTree(const std::wstring& path) {
  const size_t root = std::wcslen(kBenchRoot);
  return path.size() > root && _wcsnicmp(path.c_str(), kBenchRoot, root) == 0 &&
         path.find(L"..") == std::wstring::npos;
}

double Now() {
  LARGE_INTEGER frequency, counter;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Runs `command` through the command processor and waits for it; milliseconds, or -1.
double TimeCommand(const std::wstring& command) {
  wchar_t system[MAX_PATH] = {};
  const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return -1;
  std::wstring line = L"\"" + std::wstring(system) + L"\\cmd.exe\" /c " + command;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  const double start = Now();
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &info)) {
    return -1;
  }
  uninstall::UniqueHandle process(info.hProcess);
  uninstall::UniqueHandle thread(info.hThread);
  ::WaitForSingleObject(process.get(), INFINITE);
  return Now() - start;
}

double TimeDeleteFolderTree(const std::wstring& tree) {
  const double start = Now();
  uninstall::DeleteFolderTree(tree);
  return Now() - start;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: kv_delete_bench OURS_TREE RD_TREE [rd-first]\n");
    return 2;
  }
  const std::wstring ours = argv[1];
  const std::wstring theirs = argv[2];
  if (!IsBenchTree(ours) || !IsBenchTree(theirs) || !Exists(ours) || !Exists(theirs)) {
    std::fprintf(stderr, "kv_delete_bench: both trees must exist below C:\\kvbench\\\n");
    return 2;
  }
  const bool rdFirst = argc > 3 && std::wcscmp(argv[3], L"rd-first") == 0;
  const std::wstring rd = L"rd /s /q \"" + theirs + L"\"";

  double treeMs = 0;
  double rdMs = 0;
  if (rdFirst) rdMs = TimeCommand(rd);
  treeMs = TimeDeleteFolderTree(ours);
  if (!rdFirst) rdMs = TimeCommand(rd);
  const double cmdStartMs = TimeCommand(L"rem");

  std::printf("tree_ms=%.1f rd_ms=%.1f cmd_start_ms=%.1f\n", treeMs, rdMs, cmdStartMs);
  if (rdMs < 0 || Exists(ours) || Exists(theirs)) {
    std::fprintf(stderr, "kv_delete_bench: a tree was not deleted\n");
    return 1;
  }
  return 0;
}
