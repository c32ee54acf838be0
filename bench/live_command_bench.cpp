// The cost of the live command path against its floor: a whole "live." command round trip (record,
// arguments, OnMessage, reading the result) against building and freeing the same record alone.
// The engine answers every call at once (live_bench_engine.cpp), so the figure is the bridge's own.
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

#include "kv/kv_client.h"

namespace {

using corvel_client_win::MessageFromCpp;

class NullRun : public corvel_client_win::JavaScriptAsyncRunBase {
 public:
  void AsyncRunScript(char* script) override { corvel::LargeMemoryRelease(script); }
  void AsyncRunReserved() override {}
  int AsyncRunFormatted(const wchar_t*, const wchar_t*, ...) override { return 0; }
  void AsyncRun(const char*, int, corvel::GenericArray* args) override {
    corvel::ReleaseGenericArray(args);
  }
};

class NullDispatcher : public corvel::ICoreDispatcher {
 public:
  void Dispatch(corvel::IDispatchHanler* handler) override {
    if (handler != nullptr) handler->Run();
  }
};

void StartOnce() {
  static const bool started = [] {
    static NullRun run;
    static NullDispatcher dispatcher;
    return corvel::Init(&run, &dispatcher) == 0;
  }();
  if (!started) std::abort();
}

// The record as a host builds it for "live.sendChatMessage" (a number, a text, a number).
std::shared_ptr<MessageFromCpp> BuildChat() {
  auto message = corvel::CreateMessage("live.sendChatMessage");
  cJSON_AddItemToArray(message->args, cJSON_CreateNumber(1234));
  cJSON_AddItemToArray(message->args, cJSON_CreateString("hello, class"));
  cJSON_AddItemToArray(message->args, cJSON_CreateNumber(1));
  return message;
}

std::shared_ptr<MessageFromCpp> BuildPageTo() {
  auto message = corvel::CreateMessage("live.pageTo");
  cJSON_AddItemToArray(message->args, cJSON_CreateNumber(7));
  return message;
}

double ReadCode(const MessageFromCpp& message) {
  const cJSON* code = cJSON_GetArrayItem(message.result, 0);
  return message.resultCount > 0 && cJSON_IsNumber(code) ? code->valuedouble : -100;
}

template <std::shared_ptr<MessageFromCpp> (*Build)()>
void BM_RecordOnly(benchmark::State& state) {
  StartOnce();
  for (auto _ : state) {
    auto message = Build();
    benchmark::DoNotOptimize(message->args);
  }
}

// The record with its result code written directly: what any command costs at the least, since its
// result value is allocated and freed with the record.
template <std::shared_ptr<MessageFromCpp> (*Build)()>
void BM_RecordWithResult(benchmark::State& state) {
  StartOnce();
  for (auto _ : state) {
    auto message = Build();
    cJSON_AddItemToArray(message->result, cJSON_CreateNumber(0));
    message->resultCount = 1;
    double code = ReadCode(*message);
    benchmark::DoNotOptimize(code);
  }
}

template <std::shared_ptr<MessageFromCpp> (*Build)()>
void BM_RoundTrip(benchmark::State& state) {
  StartOnce();
  for (auto _ : state) {
    auto message = Build();
    corvel::OnMessage(message);
    double code = ReadCode(*message);
    benchmark::DoNotOptimize(code);
    if (code != 0) state.SkipWithError("command did not succeed");
  }
}

BENCHMARK_TEMPLATE(BM_RecordOnly, BuildPageTo);
BENCHMARK_TEMPLATE(BM_RecordWithResult, BuildPageTo);
BENCHMARK_TEMPLATE(BM_RoundTrip, BuildPageTo);
BENCHMARK_TEMPLATE(BM_RecordOnly, BuildChat);
BENCHMARK_TEMPLATE(BM_RecordWithResult, BuildChat);
BENCHMARK_TEMPLATE(BM_RoundTrip, BuildChat);

}  // namespace

BENCHMARK_MAIN();
