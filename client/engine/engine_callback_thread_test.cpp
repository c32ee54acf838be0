#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/engine_callback.h"
#include "recording_host.h"

namespace {

using corvel_client::EngineCallback;
using corvel_client::testing::RecordingHost;

constexpr int kRounds = 200;

std::map<std::string, int> CountByName(const RecordingHost& host) {
  std::map<std::string, int> counts;
  for (const auto& event : host.RawEvents()) ++counts[event.name];
  return counts;
}

// Catches data races (ThreadSanitizer) and lost events when the engine reports from several
// threads at once: first and later frames of several streams (each stream's frames come from one
// thread, as its buffer holds one frame), room reports resetting frame sizes, and plain events.
TEST(EngineCallbackThreadTest, EventsFromSeveralEngineThreads) {
  RecordingHost host;
  EngineCallback callback;
  callback.SetAsyncRun(&host);

  const int32_t width = 32, height = 16;
  const std::vector<uint8_t> plane(width * height, 7);
  auto frames = [&](int32_t stream) {
    for (int i = 0; i < kRounds; ++i) {
      EXPECT_EQ(callback.OnGetVideoData(stream, width, height, i, plane.data(), width, plane.data(),
                                        width / 2, plane.data(), width / 2),
                0);
    }
  };
  std::vector<std::thread> threads;
  threads.emplace_back(frames, 0);
  threads.emplace_back(frames, 2);
  threads.emplace_back(frames, 1000);
  threads.emplace_back([&] {
    corvel::RoomInfo room;
    room.users.resize(3);
    for (int i = 0; i < kRounds; ++i) callback.OnRoomInfo(room);
  });
  threads.emplace_back([&] {
    const corvel::Point points[] = {{1, 2, 3}};
    for (int i = 0; i < kRounds; ++i) {
      callback.OnNetStatistics(i, 2, 3, 4, 5);
      callback.OnSyncStroke({points, 1, i, 0});
      callback.OnNetQuality(static_cast<uint64_t>(i), 0.5);
    }
  });
  for (std::thread& thread : threads) thread.join();

  const std::map<std::string, int> counts = CountByName(host);
  EXPECT_EQ(counts.at("onGetVideoData"), 3 * kRounds);
  EXPECT_EQ(counts.at("onRoomInfo"), kRounds);
  EXPECT_EQ(counts.at("OnNetStatistics"), kRounds);
  EXPECT_EQ(counts.at("onSyncStroke"), kRounds);
  EXPECT_EQ(counts.at("OnUploadClientLog"), kRounds);
  // Each stream kept one buffer for all its frames.
  std::map<int32_t, const void*> buffers;
  for (const auto& event : host.RawEvents()) {
    if (event.name != "onGetVideoData") continue;
    const int32_t stream = *static_cast<int32_t*>(event.array->items[0]->data);
    const void* data = event.array->items[7]->data;
    EXPECT_EQ(buffers.emplace(stream, data).first->second, data);
  }
  EXPECT_EQ(buffers.size(), 3u);
  EXPECT_GE(host.Scripts().size(), 3u);  // at least each stream's first size notice
}

}  // namespace
