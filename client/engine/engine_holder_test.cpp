#include "engine/engine_holder.h"

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// A file system with settable answers that notes what was asked and created.
class FakeFolders : public corvel_client::LogFolderSystem {
 public:
  std::wstring appData;
  std::set<std::wstring> existing;
  bool canCreate = true;
  std::vector<std::wstring> created;

  std::wstring AppDataFolder() override { return appData; }
  bool PathExists(const std::wstring& path) override { return existing.count(path) != 0; }
  bool CreateFolder(const std::wstring& path) override {
    created.push_back(path);
    return canCreate;
  }
};

// Backslashes of the client folder become slashes; the logs folder is joined with a backslash.
TEST(LogFolder, ExistingLogsFolderIsUsedAsIs) {
  FakeFolders folders;
  folders.appData = L"C:\\Users\\ana\\AppData\\Roaming";
  folders.existing.insert(L"C:/Users/ana/AppData/Roaming/Corvel_Client\\logs");
  EXPECT_EQ(corvel_client::BuildLogFolder(folders),
            L"C:/Users/ana/AppData/Roaming/Corvel_Client\\logs");
  EXPECT_TRUE(folders.created.empty());
}

// A missing logs folder is created; when that fails the client folder is used instead.
TEST(LogFolder, MissingLogsFolderIsCreatedOrFallsBack) {
  FakeFolders folders;
  folders.appData = L"D:\\data";
  EXPECT_EQ(corvel_client::BuildLogFolder(folders), L"D:/data/Corvel_Client\\logs");
  EXPECT_EQ(folders.created, (std::vector<std::wstring>{L"D:/data/Corvel_Client\\logs"}));

  folders.canCreate = false;
  EXPECT_EQ(corvel_client::BuildLogFolder(folders), L"D:/data/Corvel_Client");
}

// Without an application-data folder the path is relative to nothing but stays well formed.
TEST(LogFolder, UnknownAppDataLeavesTheFolderPart) {
  FakeFolders folders;
  folders.canCreate = false;
  EXPECT_EQ(corvel_client::BuildLogFolder(folders), L"/Corvel_Client");
}

}  // namespace

#include <cjson/cJSON.h>

#include "kv/sim_engine.h"

namespace {

std::string Sim(const std::string& request) {
  char* reply = kv_sim_control(request.c_str());
  std::string text = reply == nullptr ? std::string() : reply;
  kv_sim_free(reply);
  return text;
}

// Operation names of the journal since the last call, in order.
std::string Ops() {
  std::string ops;
  cJSON* journal = cJSON_Parse(Sim(R"({"sim":"journal"})").c_str());
  cJSON* entry = nullptr;
  cJSON_ArrayForEach(entry, cJSON_GetObjectItem(journal, "journal")) {
    const char* op = cJSON_GetStringValue(cJSON_GetObjectItem(entry, "op"));
    if (op != nullptr && std::string(op).rfind("AudioLoopback.", 0) != 0) {
      ops += std::string(ops.empty() ? "" : " ") + op;
    }
  }
  cJSON_Delete(journal);
  return ops;
}

class EngineHolderTest : public ::testing::Test {
 protected:
  void SetUp() override { Sim(R"({"sim":"reset"})"); }
  void TearDown() override { Sim(R"({"sim":"reset"})"); }
};

// The first use creates and configures the engine; later uses share it; the last release
// destroys it, and a new use starts a fresh one.
TEST_F(EngineHolderTest, FirstUseStartsSharedEngineLastReleaseEndsIt) {
  corvel_client::EngineHolder* first = corvel_client::AcquireEngine();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(first->engine, nullptr);
  ASSERT_NE(first->callback, nullptr);
  EXPECT_EQ(Ops(), "Engine.Create Engine.SetCallback Engine.SetMediaCallback Engine.SetOption "
                   "Engine.SetLogFile");
  EXPECT_EQ(corvel_client::AcquireEngine(), first);
  EXPECT_EQ(Ops(), "");
  corvel_client::ReleaseEngine();
  EXPECT_EQ(Ops(), "");  // one use left
  corvel_client::ReleaseEngine();
  EXPECT_EQ(Ops(), "Engine.Delete");
  ASSERT_NE(corvel_client::AcquireEngine(), nullptr);
  EXPECT_EQ(Ops().rfind("Engine.Create", 0), 0u);
  corvel_client::ReleaseEngine();
}

// The option and the log file reach the engine as 254 and a UTF-8 path ending in engine.txt.
TEST_F(EngineHolderTest, ConfiguresOptionAndLogFile) {
  ASSERT_NE(corvel_client::AcquireEngine(), nullptr);
  const std::string journal = Sim(R"({"sim":"journal"})");
  EXPECT_NE(journal.find(R"({"op":"Engine.SetOption","args":[254]})"), std::string::npos)
      << journal;
  EXPECT_NE(journal.find(R"(Corvel_Client\\engine.txt")"), std::string::npos) << journal;
  corvel_client::ReleaseEngine();
}

// Each start failure leaves nothing behind: the engine is deleted when it was created, and the
// next acquisition tries again from the start.
TEST_F(EngineHolderTest, StartFailuresLeaveNothing) {
  Sim(R"({"sim":"reply","op":"Engine.Create","code":-1})");
  EXPECT_EQ(corvel_client::AcquireEngine(), nullptr);
  EXPECT_EQ(Ops(), "Engine.Create");

  Sim(R"({"sim":"reset"})");
  Sim(R"({"sim":"reply","op":"Engine.SetCallback","code":-5})");
  EXPECT_EQ(corvel_client::AcquireEngine(), nullptr);
  EXPECT_EQ(Ops(), "Engine.Create Engine.SetCallback Engine.Delete");

  Sim(R"({"sim":"reset"})");
  Sim(R"({"sim":"reply","op":"Engine.SetMediaCallback","code":-6})");
  EXPECT_EQ(corvel_client::AcquireEngine(), nullptr);
  EXPECT_EQ(Ops(), "Engine.Create Engine.SetCallback Engine.SetMediaCallback Engine.Delete");

  Sim(R"({"sim":"reset"})");
  ASSERT_NE(corvel_client::AcquireEngine(), nullptr);
  corvel_client::ReleaseEngine();
}

}  // namespace
