// The uninstall sequence: step order and progress values.
#include "core/sequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace uninstall;

class Recorder : public IUninstallCallBack, public IUninstallSteps {
 public:
  std::vector<std::string> log;
  int OnProcessesClosed() override { return Add("closed"); }
  int OnShortcutsRemoved() override { return Add("shortcuts"); }
  int OnRegistryCleaned() override { return Add("registry"); }
  int OnFilesRemoved() override { return Add("files"); }
  int OnProgress(int32_t percent) override { return Add(std::to_string(percent)); }
  int OnFinished() override { return Add("finished"); }
  void CloseRunningProcesses() override { Add("*processes"); }
  void RemoveShortcuts() override { Add("*shortcuts"); }
  void RemoveRegistryEntries() override { Add("*registry"); }
  void RemoveAppDataFolder() override { Add("*appdata"); }
  void RemoveInstallFolder() override { Add("*install"); }
  void RemoveUpdateTask() override { Add("*task"); }

 private:
  int Add(std::string entry) {
    log.push_back(std::move(entry));
    return 0;
  }
};

// Catches a step at the wrong counter value, a callback out of order or a missing pause.
TEST(Sequence, CallbackAndStepOrder) {
  Recorder r;
  int pauses = 0;
  RunUninstallSequence(&r, r, [&] { ++pauses; });
  std::vector<std::string> expected;
  for (int p = 2; p <= 100; p += 2) {
    expected.push_back(std::to_string(p));
    if (p == 10) expected.insert(expected.end(), {"*processes", "closed"});
    if (p == 30) expected.insert(expected.end(), {"*shortcuts", "shortcuts"});
    if (p == 50) expected.insert(expected.end(), {"*registry", "registry"});
    if (p == 80) expected.insert(expected.end(), {"*appdata", "*install", "files"});
    if (p == 90) expected.push_back("*task");
    if (p == 100) expected.push_back("finished");
  }
  EXPECT_EQ(r.log, expected);
  EXPECT_EQ(pauses, 50);
}

// Catches steps run without anyone to report to.
TEST(Sequence, NullCallbackDoesNothing) {
  Recorder r;
  RunUninstallSequence(nullptr, r, [] {});
  EXPECT_TRUE(r.log.empty());
}

}  // namespace
