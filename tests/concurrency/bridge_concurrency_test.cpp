// The whole bridge under concurrency: eight engine threads raise every kind of event (directly on
// EngineCallback and through the simulated engine's own threads) while the host thread runs
// commands of all three tables and the host's core thread runs the deferred strokes. Built for
// ThreadSanitizer (preset native-tsan) and AddressSanitizer (native). The host counts every array
// and script block it receives and frees; the heap must come back to where it started.
#include <malloc.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "catalogue.h"
#include "counting_host.h"
#include "engine/engine_callback.h"
#include "engine/engine_holder.h"
#include "kv/engine.h"
#include "kv/kv_client.h"
#include "kv/sim_engine.h"

// From the sanitizer runtime (ASan and TSan both provide it); absent in plain builds.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

// Bytes in use on the heap: the sanitizer allocator's count, or glibc's in plain builds.
int64_t HeapBytes() {
  if (&__sanitizer_get_current_allocated_bytes != nullptr) {
    return static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
  }
  const struct mallinfo2 info = mallinfo2();
  return static_cast<int64_t>(info.uordblks + info.hblkhd);
}

constexpr int kEngineThreads = 8;
constexpr int kRounds = 60;         // rounds of all events per engine thread
constexpr int kCommandRounds = 40;  // rounds of the command list on the host thread
// Streams with a frame buffer; a stream's frames come from one thread (its buffer holds one frame).
constexpr int32_t kStreams[] = {0, 1, 2, 3, 20, 1000};

std::string Sim(const std::string& request) {
  char* reply = kv_sim_control(request.c_str());
  std::string text = reply != nullptr ? reply : "";
  kv_sim_free(reply);
  return text;
}

// One command through the exported entry points; returns the record after OnMessage.
std::shared_ptr<corvel_client_win::MessageFromCpp> Command(const char* name, const char* args) {
  auto message = corvel::CreateMessage(name);
  cJSON* parsed = cJSON_Parse(args);
  cJSON* item = nullptr;
  while (parsed != nullptr && (item = cJSON_DetachItemFromArray(parsed, 0)) != nullptr) {
    cJSON_AddItemToArray(message->args, item);
  }
  cJSON_Delete(parsed);
  corvel::OnMessage(message);
  return message;
}

// setStorageData with a byte block, taken over by the command.
void StoreData(const char* key) {
  auto message = corvel::CreateMessage("offlinePlay.setStorageData");
  cJSON_AddItemToArray(message->args, cJSON_CreateString(key));
  cJSON* block = cJSON_CreateNumber(3);
  block->valuestring = corvel::LargeMemoryMalloc(3);
  cJSON_AddItemToArray(message->args, block);
  cJSON_AddItemToArray(message->args, cJSON_CreateNumber(0));
  corvel::OnMessage(message);
  if (block->valuestring != nullptr) {  // not taken: still the host's
    corvel::LargeMemoryRelease(block->valuestring);
    block->valuestring = nullptr;
  }
}

// What one engine thread posts: every CorvelCallback and CorvelMediaCallBack operation, frames only
// on its own stream. Returns the arrays it expects the host to receive, by message name.
std::map<std::string, int64_t> RaiseAllEvents(corvel_client::EngineCallback& cb, int thread,
                                              int rounds) {
  std::map<std::string, int64_t> expected;
  corvel::UserInfo user;
  user.id = thread;
  user.type = 2;
  user.name = "user";
  corvel::RoomInfo room;
  room.users = {user, user};
  room.microphoneQueue = {user};
  room.speakers = {nullptr, std::make_shared<corvel::SpeakerInfo>()};
  auto question = std::make_shared<corvel::QuestionInfo>();
  question->correctOptions = {1, 2};
  question->summary = std::make_shared<corvel::AnswerSummary>();
  room.questions = {question};
  corvel::MediaInfo media;
  media.samples = {{1, 2}, {3, 4}};
  corvel::ChatMessage chat;
  chat.text = "hello";
  chat.sender = user;
  const corvel::Point points[] = {{1, 2, 0.5f}, {3, 4, 0.5f}};
  const int32_t width = 64 + 2 * thread, height = 36;
  std::vector<uint8_t> plane(static_cast<size_t>(width) * height, static_cast<uint8_t>(thread));
  std::vector<int16_t> samples(256, 1);
  const bool framesHere = thread < static_cast<int>(std::size(kStreams));
  const int32_t stream = framesHere ? kStreams[thread] : 5;  // stream 5 has no buffer: refused

  for (int i = 0; i < rounds; ++i) {
    cb.OnConnected();
    cb.OnError(i % 2 == 0 ? 401 : 402);
    cb.OnServerChanged(i);
    cb.OnUserEnterRoom(user, i);
    cb.OnUserQuitRoom(i, 0);
    cb.OnRoomInfo(room);
    cb.OnMicrophoneApplied(user, i);
    cb.OnMicrophoneCanceled(1, 2, {3, 4});
    cb.OnMicrophoneApproved(user, 1, 2, 3);
    cb.OnMicrophoneQueueOpened(i);
    cb.OnMicrophoneQueueClosed(i);
    cb.OnMicrophoneCancelAll(i);
    cb.OnMediaInfo(media);
    cb.OnChatMessage(7, chat);
    cb.OnChatMessageFailed(1, 2, "failed");
    cb.OnKeynoteInfo(corvel::KeynoteInfo{});
    cb.OnPageTo(1, 2);
    cb.OnSyncStroke({points, 2, i, thread});
    cb.OnEraseStroke(i);
    cb.OnStartClass(i);
    cb.OnEndClass();
    cb.OnSyncMedia();
    cb.OnAssistantOnBoard(i);
    cb.OnAssistantOffBoard(i);
    cb.OnUserBanned(1, 2);
    cb.OnUserUnBanned(1, 2);
    cb.OnAllUserBanned(i);
    cb.OnAllUserUnBanned(i);
    cb.OnTopMessageCanceled();
    cb.OnReserved();
    cb.OnNetStatistics(1, 2, 3, 4, 5);
    cb.OnMicrophoneSettingTimer(1, 2);
    cb.OnMediaDataReady(i);
    cb.OnSyncRoomInfo(1, 2, 3);
    cb.OnVideoMicEvent(1, true);
    cb.OnVideoStyleEvent(1, 2, 3);
    cb.OnDeviceEvent(1, 2, 3);
    cb.OnUploadClientLog(1, "log");
    cb.OnAddQuestion("{}");
    cb.OnRemoveQuestion(i);
    cb.OnEndQuestion(i);
    cb.OnAnswerSummary("{}");
    cb.OnMyAnswer("{}");
    cb.OnSystemMessage(1, 2, "system");
    cb.OnMediaReserved0();
    cb.OnMediaReserved3(0, 1, 2, 3, 4, 5, 6, 7, 8, 9);
    cb.OnRecordAudio(samples.data(), 128, 48000, 0);
    cb.OnNetQuality(static_cast<uint64_t>(i), 0.5);
    if (cb.OnGetVideoData(stream, width, height, i, plane.data(), width, plane.data(), width / 2,
                          plane.data(), width / 2) == 0) {
      ++expected["onGetVideoData"];
    }
    if (cb.OnVideoData(stream, plane.data(), width * height, width, height, 0, i) == 0) {
      ++expected["onVideoData"];
    }
  }
  // Every operation above posts exactly one array per call of each message the catalogue says it
  // brings; frames were counted as they were accepted.
  namespace catalogue = corvel_client::catalogue;
  for (const catalogue::CallbackRow& callback : catalogue::kCallbacks) {
    if (callback.kind == catalogue::CallbackKind::kStorage) continue;  // not raised here
    for (const catalogue::Message message : callback.brings) {
      if (message == catalogue::kNoMessage || message == catalogue::kGetVideoData ||
          message == catalogue::kVideoData ||
          catalogue::MessageOf(message).delivery != catalogue::Delivery::kAsyncRun) {
        continue;
      }
      expected[catalogue::MessageName(message)] += rounds;
    }
  }
  return expected;
}

// The host thread's commands: all three tables, strokes deferred to the core thread. Returns the
// number of strokes the bridge accepted.
int RunCommands(int rounds) {
  int strokes = 0;
  for (int i = 0; i < rounds; ++i) {
    Command("live.enterRoom", "[\"{\\\"id\\\":7,\\\"userId\\\":42}\"]");
    Command("engine.getSpeakerVolume", "[]");
    Command("engine.getRecordingDevices", "[]");
    Command("live.sendChatMessage", "[42,\"hi\",0]");
    for (int k = 0; k < 5; ++k) {
      auto stroke = Command("live.syncStroke", "[[{\"x\":1,\"y\":2},{\"x\":3}],1,2]");
      if (stroke->resultCount == 1) ++strokes;
    }
    Command("live.addQuestion", "[\"{\\\"type\\\":1,\\\"correctOptions\\\":[1,2]}\"]");
    Command("offlinePlay.openMedia", "[\"{\\\"id\\\":9}\"]");
    Command("engine.isMicrophoneMute", "[]");
    StoreData(i % 2 == 0 ? "segment-1" : "segment-2");
    Command("offlinePlay.getPlayProgress", "[]");
    Command("offlinePlay.seekMedia", "[1000]");
    Command("offlinePlay.closeMedia", "[]");
    Command("live.quitRoom", "[]");
  }
  return strokes;
}

struct Bridge {
  kv_harness::CountingHost host{[this](const std::string& why) {
    std::lock_guard<std::mutex> lock(faultMutex);
    faults.push_back(why);
  }};
  std::mutex faultMutex;
  std::vector<std::string> faults;
  corvel_client::EngineCallback* callback = nullptr;
};

Bridge& TheBridge() {
  // Init once per process; the host outlives every engine thread.
  static Bridge* bridge = [] {
    auto* made = new Bridge();
    // Debug texts are formatted as always but not printed (thousands of error events).
    kv_set_debug_sink([](const wchar_t*) {});
    EXPECT_EQ(corvel::Init(&made->host, &made->host), 0);
    corvel_client::EngineHolder* holder = corvel_client::AcquireEngine();
    if (holder != nullptr) {
      made->callback = holder->callback;
      made->callback->SetAsyncRun(&made->host);
    }
    return made;
  }();
  return *bridge;
}

// One concurrent run: what the host received during it, and what was expected.
struct RunResult {
  kv_harness::HostCounts before, after;
  std::map<std::string, int64_t> byNameBefore, byNameAfter, expected;
  int strokes = 0;
  size_t engineStrokes = 0;
};

RunResult RunConcurrently(Bridge& bridge) {
  RunResult run;
  Sim("{\"sim\":\"journal\"}");
  run.before = bridge.host.Counts();
  run.byNameBefore = bridge.host.ArraysByName();
  std::thread core([&] { bridge.host.CoreLoop(); });

  std::vector<std::map<std::string, int64_t>> expected(kEngineThreads);
  std::vector<std::thread> engine;
  for (int t = 0; t < kEngineThreads; ++t) {
    engine.emplace_back([&, t] { expected[t] = RaiseAllEvents(*bridge.callback, t, kRounds); });
  }
  // The simulated engine's own threads at the same time: queued events, and events raised on
  // several new threads at once (none of them frames, whose streams belong to the threads above).
  for (int i = 0; i < 20; ++i) {
    Sim("{\"sim\":\"emit\",\"event\":\"OnChatMessageFailed\",\"args\":[1,2,\"q\"],\"wait\":false}");
    Sim("{\"sim\":\"emit\",\"event\":\"GetStorageData\",\"args\":[\"segment-1\"],\"wait\":false}");
  }
  Sim("{\"sim\":\"emit\",\"event\":\"OnRoomInfo\",\"args\":[{\"users\":[{\"id\":1,\"type\":1}]}],"
      "\"threads\":4,\"repeat\":25}");
  Sim("{\"sim\":\"emit\",\"event\":\"GetStorageData\",\"args\":[\"segment-2\"],\"threads\":2,"
      "\"repeat\":25}");
  run.strokes = RunCommands(kCommandRounds);
  for (std::thread& thread : engine) thread.join();
  Sim("{\"sim\":\"wait\"}");
  bridge.host.Stop();
  core.join();
  bridge.host.Restart();

  run.after = bridge.host.Counts();
  run.byNameAfter = bridge.host.ArraysByName();
  const std::string journal = Sim("{\"sim\":\"journal\"}");
  for (size_t at = journal.find("\"Live.SyncStroke\""); at != std::string::npos;
       at = journal.find("\"Live.SyncStroke\"", at + 1)) {
    ++run.engineStrokes;
  }
  for (const auto& perThread : expected) {
    for (const auto& entry : perThread) run.expected[entry.first] += entry.second;
  }
  run.expected["onRoomInfo"] += 4 * 25;
  run.expected["onChatMessageFailed"] += 20;
  return run;
}

// Catches data races between engine threads, the host thread and the core thread (under
// ThreadSanitizer), lost or duplicated events, and arrays or blocks the bridge built but never
// handed over or freed (the heap does not come back).
TEST(BridgeConcurrencyTest, EngineHostAndCoreThreadsAtOnce) {
  Bridge& bridge = TheBridge();
  ASSERT_NE(bridge.callback, nullptr);
  Sim("{\"sim\":\"reset\"}");
  Sim("{\"sim\":\"devices\",\"recording\":[\"Mic A\",\"Mic B\"],\"video\":[\"Cam\"]}");

  // The first runs bring every lazily made object into being (frame buffers, the reused room
  // object, thread bookkeeping); a further run must then leave the heap where it found it. Its own
  // results are dropped before the heap is read again.
  const RunResult run = RunConcurrently(bridge);
  RunConcurrently(bridge);
  const int64_t heapBefore = HeapBytes();
  RunConcurrently(bridge);
  const int64_t heapAfter = HeapBytes();

  // Every stroke the bridge accepted reached the engine from the core thread, exactly once.
  EXPECT_EQ(run.after.nullItems, run.before.nullItems);
  EXPECT_EQ(run.after.ran - run.before.ran, run.after.dispatched - run.before.dispatched);
  EXPECT_EQ(run.after.dispatched - run.before.dispatched, run.strokes);
  EXPECT_EQ(run.engineStrokes, static_cast<size_t>(run.strokes));
  if (run.strokes == 0) {
    std::printf("note: live.syncStroke was not served; the core-thread part checked nothing\n");
  }

  // Every event the engine threads raised arrived once, as one array the host freed.
  for (const auto& entry : run.expected) {
    const auto was = run.byNameBefore.find(entry.first);
    const auto now = run.byNameAfter.find(entry.first);
    const int64_t received = (now == run.byNameAfter.end() ? 0 : now->second) -
                             (was == run.byNameBefore.end() ? 0 : was->second);
    EXPECT_EQ(received, entry.second) << entry.first;
  }
  EXPECT_GT(run.after.scripts, run.before.scripts);  // size notices, each block released
  EXPECT_GE(run.after.formatted - run.before.formatted, int64_t{kEngineThreads} * kRounds);
  {
    std::lock_guard<std::mutex> lock(bridge.faultMutex);
    EXPECT_TRUE(bridge.faults.empty()) << bridge.faults.front();
  }

  // Nothing a run allocates is left behind: a lost array or block would be tens of bytes per event,
  // and a run posts over twenty thousand. The allowance covers the harness's own bookkeeping (a
  // counter for a message name the timing let appear first in this run).
  std::printf("arrays %lld, scripts %lld, strokes %d, heap %lld -> %lld bytes\n",
              static_cast<long long>(run.after.arrays - run.before.arrays),
              static_cast<long long>(run.after.scripts - run.before.scripts), run.strokes,
              static_cast<long long>(heapBefore), static_cast<long long>(heapAfter));
  EXPECT_LT(heapAfter - heapBefore, 4096);
}

}  // namespace
