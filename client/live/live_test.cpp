#include "live/live.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "live/live_delegate.h"
#include "live/testing/fake_engine.h"

namespace {

using corvel_client::Live;
using corvel_client_live_handler::ProcessMessageDelegate;
using corvel_client_win::MessageFromCpp;
using kv_fake::Fake;

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

std::shared_ptr<MessageFromCpp> Message(const std::string& name, const std::string& args) {
  auto message = corvel::CreateMessage(name.c_str());
  cJSON_Delete(message->args);
  message->args = cJSON_Parse(args.c_str());
  return message;
}

// "count result" of a record, e.g. "2 [0,17]".
std::string Outcome(const MessageFromCpp& message) {
  char* text = cJSON_PrintUnformatted(message.result);
  std::string outcome = std::to_string(message.resultCount) + " " + text;
  cJSON_free(text);
  return outcome;
}

// A JSON text argument holding `json`.
std::string TextArg(const std::string& json) {
  cJSON* array = cJSON_CreateArray();
  cJSON_AddItemToArray(array, cJSON_CreateString(json.c_str()));
  char* text = cJSON_PrintUnformatted(array);
  std::string arg = text;
  cJSON_free(text);
  cJSON_Delete(array);
  return arg;
}

class LiveCommands : public ::testing::Test {
 protected:
  void SetUp() override { kv_fake::ResetFake(); }
  void TearDown() override {
    delegate_.reset();
    // Every use of the engine and every interface is given back when the delegate goes.
    EXPECT_EQ(Fake().enginesAlive, 0);
    EXPECT_EQ(Fake().liveInterfacesHeld, 0);
    EXPECT_EQ(Fake().deviceInterfacesHeld, 0);
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

  // Enters a room and forgets the calls that took.
  void EnterRoom(const char* json = R"({"id":1234})") {
    ASSERT_EQ(Run("live.enterRoom", TextArg(json)), "1 [0]");
    Fake().calls.clear();
  }

  QueueDispatcher dispatcher_;
  std::unique_ptr<ProcessMessageDelegate> delegate_;
};

// Setting up starts the engine, hands it the host's dispatcher and takes the live interface.
TEST_F(LiveCommands, SetupStartsEngineAndTakesLiveInterface) {
  ASSERT_NE(Delegate().live(), nullptr);
  EXPECT_EQ(Fake().calls, (std::vector<std::string>{"Create", "SetCallback", "SetMediaCallback",
                                                    "SetOption(254)", "SetLogFile",
                                                    "SetCoreDispatcher"}));
  EXPECT_EQ(Fake().dispatcher, &dispatcher_);
  EXPECT_EQ(Fake().liveInterfacesHeld, 1);
  EXPECT_FALSE(Delegate().live()->InRoom());
  std::string name;
  Delegate().GetName(name);
  EXPECT_EQ(name, "live");
}

// When setup fails the delegate keeps no Live, gives the engine back, and its commands answer
// -1 without touching anything; nothing is queued.
TEST_F(LiveCommands, FailedSetupKeepsNoLive) {
  for (int failure = 0; failure < 3; ++failure) {
    kv_fake::ResetFake();
    if (failure == 0) Fake().createFails = true;
    if (failure == 1) Fake().codes["SetCoreDispatcher"] = -6;
    if (failure == 2) Fake().noLiveInterface = true;
    delegate_.reset();
    EXPECT_EQ(Delegate().live(), nullptr) << failure;
    EXPECT_EQ(Fake().enginesAlive, 0) << failure;
    Fake().calls.clear();
    EXPECT_EQ(Run("live.enterRoom", TextArg("{}")), "1 [-1]");
    EXPECT_EQ(Run("live.syncStroke", R"([[{"x":1}],1,2])"), "1 [-1]");
    EXPECT_EQ(Run("live.applyMicrophone"), "1 [-1]");
    EXPECT_EQ(Run("live.getMicrophoneLevel"), "0 []");
    EXPECT_EQ(Run("engine.muteSpeaker"), "0 []");
    EXPECT_TRUE(Fake().calls.empty());
    EXPECT_TRUE(dispatcher_.queued.empty());
  }
}

// Entering: version, then the room, then the device interface; the configuration is kept.
TEST_F(LiveCommands, EnterRoomKeepsConfigAndTakesDevices) {
  EXPECT_EQ(Run("live.enterRoom", TextArg(R"({"id":1234,"type":1,"appVersion":"4.1.0.7",
                                              "server":{"version":2,"roomServer":{"host":"r"}}})")),
            "1 [0]");
  EXPECT_EQ(Fake().calls, (std::vector<std::string>{"Create", "SetCallback", "SetMediaCallback",
                                                    "SetOption(254)", "SetLogFile",
                                                    "SetCoreDispatcher",
                                                    "SetClientVersion(3,3,4.1.0.7)",
                                                    "EnterRoom(1234)", "GetDeviceInterface"}));
  EXPECT_EQ(Fake().lastConfig.roomType, 4);
  EXPECT_EQ(Fake().lastConfig.userType, 2);
  ASSERT_EQ(Fake().lastConfig.servers.size(), 1u);
  EXPECT_EQ(Fake().lastConfig.servers[0].host, "r");
  const Live& live = *Delegate().live();
  EXPECT_TRUE(live.InRoom());
  EXPECT_EQ(live.room().roomId, 1234);
  EXPECT_EQ(live.room().appVersion, "4.1.0.7");
  EXPECT_NE(live.deviceEngine(), nullptr);
  EXPECT_EQ(Fake().deviceInterfacesHeld, 1);
}

// Text that is not JSON still enters with the zeroed record; a missing argument does the same.
TEST_F(LiveCommands, EnterRoomWithUnparseableText) {
  for (const char* args : {R"(["not json"])", "[]", "[5]"}) {
    EXPECT_EQ(Run("live.enterRoom", args), "1 [0]") << args;
    EXPECT_EQ(Fake().lastConfig.userType, 0);
    EXPECT_EQ(Fake().lastConfig.versionSet, 0);
    EXPECT_TRUE(Fake().lastConfig.flag0 && Fake().lastConfig.flag1);
    EXPECT_EQ(Fake().calls[Fake().calls.size() - 3], "SetClientVersion(3,3,)");
    EXPECT_TRUE(Delegate().live()->InRoom());  // room id 0 is a room
  }
}

// A refused entry reports the engine's code and leaves no room and no devices.
TEST_F(LiveCommands, EnterRoomFailure) {
  Fake().codes["EnterRoom"] = -7;
  EXPECT_EQ(Run("live.enterRoom", TextArg(R"({"id":5})")), "1 [-7]");
  EXPECT_EQ(Fake().calls.back(), "EnterRoom(5)");
  EXPECT_FALSE(Delegate().live()->InRoom());
  EXPECT_EQ(Delegate().live()->deviceEngine(), nullptr);
  EXPECT_EQ(Fake().deviceInterfacesHeld, 0);
}

// Re-entering leaves the old room first (its devices released) and clears the sending flag; a
// failed re-entry ends without a room.
TEST_F(LiveCommands, ReenterLeavesOldRoom) {
  EnterRoom();
  EXPECT_EQ(Run("live.startSend"), "1 [0]");
  EXPECT_EQ(Run("live.enterRoom", TextArg(R"({"id":99,"appVersion":"v"})")), "1 [0]");
  EXPECT_EQ(Fake().calls,
            (std::vector<std::string>{"QuitRoom", "Device.Release", "SetClientVersion(3,3,v)",
                                      "EnterRoom(99)", "GetDeviceInterface"}));
  EXPECT_EQ(Delegate().live()->room().roomId, 99);
  EXPECT_FALSE(Delegate().live()->sending());
  EXPECT_EQ(Fake().deviceInterfacesHeld, 1);
  Fake().codes["EnterRoom"] = -3;
  EXPECT_EQ(Run("live.enterRoom", TextArg(R"({"id":100})")), "1 [-3]");
  EXPECT_FALSE(Delegate().live()->InRoom());
  EXPECT_EQ(Fake().deviceInterfacesHeld, 0);
}

// A room id below 0 is accepted by the engine but marks no room; entering again must not leak the
// devices taken for it.
TEST_F(LiveCommands, NegativeRoomIdDoesNotLeakDevices) {
  EXPECT_EQ(Run("live.enterRoom", TextArg(R"({"id":-5})")), "1 [0]");
  EXPECT_FALSE(Delegate().live()->InRoom());
  EXPECT_EQ(Run("live.enterRoom", TextArg(R"({"id":6})")), "1 [0]");
  EXPECT_EQ(Fake().deviceInterfacesHeld, 1);
}

// Leaving: -1 without a room (no engine call); otherwise the engine's code and no devices.
TEST_F(LiveCommands, QuitRoom) {
  EXPECT_EQ(Run("live.quitRoom"), "1 [-1]");
  EXPECT_EQ(Fake().calls.back(), "SetCoreDispatcher");
  EnterRoom();
  Fake().codes["QuitRoom"] = 3;
  EXPECT_EQ(Run("live.quitRoom"), "1 [3]");
  EXPECT_EQ(Fake().calls, (std::vector<std::string>{"QuitRoom", "Device.Release"}));
  EXPECT_FALSE(Delegate().live()->InRoom());
  EXPECT_EQ(Delegate().live()->deviceEngine(), nullptr);
  EXPECT_EQ(Run("live.quitRoom"), "1 [-1]");
}

// Sending starts once per room, never outside one.
TEST_F(LiveCommands, StartSend) {
  EXPECT_EQ(Run("live.startSend"), "1 [-1]");
  EnterRoom();
  EXPECT_EQ(Run("live.startSend"), "1 [0]");
  EXPECT_EQ(Run("live.startSend"), "1 [-1]");
  EXPECT_EQ(Run("live.quitRoom"), "1 [0]");
  EXPECT_EQ(Run("live.startSend"), "1 [-1]");
  EnterRoom();
  EXPECT_EQ(Run("live.startSend"), "1 [0]");
  EXPECT_TRUE(Fake().calls.empty());  // no engine call
}

// Closing while in a room leaves it and gives back every interface in order.
TEST_F(LiveCommands, CloseLeavesRoomAndReleasesEverything) {
  EnterRoom();
  delegate_.reset();
  EXPECT_EQ(Fake().calls, (std::vector<std::string>{"QuitRoom", "Live.Release", "Device.Release",
                                                    "Delete"}));
}

struct Case {
  const char* method;
  const char* args;
  const char* call;  // the one engine call expected, as the fake notes it
};

// Each command reaches its own engine operation with its arguments converted, and its code comes
// back as the only result (catches a handler in the wrong table slot or a dropped argument).
TEST_F(LiveCommands, EachCommandCallsItsOperation) {
  const Case cases[] = {
      {"applyMicrophone", "[]", "ApplyMicrophone"},
      {"approveMicrophone", "[5.9]", "ApproveMicrophone(5)"},
      {"revokeMicrophone", "[-2.9]", "RevokeMicrophone(-2)"},
      {"settingMicrophone", "[1,2]", "SettingMicrophone(1,2)"},
      {"openMicrophoneQueue", "[]", "OpenMicrophoneQueue"},
      {"closeMicrophoneQueue", "[]", "CloseMicrophoneQueue"},
      {"openVideoMic", "[]", "OpenVideoMic"},
      {"closeVideoMic", "[]", "CloseVideoMic"},
      {"cancelAllMicrophone", "[]", "CancelAllMicrophone"},
      {"sendChatMessage", R"([-12.7,"hello",3])", "SendChatMessage(-12,hello,3)"},
      {"pageUp", "[]", "PageUp"},
      {"pageTo", "[4]", "PageTo(4)"},
      {"pageDown", "[]", "PageDown"},
      {"publishKeynote", "[1,2,3,9]", "PublishKeynote(1,2,3,0)"},
      {"eraseStroke", "[]", "EraseStroke"},
      {"startClass", "[]", "StartClass"},
      {"endClass", "[]", "EndClass"},
      {"assistantOnBoard", "[]", "AssistantOnBoard"},
      {"assistantOffBoard", "[]", "AssistantOffBoard"},
      {"banUser", "[9]", "BanUser(9)"},
      {"unBanUser", "[10]", "UnBanUser(10)"},
      {"banAllUser", "[]", "BanAllUser"},
      {"unBanAllUser", "[]", "UnBanAllUser"},
      {"cancelTopMessage", "[]", "CancelTopMessage"},
      {"setNickname", R"(["Ann"])", "SetNickname(Ann)"},
      {"beginSendVideo", "[]", "BeginSendVideo(0)"},
      {"stopSendVideo", "[]", "StopSendVideo"},
      {"beginSendScreen", "[]", "BeginSendVideo(1)"},
      {"stopSendScreen", "[]", "StopSendVideo"},
      {"switchVideoStyle", "[3,4]", "SwitchVideoStyle(3,4)"},
      {"addQuestion", R"(["{\"type\":2,\"optionNum\":4,\"correctOptions\":[1,3]}"])",
       "AddQuestion(2,4,[1,3],2)"},
      {"endQuestion", "[8]", "EndQuestion(8)"},
      {"removeQuestion", "[11]", "RemoveQuestion(11)"},
      {"myAnswer", R"(["{\"questionId\":5,\"selectedOptions\":[2]}"])", "MyAnswer(5,[2],1)"},
  };
  Delegate();
  int code = 10;
  for (const Case& c : cases) {
    Fake().calls.clear();
    const std::string call = c.call;
    Fake().codes[call.substr(0, call.find('('))] = ++code;
    EXPECT_EQ(Run(std::string("live.") + c.method, c.args), "1 [" + std::to_string(code) + "]")
        << c.method;
    EXPECT_EQ(Fake().calls, std::vector<std::string>{c.call}) << c.method;
  }
  // A failing operation reports its code alone too.
  Fake().codes["PageUp"] = -2;
  EXPECT_EQ(Run("live.pageUp"), "1 [-2]");
}

// Missing or wrongly typed arguments: texts reach the engine empty, numbers as 0.
TEST_F(LiveCommands, MissingArgumentsReadAsEmptyOrZero) {
  Delegate();
  Fake().calls.clear();
  EXPECT_EQ(Run("live.sendChatMessage"), "1 [0]");
  EXPECT_EQ(Run("live.sendChatMessage", R"(["7",null,"x"])"), "1 [0]");
  EXPECT_EQ(Run("live.setNickname", "[5]"), "1 [0]");
  EXPECT_EQ(Run("live.addQuestion"), "1 [0]");
  EXPECT_EQ(Run("live.myAnswer", R"([{"questionId":1}])"), "1 [0]");
  EXPECT_EQ(Run("live.switchVideoStyle", R"([true])"), "1 [0]");
  EXPECT_EQ(Fake().calls,
            (std::vector<std::string>{"SendChatMessage(0,,0)", "SendChatMessage(0,,0)",
                                      "SetNickname()", "AddQuestion(0,0,[],0)", "MyAnswer(0,[],0)",
                                      "SwitchVideoStyle(0,0)"}));
  // A record without any args array at all.
  auto bare = corvel::CreateMessage("live.banUser");
  cJSON_Delete(bare->args);
  bare->args = nullptr;
  Delegate().OnMessage(bare);
  EXPECT_EQ(Outcome(*bare), "1 [0]");
  EXPECT_EQ(Fake().calls.back(), "BanUser(0)");
}

// More than 32 options: the engine sees the first 32 and a count of 32.
TEST_F(LiveCommands, QuestionOptionsAreLimitedTo32) {
  std::string list;
  for (int i = 0; i < 40; ++i) list += (i > 0 ? "," : "") + std::to_string(i + 1);
  EXPECT_EQ(Run("live.addQuestion", TextArg("{\"type\":1,\"correctOptions\":[" + list + "]}")),
            "1 [0]");
  ASSERT_EQ(Fake().lastOptions.size(), 32u);
  EXPECT_EQ(Fake().lastOptions.back(), 32);
  EXPECT_EQ(Run("live.myAnswer", TextArg("{\"selectedOptions\":[" + list + "]}")), "1 [0]");
  EXPECT_EQ(Fake().lastOptions.size(), 32u);
  EXPECT_EQ(Fake().calls.back().substr(Fake().calls.back().rfind(',')), ",32)");
}

// The level is appended, as an unsigned number, only when the call succeeds.
TEST_F(LiveCommands, GetOutputLevel) {
  Delegate();
  Fake().outputLevel = 4000000000u;
  EXPECT_EQ(Run("live.getOutputLevel", "[3]"), "2 [0,4000000000]");
  EXPECT_EQ(Fake().calls.back(), "GetOutputLevel(3)");
  Fake().codes["GetOutputLevel"] = -4;
  EXPECT_EQ(Run("live.getOutputLevel", "[3]"), "1 [-4]");
}

// "getMicrophoneLevel" is a live name without live handling, in a room or not; so are names in
// another letter case and unknown names.
TEST_F(LiveCommands, UnhandledNamesLeaveRecordUntouched) {
  Delegate();
  Fake().calls.clear();
  EXPECT_EQ(Run("live.getMicrophoneLevel", "[true]"), "0 []");
  EXPECT_EQ(Run("live.EnterRoom", TextArg("{}")), "0 []");
  EXPECT_EQ(Run("live.nothing"), "0 []");
  EXPECT_EQ(Run("offlinePlay.pageUp"), "0 []");
  EnterRoom();
  EXPECT_EQ(Run("live.getMicrophoneLevel", "[true]"), "0 []");
  EXPECT_TRUE(Fake().calls.empty());
}

// The stroke answers 0 at once and calls the engine only when the core thread runs the item,
// with the points read (absent members keep 0, 0, 0.5) and the numbers truncated.
TEST_F(LiveCommands, SyncStrokeIsDeferred) {
  Delegate();
  Fake().calls.clear();
  Fake().codes["SyncStroke"] = -1;  // the engine's code is not reported anywhere
  EXPECT_EQ(Run("live.syncStroke",
                R"([[{"x":1.5,"y":2,"pressure":0.25},{"x":3},{"y":"7"},5], 7.9, -8.2])"),
            "1 [0]");
  EXPECT_TRUE(Fake().calls.empty());
  ASSERT_EQ(dispatcher_.queued.size(), 1u);
  EXPECT_EQ(dispatcher_.queued[0]->refCount.load(), 1);
  dispatcher_.RunAll();  // the item frees the points and itself (checked by the sanitizers)
  EXPECT_EQ(Fake().calls, std::vector<std::string>{"SyncStroke(4,7,-8)"});
  ASSERT_EQ(Fake().lastPoints.size(), 4u);
  const corvel::Point& p0 = Fake().lastPoints[0];
  EXPECT_TRUE(p0.x == 1.5f && p0.y == 2.0f && p0.pressure == 0.25f);
  const corvel::Point& p1 = Fake().lastPoints[1];
  EXPECT_TRUE(p1.x == 3.0f && p1.y == 0.0f && p1.pressure == 0.5f);
  const corvel::Point& p2 = Fake().lastPoints[2];
  EXPECT_TRUE(p2.x == 0.0f && p2.y == 0.0f && p2.pressure == 0.5f);
  const corvel::Point& p3 = Fake().lastPoints[3];
  EXPECT_TRUE(p3.x == 0.0f && p3.y == 0.0f && p3.pressure == 0.5f);
}

// An empty list (or no list) still queues an item, with count 0.
TEST_F(LiveCommands, SyncStrokeWithoutPoints) {
  Delegate();
  Fake().calls.clear();
  EXPECT_EQ(Run("live.syncStroke", "[[],1,2]"), "1 [0]");
  EXPECT_EQ(Run("live.syncStroke", R"(["x"])"), "1 [0]");
  ASSERT_EQ(dispatcher_.queued.size(), 2u);
  dispatcher_.RunAll();
  EXPECT_EQ(Fake().calls, (std::vector<std::string>{"SyncStroke(0,1,2)", "SyncStroke(0,0,0)"}));
}

// Without a dispatcher nothing can run the item: the points are freed at once (the leak checker
// catches it otherwise) and the result is still 0.
TEST_F(LiveCommands, SyncStrokeWithoutDispatcherFreesPoints) {
  Live live(nullptr);
  ASSERT_EQ(live.Setup(), 0);
  Fake().calls.clear();
  auto message = Message("live.syncStroke", R"([[{"x":1},{"x":2}],1,2])");
  EXPECT_TRUE(corvel_client::RunLiveCommand(&live, *message));
  EXPECT_EQ(Outcome(*message), "1 [0]");
  EXPECT_TRUE(Fake().calls.empty());
}

// Device commands reach the room's device interface only while in a room; the live table never
// serves them.
TEST_F(LiveCommands, DeviceCommandsOnlyInRoom) {
  Delegate();
  Fake().calls.clear();
  EXPECT_EQ(Run("engine.muteSpeaker"), "0 []");
  EXPECT_EQ(Run("engine.isSysMicrophoneMute"), "0 []");
  EnterRoom();
  EXPECT_EQ(Run("engine.muteSpeaker"), "1 [0]");
  Fake().codes["SetSpeakerVolume"] = -5;
  EXPECT_EQ(Run("engine.setSpeakerVolume", "[127.9]"), "1 [-5]");
  Fake().speakerVolume = 255;
  EXPECT_EQ(Run("engine.getSpeakerVolume"), "2 [0,1]");
  EXPECT_EQ(Run("engine.unknownThing"), "0 []");
  EXPECT_EQ(Fake().calls, (std::vector<std::string>{"MuteSpeaker(1)", "SetSpeakerVolume(127)",
                                                    "GetSpeakerVolume"}));
  EXPECT_EQ(Run("live.quitRoom"), "1 [0]");
  Fake().calls.clear();
  EXPECT_EQ(Run("engine.muteSpeaker"), "0 []");
  EXPECT_TRUE(Fake().calls.empty());
}

}  // namespace
