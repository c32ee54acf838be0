#include "offline_play/offline_play_delegate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "failing_allocator.h"
#include "fake_offline_engine.h"
#include "os.h"
#include "recording_run.h"
#include "refused_shell_calls.h"

namespace {

using corvel_client::testing::FakeOfflineWorld;
using corvel_client::testing::RecordingRun;
using corvel_client_offline_play_handler::ProcessMessageDelegate;
using corvel_client_win::MessageFromCpp;
using Journal = std::vector<std::string>;

class RecordingShell : public corvel_client_offline_play_handler::Shell {
 public:
  std::wstring AppDataFolder() override { return appData; }
  void CreateFolder(const std::wstring& path) override { calls.push_back(L"create " + path); }
  void Open(const std::wstring& file, const wchar_t* parameters,
            const wchar_t* directory) override {
    calls.push_back(L"open " + file + L"|" + (parameters ? parameters : L"<null>") + L"|" +
                    (directory ? directory : L"<null>"));
  }
  std::wstring appData = L"C:\\Data";
  std::vector<std::wstring> calls;
};

std::shared_ptr<MessageFromCpp> MakeMessage(const char* name, const char* args) {
  auto* message =
      new MessageFromCpp{cJSON_CreateString(name), 0, cJSON_Parse(args), cJSON_CreateArray()};
  return std::shared_ptr<MessageFromCpp>(message, [](MessageFromCpp* m) {
    cJSON_Delete(m->name);
    cJSON_Delete(m->args);
    cJSON_Delete(m->result);
    delete m;
  });
}

class OfflinePlayDelegateTest : public ::testing::Test {
 protected:
  void Start() {
    delegate_ = std::make_unique<ProcessMessageDelegate>(&run_, FakeOfflineWorld::Access(), shell_);
    world_.TakeJournal();
  }
  // Runs one command; returns its result as compact JSON, or "untouched" when none was written.
  std::string Send(const char* name, const char* args = "[]") {
    auto message = MakeMessage(name, args);
    delegate_->OnMessage(message);
    return Result(*message);
  }
  static std::string Result(const MessageFromCpp& message) {
    if (message.resultCount == 0 && cJSON_GetArraySize(message.result) == 0) return "untouched";
    char* text = cJSON_PrintUnformatted(message.result);
    std::string result = std::to_string(message.resultCount) + ":" + text;
    std::free(text);
    return result;
  }
  void Open(int code = 0) {
    world_.openCode = code;
    Send("offlinePlay.openMedia", R"(["{\"id\":5}"])");
    world_.TakeJournal();
  }

  FakeOfflineWorld world_;
  RecordingRun run_;
  RecordingShell shell_;
  std::unique_ptr<ProcessMessageDelegate> delegate_;
};

// The start connects the engine's events to the host and registers a storage callback that
// posts to it; destroying the delegate gives everything back.
TEST_F(OfflinePlayDelegateTest, StartConnectsHostAndStorage) {
  delegate_ = std::make_unique<ProcessMessageDelegate>(&run_, FakeOfflineWorld::Access(), shell_);
  EXPECT_EQ(world_.TakeJournal(),
            (Journal{"AcquireEngine", "SetAsyncRun", "GetInterface", "SetStorageCallback"}));
  EXPECT_EQ(world_.connectedRun, &run_);
  ASSERT_NE(world_.storage, nullptr);
  std::vector<uint8_t> out;
  EXPECT_EQ(world_.storage->GetStorageData("k", out), 0);
  ASSERT_EQ(run_.PostedCount(), 1u);
  EXPECT_EQ(run_.Posted()[0].texts, std::vector<std::string>{"k"});
  std::string name;
  delegate_->GetName(name);
  EXPECT_EQ(name, "offline");
  delegate_.reset();
  EXPECT_EQ(world_.TakeJournal(), (Journal{"Release", "ReleaseEngine"}));
  EXPECT_EQ(world_.acquired, 0);
}

// A refused storage callback tears the object down: the interface and the engine use are given
// back, the engine commands answer -1, and the shell commands still work.
TEST_F(OfflinePlayDelegateTest, FailedStartTearsDownAndCommandsFail) {
  world_.storageCallbackCode = -5;
  delegate_ = std::make_unique<ProcessMessageDelegate>(&run_, FakeOfflineWorld::Access(), shell_);
  EXPECT_EQ(world_.TakeJournal(), (Journal{"AcquireEngine", "SetAsyncRun", "GetInterface",
                                           "SetStorageCallback", "Release", "ReleaseEngine"}));
  EXPECT_EQ(delegate_->offlinePlay(), nullptr);
  EXPECT_EQ(world_.acquired, 0);
  for (const char* name :
       {"offlinePlay.openMedia", "offlinePlay.closeMedia", "offlinePlay.playMedia",
        "offlinePlay.stopMedia", "offlinePlay.pauseMedia", "offlinePlay.seekMedia",
        "offlinePlay.getPlayProgress"}) {
    EXPECT_EQ(Send(name, R"(["{}"])"), "1:[-1]") << name;
  }
  EXPECT_EQ(Send("offlinePlay.setPlaySpeed", "[2]"), "untouched");
  EXPECT_EQ(Send("offlinePlay.kRunProgram", R"(["calc","",""])"), "1:[0]");
  EXPECT_EQ(shell_.calls, std::vector<std::wstring>{L"open calc.exe|<null>|<null>"});
  EXPECT_TRUE(world_.TakeJournal().empty());
}

// Without an engine, or without the offline-play interface, the start fails with nothing kept;
// only a use that was actually taken is given back.
TEST_F(OfflinePlayDelegateTest, StartWithoutEngineOrInterface) {
  world_.engineAvailable = false;
  Start();
  EXPECT_EQ(delegate_->offlinePlay(), nullptr);
  EXPECT_EQ(world_.acquired, 0);
  world_.engineAvailable = true;
  world_.interfaceAvailable = false;
  delegate_ = std::make_unique<ProcessMessageDelegate>(&run_, FakeOfflineWorld::Access(), shell_);
  EXPECT_EQ(world_.TakeJournal(),
            (Journal{"AcquireEngine", "SetAsyncRun", "GetInterface", "ReleaseEngine"}));
  EXPECT_EQ(delegate_->offlinePlay(), nullptr);
  EXPECT_EQ(Send("offlinePlay.playMedia"), "1:[-1]");
}

// Pausing before anything is open answers 0 without calling the engine; device commands reach
// no device yet.
TEST_F(OfflinePlayDelegateTest, PauseBeforeOpen) {
  Start();
  EXPECT_EQ(Send("offlinePlay.pauseMedia"), "1:[0]");
  EXPECT_EQ(Send("engine.getSpeakerVolume"), "untouched");
  EXPECT_TRUE(world_.TakeJournal().empty());
}

// Opening passes the parsed configuration, takes the playback device, and device commands then
// reach it through the delegate; pause now calls the engine.
TEST_F(OfflinePlayDelegateTest, OpenTakesDeviceAndServesEngineCommands) {
  Start();
  world_.openCode = 3;
  EXPECT_EQ(Send("offlinePlay.openMedia", R"(["{\"id\":5,\"userId\":6,\"signature\":\"s\"}"])"),
            "1:[3]");
  EXPECT_EQ(world_.TakeJournal(), (Journal{"OpenMedia", "GetDeviceInterface 1"}));
  EXPECT_EQ(world_.lastConfig.roomId, 5);
  EXPECT_EQ(world_.lastConfig.userId, 6);
  EXPECT_STREQ(world_.lastConfig.signature, "s");
  EXPECT_EQ(world_.lastConfig.userType, 2);
  EXPECT_TRUE(delegate_->offlinePlay()->isOpen());

  EXPECT_EQ(Send("engine.getSpeakerVolume"), "2:[0,0.20000000298023224]");
  EXPECT_EQ(Send("offlinePlay.pauseMedia"), "1:[0]");
  EXPECT_EQ(world_.TakeJournal(), (Journal{"Device1.GetSpeakerVolume", "Pause 0"}));
}

// Opening while open closes first (stop, close, device released) and takes a new device; a close
// that fails ends the open with its code.
TEST_F(OfflinePlayDelegateTest, OpenWhileOpenClosesFirst) {
  Start();
  Open();
  world_.openCode = 0;
  EXPECT_EQ(Send("offlinePlay.openMedia", R"(["{}"])"), "1:[0]");
  EXPECT_EQ(world_.TakeJournal(), (Journal{"Stop", "CloseMedia", "Device1.Release", "OpenMedia",
                                           "GetDeviceInterface 2"}));
  world_.closeCode = -4;
  EXPECT_EQ(Send("offlinePlay.openMedia", R"(["{}"])"), "1:[-4]");
  EXPECT_EQ(world_.TakeJournal(), (Journal{"Stop", "CloseMedia", "Device2.Release"}));
  EXPECT_FALSE(delegate_->offlinePlay()->isOpen());
  EXPECT_EQ(Send("engine.muteSpeaker"), "untouched");
}

// A failed open leaves the recording closed but still provides a device wrapper, so device
// commands reach the playback devices; closing answers -1 without calls.
TEST_F(OfflinePlayDelegateTest, FailedOpenStillHasDevice) {
  Start();
  world_.openCode = -7;
  EXPECT_EQ(Send("offlinePlay.openMedia", R"(["{}"])"), "1:[-7]");
  EXPECT_FALSE(delegate_->offlinePlay()->isOpen());
  EXPECT_EQ(Send("engine.muteSpeaker"), "1:[0]");
  EXPECT_EQ(Send("offlinePlay.closeMedia"), "1:[-1]");
  EXPECT_EQ(Send("offlinePlay.pauseMedia"), "1:[0]");
  EXPECT_EQ(world_.TakeJournal(),
            (Journal{"OpenMedia", "GetDeviceInterface 1", "Device1.MuteSpeaker"}));
  // Opening again replaces the device even though nothing was open.
  Send("offlinePlay.openMedia", R"(["{}"])");
  EXPECT_EQ(world_.TakeJournal(),
            (Journal{"OpenMedia", "Device1.Release", "GetDeviceInterface 2"}));
}

// Text that is not JSON answers -1 and reaches no engine operation.
TEST_F(OfflinePlayDelegateTest, OpenWithBadJson) {
  Start();
  EXPECT_EQ(Send("offlinePlay.openMedia", R"(["{id:"])"), "1:[-1]");
  EXPECT_EQ(Send("offlinePlay.openMedia", "[5]"), "1:[-1]");
  EXPECT_TRUE(world_.TakeJournal().empty());
}

// Close: -1 and no calls when not open; when open, stop then close, the close's code, and the
// device is gone afterwards.
TEST_F(OfflinePlayDelegateTest, Close) {
  Start();
  EXPECT_EQ(Send("offlinePlay.closeMedia"), "1:[-1]");
  EXPECT_TRUE(world_.TakeJournal().empty());
  Open();
  world_.closeCode = 2;
  EXPECT_EQ(Send("offlinePlay.closeMedia"), "1:[2]");
  EXPECT_EQ(world_.TakeJournal(), (Journal{"Stop", "CloseMedia", "Device1.Release"}));
  EXPECT_EQ(Send("engine.muteSpeaker"), "untouched");
  EXPECT_EQ(Send("offlinePlay.closeMedia"), "1:[-1]");
}

// Play, stop, seek and speed pass their arguments and codes as the table gives them.
TEST_F(OfflinePlayDelegateTest, TransportCommands) {
  Start();
  world_.playCode = 1;
  world_.stopCode = -2;
  world_.seekCode = 4;
  EXPECT_EQ(Send("offlinePlay.playMedia"), "1:[1]");
  EXPECT_EQ(Send("offlinePlay.stopMedia"), "1:[-2]");
  EXPECT_EQ(Send("offlinePlay.seekMedia", "[2.9]"), "1:[4]");
  EXPECT_EQ(Send("offlinePlay.seekMedia", "[-2.9]"), "1:[4]");
  EXPECT_EQ(Send("offlinePlay.setPlaySpeed", "[1.5]"), "untouched");
  EXPECT_EQ(Send("offlinePlay.setPlaySpeed", "[1e300]"), "untouched");
  EXPECT_EQ(world_.TakeJournal(),
            (Journal{"Play 0", "Stop", "Seek 2", "Seek -2", "SetPlaySpeed 1.500000",
                     "SetPlaySpeed " + std::to_string(3.40282347e38f)}));
}

// Progress is the position plus 500: 1200 reports 0 and 1700; a negative progress only -1.
TEST_F(OfflinePlayDelegateTest, PlayProgress) {
  Start();
  world_.position = 1200;
  EXPECT_EQ(Send("offlinePlay.getPlayProgress"), "2:[0,1700]");
  world_.position = -500;
  EXPECT_EQ(Send("offlinePlay.getPlayProgress"), "2:[0,0]");
  world_.position = -501;
  EXPECT_EQ(Send("offlinePlay.getPlayProgress"), "1:[-1]");
  world_.position = 16777217;  // through single precision: 16777216 + 500
  EXPECT_EQ(Send("offlinePlay.getPlayProgress"), "2:[0,16777716]");
}

// "openFolder" kind 0 creates the user-data folder and the named one and opens the latter; other
// kinds and unsafe names do nothing, and no result is ever written.
TEST_F(OfflinePlayDelegateTest, OpenFolder) {
  Start();
  EXPECT_EQ(Send("offlinePlay.openFolder", R"([0,"bob"])"), "untouched");
  EXPECT_EQ(shell_.calls, (std::vector<std::wstring>{
                              L"create C:\\Data\\Corvel_Client\\user_data\\",
                              L"create C:\\Data\\Corvel_Client\\user_data\\bob",
                              L"open C:\\Data\\Corvel_Client\\user_data\\bob|<null>|<null>"}));
  shell_.calls.clear();
  EXPECT_EQ(Send("offlinePlay.openFolder", R"([1,"bob"])"), "untouched");
  EXPECT_EQ(Send("offlinePlay.openFolder", R"([0,"..\\..\\Windows"])"), "untouched");
  EXPECT_EQ(Send("offlinePlay.openFolder", R"([0,".."])"), "untouched");
  EXPECT_EQ(Send("offlinePlay.openFolder", "[0,5]"), "untouched");
  shell_.appData.clear();
  EXPECT_EQ(Send("offlinePlay.openFolder", R"([0,"bob"])"), "untouched");
  EXPECT_TRUE(shell_.calls.empty());
}

// Both program commands start exactly the named permitted program with its parameters and
// folder, start nothing for any other name, and always answer 0.
TEST_F(OfflinePlayDelegateTest, RunProgram) {
  Start();
  EXPECT_EQ(Send("offlinePlay.kRunProgram", R"(["notepad","a.txt","C:\\d"])"), "1:[0]");
  EXPECT_EQ(Send("offlinePlay.kvrequest", R"(["mspaint","",""])"), "1:[0]");
  EXPECT_EQ(Send("offlinePlay.kRunProgram", R"(["Calc","",""])"), "1:[0]");
  EXPECT_EQ(Send("offlinePlay.kvrequest", R"(["cmd.exe","/c",""])"), "1:[0]");
  EXPECT_EQ(Send("offlinePlay.kRunProgram", "[]"), "1:[0]");
  EXPECT_EQ(shell_.calls, (std::vector<std::wstring>{L"open notepad.exe|a.txt|C:\\d",
                                                     L"open mspaint.exe|<null>|<null>"}));
  EXPECT_TRUE(world_.TakeJournal().empty());
}

// Other names: an unknown method, another letter case, another prefix and "uploadRecFile" leave
// the record untouched and call nothing.
TEST_F(OfflinePlayDelegateTest, UnservedNames) {
  Start();
  EXPECT_EQ(Send("offlinePlay.OpenMedia"), "untouched");
  EXPECT_EQ(Send("offlinePlay.nothing"), "untouched");
  EXPECT_EQ(Send("live.playMedia"), "untouched");
  EXPECT_EQ(Send("xofflinePlay.playMedia"), "untouched");
  EXPECT_EQ(Send("offlinePlay.uploadRecFile", R"([1,"a","b"])"), "untouched");
  EXPECT_TRUE(world_.TakeJournal().empty());
}

// Catches an allocation failure that leaves a command without its answer: wherever it strikes,
// a command that answers with a code answers -1, one that never answers writes nothing, and no
// exception reaches the host.
TEST_F(OfflinePlayDelegateTest, AllocationFailureAnswersAsAFailedCommand) {
  Start();
  const struct {
    const char* name;
    const char* args;
    const char* done;
  } commands[] = {
      {"offlinePlay.openMedia", R"(["{\"id\":5,\"sess\":\"s\",\"appVersion\":\"4.1\"}"])", "1:[0]"},
      {"offlinePlay.openFolder", R"([0,"bob"])", "untouched"},
  };
  for (const auto& command : commands) {
    auto message = MakeMessage(command.name, command.args);
    corvel_client::testing::ForEachAllocationFailure(
        [&] { delegate_->OnMessage(message); },
        [&](bool failed, bool escaped) {
          EXPECT_FALSE(escaped) << command.name;
          const bool answers = std::string(command.done) != "untouched";
          EXPECT_EQ(Result(*message), failed && answers ? "1:[-1]" : command.done) << command.name;
          if (command.name == std::string("offlinePlay.openMedia")) {
            // -1 must be true: no recording left open, no device interface held.
            const auto released = std::count_if(
                world_.journal.begin(), world_.journal.end(), [](const std::string& line) {
                  return line.rfind("Device", 0) == 0 && line.find(".Release") != line.npos;
                });
            EXPECT_EQ(world_.mediaOpen, !failed);
            EXPECT_EQ(static_cast<long>(world_.devices.size() - released), failed ? 0 : 1);
          }
          message = MakeMessage(command.name, command.args);
        });
  }
}

// Builds the host's byte-block item: the string field points to a LargeMemoryMalloc block and
// the number field holds the count.
std::shared_ptr<MessageFromCpp> StorageMessage(const char* key, const char* bytes, double count,
                                               double status) {
  auto message = MakeMessage("offlinePlay.setStorageData", "[]");
  cJSON_AddItemToArray(message->args, cJSON_CreateString(key));
  cJSON* item = cJSON_CreateNull();
  if (bytes != nullptr) {
    const int size = static_cast<int>(std::string(bytes).size());
    item->valuestring = corvel::LargeMemoryMalloc(size);
    std::copy(bytes, bytes + size, item->valuestring);
  }
  item->valuedouble = count;
  cJSON_AddItemToArray(message->args, item);
  cJSON_AddItemToArray(message->args, cJSON_CreateNumber(status));
  return message;
}

// The answer reaches the storage callback, the block leaves the item (so the record's deleter
// cannot free it again) and is freed once; the sanitizers catch a double free or a leak.
TEST_F(OfflinePlayDelegateTest, SetStorageDataHandsBlockOnce) {
  Start();
  std::vector<uint8_t> out;
  world_.storage->GetStorageData("k", out);
  auto message = StorageMessage("k", "abc", 3, 0);
  delegate_->OnMessage(message);
  EXPECT_EQ(Result(*message), "untouched");
  EXPECT_EQ(cJSON_GetArrayItem(message->args, 1)->valuestring, nullptr);
  EXPECT_EQ(world_.storage->GetStorageData("k", out), 0);
  EXPECT_EQ(std::string(out.begin(), out.end()), "abc");
}

// Catches an answer without a usable block being dropped: its key and status must still reach
// the storage callback, so the engine's wait ends at once instead of after 10 seconds. No block, a
// negative or zero count, or no data item at all is an empty answer and fails the fetch; a status
// above 0 fails it too, and a pending status (-1) keeps the engine waiting.
TEST_F(OfflinePlayDelegateTest, SetStorageDataWithoutUsableBlockStillAnswers) {
  Start();
  struct Case {
    const char* what;
    std::shared_ptr<MessageFromCpp> answer;
    int fetch;
  };
  const Case cases[] = {
      {"no block", StorageMessage("k", nullptr, 3, 0), -1},
      {"negative count", StorageMessage("k", "abc", -1, 0), -1},
      {"zero count", StorageMessage("k", "abc", 0, 0), -1},
      {"no data item", MakeMessage("offlinePlay.setStorageData", R"(["k"])"), -1},
      {"failed status", StorageMessage("k", nullptr, 0, 2), -1},
      {"pending status", StorageMessage("k", nullptr, 0, -1), 0},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out;
    world_.storage->GetStorageData("k", out);  // asks the scripts
    delegate_->OnMessage(c.answer);
    EXPECT_EQ(world_.storage->GetStorageData("k", out), c.fetch) << c.what;
    EXPECT_TRUE(out.empty()) << c.what;
    world_.storage->GetStorageData("other", out);  // a new key: back to a fresh request
  }
}

// Catches a text argument in the block's place being taken as a block: its text belongs to cJSON,
// and freeing it as a block corrupts the heap (AddressSanitizer reports the mismatched free).
TEST_F(OfflinePlayDelegateTest, SetStorageDataLeavesTextArgumentToItsRecord) {
  Start();
  std::vector<uint8_t> out;
  world_.storage->GetStorageData("k", out);
  auto message = MakeMessage("offlinePlay.setStorageData", R"(["k","abc",0])");
  delegate_->OnMessage(message);
  EXPECT_STREQ(cJSON_GetArrayItem(message->args, 1)->valuestring, "abc");
  EXPECT_EQ(world_.storage->GetStorageData("k", out), -1);  // an answer without data
}

// With the start failed, "setStorageData" only frees the block.
TEST_F(OfflinePlayDelegateTest, SetStorageDataWithoutObjectFreesBlock) {
  world_.storageCallbackCode = -1;
  Start();
  auto message = StorageMessage("k", "abc", 3, 0);
  delegate_->OnMessage(message);
  EXPECT_EQ(cJSON_GetArrayItem(message->args, 1)->valuestring, nullptr);
}

}  // namespace

#if !defined(_WIN32)
namespace {

// Natively the process shell launches and creates nothing on the Linux file system: the program
// start is refused and recorded, and without an application-data folder no folder is planned.
TEST_F(OfflinePlayDelegateTest, NativeShellRefusesAndRecords) {
  corvel_client::os::TakeRefusedShellCalls();
  delegate_ = std::make_unique<ProcessMessageDelegate>(
      &run_, FakeOfflineWorld::Access(), corvel_client_offline_play_handler::OsShell());
  EXPECT_EQ(Send("offlinePlay.kRunProgram", R"(["calc","-x","C:\\w"])"), "1:[0]");
  EXPECT_EQ(Send("offlinePlay.openFolder", R"([0,"bob"])"), "untouched");
  EXPECT_EQ(corvel_client::os::TakeRefusedShellCalls(),
            std::vector<std::wstring>{L"open calc.exe|-x|C:\\w"});
  EXPECT_FALSE(corvel_client::os::CreateFolder(L"/tmp/x"));
  EXPECT_EQ(corvel_client::os::TakeRefusedShellCalls(),
            std::vector<std::wstring>{L"create /tmp/x"});
}

}  // namespace
#endif
