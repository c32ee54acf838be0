#include "encode.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace kv_host {
namespace {

std::string Print(cJSON* value) {
  char* text = cJSON_PrintUnformatted(value);
  std::string out = text;
  cJSON_free(text);
  cJSON_Delete(value);
  return out;
}

corvel::GenericItem Item(void* data, int32_t type, int32_t size) {
  corvel::GenericItem item;
  item.data = data;
  item.type = type;
  item.size = size;
  return item;
}

// Each scalar type prints as its value; 64-bit values stay exact beyond a double's range.
TEST(EncodeTest, ScalarItems) {
  uint8_t flag = 1;
  int32_t small = -7;
  int64_t big = 9007199254740993LL;
  double number = 0.5;
  auto b = Item(&flag, 0, 1), i = Item(&small, 6, 4), l = Item(&big, 8, 8),
       d = Item(&number, 11, 8);
  EXPECT_EQ(Print(EncodeItem(&b)), R"({"type":0,"value":true})");
  EXPECT_EQ(Print(EncodeItem(&i)), R"({"type":6,"value":-7})");
  EXPECT_EQ(Print(EncodeItem(&l)), R"({"type":8,"value":9007199254740993})");
  EXPECT_EQ(Print(EncodeItem(&d)), R"({"type":11,"value":0.5})");
  EXPECT_EQ(Print(EncodeItem(nullptr)), "null");
}

// A text is read within its size; a size that disagrees with the terminator is shown, so a
// bridge fault in the size field is visible rather than hidden or overread.
TEST(EncodeTest, TextItemsStayInsideTheirSize) {
  char good[] = "hi";
  char bad[4] = {'a', 'b', 'c', 'd'};
  auto g = Item(good, 13, 3), u = Item(bad, 13, 4);
  EXPECT_EQ(Print(EncodeItem(&g)), R"({"type":13,"value":"hi"})");
  EXPECT_EQ(Print(EncodeItem(&u)), R"({"type":13,"value":"abcd","size":4})");
}

// Borrowed bytes print as size and checksum; arrays of doubles and of points as nested arrays.
TEST(EncodeTest, BorrowedAndArrayItems) {
  char bytes[] = "foobar";
  auto f = Item(bytes, 14, 6);
  EXPECT_EQ(Print(EncodeItem(&f)), R"({"type":14,"size":6,"fnv1a":"bf9cf968"})");
  corvel::GenericItem* frame[] = {&f};
  corvel::GenericArray event{frame, 1, 1};
  EXPECT_EQ(Print(EncodeEvent("f", 1, &event, nullptr, &f)),  // its bytes follow the line
            R"({"event":"f","items":[{"type":14,"size":6}]})");
  double values[] = {1, 2.5};
  auto a = Item(values, 24, 2);
  EXPECT_EQ(Print(EncodeItem(&a)), R"({"type":24,"value":[1,2.5]})");
  double p0[] = {1, 2, 0.5}, p1[] = {3, 4, 1};
  double* points[] = {p0, p1};
  auto p = Item(points, 25, (2 << 16) | 3);
  EXPECT_EQ(Print(EncodeItem(&p)), R"({"type":25,"value":[[1,2,0.5],[3,4,1]]})");
}

// A count that disagrees with the array's own is reported with the event.
TEST(EncodeTest, EventCountMismatchIsShown) {
  int32_t value = 3;
  corvel::GenericItem item = Item(&value, 6, 4);
  corvel::GenericItem* items[] = {&item};
  corvel::GenericArray array{items, 1, 1};
  EXPECT_EQ(Print(EncodeEvent("x", 1, &array)), R"({"event":"x","items":[{"type":6,"value":3}]})");
  EXPECT_EQ(Print(EncodeEvent("x", 2, &array)),
            R"({"event":"x","items":[{"type":6,"value":3}],"count":2})");
}

// Wide texts reach the output as UTF-8, including characters outside the basic plane.
TEST(EncodeTest, WideTextsAndBase64) {
  EXPECT_EQ(WideToUtf8(L"Error: 401\n"), "Error: 401\n");
  EXPECT_EQ(WideToUtf8(L"\u6b63\U0001F600"), "\xe6\xad\xa3\xf0\x9f\x98\x80");
  std::vector<uint8_t> out;
  EXPECT_TRUE(Base64Decode("aGk=", out));
  EXPECT_EQ(std::string(out.begin(), out.end()), "hi");
  EXPECT_FALSE(Base64Decode("a-b", out));
  // Whitespace is skipped; a NUL, a character past ASCII or data after padding refuses.
  EXPECT_TRUE(Base64Decode(" aG\r\nk= ", out));
  EXPECT_EQ(std::string(out.begin(), out.end()), "hi");
  EXPECT_FALSE(Base64Decode(std::string("aG\0k", 4), out));
  EXPECT_FALSE(Base64Decode("aGk\xc3\xa9", out));
  EXPECT_FALSE(Base64Decode("aG==aGk=", out));
}

}  // namespace
}  // namespace kv_host
