#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bridge.h"
#include "kv/kv_client.h"

namespace {

using corvel_client_win::MessageFromCpp;

// cJSON allocations counted through its hooks, so the record's deleter can be checked.
std::atomic<int> g_live_blocks{0};
void* CountingMalloc(size_t size) {
  ++g_live_blocks;
  return std::malloc(size);
}
void CountingFree(void* block) {
  if (block != nullptr) --g_live_blocks;
  std::free(block);
}

class CountingHooks : public ::testing::Test {
 protected:
  void SetUp() override {
    cJSON_Hooks hooks{CountingMalloc, CountingFree};
    cJSON_InitHooks(&hooks);
    g_live_blocks = 0;
  }
  void TearDown() override { corvel::JSON_InitHooks(); }
};

// A new record: the name copied, empty args and result, count 0.
TEST_F(CountingHooks, CreateMessageBuildsAnEmptyRecord) {
  auto message = corvel::CreateMessage("live.enterRoom");
  ASSERT_TRUE(message);
  ASSERT_TRUE(cJSON_IsString(message->name));
  EXPECT_STREQ(message->name->valuestring, "live.enterRoom");
  EXPECT_EQ(message->resultCount, 0);
  EXPECT_TRUE(cJSON_IsArray(message->args));
  EXPECT_TRUE(cJSON_IsArray(message->result));
  EXPECT_EQ(cJSON_GetArraySize(message->args), 0);
  EXPECT_EQ(cJSON_GetArraySize(message->result), 0);
}

// The deleter frees every cJSON part exactly once, with the last shared copy.
TEST_F(CountingHooks, LastCopyFreesEveryPartOnce) {
  {
    auto message = corvel::CreateMessage("engine.getSpeakerVolume");
    cJSON_AddItemToArray(message->args, cJSON_CreateString("argument"));
    cJSON_AddItemToArray(message->result, cJSON_CreateNumber(0));
    auto copy = message;
    message.reset();
    EXPECT_GT(g_live_blocks.load(), 0);
  }
  EXPECT_EQ(g_live_blocks.load(), 0);
}

// Catches a deleter that recurses once per nesting level: a host may hand over arguments nested
// far deeper than the parser allows, and freeing them must neither overflow the stack nor leak
// (every block counted), nor free what a reference item only points to.
TEST_F(CountingHooks, DeeplyNestedArgumentsAreFreedWithoutRecursion) {
  cJSON* borrowed = cJSON_CreateArray();
  cJSON_AddItemToArray(borrowed, cJSON_CreateString("kept"));
  const int before = g_live_blocks.load();
  {
    auto message = corvel::CreateMessage("live.enterRoom");
    cJSON* inner = message->args;
    for (int level = 0; level < 500000; ++level) {
      cJSON* next = level % 2 == 0 ? cJSON_CreateArray() : cJSON_CreateObject();
      cJSON_AddItemToArray(inner, cJSON_CreateString("text"));
      if (cJSON_IsObject(inner)) {
        cJSON_AddItemToObject(inner, "x", next);
      } else {
        cJSON_AddItemToArray(inner, next);
      }
      inner = next;
    }
    cJSON_AddItemReferenceToArray(inner, borrowed);
  }
  EXPECT_EQ(g_live_blocks.load(), before);
  ASSERT_EQ(cJSON_GetArraySize(borrowed), 1);
  EXPECT_STREQ(cJSON_GetArrayItem(borrowed, 0)->valuestring, "kept");
  cJSON_Delete(borrowed);
  EXPECT_EQ(g_live_blocks.load(), 0);
}

// Null parts are allowed: the deleter skips them.
TEST_F(CountingHooks, DeleterToleratesNullParts) {
  auto message = corvel::CreateMessage("x");
  cJSON_Delete(message->name);
  cJSON_Delete(message->args);
  cJSON_Delete(message->result);
  message->name = message->args = message->result = nullptr;
  message.reset();
  EXPECT_EQ(g_live_blocks.load(), 0);
}

// Catches a JSON_InitHooks that leaves the host's hooks in place: afterwards cJSON allocates with
// the runtime's malloc and free, which the counting hooks no longer see.
TEST_F(CountingHooks, JsonInitHooksPutsCjsonBackOnTheRuntimeHeap) {
  cJSON* counted = cJSON_CreateString("counted");
  EXPECT_EQ(g_live_blocks.load(), 2);  // the item and its text
  corvel::JSON_InitHooks();
  cJSON* plain = cJSON_CreateString("plain");
  void* block = cJSON_malloc(16);
  EXPECT_EQ(g_live_blocks.load(), 2);
  std::free(block);  // the runtime's own free accepts it (AddressSanitizer checks the pairing)
  cJSON_Delete(plain);
  cJSON_Delete(counted);  // CountingMalloc's blocks are the runtime's too
  EXPECT_EQ(g_live_blocks.load(), 2);
}

TEST(CreateMessage, NullNameBecomesEmpty) {
  auto message = corvel::CreateMessage(nullptr);
  ASSERT_TRUE(cJSON_IsString(message->name));
  EXPECT_STREQ(message->name->valuestring, "");
}

// A delegate that notes what reached it.
class Recorder : public corvel_client_win::MessageDelegate {
 public:
  Recorder(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
  void OnMessage(std::shared_ptr<MessageFromCpp> message) override {
    log_->push_back(name_ + ":" + message->name->valuestring);
    cJSON_AddItemToArray(message->result, cJSON_CreateString(name_.c_str()));
  }
  void GetName(std::string& name) override { name = name_; }

 private:
  std::string name_;
  std::vector<std::string>* log_;
};

class Routing : public ::testing::Test {
 protected:
  Routing() {
    registry.Insert("offlinePlay.", &offline);
    registry.Insert("live.", &live);
  }
  std::vector<std::string> Route(const char* name) {
    log.clear();
    corvel_client_win::RouteMessage(registry, corvel::CreateMessage(name));
    return log;
  }
  std::vector<std::string> log;
  Recorder offline{"offline", &log};
  Recorder live{"live", &log};
  corvel_client_win::DelegateRegistry registry;
};

using Log = std::vector<std::string>;

// "engine." goes to every delegate, the offline-play delegate first; other prefixes to their own.
TEST_F(Routing, EngineCommandsReachEveryDelegateInOrder) {
  EXPECT_EQ(Route("engine.muteSpeaker"),
            (Log{"offline:engine.muteSpeaker", "live:engine.muteSpeaker"}));
  EXPECT_EQ(Route("live.enterRoom"), (Log{"live:live.enterRoom"}));
  EXPECT_EQ(Route("offlinePlay.openMedia"), (Log{"offline:offlinePlay.openMedia"}));
  // The prefix ends at the first dot; the method may hold more.
  EXPECT_EQ(Route("live.a.b"), (Log{"live:live.a.b"}));
}

// Unknown prefixes, no dot, an empty name and a prefix differing in letter case reach nothing.
TEST_F(Routing, OtherNamesReachNoDelegate) {
  for (const char* name : {"live", "", "Live.enterRoom", "LIVE.enterRoom", "offlineplay.openMedia",
                           "media.play", ".live", "engine"}) {
    EXPECT_TRUE(Route(name).empty()) << name;
  }
}

// A null record or a name that is not a string item reaches no delegate and does not fault.
TEST_F(Routing, MalformedRecordsAreIgnored) {
  log.clear();
  corvel_client_win::RouteMessage(registry, nullptr);
  auto numbered = corvel::CreateMessage("live.enterRoom");
  cJSON_Delete(numbered->name);
  numbered->name = cJSON_CreateNumber(5);
  corvel_client_win::RouteMessage(registry, numbered);
  auto nameless = corvel::CreateMessage("live.enterRoom");
  cJSON_Delete(nameless->name);
  nameless->name = nullptr;
  corvel_client_win::RouteMessage(registry, nameless);
  corvel::OnMessage(nullptr);
  EXPECT_TRUE(log.empty());
}

// Each delegate writes into the same record: two result groups, the offline-play one first.
TEST_F(Routing, BothDelegatesWriteIntoOneRecord) {
  auto message = corvel::CreateMessage("engine.getSpeakerVolume");
  corvel_client_win::RouteMessage(registry, message);
  ASSERT_EQ(cJSON_GetArraySize(message->result), 2);
  EXPECT_STREQ(cJSON_GetArrayItem(message->result, 0)->valuestring, "offline");
  EXPECT_STREQ(cJSON_GetArrayItem(message->result, 1)->valuestring, "live");
}

class NullHost : public corvel_client_win::JavaScriptAsyncRunBase, public corvel::ICoreDispatcher {
 public:
  void AsyncRunScript(char* script) override { corvel::LargeMemoryRelease(script); }
  void AsyncRunReserved() override {}
  int AsyncRunFormatted(const wchar_t*, const wchar_t*, ...) override { return 0; }
  void AsyncRun(const char*, int, corvel::GenericArray* args) override {
    corvel::ReleaseGenericArray(args);
  }
  void Dispatch(corvel::IDispatchHanler* handler) override {
    if (handler != nullptr) handler->Run();
  }
};

std::vector<std::string> RegisteredNames() {
  std::vector<std::string> names;
  for (const auto& entry : corvel_client_win::Registry().Ordered()) {
    std::string name;
    entry.second->GetName(name);
    names.push_back(entry.first + "=" + name);
  }
  return names;
}

// Init: null objects are refused; otherwise the offline-play delegate is registered first, and a
// second Init replaces the registrations without adding prefixes.
TEST(Init, RegistersTwoDelegatesOfflineFirst) {
  static NullHost host;
  EXPECT_EQ(corvel::Init(nullptr, &host), -1);
  EXPECT_EQ(corvel::Init(&host, nullptr), -1);
  EXPECT_TRUE(RegisteredNames().empty());

  ASSERT_EQ(corvel::Init(&host, &host), 0);
  EXPECT_EQ(RegisteredNames(), (Log{"offlinePlay.=offline", "live.=live"}));
  auto* first_live = corvel_client_win::Registry().Find("live.");

  ASSERT_EQ(corvel::Init(&host, &host), 0);
  EXPECT_EQ(RegisteredNames(), (Log{"offlinePlay.=offline", "live.=live"}));
  EXPECT_NE(corvel_client_win::Registry().Find("live."), first_live);

  // "engine." commands with no room and no medium stay unhandled.
  auto message = corvel::CreateMessage("engine.getSpeakerVolume");
  corvel::OnMessage(message);
  EXPECT_EQ(message->resultCount, 0);
  EXPECT_EQ(cJSON_GetArraySize(message->result), 0);
}

}  // namespace
