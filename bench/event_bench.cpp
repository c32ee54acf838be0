// Event forwarding costs against their floors: a frame through OnGetVideoData against memcpy of
// the same bytes, "onRoomInfo" against writing the same JSON value alone, and the loopback mixer
// against a plain add loop. Each pair runs in the same process so their ratio is meaningful.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <benchmark/benchmark.h>

#include "engine/audio_mix.h"
#include "engine/engine_callback.h"
#include "engine/event_json.h"
#include "generic_array.h"

// Replacing operator new and delete with malloc and free is what this file means to do.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Heap counters: C++ operator new everywhere in the process, malloc from kv_client's own code.
namespace {
std::atomic<int64_t> g_new_calls{0};
std::atomic<int64_t> g_malloc_calls{0};
}  // namespace

void* operator new(size_t size) {
  g_new_calls.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  g_new_calls.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

extern "C" void* __real_malloc(size_t size);
extern "C" void* __wrap_malloc(size_t size) {
  g_malloc_calls.fetch_add(1, std::memory_order_relaxed);
  return __real_malloc(size);
}

namespace {

// A host that consumes every event at once, as a fast script side would.
class DiscardingHost : public corvel_client_win::JavaScriptAsyncRunBase {
 public:
  void AsyncRunScript(char* script) override { corvel::LargeMemoryRelease(script); }
  void AsyncRunReserved() override {}
  int AsyncRunFormatted(const wchar_t*, const wchar_t*, ...) override { return 0; }
  void AsyncRun(const char*, int, corvel::GenericArray* args) override {
    benchmark::DoNotOptimize(args);
    corvel::ReleaseGenericArray(args);
  }
};

// The bridge's event callback, posting to a host that drops every event.
struct DiscardingCallback {
  DiscardingCallback() { callback.SetAsyncRun(&host); }
  DiscardingHost host;
  corvel_client::EngineCallback callback;
};

// An event's JSON text written alone, without the callback around it.
void WriteOnly(benchmark::State& state, const Json::Value& value) {
  for (auto _ : state) benchmark::DoNotOptimize(corvel_client::WriteEventJson(value));
}

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr size_t kFrameBytes = kWidth * kHeight * 3 / 2;  // 3,110,400

void BM_FrameMemcpy(benchmark::State& state) {
  std::vector<uint8_t> source(kFrameBytes, 3);
  std::vector<uint8_t> target(kFrameBytes, 0);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), kFrameBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFrameBytes));
}

void BM_FrameOnGetVideoData(benchmark::State& state) {
  DiscardingCallback bridge;
  corvel_client::EngineCallback& callback = bridge.callback;
  std::vector<uint8_t> frame(kFrameBytes, 3);
  const uint8_t* y = frame.data();
  const uint8_t* u = y + kWidth * kHeight;
  const uint8_t* v = u + kWidth * kHeight / 4;
  // The first frame creates the stream's buffer; everything after must reuse it.
  callback.OnGetVideoData(0, kWidth, kHeight, 0, y, kWidth, u, kWidth / 2, v, kWidth / 2);
  const int64_t newBefore = g_new_calls.load();
  const int64_t mallocBefore = g_malloc_calls.load();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        callback.OnGetVideoData(0, kWidth, kHeight, 0, y, kWidth, u, kWidth / 2, v, kWidth / 2));
  }
  const double frames = static_cast<double>(state.iterations());
  state.counters["new_per_frame"] = static_cast<double>(g_new_calls.load() - newBefore) / frames;
  state.counters["malloc_per_frame"] =
      static_cast<double>(g_malloc_calls.load() - mallocBefore) / frames;
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFrameBytes));
}

corvel::UserInfo User(int32_t id, int32_t type) {
  corvel::UserInfo user;
  user.id = id;
  user.type = type;
  user.right = 1;
  user.name = "student-" + std::to_string(id);
  return user;
}

// A full class: 250 users, a microphone queue, speakers, banned users and a summarised question.
corvel::RoomInfo BigRoom() {
  corvel::RoomInfo room;
  room.users.push_back(User(1, 1));
  room.users.push_back(User(2, 4));
  room.users.push_back(User(3, 4));
  for (int32_t i = 0; i < 247; ++i) room.users.push_back(User(100 + i, 2));
  for (int32_t i = 0; i < 10; ++i) room.microphoneQueue.push_back(User(100 + i, 2));
  for (int32_t i = 0; i < 5; ++i) {
    auto speaker = std::make_shared<corvel::SpeakerInfo>();
    speaker->id = 100 + 2 * i;
    speaker->name = "speaker";
    room.speakers.push_back(speaker);
  }
  for (int32_t i = 0; i < 20; ++i) room.bannedUsers.push_back(User(200 + i, 2));
  for (int32_t i = 0; i < 10; ++i) room.microphoneStates.push_back({100 + i, 30, 1});
  auto question = std::make_shared<corvel::QuestionInfo>();
  question->correctOptions = {1, 3};
  question->summary = std::make_shared<corvel::AnswerSummary>();
  question->summary->optionStats = {{0, 10}, {1, 20}, {2, 30}, {3, 40}};
  room.questions.push_back(question);
  room.userCount = 250;
  return room;
}

void BM_RoomJsonWriteOnly(benchmark::State& state) {
  WriteOnly(state, corvel_client::RoomJson(BigRoom()));
}

void BM_RoomOnRoomInfo(benchmark::State& state) {
  DiscardingCallback bridge;
  const corvel::RoomInfo room = BigRoom();
  for (auto _ : state) bridge.callback.OnRoomInfo(room);
}

// A 1 MiB chat text with quotes, backslashes and non-ASCII letters (as the page bench sends it):
// the writer's share of the development host's echo.
corvel::ChatMessage LongChat() {
  const std::string piece =
      "The quick brown fox \"jumps\" over the lazy dog\\ 0123456789 \xC3\xA9 \xC3\xBC \xE2\x98\x83\n";
  corvel::ChatMessage chat;
  while (chat.text.size() < (1u << 20)) chat.text += piece;
  chat.messageId = 1;
  chat.sender.id = 42;
  chat.sender.name = "me";
  return chat;
}

void BM_ChatJsonWrite1MiB(benchmark::State& state) {
  WriteOnly(state, corvel_client::ChatJson(7, LongChat()));
}

void BM_ChatOnChatMessage1MiB(benchmark::State& state) {
  DiscardingCallback bridge;
  const corvel::ChatMessage chat = LongChat();
  for (auto _ : state) bridge.callback.OnChatMessage(7, chat);
}

constexpr size_t kBlockSamples = 480 * 2;  // 10 ms of 48 kHz stereo

std::vector<int16_t> Samples(int seed) {
  std::vector<int16_t> samples(kBlockSamples);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>((i * 37 + static_cast<size_t>(seed)) % 2000 - 1000);
  }
  return samples;
}

void BM_MixPlainAdd(benchmark::State& state) {
  std::vector<int16_t> target = Samples(1);
  const std::vector<int16_t> source = Samples(2);
  for (auto _ : state) {
    int16_t* out = target.data();
    const int16_t* in = source.data();
    for (size_t i = 0; i < kBlockSamples; ++i) out[i] = static_cast<int16_t>(out[i] + in[i]);
    benchmark::ClobberMemory();
  }
}

void BM_MixSaturating(benchmark::State& state) {
  std::vector<int16_t> target = Samples(1);
  const std::vector<int16_t> source = Samples(2);
  for (auto _ : state) {
    corvel_client::MixSamples(target.data(), kBlockSamples, 2, source.data(), kBlockSamples, 2,
                              kBlockSamples);
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_FrameMemcpy);
BENCHMARK(BM_FrameOnGetVideoData);
BENCHMARK(BM_RoomJsonWriteOnly);
BENCHMARK(BM_RoomOnRoomInfo);
BENCHMARK(BM_ChatJsonWrite1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChatOnChatMessage1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixPlainAdd);
BENCHMARK(BM_MixSaturating);
BENCHMARK_MAIN();
