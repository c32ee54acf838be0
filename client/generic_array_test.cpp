#include "generic_array.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

using corvel::GenericArray;
using corvel::NewGenericArray;
using corvel::ReleaseGenericArray;

// Growth follows the 3/4 rule: a fault there either wastes slots or writes past them.
TEST(GenericArray, GrowsWhenMoreThanThreeQuartersFull) {
  GenericArray* array = NewGenericArray();
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array->capacity, 8);
  EXPECT_EQ(array->count, 0);
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(corvel_client::AppendInt32(array, i));
  EXPECT_EQ(array->capacity, 8);  // 6 > 6 is false
  ASSERT_TRUE(corvel_client::AppendInt32(array, 6));
  EXPECT_EQ(array->count, 7);
  EXPECT_EQ(array->capacity, 16);
  for (int i = 7; i < 100; ++i) ASSERT_TRUE(corvel_client::AppendInt32(array, i));
  EXPECT_EQ(array->count, 100);
  EXPECT_EQ(array->capacity, 256);  // doubled at 7, 13, 25, 49 and 97 items
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(*static_cast<int32_t*>(array->items[i]->data), i);
  }
  ReleaseGenericArray(array);
}

// Each typed appender writes its value, code and size; ASan checks that release frees each once.
// Catches a text item whose size disagrees with the text the host reads: an engine text with an
// embedded terminator must be cut at it, not posted with the size of all its bytes.
TEST(GenericArray, TextWithEmbeddedTerminatorEndsThere) {
  GenericArray* array = NewGenericArray();
  ASSERT_NE(array, nullptr);
  const std::string text("ab\0cd", 5);
  ASSERT_TRUE(corvel_client::AppendText(array, text.data(), text.size()));
  EXPECT_EQ(array->items[0]->size, 3);
  EXPECT_STREQ(static_cast<const char*>(array->items[0]->data), "ab");
  ReleaseGenericArray(array);
}

TEST(GenericArray, TypedItemsCarryTheirCodesAndSizes) {
  GenericArray* array = NewGenericArray();
  ASSERT_NE(array, nullptr);
  static const char borrowed[] = "frame";
  const double values[] = {1.5, -2.0, 3.25};
  ASSERT_TRUE(corvel_client::AppendBool(array, true));
  ASSERT_TRUE(corvel_client::AppendInt32(array, -7));
  ASSERT_TRUE(corvel_client::AppendInt64(array, 0x100000002LL));
  ASSERT_TRUE(corvel_client::AppendDouble(array, 0.2));
  ASSERT_TRUE(corvel_client::AppendText(array, "héllo"));
  ASSERT_TRUE(corvel_client::AppendBorrowed(array, borrowed, sizeof borrowed));
  ASSERT_TRUE(corvel_client::AppendDoubleArray(array, values, 3));
  ASSERT_TRUE(corvel_client::AppendText(array, nullptr));

  ASSERT_EQ(array->count, 8);
  auto item = [&](int i) { return array->items[i]; };
  EXPECT_EQ(item(0)->type, 0);
  EXPECT_EQ(*static_cast<uint8_t*>(item(0)->data), 1);
  EXPECT_EQ(item(1)->type, 6);
  EXPECT_EQ(*static_cast<int32_t*>(item(1)->data), -7);
  EXPECT_EQ(item(2)->type, 8);
  const auto* words = static_cast<uint32_t*>(item(2)->data);
  EXPECT_EQ(words[0], 2u);  // low word first
  EXPECT_EQ(words[1], 1u);
  EXPECT_EQ(item(3)->type, 11);
  EXPECT_EQ(*static_cast<double*>(item(3)->data), 0.2);
  EXPECT_EQ(item(4)->type, 13);
  EXPECT_EQ(item(4)->size, static_cast<int32_t>(std::strlen("héllo") + 1));
  EXPECT_STREQ(static_cast<char*>(item(4)->data), "héllo");
  EXPECT_EQ(item(5)->type, 14);
  EXPECT_EQ(item(5)->data, borrowed);
  EXPECT_EQ(item(5)->size, static_cast<int32_t>(sizeof borrowed));
  EXPECT_EQ(item(6)->type, 24);
  EXPECT_EQ(item(6)->size, 3);
  EXPECT_EQ(static_cast<double*>(item(6)->data)[2], 3.25);
  EXPECT_EQ(item(7)->size, 1);
  EXPECT_STREQ(static_cast<char*>(item(7)->data), "");
  ReleaseGenericArray(array);  // must not free the borrowed bytes (ASan: invalid free)
}

double* NewPoint(double x) {
  auto* point = static_cast<double*>(std::malloc(3 * sizeof(double)));
  point[0] = x;
  point[1] = x + 1;
  point[2] = 0.5;
  return point;
}

// Type 25 frees exactly the elements its upper half counts, then the pointer array.
TEST(GenericArray, PointArraysFreeTheirElements) {
  GenericArray* array = NewGenericArray();
  auto** points = static_cast<double**>(std::malloc(2 * sizeof(double*)));
  points[0] = NewPoint(1);
  points[1] = NewPoint(2);
  ASSERT_TRUE(corvel::AppendGenericItem(points, 25, corvel::PackPointArraySize(2, 3), array));
  EXPECT_EQ(array->items[0]->size, (2 << 16) | 3);

  // An upper half of 0 frees only the pointer array (its one element stays ours).
  double* kept = NewPoint(9);
  auto** lone = static_cast<double**>(std::malloc(sizeof(double*)));
  lone[0] = kept;
  ASSERT_TRUE(corvel::AppendGenericItem(lone, 25, corvel::PackPointArraySize(0, 3), array));
  ReleaseGenericArray(array);
  EXPECT_EQ(kept[0], 9);  // still ours and alive
  std::free(kept);
}

// Codes above 25 are borrowed like 14; other codes up to 25 are one owned buffer; null data is
// fine.
TEST(GenericArray, ReleaseHonoursEveryTypeCode) {
  static char outside[4];
  GenericArray* array = NewGenericArray();
  for (int32_t type = 0; type <= 25; ++type) {
    if (type == 14 || type == 25) continue;
    ASSERT_TRUE(corvel::AppendGenericItem(std::malloc(8), type, 8, array));
  }
  ASSERT_TRUE(corvel::AppendGenericItem(outside, 26, 4, array));
  ASSERT_TRUE(corvel::AppendGenericItem(outside, 1000, 4, array));
  ASSERT_TRUE(corvel::AppendGenericItem(outside, 14, 4, array));
  ASSERT_TRUE(corvel::AppendGenericItem(nullptr, 13, 0, array));
  ASSERT_TRUE(corvel::AppendGenericItem(nullptr, 25, corvel::PackPointArraySize(3, 3), array));
  ReleaseGenericArray(array);
  ReleaseGenericArray(nullptr);
}

TEST(GenericArray, NullArrayTakesNothing) {
  int value = 1;
  EXPECT_FALSE(corvel::AppendGenericItem(&value, 14, 4, nullptr));
  EXPECT_FALSE(corvel_client::AppendInt32(nullptr, 1));
  EXPECT_FALSE(corvel_client::AppendText(nullptr, "x"));
  EXPECT_FALSE(corvel_client::AppendDoubleArray(nullptr, nullptr, 0));
}

// The scoped owner frees an array that never reached the host, and gives it up on release.
TEST(GenericArray, ScopedArrayFreesUnlessReleased) {
  {
    corvel_client::ScopedGenericArray scoped;
    ASSERT_TRUE(scoped);
    corvel_client::AppendText(scoped.get(), "dropped");
  }
  corvel_client::ScopedGenericArray scoped;
  corvel_client::AppendInt32(scoped.get(), 3);
  GenericArray* array = scoped.release();
  EXPECT_EQ(scoped.get(), nullptr);
  ReleaseGenericArray(array);
}

}  // namespace
