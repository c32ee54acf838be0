// The simulated engine driven as kv_client and a host drive it: through engine.h and the control
// interface, with fake callbacks standing in for kv_client's.
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "json.h"
#include "kv/engine.h"
#include "kv/sim_engine.h"

namespace {

using kv_sim::Json;

std::string Control(const std::string& request) {
  char* reply = kv_sim_control(request.c_str());
  std::string text = reply != nullptr ? reply : "";
  kv_sim_free(reply);
  return text;
}

// Records the thread and arguments of the few events these tests raise.
class FakeCallback : public corvel::CorvelCallback {
 public:
  std::atomic<std::thread::id> thread{};
  std::atomic<int> errors{0};
  std::string lastChat;
  int strokeCount = -1;
  float lastX = 0;

  void OnConnected() override {}
  int OnError(int32_t code) override {
    thread = std::this_thread::get_id();
    ++errors;
    return code + 1;
  }
  void OnServerChanged(int32_t) override {}
  void OnUserEnterRoom(const corvel::UserInfo&, int32_t) override {}
  void OnUserQuitRoom(int32_t, int32_t) override {}
  void OnRoomInfo(const corvel::RoomInfo&) override {}
  void OnMicrophoneApplied(const corvel::UserInfo&, int32_t) override {}
  void OnMicrophoneCanceled(int32_t, int32_t, const std::pair<int32_t, int32_t>&) override {}
  void OnMicrophoneApproved(const corvel::UserInfo&, int32_t, int32_t, int32_t) override {}
  void OnMicrophoneQueueOpened(int32_t) override {}
  void OnMicrophoneQueueClosed(int32_t) override {}
  void OnMicrophoneCancelAll(int32_t) override {}
  void OnMediaInfo(const corvel::MediaInfo&) override {}
  void OnChatMessage(int32_t, const corvel::ChatMessage& chat) override {
    lastChat = chat.text + "/" + chat.sender.name;
  }
  void OnChatMessageFailed(int32_t, int32_t, const std::string&) override {}
  void OnKeynoteInfo(const corvel::KeynoteInfo&) override {}
  void OnPageTo(int32_t, int32_t) override {}
  void OnSyncStroke(const corvel::StrokeInfo& stroke) override {
    strokeCount = stroke.count;
    lastX = stroke.count > 0 ? stroke.points[stroke.count - 1].x : -1;
  }
  void OnEraseStroke(int32_t) override {}
  void OnStartClass(int64_t) override {}
  void OnEndClass() override {}
  void OnSyncMedia() override {}
  void OnAssistantOnBoard(int32_t) override {}
  void OnAssistantOffBoard(int32_t) override {}
  void OnUserBanned(int32_t, const int32_t&) override {}
  void OnUserUnBanned(int32_t, int32_t) override {}
  void OnAllUserBanned(int32_t) override {}
  void OnAllUserUnBanned(int32_t) override {}
  void OnTopMessageCanceled() override {}
  void OnReserved() override {}
  void OnNetStatistics(int32_t, int32_t, int32_t, int32_t, int32_t) override {}
  void OnMicrophoneSettingTimer(int32_t, int32_t) override {}
  void OnMediaDataReady(int64_t) override {}
  void OnSyncRoomInfo(int32_t, int32_t, int32_t) override {}
  void OnVideoMicEvent(int32_t, bool) override {}
  void OnVideoStyleEvent(int32_t, int32_t, int32_t) override {}
  void OnDeviceEvent(int32_t, int32_t, int32_t) override {}
  void OnUploadClientLog(int32_t, std::string) override {}
  void OnAddQuestion(const std::string&) override {}
  void OnRemoveQuestion(int32_t) override {}
  void OnEndQuestion(int32_t) override {}
  void OnAnswerSummary(const std::string&) override {}
  void OnMyAnswer(const std::string&) override {}
  void OnSystemMessage(int64_t, int64_t, const std::string&) override {}
};

// Mixes the front loopback block like the bridge: adds the block's samples to the capture.
class FakeMedia : public corvel::CorvelMediaCallBack {
 public:
  uint32_t blockCount = 0;
  std::atomic<int> frameCount{0};
  std::atomic<int32_t> lastStream{-1};

  int OnMediaReserved0() override { return 5; }
  int OnVideoData(int32_t, const uint8_t* data, int32_t count, int32_t, int32_t, int32_t,
                  int32_t) override {
    return count > 0 ? data[count - 1] : -1;
  }
  int OnGetVideoData(int32_t stream, int32_t width, int32_t height, int32_t, const uint8_t* y,
                     int32_t yStride, const uint8_t*, int32_t, const uint8_t*, int32_t) override {
    if (width <= 0 || height <= 0) return -1;
    ++frameCount;
    lastStream = stream;
    return y[(height - 1) * yStride + width - 1];
  }
  void OnMediaReserved3(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                        int32_t, int32_t) override {}
  void OnRecordAudio(int16_t* samples, int32_t frames, uint32_t rate, uint8_t stereo) override {
    corvel::g_mic_sample_rate = rate;
    AudioLoopback* loopback = AudioLoopback::GetInstance();
    int16_t* block = nullptr;
    {
      std::lock_guard<std::mutex> lock(loopback->AudioLoopMutex());
      if (loopback->DataQueue().empty()) return;
      block = loopback->DataQueue().front();
      loopback->DataQueue().pop();
    }
    blockCount = corvel::LoopbackBlockCount(block);
    const int32_t n = frames * (stereo ? 2 : 1);
    for (int32_t i = 0; i < n && static_cast<uint32_t>(i) < blockCount; ++i) {
      samples[i] = static_cast<int16_t>(samples[i] + corvel::LoopbackBlockSamples(block)[i]);
    }
    delete[] block;
  }
  void OnNetQuality(uint64_t, double) override {}
};

class FakeStorage : public corvel::CorvelStorageCallback {
 public:
  std::atomic<int> segments{0};
  int GetStorageData(const std::string& key, std::vector<uint8_t>& out) override {
    if (key.rfind("segment-", 0) == 0) ++segments;
    if (key != "k") return -1;
    out = {1, 2, 3};
    return 0;
  }
  int SetStorageData(const std::string& key, const uint8_t* data, int length, int status) override {
    stored = key + ":" + std::string(reinterpret_cast<const char*>(data), length) + ":" +
             std::to_string(status);
    return 0;
  }
  std::string stored;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Control(R"({"sim":"reset"})");
    engine = corvel::CorvelEngine::Create();
    ASSERT_NE(engine, nullptr);
  }
  void TearDown() override {
    corvel::CorvelEngine::Delete(engine);
    Control(R"({"sim":"reset"})");
  }
  corvel::CorvelEngine* engine = nullptr;
  FakeCallback callback;
  FakeMedia media;
  FakeStorage storage;
};

// Every call is journaled with its arguments; scripted codes and out values come back.
TEST_F(EngineTest, JournalsCallsAndAnswersScriptedReplies) {
  Control(R"({"sim":"journal"})");
  Control(R"({"sim":"reply","op":"Device.GetSpeakerVolume","code":0,"out":51})");
  Control(R"({"sim":"reply","op":"Live.GetOutputLevel","code":-3})");
  EXPECT_EQ(engine->SetOption(254), 0);
  corvel::CorvelDeviceEngine* device = corvel::CorvelLiveEngine::GetDeviceInterface(engine);
  ASSERT_NE(device, nullptr);
  uint32_t volume = 0;
  EXPECT_EQ(device->GetSpeakerVolume(volume), 0);
  EXPECT_EQ(volume, 51u);
  uint32_t level = 9;
  EXPECT_EQ(corvel::CorvelLiveEngine::GetInterface(engine)->GetOutputLevel(1, level), -3);
  EXPECT_EQ(level, 0u);
  EXPECT_EQ(Control(R"({"sim":"journal"})"),
            R"({"journal":[{"op":"Engine.SetOption","args":[254]},)"
            R"({"op":"Live.GetDeviceInterface","args":[true]},)"
            R"({"op":"Device.GetSpeakerVolume","args":[],"device":"live"},)"
            R"({"op":"Live.GetInterface","args":[true]},)"
            R"({"op":"Live.GetOutputLevel","args":[1]}]})");
}

// The bridge's start-failure paths need each step to be able to fail.
TEST_F(EngineTest, ScriptedStartFailures) {
  Control(R"({"sim":"reply","op":"Engine.SetCallback","code":-7})");
  Control(R"({"sim":"reply","op":"Live.GetInterface","code":-1})");
  Control(R"({"sim":"reply","op":"OfflinePlay.GetDeviceInterface","code":-1})");
  EXPECT_EQ(engine->SetCallback(&callback), -7);
  EXPECT_EQ(corvel::CorvelLiveEngine::GetInterface(engine), nullptr);
  EXPECT_EQ(corvel::CorvelOfflinePlayEngine::GetDeviceInterface(engine), nullptr);
  EXPECT_NE(corvel::CorvelOfflinePlayEngine::GetInterface(engine), nullptr);
  // A refused callback is not kept: events have nowhere to go.
  EXPECT_NE(Control(R"({"sim":"emit","event":"OnError","args":[1]})").find("no CorvelCallback"),
            std::string::npos);
  Control(R"({"sim":"reply","op":"Engine.Create","code":-1})");
  EXPECT_EQ(corvel::CorvelEngine::Create(), nullptr);
}

// Device names come from the scripted lists, including names that fill the buffer unterminated.
TEST_F(EngineTest, DeviceNamesFromLists) {
  Control(R"({"sim":"devices","recording":["Mic A",{"fill":"ab","size":1030}]})");
  corvel::CorvelDeviceEngine* device = corvel::CorvelOfflinePlayEngine::GetDeviceInterface(engine);
  int count = -1;
  EXPECT_EQ(device->GetRecordingDeviceCount(count), 0);
  EXPECT_EQ(count, 2);
  char name[1024], guid[1024];
  EXPECT_EQ(device->GetRecordingDeviceName(0, name, guid), 0);
  EXPECT_STREQ(name, "Mic A");
  EXPECT_EQ(device->GetRecordingDeviceName(1, name, guid), 0);
  EXPECT_EQ(std::memchr(name, '\0', sizeof name), nullptr);
  EXPECT_EQ(name[1022], 'a');
  EXPECT_EQ(device->GetRecordingDeviceName(2, name, guid), -1);
  EXPECT_EQ(device->GetVideoCaptureDeviceCount(count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_NE(Control(R"({"sim":"devices","video":[7]})").find("error"), std::string::npos);
}

// Events run on an engine thread, not the caller's, and the reply carries the callback's result.
TEST_F(EngineTest, EmitRunsOnAnEngineThreadAndWaits) {
  engine->SetCallback(&callback);
  EXPECT_EQ(Control(R"({"sim":"emit","event":"OnError","args":[401]})"),
            R"({"emit":"OnError","result":402})");
  EXPECT_NE(callback.thread.load(), std::this_thread::get_id());
  EXPECT_EQ(Control(R"({"sim":"emit","event":"OnError","args":[1],"wait":false})"), "");
  EXPECT_EQ(Control(R"({"sim":"emit","event":"OnError","args":[2],"wait":false})"), "");
  EXPECT_EQ(Control(R"({"sim":"wait"})"),
            "{\"emit\":\"OnError\",\"result\":2}\n{\"emit\":\"OnError\",\"result\":3}");
  EXPECT_EQ(Control(R"({"sim":"emit","event":"OnError","threads":4,"repeat":25})"),
            R"({"emit":"OnError","runs":100})");
  EXPECT_EQ(callback.errors.load(), 103);
  EXPECT_NE(Control(R"({"sim":"emit","event":"OnNothing"})").find("unknown event"),
            std::string::npos);
}

// Records built from JSON reach the callback intact.
TEST_F(EngineTest, EmitBuildsRecords) {
  engine->SetCallback(&callback);
  Control(
      R"({"sim":"emit","event":"OnChatMessage","args":[7,{"text":"hi","sender":{"name":"T"}}]})");
  EXPECT_EQ(callback.lastChat, "hi/T");
  Control(R"({"sim":"emit","event":"OnSyncStroke","args":[{"generate":70000}]})");
  EXPECT_EQ(callback.strokeCount, 70000);
  EXPECT_EQ(callback.lastX, 69999.0f);
  Control(R"({"sim":"emit","event":"OnSyncStroke","args":[{"points":[]}]})");
  EXPECT_EQ(callback.strokeCount, 0);
}

// Generated frames carry the documented pattern and claimed byte counts.
TEST_F(EngineTest, EmitGeneratesFrames) {
  engine->SetMediaCallback(&media);
  // Last luma byte of a 7x5 frame 2: (6 + 4 + 2) mod 256.
  EXPECT_EQ(Control(R"({"sim":"emit","event":"OnGetVideoData","args":[0,7,5,0,2,3]})"),
            R"({"emit":"OnGetVideoData","result":12})");
  EXPECT_EQ(Control(R"({"sim":"emit","event":"OnGetVideoData","args":[0,0,5,0]})"),
            R"({"emit":"OnGetVideoData","result":-1})");
  // Sizes whose arithmetic overflows are refused with an error, not computed.
  for (const char* args : {"[0,2147483647,1,0,0,0]", "[0,2147483647,2147483647,0,0,2147483647]",
                           "[0,1,2147483647,0,0,2147483647]", "[0,8192,8192,0,0,0]",
                           "[0,2,2,0,2147483647,2147483647]"}) {
    EXPECT_EQ(
        Control(std::string(R"({"sim":"emit","event":"OnGetVideoData","args":)") + args + "}"),
        R"({"emit":"OnGetVideoData","error":"OnGetVideoData: at most 64 MiB of planes can be generated"})")
        << args;
  }
  // The largest frame number wraps in the pattern: last luma byte (1 + 1 + 2147483647) mod 256.
  EXPECT_EQ(Control(R"({"sim":"emit","event":"OnGetVideoData","args":[0,2,2,0,2147483647,0]})"),
            R"({"emit":"OnGetVideoData","result":1})");
  // Packed: 300 bytes, the last is 299 mod 251.
  EXPECT_EQ(Control(R"({"sim":"emit","event":"OnVideoData","args":[0,300,20,10,0,0]})"),
            R"({"emit":"OnVideoData","result":48})");
  EXPECT_NE(
      Control(R"({"sim":"emit","event":"OnVideoData","args":[0,100000000,2,2,0,0]})").find("error"),
      std::string::npos);
}

// Loopback blocks are queued in the engine's block layout and the mixed samples come back.
TEST_F(EngineTest, EmitRecordAudioQueuesLoopbackBlocks) {
  engine->SetMediaCallback(&media);
  EXPECT_EQ(Control(R"({"sim":"emit","event":"OnRecordAudio","args":[[100,-100],1,44100,1],)"
                    R"("loopback":[[10,20,30],[1]]})"),
            R"({"emit":"OnRecordAudio","samples":[110,-80],"micSampleRate":44100,"queued":1})");
  EXPECT_EQ(media.blockCount, 3u);
  Control(R"({"sim":"reset"})");
  EXPECT_EQ(Control(R"({"sim":"emit","event":"OnRecordAudio","args":[[5],1,8000,0]})"),
            R"({"emit":"OnRecordAudio","samples":[5],"micSampleRate":8000,"queued":0})");
}

// The storage fetch reports the callback's code and data; the answer path passes bytes through.
TEST_F(EngineTest, EmitStorageCalls) {
  corvel::CorvelOfflinePlayEngine* offline = corvel::CorvelOfflinePlayEngine::GetInterface(engine);
  EXPECT_NE(Control(R"({"sim":"emit","event":"GetStorageData","args":["k"]})").find("no Corvel"),
            std::string::npos);
  EXPECT_EQ(offline->SetStorageCallback(&storage), 0);
  EXPECT_EQ(Control(R"({"sim":"emit","event":"GetStorageData","args":["k"]})"),
            R"({"emit":"GetStorageData","result":0,"size":3,"data":"AQID"})");
  EXPECT_EQ(Control(R"({"sim":"emit","event":"GetStorageData","args":["x"]})"),
            R"({"emit":"GetStorageData","result":-1,"size":0,"data":""})");
  Control(R"({"sim":"emit","event":"SetStorageData","args":["k",{"$bytes":"aGk="},2,4]})");
  EXPECT_EQ(storage.stored, "k:hi:4");
}

// After Delete nothing reaches the old callbacks, and interfaces of a dead engine are null.
TEST_F(EngineTest, DeleteForgetsCallbacks) {
  engine->SetCallback(&callback);
  corvel::CorvelEngine* old = engine;
  corvel::CorvelEngine::Delete(engine);
  EXPECT_EQ(engine, nullptr);
  EXPECT_EQ(corvel::CorvelLiveEngine::GetInterface(old), nullptr);
  EXPECT_NE(Control(R"({"sim":"emit","event":"OnError","args":[1]})").find("no CorvelCallback"),
            std::string::npos);
  engine = corvel::CorvelEngine::Create();
  ASSERT_NE(engine, nullptr);
}

// The classroom answers entering and chatting with events; off, it stays silent.
TEST_F(EngineTest, ClassroomEchoesChat) {
  engine->SetCallback(&callback);
  corvel::CorvelLiveEngine* live = corvel::CorvelLiveEngine::GetInterface(engine);
  live->SendChatMessage("1", "quiet", 0);
  Control(R"({"sim":"wait"})");
  EXPECT_EQ(callback.lastChat, "");
  Control(R"({"sim":"classroom","on":true})");
  corvel::EnterRoomConfig config;
  config.userId = 5;
  EXPECT_EQ(live->EnterRoom(&config), 0);
  live->SendChatMessage("5", "hello", 0);
  Control(R"({"sim":"wait"})");
  EXPECT_EQ(callback.lastChat, "hello/Me (5)");
  EXPECT_EQ(live->QuitRoom(), 0);
}

// The classroom camera sends frames on stream 0 until it is stopped; playback fetches stored
// data through the registered storage callback and shows frames on stream 1000.
TEST_F(EngineTest, ClassroomVideoAndPlaybackRunUntilStopped) {
  engine->SetMediaCallback(&media);
  engine->SetCallback(&callback);
  Control(R"({"sim":"classroom","on":true})");
  corvel::CorvelLiveEngine* live = corvel::CorvelLiveEngine::GetInterface(engine);
  EXPECT_LT(live->BeginSendVideo(0), 0);  // the class sends no camera before a room is entered
  corvel::EnterRoomConfig room;
  ASSERT_EQ(live->EnterRoom(&room), 0);
  EXPECT_EQ(live->BeginSendVideo(0), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(live->StopSendVideo(), 0);
  const int sent = media.frameCount.load();
  EXPECT_GE(sent, 2);
  EXPECT_EQ(media.lastStream.load(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(media.frameCount.load(), sent);

  corvel::CorvelOfflinePlayEngine* offline = corvel::CorvelOfflinePlayEngine::GetInterface(engine);
  offline->SetStorageCallback(&storage);
  corvel::EnterRoomConfig config;
  EXPECT_EQ(offline->OpenMedia(&config), 0);
  EXPECT_EQ(offline->Play(0), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(offline->Pause(0), 0);
  EXPECT_GT(offline->GetPosition(), 0);
  EXPECT_EQ(media.lastStream.load(), 1000);
  EXPECT_GE(storage.segments.load(), 1);
  EXPECT_EQ(offline->CloseMedia(), 0);
}

}  // namespace
