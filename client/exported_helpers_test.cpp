#include <cstring>
#include <new>

#include <gtest/gtest.h>

#include "kv/kv_client.h"

namespace {

using corvel_client_win::cJSON_GetBoolFromJsonArray;
using corvel_client_win::cJSON_GetNumberFromJsonArray;
using corvel_client_win::cJSON_GetStringFromJsonArray;

struct JsonArray {
  explicit JsonArray(const char* text) : value(cJSON_Parse(text)) {}
  ~JsonArray() { cJSON_Delete(value); }
  cJSON* value;
};

// Only JSON true is true: 1, "true" and missing items are false.
TEST(ArrayGetters, BoolOnlyFromJsonTrue) {
  JsonArray args(R"([true, false, 1, "true", null, {}])");
  ASSERT_NE(args.value, nullptr);
  EXPECT_TRUE(cJSON_GetBoolFromJsonArray(args.value, 0));
  for (int i = 1; i < 6; ++i) EXPECT_FALSE(cJSON_GetBoolFromJsonArray(args.value, i)) << i;
  EXPECT_FALSE(cJSON_GetBoolFromJsonArray(args.value, 6));
  EXPECT_FALSE(cJSON_GetBoolFromJsonArray(args.value, -1));
  EXPECT_FALSE(cJSON_GetBoolFromJsonArray(nullptr, 0));
}

TEST(ArrayGetters, NumberOrZero) {
  JsonArray args(R"([2.9, -12.7, "3", true, [1]])");
  EXPECT_DOUBLE_EQ(cJSON_GetNumberFromJsonArray(args.value, 0), 2.9);
  EXPECT_DOUBLE_EQ(cJSON_GetNumberFromJsonArray(args.value, 1), -12.7);
  EXPECT_EQ(cJSON_GetNumberFromJsonArray(args.value, 2), 0);
  EXPECT_EQ(cJSON_GetNumberFromJsonArray(args.value, 3), 0);
  EXPECT_EQ(cJSON_GetNumberFromJsonArray(args.value, 4), 0);
  EXPECT_EQ(cJSON_GetNumberFromJsonArray(args.value, 5), 0);
  EXPECT_EQ(cJSON_GetNumberFromJsonArray(args.value, -3), 0);
  EXPECT_EQ(cJSON_GetNumberFromJsonArray(nullptr, 0), 0);
}

// The text stays the array's; anything but a string item is null.
TEST(ArrayGetters, StringOrNull) {
  JsonArray args(R"(["abc", 5, null, ""])");
  char* text = cJSON_GetStringFromJsonArray(args.value, 0);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(text, cJSON_GetArrayItem(args.value, 0)->valuestring);
  EXPECT_EQ(cJSON_GetStringFromJsonArray(args.value, 1), nullptr);
  EXPECT_EQ(cJSON_GetStringFromJsonArray(args.value, 2), nullptr);
  EXPECT_STREQ(cJSON_GetStringFromJsonArray(args.value, 3), "");
  EXPECT_EQ(cJSON_GetStringFromJsonArray(args.value, 4), nullptr);
  EXPECT_EQ(cJSON_GetStringFromJsonArray(args.value, -1), nullptr);
  EXPECT_EQ(cJSON_GetStringFromJsonArray(nullptr, 0), nullptr);
}

TEST(LargeMemory, AllocatesAndReleasesBlocks) {
  char* block = corvel::LargeMemoryMalloc(1024);
  ASSERT_NE(block, nullptr);
  std::memset(block, 'x', 1024);  // ASan: the whole block is addressable
  corvel::LargeMemoryRelease(block);
  corvel::LargeMemoryRelease(nullptr);
  char* empty = corvel::LargeMemoryMalloc(0);
  corvel::LargeMemoryRelease(empty);
}

// Exhaustion (here a negative size) raises the allocation exception instead of returning garbage.
TEST(LargeMemory, NegativeSizeRaisesBadAlloc) {
  EXPECT_THROW(corvel::LargeMemoryMalloc(-1), std::bad_alloc);
}

}  // namespace
