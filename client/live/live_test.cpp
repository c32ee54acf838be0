#include "live/live.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "recording_host.h"
#include "failing_allocator.h"
#include "kv/sim_engine.h"
#include "live/live_delegate.h"
#include "offline_play/offline_play_delegate.h"

namespace {

using corvel_client::Live;
using corvel_client_live_handler::ProcessMessageDelegate;
using corvel_client_win::MessageFromCpp;
using Calls = std::vector<std::string>;

// Keeps the queued work items until the test runs them, as the host's core thread would.
class QueueDispatcher : public corvel::ICoreDispatcher {
 public:
  ~QueueDispatcher() { RunAll(); }
  void Dispatch(corvel::IDispatchHanler* handler) override {
    if (handler != nullptr) queued.push_back(handler);
  }
  void RunAll() {
    for (corvel::IDispatchHanler* handler : queued) handler->Run();
    queued.clear();
  }
  std::vector<corvel::IDispatchHanler*> queued;
};

std::string Print(const cJSON* item) {
  char* text = cJSON_PrintUnformatted(item);
  std::string printed = text != nullptr ? text : "";
  cJSON_free(text);
  return printed;
}

std::string SimControl(const std::string& request) {
  char* reply = kv_sim_control(request.c_str());
  std::string text = reply != nullptr ? reply : "";
  kv_sim_free(reply);
  return text;
}

// Scripts the code (and optionally the out value) the simulated engine answers for `op`.
void Reply(const std::string& op, int code, const std::string& out = "") {
  const std::string reply =
      SimControl("{\"sim\":\"reply\",\"op\":\"" + op + "\",\"code\":" + std::to_string(code) +
                 (out.empty() ? "" : ",\"out\":" + out) + "}");
  ASSERT_EQ(reply, "") << op;
}

std::shared_ptr<MessageFromCpp> Message(const std::string& name, const std::string& args) {
  auto message = corvel::CreateMessage(name.c_str());
  cJSON_Delete(message->args);
  message->args = cJSON_Parse(args.c_str());
  return message;
}

// "count result" of a record, e.g. "2 [0,17]".
std::string Outcome(const MessageFromCpp& message) {
  return std::to_string(message.resultCount) + " " + Print(message.result);
}

// A JSON text argument holding `json`.
std::string TextArg(const std::string& json) {
  cJSON* array = cJSON_CreateArray();
  cJSON_AddItemToArray(array, cJSON_CreateString(json.c_str()));
  std::string arg = Print(array);
  cJSON_Delete(array);
  return arg;
}

class LiveCommands : public ::testing::Test {
 protected:
  void SetUp() override { SimControl(R"({"sim":"reset"})"); }
  void TearDown() override {
    delegate_.reset();
    dispatcher_.RunAll();
    Take();
    // Every use of the engine and every interface is given back when the delegate goes.
    EXPECT_EQ(Count("Engine.Create"), Count("Engine.Delete"));
    if (balanced_) {
      EXPECT_EQ(Count("Live.GetInterface"), Count("Live.Release"));
      EXPECT_EQ(Count("Live.GetDeviceInterface"), Count("Device.Release"));
    }
  }

  ProcessMessageDelegate& Delegate() {
    if (!delegate_) delegate_ = std::make_unique<ProcessMessageDelegate>(&dispatcher_);
    return *delegate_;
  }

  std::string Run(const std::string& name, const std::string& args = "[]") {
    auto message = Message(name, args);
    Delegate().OnMessage(message);
    return Outcome(*message);
  }

  // Moves the engine's new journal entries into `all_`, as "Op[arguments]". The room record of
  // EnterRoom is kept aside in `config_` and noted by its room id only.
  void Take() {
    cJSON* reply = cJSON_Parse(SimControl(R"({"sim":"journal"})").c_str());
    const cJSON* entry = nullptr;
    cJSON_ArrayForEach(entry, cJSON_GetObjectItemCaseSensitive(reply, "journal")) {
      const std::string op = cJSON_GetObjectItemCaseSensitive(entry, "op")->valuestring;
      const cJSON* args = cJSON_GetObjectItemCaseSensitive(entry, "args");
      if (op == "Live.EnterRoom") {
        config_ = Print(cJSON_GetArrayItem(args, 0));
        const cJSON* config = cJSON_GetArrayItem(args, 0);
        all_.push_back(op + "[" + Print(cJSON_GetObjectItemCaseSensitive(config, "roomId")) + "]");
      } else {
        all_.push_back(op + Print(args));
      }
    }
    cJSON_Delete(reply);
  }

  // The calls since the last Forget.
  Calls New() {
    Take();
    return Calls(all_.begin() + static_cast<std::ptrdiff_t>(seen_), all_.end());
  }
  void Forget() {
    Take();
    seen_ = all_.size();
  }
  std::string Last() {
    Take();
    return all_.empty() ? "" : all_.back();
  }
  int Count(const std::string& op) const {
    return static_cast<int>(std::count_if(all_.begin(), all_.end(), [&](const std::string& c) {
      return c.compare(0, op.size() + 1, op + "[") == 0;
    }));
  }
  // A member of the last room record, printed.
  std::string Config(const char* key) const {
    cJSON* config = cJSON_Parse(config_.c_str());
    std::string value = Print(cJSON_GetObjectItemCaseSensitive(config, key));
    cJSON_Delete(config);
    return value;
  }

  // Enters a room and forgets the calls that took.
  void EnterRoom(const char* json = R"({"id":1234})") {
    ASSERT_EQ(Run("live.enterRoom", TextArg(json)), "1 [0]");
    Forget();
  }

  QueueDispatcher dispatcher_;
  std::unique_ptr<ProcessMessageDelegate> delegate_;
  Calls all_;
  size_t seen_ = 0;
  std::string config_;
  bool balanced_ = true;
};

// Setting up starts the engine, hands it the host's dispatcher and takes the live interface.
TEST_F(LiveCommands, SetupStartsEngineAndTakesLiveInterface) {
  ASSERT_NE(Delegate().live(), nullptr);
  const Calls calls = New();
  ASSERT_GE(calls.size(), 7u);
  EXPECT_EQ(calls[0], "Engine.Create[]");
  EXPECT_EQ(calls[1], "Engine.SetCallback[true]");
  EXPECT_EQ(calls[2], "Engine.SetMediaCallback[true]");
  EXPECT_EQ(calls[3], "Engine.SetOption[254]");
  EXPECT_EQ(calls[4].compare(0, 18, "Engine.SetLogFile["), 0);
  EXPECT_EQ(calls[5], "Engine.SetCoreDispatcher[true]");
  EXPECT_EQ(calls[6], "Live.GetInterface[true]");
  EXPECT_FALSE(Delegate().live()->InRoom());
  std::string name;
  Delegate().GetName(name);
  EXPECT_EQ(name, "live");
}

// When setup fails the delegate keeps no Live, gives the engine back, and its commands answer
// -1 without reaching the engine; nothing is queued.
TEST_F(LiveCommands, FailedSetupKeepsNoLive) {
  balanced_ = false;  // a refused interface is never released
  const char* failures[] = {"Engine.Create", "Engine.SetCoreDispatcher", "Live.GetInterface"};
  for (const char* failure : failures) {
    SimControl(R"({"sim":"reset"})");
    all_.clear();
    seen_ = 0;
    Reply(failure, -6);
    delegate_.reset();
    EXPECT_EQ(Delegate().live(), nullptr) << failure;
    Forget();
    EXPECT_EQ(Count("Engine.Create"), 1) << failure;
    EXPECT_EQ(Count("Engine.Delete"), std::string(failure) == "Engine.Create" ? 0 : 1) << failure;
    EXPECT_EQ(Count("Live.Release"), 0) << failure;
    EXPECT_EQ(Run("live.enterRoom", TextArg("{}")), "1 [-1]");
    EXPECT_EQ(Run("live.syncStroke", R"([[{"x":1}],1,2])"), "1 [-1]");
    EXPECT_EQ(Run("live.applyMicrophone"), "1 [-1]");
    EXPECT_EQ(Run("live.getMicrophoneLevel"), "0 []");
    EXPECT_EQ(Run("engine.muteSpeaker"), "0 []");
    EXPECT_EQ(New(), Calls{}) << failure;
    EXPECT_TRUE(dispatcher_.queued.empty());
  }
}

// Entering: version, then the room, then the device interface; the configuration is kept.
TEST_F(LiveCommands, EnterRoomKeepsConfigAndTakesDevices) {
  Delegate();
  Forget();
  EXPECT_EQ(Run("live.enterRoom", TextArg(R"({"id":1234,"type":1,"appVersion":"4.1.0.7",
                                              "server":{"version":2,"roomServer":{"host":"r"}}})")),
            "1 [0]");
  EXPECT_EQ(New(), (Calls{R"(Engine.SetClientVersion[3,3,"4.1.0.7"])", "Live.EnterRoom[1234]",
                          "Live.GetDeviceInterface[true]"}));
  EXPECT_EQ(Config("roomType"), "4");
  EXPECT_EQ(Config("userType"), "2");
  EXPECT_EQ(Config("servers"), R"([{"kind":0,"port":5003,"controlPort":0,"host":"r"}])");
  EXPECT_EQ(Config("flag0") + Config("flag1"), "truetrue");
  const Live& live = *Delegate().live();
  EXPECT_TRUE(live.InRoom());
  EXPECT_EQ(live.room().roomId, 1234);
  EXPECT_EQ(live.room().appVersion, "4.1.0.7");
  EXPECT_NE(live.deviceEngine(), nullptr);
}

// Text that is not JSON still enters with the zeroed record; a missing argument does the same.
TEST_F(LiveCommands, EnterRoomWithUnparseableText) {
  for (const char* args : {R"(["not json"])", "[]", "[5]"}) {
    Delegate();
    Forget();
    EXPECT_EQ(Run("live.enterRoom", args), "1 [0]") << args;
    const Calls calls = New();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[calls.size() - 3], R"(Engine.SetClientVersion[3,3,""])");
    EXPECT_EQ(calls[calls.size() - 2], "Live.EnterRoom[0]");
    EXPECT_EQ(Config("userType") + " " + Config("versionSet") + " " + Config("logLevel"), "0 0 0");
    EXPECT_EQ(Config("flag0") + Config("flag1"), "truetrue");
    EXPECT_TRUE(Delegate().live()->InRoom());  // room id 0 is a room
  }
}

// A refused entry reports the engine's code and leaves no room and no devices.
TEST_F(LiveCommands, EnterRoomFailure) {
  Reply("Live.EnterRoom", -7);
  EXPECT_EQ(Run("live.enterRoom", TextArg(R"({"id":5})")), "1 [-7]");
  EXPECT_EQ(Last(), "Live.EnterRoom[5]");
  EXPECT_FALSE(Delegate().live()->InRoom());
  EXPECT_EQ(Delegate().live()->deviceEngine(), nullptr);
  EXPECT_EQ(Count("Live.GetDeviceInterface"), 0);
}

// Re-entering leaves the old room first (its devices released) and clears the sending flag; a
// failed re-entry ends without a room.
TEST_F(LiveCommands, ReenterLeavesOldRoom) {
  EnterRoom();
  EXPECT_EQ(Run("live.startSend"), "1 [0]");
  EXPECT_EQ(Run("live.enterRoom", TextArg(R"({"id":99,"appVersion":"v"})")), "1 [0]");
  EXPECT_EQ(New(),
            (Calls{"Live.QuitRoom[]", "Device.Release[]", R"(Engine.SetClientVersion[3,3,"v"])",
                   "Live.EnterRoom[99]", "Live.GetDeviceInterface[true]"}));
  EXPECT_EQ(Delegate().live()->room().roomId, 99);
  EXPECT_FALSE(Delegate().live()->sending());
  Reply("Live.EnterRoom", -3);
  EXPECT_EQ(Run("live.enterRoom", TextArg(R"({"id":100})")), "1 [-3]");
  EXPECT_FALSE(Delegate().live()->InRoom());
  EXPECT_EQ(Delegate().live()->deviceEngine(), nullptr);
}

// A room id below 0 is accepted by the engine but marks no room; entering again must not leak the
// devices taken for it (the teardown balances device takes and releases).
TEST_F(LiveCommands, NegativeRoomIdDoesNotLeakDevices) {
  EXPECT_EQ(Run("live.enterRoom", TextArg(R"({"id":-5})")), "1 [0]");
  EXPECT_FALSE(Delegate().live()->InRoom());
  EXPECT_EQ(Run("live.enterRoom", TextArg(R"({"id":6})")), "1 [0]");
  Take();
  EXPECT_EQ(Count("Device.Release"), 1);
}

// Leaving: -1 without a room (no engine call); otherwise the engine's code and no devices.
TEST_F(LiveCommands, QuitRoom) {
  Delegate();
  Forget();
  EXPECT_EQ(Run("live.quitRoom"), "1 [-1]");
  EXPECT_EQ(New(), Calls{});
  EnterRoom();
  Reply("Live.QuitRoom", 3);
  EXPECT_EQ(Run("live.quitRoom"), "1 [3]");
  EXPECT_EQ(New(), (Calls{"Live.QuitRoom[]", "Device.Release[]"}));
  EXPECT_FALSE(Delegate().live()->InRoom());
  EXPECT_EQ(Delegate().live()->deviceEngine(), nullptr);
  EXPECT_EQ(Run("live.quitRoom"), "1 [-1]");
}

// Sending starts once per room, never outside one, and calls no engine operation.
TEST_F(LiveCommands, StartSend) {
  EXPECT_EQ(Run("live.startSend"), "1 [-1]");
  EnterRoom();
  EXPECT_EQ(Run("live.startSend"), "1 [0]");
  EXPECT_EQ(Run("live.startSend"), "1 [-1]");
  EXPECT_EQ(Run("live.quitRoom"), "1 [0]");
  EXPECT_EQ(Run("live.startSend"), "1 [-1]");
  EnterRoom();
  EXPECT_EQ(Run("live.startSend"), "1 [0]");
  EXPECT_EQ(New(), Calls{});
}

// Closing while in a room leaves it and gives back every interface in order.
TEST_F(LiveCommands, CloseLeavesRoomAndReleasesEverything) {
  EnterRoom();
  delegate_.reset();
  EXPECT_EQ(New(), (Calls{"Live.QuitRoom[]", "Live.Release[]", "Device.Release[]",
                          "Engine.Delete[true]"}));
}

struct Case {
  const char* method;
  const char* args;
  const char* call;  // the one engine call expected, as journaled
};

// Each command reaches its own engine operation with its arguments converted, and its code comes
// back as the only result (catches a handler in the wrong table slot or a dropped argument).
TEST_F(LiveCommands, EachCommandCallsItsOperation) {
  const Case cases[] = {
      {"applyMicrophone", "[]", "Live.ApplyMicrophone[]"},
      {"approveMicrophone", "[5.9]", "Live.ApproveMicrophone[5]"},
      {"revokeMicrophone", "[-2.9]", "Live.RevokeMicrophone[-2]"},
      {"settingMicrophone", "[1,2]", "Live.SettingMicrophone[1,2]"},
      {"openMicrophoneQueue", "[]", "Live.OpenMicrophoneQueue[]"},
      {"closeMicrophoneQueue", "[]", "Live.CloseMicrophoneQueue[]"},
      {"openVideoMic", "[]", "Live.OpenVideoMic[]"},
      {"closeVideoMic", "[]", "Live.CloseVideoMic[]"},
      {"cancelAllMicrophone", "[]", "Live.CancelAllMicrophone[]"},
      {"sendChatMessage", R"([-12.7,"hello",3])", R"(Live.SendChatMessage["-12","hello",3])"},
      {"pageUp", "[]", "Live.PageUp[]"},
      {"pageTo", "[4]", "Live.PageTo[4]"},
      {"pageDown", "[]", "Live.PageDown[]"},
      {"publishKeynote", "[1,2,3,9]", R"(Live.PublishKeynote[{"value":[1,2,3,0]}])"},
      {"eraseStroke", "[]", "Live.EraseStroke[]"},
      {"startClass", "[]", "Live.StartClass[]"},
      {"endClass", "[]", "Live.EndClass[]"},
      {"assistantOnBoard", "[]", "Live.AssistantOnBoard[]"},
      {"assistantOffBoard", "[]", "Live.AssistantOffBoard[]"},
      {"banUser", "[9]", "Live.BanUser[9]"},
      {"unBanUser", "[10]", "Live.UnBanUser[10]"},
      {"banAllUser", "[]", "Live.BanAllUser[]"},
      {"unBanAllUser", "[]", "Live.UnBanAllUser[]"},
      {"cancelTopMessage", "[]", "Live.CancelTopMessage[]"},
      {"setNickname", R"(["Ann"])", R"(Live.SetNickname["Ann"])"},
      {"beginSendVideo", "[]", "Live.BeginSendVideo[0]"},
      {"stopSendVideo", "[]", "Live.StopSendVideo[]"},
      {"beginSendScreen", "[]", "Live.BeginSendVideo[1]"},
      {"stopSendScreen", "[]", "Live.StopSendVideo[]"},
      {"switchVideoStyle", "[3,4]", "Live.SwitchVideoStyle[3,4]"},
      {"addQuestion", R"(["{\"type\":2,\"optionNum\":4,\"correctOptions\":[1,3]}"])",
       "Live.AddQuestion[2,4,[1,3],2]"},
      {"endQuestion", "[8]", "Live.EndQuestion[8]"},
      {"removeQuestion", "[11]", "Live.RemoveQuestion[11]"},
      {"myAnswer", R"(["{\"questionId\":5,\"selectedOptions\":[2]}"])", "Live.MyAnswer[5,[2],1]"},
  };
  Delegate();
  int code = 10;
  for (const Case& c : cases) {
    Forget();
    const std::string call = c.call;
    Reply(call.substr(0, call.find('[')), ++code);
    EXPECT_EQ(Run(std::string("live.") + c.method, c.args), "1 [" + std::to_string(code) + "]")
        << c.method;
    EXPECT_EQ(New(), Calls{c.call}) << c.method;
  }
  // A failing operation reports its code alone too.
  Reply("Live.PageUp", -2);
  EXPECT_EQ(Run("live.pageUp"), "1 [-2]");
}

// Missing or wrongly typed arguments: texts reach the engine empty, numbers as 0.
TEST_F(LiveCommands, MissingArgumentsReadAsEmptyOrZero) {
  Delegate();
  Forget();
  EXPECT_EQ(Run("live.sendChatMessage"), "1 [0]");
  EXPECT_EQ(Run("live.sendChatMessage", R"(["7",null,"x"])"), "1 [0]");
  EXPECT_EQ(Run("live.setNickname", "[5]"), "1 [0]");
  EXPECT_EQ(Run("live.addQuestion"), "1 [0]");
  EXPECT_EQ(Run("live.myAnswer", R"([{"questionId":1}])"), "1 [0]");
  EXPECT_EQ(Run("live.switchVideoStyle", R"([true])"), "1 [0]");
  EXPECT_EQ(New(), (Calls{R"(Live.SendChatMessage["0","",0])", R"(Live.SendChatMessage["0","",0])",
                          R"(Live.SetNickname[""])", "Live.AddQuestion[0,0,[],0]",
                          "Live.MyAnswer[0,[],0]", "Live.SwitchVideoStyle[0,0]"}));
  // A record without any args array at all.
  auto bare = corvel::CreateMessage("live.banUser");
  cJSON_Delete(bare->args);
  bare->args = nullptr;
  Delegate().OnMessage(bare);
  EXPECT_EQ(Outcome(*bare), "1 [0]");
  EXPECT_EQ(Last(), "Live.BanUser[0]");
}

// More than 32 options: the engine sees the first 32 and a count of 32.
TEST_F(LiveCommands, QuestionOptionsAreLimitedTo32) {
  std::string list;
  std::string first32;
  for (int i = 0; i < 40; ++i) {
    list += (i > 0 ? "," : "") + std::to_string(i + 1);
    if (i < 32) first32 += (i > 0 ? "," : "") + std::to_string(i + 1);
  }
  EXPECT_EQ(Run("live.addQuestion", TextArg("{\"type\":1,\"correctOptions\":[" + list + "]}")),
            "1 [0]");
  EXPECT_EQ(Last(), "Live.AddQuestion[1,0,[" + first32 + "],32]");
  EXPECT_EQ(Run("live.myAnswer", TextArg("{\"selectedOptions\":[" + list + "]}")), "1 [0]");
  EXPECT_EQ(Last(), "Live.MyAnswer[0,[" + first32 + "],32]");
}

// The level is appended, as an unsigned number, only when the call succeeds.
TEST_F(LiveCommands, GetOutputLevel) {
  Reply("Live.GetOutputLevel", 0, "4000000000");
  EXPECT_EQ(Run("live.getOutputLevel", "[3]"), "2 [0,4000000000]");
  EXPECT_EQ(Last(), "Live.GetOutputLevel[3]");
  Reply("Live.GetOutputLevel", -4, "5");
  EXPECT_EQ(Run("live.getOutputLevel", "[3]"), "1 [-4]");
}

// "getMicrophoneLevel" is a live name without live handling, in a room or not; so are names in
// another letter case and unknown names.
TEST_F(LiveCommands, UnhandledNamesLeaveRecordUntouched) {
  Delegate();
  Forget();
  EXPECT_EQ(Run("live.getMicrophoneLevel", "[true]"), "0 []");
  EXPECT_EQ(Run("live.EnterRoom", TextArg("{}")), "0 []");
  EXPECT_EQ(Run("live.nothing"), "0 []");
  EXPECT_EQ(Run("offlinePlay.pageUp"), "0 []");
  EnterRoom();
  EXPECT_EQ(Run("live.getMicrophoneLevel", "[true]"), "0 []");
  EXPECT_EQ(New(), Calls{});
}

// The stroke answers 0 at once and calls the engine only when the core thread runs the item,
// with the points read (absent or non-number members keep 0, 0, 0.5; coordinates beyond float's
// range saturate) and the numbers truncated.
TEST_F(LiveCommands, SyncStrokeIsDeferred) {
  Delegate();
  Forget();
  Reply("Live.SyncStroke", -1);  // the engine's code is not reported anywhere
  EXPECT_EQ(Run("live.syncStroke",
                R"([[{"x":1.5,"y":2,"pressure":0.25},{"x":3,"y":1e300},{"y":"7"},5], 7.9, -8.2])"),
            "1 [0]");
  EXPECT_EQ(New(), Calls{});
  ASSERT_EQ(dispatcher_.queued.size(), 1u);
  EXPECT_EQ(dispatcher_.queued[0]->refCount.load(), 1);
  dispatcher_.RunAll();  // the item frees the points and itself (checked by the sanitizers)
  const Calls calls = New();
  ASSERT_EQ(calls.size(), 1u);
  // The saturated coordinate is compared as a number: its printed exponent differs by platform.
  const std::string head = "Live.SyncStroke[[[1.5,2,0.25],[3,";
  const std::string tail = ",0.5],[0,0,0.5],[0,0,0.5]],4,7,-8]";
  ASSERT_EQ(calls[0].compare(0, head.size(), head), 0) << calls[0];
  ASSERT_GT(calls[0].size(), head.size() + tail.size());
  EXPECT_EQ(calls[0].substr(calls[0].size() - tail.size()), tail);
  const std::string y = calls[0].substr(head.size(), calls[0].size() - head.size() - tail.size());
  EXPECT_EQ(std::strtof(y.c_str(), nullptr), std::numeric_limits<float>::max());
}

// An empty list (or no list) still queues an item, with count 0.
TEST_F(LiveCommands, SyncStrokeWithoutPoints) {
  Delegate();
  Forget();
  EXPECT_EQ(Run("live.syncStroke", "[[],1,2]"), "1 [0]");
  EXPECT_EQ(Run("live.syncStroke", R"(["x"])"), "1 [0]");
  ASSERT_EQ(dispatcher_.queued.size(), 2u);
  dispatcher_.RunAll();
  EXPECT_EQ(New(), (Calls{"Live.SyncStroke[[],0,1,2]", "Live.SyncStroke[[],0,0,0]"}));
}

// Without a dispatcher nothing can run the item: the points are freed at once (the leak checker
// catches it otherwise) and the result is still 0.
TEST_F(LiveCommands, SyncStrokeWithoutDispatcherFreesPoints) {
  Live live(nullptr);
  ASSERT_EQ(live.Setup(), 0);
  Forget();
  auto message = Message("live.syncStroke", R"([[{"x":1},{"x":2}],1,2])");
  EXPECT_TRUE(corvel_client::RunLiveCommand(&live, *message));
  EXPECT_EQ(Outcome(*message), "1 [0]");
  EXPECT_EQ(New(), Calls{});
}

// Device commands reach the room's device interface only while in a room; the live table never
// serves them.
TEST_F(LiveCommands, DeviceCommandsOnlyInRoom) {
  Delegate();
  Forget();
  EXPECT_EQ(Run("engine.muteSpeaker"), "0 []");
  EXPECT_EQ(Run("engine.isSysMicrophoneMute"), "0 []");
  EnterRoom();
  EXPECT_EQ(Run("engine.muteSpeaker"), "1 [0]");
  Reply("Device.SetSpeakerVolume", -5);
  EXPECT_EQ(Run("engine.setSpeakerVolume", "[127.9]"), "1 [-5]");
  Reply("Device.GetSpeakerVolume", 0, "255");
  EXPECT_EQ(Run("engine.getSpeakerVolume"), "2 [0,1]");
  EXPECT_EQ(Run("engine.unknownThing"), "0 []");
  EXPECT_EQ(New(), (Calls{"Device.MuteSpeaker[true]", "Device.SetSpeakerVolume[127]",
                          "Device.GetSpeakerVolume[]"}));
  EXPECT_EQ(Run("live.quitRoom"), "1 [0]");
  Forget();
  EXPECT_EQ(Run("engine.muteSpeaker"), "0 []");
  EXPECT_EQ(New(), Calls{});
}

// A room whose device interface the engine refuses still answers device commands, with -1.
TEST_F(LiveCommands, RoomWithoutDeviceInterface) {
  balanced_ = false;  // no device interface was handed out
  Reply("Live.GetDeviceInterface", -1);
  EnterRoom();
  EXPECT_EQ(Run("engine.muteSpeaker"), "1 [-1]");
  EXPECT_EQ(Run("live.quitRoom"), "1 [0]");
  EXPECT_EQ(New(), Calls{"Live.QuitRoom[]"});
}

// Catches a failed offline-play start that leaves the live class deaf: the start hands the host
// to the engine's callback and then, failing, gives the engine back; the live delegate's new
// engine must still post its events to that host. Also when the offline start found no engine.
TEST_F(LiveCommands, LiveEventsReachTheHostAfterAFailedOfflineStart) {
  static corvel_client::testing::RecordingHost host;  // the host outlives every engine
  for (const char* failure :
       {"Engine.Create", "OfflinePlay.GetInterface", "OfflinePlay.SetStorageCallback"}) {
    delegate_.reset();  // no engine left: the offline start creates it
    SimControl(R"({"sim":"reset"})");
    host.Clear();
    Reply(failure, -5);
    {
      corvel_client_offline_play_handler::ProcessMessageDelegate offline(&host);
      ASSERT_EQ(offline.offlinePlay(), nullptr) << failure;
    }
    Reply(failure, 0);
    ASSERT_NE(Delegate().live(), nullptr) << failure;
    SimControl(R"({"sim":"emit","event":"OnUserQuitRoom","args":[5,0]})");
    EXPECT_EQ(host.Events(), std::vector<std::string>{"userQuitRoom|i:5"}) << failure;
  }
  corvel_client::SetEventHost(nullptr);  // later tests' engines post nowhere, as before
}

// Catches an allocation failure escaping the live table to the host: wherever it strikes (the
// configuration, the kept room, the device wrapper), the command answers -1 alone, as the table
// does without its interface, and entering again afterwards works.
TEST_F(LiveCommands, AllocationFailureAnswersMinusOne) {
  balanced_ = false;  // the engine's own journal loses calls whose recording could not allocate
  Delegate();
  const std::string config = TextArg(R"({"id":12,"appVersion":"4.1.0.7","sess":"s",
      "server":{"roomServer":{"host":"room.example"},"mediaServerList":[{"host":"m"}]}})");
  auto message = Message("live.enterRoom", config);
  corvel_client::testing::ForEachAllocationFailure(
      [&] { Delegate().OnMessage(message); },
      [&](bool failed, bool escaped) {
        EXPECT_FALSE(escaped);
        EXPECT_EQ(Outcome(*message), failed ? "1 [-1]" : "1 [0]");
        // -1 must be true: neither the engine nor the Live is left in the room.
        Take();
        EXPECT_EQ(Count("Live.EnterRoom") > Count("Live.QuitRoom"), !failed);
        EXPECT_EQ(Delegate().live()->InRoom(), !failed);
        message = Message("live.enterRoom", config);
      });
  EXPECT_EQ(Delegate().live()->room().roomId, 12);
  EXPECT_NE(Delegate().live()->deviceEngine(), nullptr);
}

}  // namespace
