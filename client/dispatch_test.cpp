#include "dispatch.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include <gtest/gtest.h>

namespace {

using corvel_client_win::MessageFromCpp;

std::shared_ptr<MessageFromCpp> Message(const char* args) {
  auto message = corvel::CreateMessage("live.test");
  cJSON_Delete(message->args);
  message->args = cJSON_Parse(args);
  return message;
}

std::string ResultText(const MessageFromCpp& message) {
  char* text = cJSON_PrintUnformatted(message.result);
  std::string result = text;
  cJSON_free(text);
  return result;
}

// Numbers reach the engine truncated toward zero; nothing can make the conversion undefined.
TEST(Arguments, NumbersTruncateTowardZero) {
  auto message = Message(R"([2.9, -2.9, 1e300, -1e300, "7", 2147483647, -2147483648])");
  EXPECT_EQ(corvel_client::ArgInt(*message, 0), 2);
  EXPECT_EQ(corvel_client::ArgInt(*message, 1), -2);
  EXPECT_EQ(corvel_client::ArgInt(*message, 2), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(corvel_client::ArgInt(*message, 3), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(corvel_client::ArgInt(*message, 4), 0);
  EXPECT_EQ(corvel_client::ArgInt(*message, 5), 2147483647);
  EXPECT_EQ(corvel_client::ArgInt(*message, 6), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(corvel_client::ArgInt(*message, 9), 0);
  EXPECT_EQ(corvel_client::TruncateToInt32(std::nan("")), 0);
}

TEST(Arguments, BoolsAndTexts) {
  auto message = Message(R"([1, "true", true, "text", 3])");
  EXPECT_FALSE(corvel_client::ArgBool(*message, 0));
  EXPECT_FALSE(corvel_client::ArgBool(*message, 1));
  EXPECT_TRUE(corvel_client::ArgBool(*message, 2));
  EXPECT_STREQ(corvel_client::ArgText(*message, 3), "text");
  EXPECT_EQ(corvel_client::ArgText(*message, 4), nullptr);
  EXPECT_EQ(corvel_client::ArgString(*message, 4), "");
  EXPECT_EQ(corvel_client::ArgString(*message, 10), "");
  // A record whose args is not an array at all still reads safely.
  auto odd = Message("{}");
  EXPECT_EQ(corvel_client::ArgInt(*odd, 0), 0);
  EXPECT_EQ(corvel_client::ArgText(*odd, 0), nullptr);
}

// The code comes first and sets the count to 1; each output value adds one.
TEST(Results, CodeThenOutputs) {
  auto message = Message("[]");
  corvel_client::WriteResultCode(*message, 0);
  corvel_client::AppendResultNumber(*message, 0.2f);
  corvel_client::AppendResultBool(*message, false);
  corvel_client::AppendResultStrings(*message, {"Mic A", "Mic \"B\""});
  EXPECT_EQ(message->resultCount, 4);
  EXPECT_EQ(ResultText(*message),
            R"([0,0.20000000298023224,false,["Mic A","Mic \"B\""]])");

  auto failed = Message("[]");
  corvel_client::WriteResultCode(*failed, -5);
  EXPECT_EQ(failed->resultCount, 1);
  EXPECT_EQ(ResultText(*failed), "[-5]");
}

void* NoMemory(std::size_t) { return nullptr; }

// Out of memory for cJSON: a code that cannot be allocated is not counted, also when a failed
// command answers behind an earlier result group (the count must not point at that group's code).
TEST(Results, UnallocatableCodeIsNotCounted) {
  auto message = Message("[]");
  corvel_client::WriteResultCode(*message, 0);
  corvel_client::AppendResultNumber(*message, 5);
  cJSON_Hooks hooks{NoMemory, std::free};
  cJSON_InitHooks(&hooks);
  corvel_client::WriteResultCode(*message, 0);
  const int32_t written = message->resultCount;
  message->resultCount = 2;
  corvel_client::RunContained(*message, true, [] { throw std::bad_alloc(); });
  corvel::JSON_InitHooks();
  EXPECT_EQ(written, 0);
  EXPECT_EQ(message->resultCount, 0);
  EXPECT_EQ(ResultText(*message), "[0,5]");
}

struct Target {
  int Add(int* total, int a, int b) {
    *total += a + b;
    return 0;
  }
};

class RecordingDispatcher : public corvel::ICoreDispatcher {
 public:
  void Dispatch(corvel::IDispatchHanler* handler) override { last = handler; ++calls; }
  corvel::IDispatchHanler* last = nullptr;
  int calls = 0;
};

// The handler holds exactly one reference when dispatched and deletes itself after Run
// (ASan reports a leak or a double delete otherwise).
TEST(DispatchHanler, RunsOnceThenDeletesItself) {
  Target target;
  RecordingDispatcher dispatcher;
  int total = 0;
  ASSERT_TRUE(corvel::DispatchCall(&dispatcher, &target, &Target::Add, &total, 2, 3));
  ASSERT_EQ(dispatcher.calls, 1);
  ASSERT_NE(dispatcher.last, nullptr);
  EXPECT_EQ(dispatcher.last->refCount.load(), 1);
  EXPECT_EQ(total, 0);  // nothing runs before the core thread does
  dispatcher.last->Run();
  EXPECT_EQ(total, 5);
}

// An extra reference keeps the handler alive past Run; the last release deletes it.
TEST(DispatchHanler, LastReferenceDeletes) {
  Target target;
  RecordingDispatcher dispatcher;
  int total = 0;
  corvel::DispatchCall(&dispatcher, &target, &Target::Add, &total, 1, 1);
  corvel::IDispatchHanler* handler = dispatcher.last;
  handler->refCount.fetch_add(1);
  handler->Run();
  EXPECT_EQ(handler->refCount.load(), 1);
  handler->Run();  // drops the last reference
  EXPECT_EQ(total, 4);
}

}  // namespace
