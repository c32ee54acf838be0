#include "state.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace kv_sim {
namespace {

// Calls come back in order, once: a journal that repeats or reorders calls hides bridge faults.
TEST(StateTest, JournalKeepsOrderAndClearsWhenTaken) {
  State state;
  state.Record("Engine.SetOption", cJSON_Parse("[254]"));
  state.Record("Device.SetSpeakerVolume", cJSON_Parse("[127]"), "live");
  EXPECT_EQ(PrintJson(state.TakeJournal().get()),
            "{\"journal\":[{\"op\":\"Engine.SetOption\",\"args\":[254]},"
            "{\"op\":\"Device.SetSpeakerVolume\",\"args\":[127],\"device\":\"live\"}]}");
  EXPECT_EQ(PrintJson(state.TakeJournal().get()), "{\"journal\":[]}");
}

// A runaway classroom must not grow the journal without bound, and the loss must be visible.
TEST(StateTest, JournalLimitCountsDroppedCalls) {
  State state;
  for (size_t i = 0; i < State::kJournalLimit + 3; ++i) state.Record("Live.PageUp", nullptr);
  Json journal = state.TakeJournal();
  EXPECT_EQ(cJSON_GetArraySize(cJSON_GetObjectItem(journal.get(), "journal")),
            static_cast<int>(State::kJournalLimit));
  EXPECT_EQ(AsInt64(cJSON_GetObjectItem(journal.get(), "dropped")), 3);

  // Long texts reach the byte bound long before the count; the entry that would pass it is lost.
  const std::string text(1 << 20, 'x');
  const char* args[] = {text.c_str()};
  for (int i = 0; i < 70; ++i) state.Record("Live.SendChatMessage", cJSON_CreateStringArray(args, 1));
  journal = state.TakeJournal();
  EXPECT_EQ(cJSON_GetArraySize(cJSON_GetObjectItem(journal.get(), "journal")), 63);
  EXPECT_EQ(AsInt64(cJSON_GetObjectItem(journal.get(), "dropped")), 7);

  state.SetJournaling(false);  // records nothing, and counts nothing as lost
  state.Record("Live.PageUp", nullptr);
  EXPECT_EQ(PrintJson(state.TakeJournal().get()), "{\"journal\":[]}");
}

// Unscripted operations answer 0 with no out value; scripted ones keep their answer until reset.
TEST(StateTest, RepliesDefaultStickAndReset) {
  State state;
  EXPECT_FALSE(state.Answer("Device.GetSpeakerVolume").scripted);
  EXPECT_EQ(state.Answer("Device.GetSpeakerVolume").code, 0);
  EXPECT_EQ(state.Answer("Device.GetSpeakerVolume").OutInt(), 0);

  Json out(cJSON_CreateNumber(51));
  state.SetReply("Device.GetSpeakerVolume", 0, out.get());
  state.SetReply("Live.GetOutputLevel", -3, nullptr);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(state.Answer("Device.GetSpeakerVolume").OutInt(), 51);
    EXPECT_EQ(state.Answer("Live.GetOutputLevel").code, -3);
    EXPECT_FALSE(state.Answer("Live.GetOutputLevel").out);
  }
  // A new code keeps the out value scripted before.
  state.SetReply("Device.GetSpeakerVolume", -2, nullptr);
  EXPECT_EQ(state.Answer("Device.GetSpeakerVolume").code, -2);
  EXPECT_EQ(state.Answer("Device.GetSpeakerVolume").OutInt(), 51);

  state.Reset();
  EXPECT_FALSE(state.Answer("Live.GetOutputLevel").scripted);
}

// Typos in scripts must be caught, not silently ignored.
TEST(StateTest, OperationNamesAreKnown) {
  EXPECT_TRUE(IsOperation("Live.EnterRoom"));
  EXPECT_TRUE(IsOperation("OfflinePlay.Seek"));
  EXPECT_TRUE(IsOperation("Device.GetVideoCaptureDeviceName"));
  EXPECT_TRUE(IsOperation("AudioLoopback.Start"));
  EXPECT_FALSE(IsOperation("Live.enterRoom"));
  EXPECT_FALSE(IsOperation("Device.SetSpeakerVolum"));
  EXPECT_EQ(kOperationCount, 9u + 44u + 13u + 23u + 6u);
}

// A name of 1024 bytes or more fills the whole buffer without a terminator (what the bridge must
// survive); shorter names are terminated.
TEST(StateTest, DeviceNamesFillTheBuffer) {
  char buffer[1024];
  std::memset(buffer, 'x', sizeof buffer);
  FillDeviceName("Mic A", buffer);
  EXPECT_STREQ(buffer, "Mic A");

  FillDeviceName(std::string(1023, 'b'), buffer);
  EXPECT_EQ(buffer[1023], '\0');
  EXPECT_EQ(std::strlen(buffer), 1023u);

  FillDeviceName(std::string(1100, 'c'), buffer);
  EXPECT_EQ(std::memchr(buffer, '\0', sizeof buffer), nullptr);
  EXPECT_EQ(buffer[1023], 'c');
}

}  // namespace
}  // namespace kv_sim
