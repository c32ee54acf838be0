#include "text_codecs.h"

#include <gtest/gtest.h>

namespace {

using kv_common::WideToUtf8;

// One-, two-, three- and four-byte sequences; the log path reaches the engine as UTF-8.
TEST(WideToUtf8, EncodesEveryLength) {
  EXPECT_EQ(WideToUtf8(L""), "");
  EXPECT_EQ(WideToUtf8(L"C:/logs\\engine.txt"), "C:/logs\\engine.txt");
  EXPECT_EQ(WideToUtf8(L"\u00e9"), "\xc3\xa9");
  EXPECT_EQ(WideToUtf8(L"\u6b63\u5728"), "\xe6\xad\xa3\xe5\x9c\xa8");
  EXPECT_EQ(WideToUtf8(L"\U0001F600"), "\xf0\x9f\x98\x80");
}

// A lone surrogate cannot be encoded; it becomes the replacement character, not broken bytes.
TEST(WideToUtf8, LoneSurrogatesBecomeReplacement) {
  std::wstring lone(1, static_cast<wchar_t>(0xD800));
  EXPECT_EQ(WideToUtf8(lone + L"a"), "\xef\xbf\xbd" "a");
}

}  // namespace
