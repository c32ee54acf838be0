#include "engine/engine_callback.h"

#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "debug_capture.h"
#include "recording_host.h"
#include "os.h"

namespace {

using corvel_client::EngineCallback;
using corvel_client::testing::DescribeItem;
using corvel_client::testing::RecordingHost;

class EngineCallbackTest : public ::testing::Test {
 protected:
  void SetUp() override { callback.SetAsyncRun(&host); }
  std::vector<std::wstring> Debug() const { return debug_.Lines(); }

  kv_testing::DebugCapture debug_;  // debug output as a debugger sees it
  RecordingHost host;
  EngineCallback callback;
};

corvel::UserInfo Ann() {
  corvel::UserInfo user;
  user.id = 1;
  user.type = 2;
  user.right = 3;
  user.name = "Ann";
  user.extra = "secret";
  return user;
}
const std::string kAnnText = "t:{\"id\":1,\"name\":\"Ann\",\"right\":3,\"type\":2}\n";

struct EventCase {
  std::function<void(EngineCallback&)> fire;
  std::string expected;  // the posted event as DescribeEvent renders it
};

// Catches a wrong message name (case and odd spellings included), item type, item order or item
// count for every event that posts.
TEST_F(EngineCallbackTest, EveryEventPostsItsNameAndItems) {
  const corvel::Point points[] = {{1.5f, 2.5f, 0.25f}, {3, 4, 1}};
  const std::vector<EventCase> cases = {
      {[](EngineCallback& c) { c.OnServerChanged(5); }, "OnServerChannged|i:5"},
      {[](EngineCallback& c) { c.OnUserEnterRoom(Ann(), 7); }, "userEnterRoom|i:7|" + kAnnText},
      {[](EngineCallback& c) { c.OnUserQuitRoom(8, 99); }, "userQuitRoom|i:8"},
      {[](EngineCallback& c) { c.OnMicrophoneApplied(Ann(), 7); },
       "onMicrophoneApplied|t:7\n|" + kAnnText},
      {[](EngineCallback& c) {
         c.OnMicrophoneCanceled(1, 2, {3, 4});
       },
       "onMicrophoneCanceled|i:1|i:2|i:3|i:4"},
      {[](EngineCallback& c) { c.OnMicrophoneApproved(Ann(), 4, 5, 6); },
       "onMicrophoneApproved|i:4|i:5|" + kAnnText + "|i:6"},
      {[](EngineCallback& c) { c.OnMicrophoneQueueOpened(1); }, "onMicrophoneQueueOpened|i:1"},
      {[](EngineCallback& c) { c.OnMicrophoneQueueClosed(2); }, "onMicrophoneQueueClosed|i:2"},
      {[](EngineCallback& c) { c.OnMicrophoneCancelAll(3); }, "onMicrophoneCancelAll|i:3"},
      {[](EngineCallback& c) {
         corvel::MediaInfo info;
         info.value = int64_t{1} << 40;
         info.samples = {{10, 1}, {int64_t{1} << 33, -2}};
         info.p = 7;
         info.q = 8;
         info.r = 9;
         c.OnMediaInfo(info);
       },
       "onMediaInfo|l:1099511627776|da:[10,8.58993e+09]|da:[1,-2]|i:8|i:7|i:9"},
      {[](EngineCallback& c) {
         corvel::ChatMessage chat;
         chat.messageId = 2;
         chat.requestMessageId = "r";
         chat.text = "hi";
         chat.timestamp = 3;
         chat.messageType = 4;
         chat.sender = Ann();
         c.OnChatMessage(12, chat);
       },
       "onChatMessage|t:{\"chat_message\":\"hi\",\"message_id\":2,\"message_type\":4,"
       "\"request_message_id\":\"r\",\"room_id\":12,\"timestamp\":3,\"user\":{\"id\":1,"
       "\"name\":\"Ann\",\"right\":3,\"type\":2}}\n"},
      {[](EngineCallback& c) { c.OnChatMessageFailed(1, 2, "oops"); },
       "onChatMessageFailed|i:2|i:1|t:oops"},
      {[](EngineCallback& c) {
         c.OnKeynoteInfo(corvel::KeynoteInfo{{1, 2, 3, 4}});
       },
       "onKeynoteInfo|i:1|i:2|i:3|i:4"},
      {[](EngineCallback& c) { c.OnPageTo(3, 4); }, "onPageTo|i:3|i:4"},
      {[&points](EngineCallback& c) {
         c.OnSyncStroke({points, 2, 5, 6});
       },
       "onSyncStroke|i:2|pa:2/3[1.5,2.5,0.25;3,4,1]|i:5|i:6"},
      {[](EngineCallback& c) {
         c.OnSyncStroke({nullptr, 0, 5, 6});
       },
       "onSyncStroke|i:0|pa:0/3[]|i:5|i:6"},
      {[](EngineCallback& c) { c.OnEraseStroke(9); }, "onEraseStroke|i:9"},
      {[](EngineCallback& c) { c.OnStartClass(int64_t{1} << 40); }, "onStartClass|l:1099511627776"},
      {[](EngineCallback& c) { c.OnEndClass(); }, "onEndClass"},
      {[](EngineCallback& c) { c.OnSyncMedia(); }, "onSyncMedia"},
      {[](EngineCallback& c) { c.OnAssistantOnBoard(1); }, "onAssistantOnBoard|i:1"},
      {[](EngineCallback& c) { c.OnAssistantOffBoard(2); }, "onAssistantOffBoard|i:2"},
      {[](EngineCallback& c) { c.OnUserBanned(1, 2); }, "OnUserBanned|i:1|i:2"},
      {[](EngineCallback& c) { c.OnUserUnBanned(3, 4); }, "OnUserUnBanned|i:3|i:4"},
      {[](EngineCallback& c) { c.OnAllUserBanned(5); }, "OnAllUserBanned|i:5"},
      {[](EngineCallback& c) { c.OnAllUserUnBanned(6); }, "OnAllUserUnBanned|i:6"},
      {[](EngineCallback& c) { c.OnTopMessageCanceled(); }, "OnTopMessageCanceled"},
      {[](EngineCallback& c) { c.OnNetStatistics(1, 2, 3, 4, 5); },
       "OnNetStatistics|i:1|i:2|i:3|i:5|i:4"},
      {[](EngineCallback& c) { c.OnMicrophoneSettingTimer(1, 2); },
       "onMicrophoneSettingTimer|i:1|i:2"},
      {[](EngineCallback& c) { c.OnMediaDataReady(int64_t{1} << 41); },
       "OnMediaDataReady|l:2199023255552"},
      {[](EngineCallback& c) { c.OnSyncRoomInfo(7, 8, 9); }, "onSyncRoomInfo|i:7"},
      {[](EngineCallback& c) { c.OnVideoMicEvent(3, true); }, "OnVideoMicEvent|i:3|b:1"},
      {[](EngineCallback& c) { c.OnVideoStyleEvent(1, 2, 3); }, "OnVideoStyleEvent|i:1|i:2|i:3"},
      {[](EngineCallback& c) { c.OnDeviceEvent(4, 5, 6); }, "OnDeviceEvent|i:4|i:5|i:6"},
      {[](EngineCallback& c) { c.OnUploadClientLog(2, "log"); }, "OnUploadClientLog|i:2|t:log"},
      {[](EngineCallback& c) { c.OnAddQuestion("{\"q\": 1}"); }, "OnAddQuestion|t:{\"q\": 1}"},
      {[](EngineCallback& c) { c.OnRemoveQuestion(4); }, "OnRemoveQuestion|i:4"},
      {[](EngineCallback& c) { c.OnEndQuestion(5); }, "OnEndQuestion|i:5"},
      {[](EngineCallback& c) { c.OnAnswerSummary("s"); }, "OnAnswerSummary|t:s"},
      {[](EngineCallback& c) { c.OnMyAnswer("m"); }, "OnMyAnswer|t:m"},
      {[](EngineCallback& c) { c.OnSystemMessage(3, 4, "x"); },
       "OnSystemMessage|t:{\"level\":3,\"message\":\"x\",\"room_id\":4}\n"},
      {[](EngineCallback& c) { c.OnNetQuality(7, 1.5); },
       "OnUploadClientLog|i:-1|t:{\"jitter\":1.5,\"packageCount\":7}\n"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    host.Clear();
    cases[i].fire(callback);
    const std::vector<std::string> events = host.Events();
    ASSERT_EQ(events.size(), 1u) << "case " << i << ": " << cases[i].expected;
    EXPECT_EQ(events[0], cases[i].expected) << "case " << i;
  }
}

// Catches the room event posting anything but the one room text, and the silent operations
// posting something.
TEST_F(EngineCallbackTest, RoomInfoPostsOneTextAndSilentOperationsPostNothing) {
  callback.OnConnected();
  callback.OnReserved();
  callback.OnMediaReserved3(1, 2, 3, 4, 5, 6, 7, 8, 9, 10);
  EXPECT_EQ(callback.OnMediaReserved0(), 0);
  EXPECT_TRUE(host.Events().empty());

  corvel::RoomInfo room;
  room.users = {Ann()};
  callback.OnRoomInfo(room);
  const std::vector<std::string> events = host.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].rfind("onRoomInfo|t:{\"assistantList\":[],", 0), 0u);
  EXPECT_NE(events[0].find("\"studentList\":[{\"id\":1,\"name\":\"Ann\",\"right\":3,\"type\":2}]"),
            std::string::npos);
  EXPECT_EQ(events[0].back(), '\n');

  // A second, smaller room keeps nothing of the first.
  host.Clear();
  callback.OnRoomInfo(corvel::RoomInfo{});
  ASSERT_EQ(host.Events().size(), 1u);
  EXPECT_NE(host.Events()[0].find("\"studentList\":[],"), std::string::npos);
}

// Catches events posted to a host that is not there yet (a crash or a leak under ASan).
TEST(EngineCallbackNoHostTest, EventsBeforeSetAsyncRunAreDropped) {
  EngineCallback callback;
  callback.OnServerChanged(1);
  callback.OnRoomInfo(corvel::RoomInfo{});
  callback.OnChatMessage(1, corvel::ChatMessage{});
  callback.OnNetQuality(1, 1.0);
  EXPECT_EQ(callback.OnError(401), -1);
  const std::vector<uint8_t> plane(64 * 48 * 3 / 2, 1);
  EXPECT_EQ(
      callback.OnGetVideoData(0, 64, 48, 0, plane.data(), 64, plane.data(), 32, plane.data(), 32),
      -1);

  RecordingHost host;
  callback.SetAsyncRun(&host);
  callback.OnServerChanged(2);
  EXPECT_EQ(host.Events(), (std::vector<std::string>{"OnServerChannged|i:2"}));
}

// Catches a wrong error text, the text sent to the scripts instead of the number, or the host's
// result not returned.
TEST_F(EngineCallbackTest, ErrorsWriteTheirTextAndPostTheNumber) {
  host.formattedResult = 17;
  EXPECT_EQ(callback.OnError(401), 17);
  EXPECT_EQ(callback.OnError(402), 17);
  callback.OnConnected();
  const std::vector<std::pair<int, const wchar_t*>> table = {
      {400, L"connect failed"},    {403, L"permission denied"}, {404, L"resource not found"},
      {405, L"cannot enter room"}, {409, L"conflict"},          {410, L"keynote not set"},
      {500, L"server fault"},      {505, L"server disconnect"}};
  for (const auto& entry : table) callback.OnError(entry.first);

  std::vector<std::wstring> expected = {L"Error: unauthrized failed\n", L"Unknow Error: 402\n",
                                        L"Connected\n"};
  for (const auto& entry : table)
    expected.push_back(std::wstring(L"Error: ") + entry.second + L"\n");
  EXPECT_EQ(Debug(), expected);
  const std::vector<std::wstring> formatted = host.Formatted();
  ASSERT_EQ(formatted.size(), 10u);
  EXPECT_EQ(formatted[0], L"corvel.onError(%d)=401");
  EXPECT_EQ(formatted[1], L"corvel.onError(%d)=402");
  EXPECT_TRUE(host.Events().empty());
}

// Catches an oversized stroke posted with a count that wraps in its 16-bit field (the host would
// then free the wrong number of points).
TEST_F(EngineCallbackTest, StrokeTooLongForItsCountIsNotPosted) {
  std::vector<corvel::Point> points(0x8000);
  callback.OnSyncStroke({points.data(), 0x8000, 1, 2});
  callback.OnSyncStroke({points.data(), -1, 1, 2});
  callback.OnSyncStroke({nullptr, 3, 1, 2});
  EXPECT_TRUE(host.Events().empty());
  const std::vector<std::wstring> debug = Debug();
  ASSERT_EQ(debug.size(), 3u);
  EXPECT_EQ(debug[0], L"stroke not posted: 32768 points do not fit the point array\n");

  callback.OnSyncStroke({points.data(), 0x7FFF, 1, 2});
  ASSERT_EQ(host.RawEvents().size(), 1u);
  const corvel::GenericItem& item = *host.RawEvents()[0].array->items[1];
  EXPECT_EQ(item.type, corvel::kGenericPointArray);
  EXPECT_EQ(item.size, (0x7FFF << 16) | 3);
}

// ---------------------------------------------------------------------------------------------
// Frames

// An I420 frame whose planes carry distinct bytes, with padded rows.
struct Frame {
  Frame(int32_t w, int32_t h) : width(w), height(h) {
    yStride = w + 3;
    cStride = w / 2 + 1;
    y.assign(static_cast<size_t>(yStride) * h, 0);
    u.assign(static_cast<size_t>(cStride) * (h / 2) + 1, 0);
    v.assign(u.size(), 0);
    for (size_t i = 0; i < y.size(); ++i) y[i] = static_cast<uint8_t>(i * 7);
    for (size_t i = 0; i < u.size(); ++i) u[i] = static_cast<uint8_t>(i * 11 + 1);
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<uint8_t>(i * 13 + 2);
  }
  int Send(EngineCallback& callback, int32_t stream, int32_t extra = 0) const {
    return callback.OnGetVideoData(stream, width, height, extra, y.data(), yStride, u.data(),
                                   cStride, v.data(), cStride);
  }
  // The frame as the scripts must see it in the buffer.
  std::vector<uint8_t> Packed() const {
    std::vector<uint8_t> out;
    for (int32_t r = 0; r < height; ++r)
      out.insert(out.end(), &y[r * yStride], &y[r * yStride] + width);
    for (int32_t r = 0; r < height / 2; ++r)
      out.insert(out.end(), &u[r * cStride], &u[r * cStride] + width / 2);
    out.resize(static_cast<size_t>(width) * height + (width / 2) * height / 2, 0);
    for (int32_t r = 0; r < height / 2; ++r)
      out.insert(out.end(), &v[r * cStride], &v[r * cStride] + width / 2);
    return out;
  }
  int32_t width, height, yStride, cStride;
  std::vector<uint8_t> y, u, v;
};

// The items of a frame event without its tick count, and the borrowed pointer.
std::string FrameItems(const corvel_client::testing::PostedEvent& event) {
  std::string text = event.name;
  for (int32_t i = 0; i < event.array->count; ++i) {
    if (i != 6) text += "|" + DescribeItem(*event.array->items[i]);
  }
  return text;
}
const uint8_t* FrameData(const corvel_client::testing::PostedEvent& event) {
  return static_cast<const uint8_t*>(event.array->items[7]->data);
}

// Catches a missing or repeated size notice, wrong items, a wrong plane layout in the buffer, and
// a buffer reallocated per frame.
TEST_F(EngineCallbackTest, FirstFrameAnnouncesItsSizeAndLaterFramesReuseTheBuffer) {
  const Frame frame(1280, 720);
  const uint32_t before = corvel_client::os::TickCount();
  ASSERT_EQ(frame.Send(callback, 0, 42), 0);
  ASSERT_EQ(frame.Send(callback, 0, 43), 0);
  const uint32_t after = corvel_client::os::TickCount();

  EXPECT_EQ(host.Scripts(), (std::vector<std::string>{"OnVideoSizeChange(0,1280,720);"}));
  const auto& events = host.RawEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(FrameItems(events[0]),
            "onGetVideoData|i:0|d:1.3824e+06|i:1280|i:720|i:42|i:10|p:1382400");
  EXPECT_EQ(FrameItems(events[1]),
            "onGetVideoData|i:0|d:1.3824e+06|i:1280|i:720|i:43|i:10|p:1382400");
  EXPECT_EQ(*static_cast<const double*>(events[0].array->items[1]->data), 1382400.0);
  const int64_t tick = *static_cast<const int64_t*>(events[0].array->items[6]->data);
  EXPECT_GE(tick, int64_t{before});
  EXPECT_LE(tick, int64_t{after});
  EXPECT_EQ(FrameData(events[0]), FrameData(events[1]));
  const std::vector<uint8_t> expected = frame.Packed();
  EXPECT_EQ(std::memcmp(FrameData(events[1]), expected.data(), expected.size()), 0);
}

// Catches the notice sent after the capacity test (or not at all), an oversized frame copied
// past its buffer, and stream 20 not getting its larger buffer.
TEST_F(EngineCallbackTest, OversizedFrameIsAnnouncedThenRefused) {
  const Frame frame(4096, 2160);
  EXPECT_EQ(frame.Send(callback, 0), -1);
  EXPECT_TRUE(host.Events().empty());
  EXPECT_EQ(frame.Send(callback, 20), 0);
  EXPECT_EQ(host.Scripts(), (std::vector<std::string>{"OnVideoSizeChange(0,4096,2160);",
                                                      "OnVideoSizeChange(20,4096,2160);"}));
  ASSERT_EQ(host.RawEvents().size(), 1u);
  EXPECT_EQ(FrameItems(host.RawEvents()[0]),
            "onGetVideoData|i:20|d:1.3271e+07|i:4096|i:2160|i:0|i:10|p:13271040");
  EXPECT_EQ(Debug(), (std::vector<std::wstring>{
                         L"video size too large, buffer size=6220800, need size=13271040\n"}));
}

// Catches frames accepted for streams that have no buffer slot.
TEST_F(EngineCallbackTest, UnknownStreamIsRefused) {
  const Frame frame(64, 48);
  const std::vector<uint8_t> packed(64 * 48 * 3 / 2, 5);
  EXPECT_EQ(frame.Send(callback, 5), -1);
  EXPECT_EQ(callback.OnVideoData(5, packed.data(), 4608, 64, 48, 0, 0), -1);
  EXPECT_TRUE(host.Events().empty());
  EXPECT_TRUE(host.Scripts().empty());
}

// Catches sizes kept across a room report, so that streams would not announce themselves again.
TEST_F(EngineCallbackTest, RoomInfoMakesEveryStreamAnnounceItsSizeAgain) {
  const Frame frame(64, 48);
  ASSERT_EQ(frame.Send(callback, 0), 0);
  ASSERT_EQ(frame.Send(callback, 1000), 0);
  callback.OnRoomInfo(corvel::RoomInfo{});
  ASSERT_EQ(frame.Send(callback, 0), 0);
  ASSERT_EQ(frame.Send(callback, 1000), 0);
  ASSERT_EQ(frame.Send(callback, 1000), 0);
  EXPECT_EQ(host.Scripts(), (std::vector<std::string>{
                                "OnVideoSizeChange(0,64,48);", "OnVideoSizeChange(1000,64,48);",
                                "OnVideoSizeChange(0,64,48);", "OnVideoSizeChange(1000,64,48);"}));
}

// Catches the size stored after its notice: a room report that lands while the notice goes out
// (from another engine thread in the product; here from inside the host) must not be undone, or
// the stream's next frame would not announce itself again.
TEST_F(EngineCallbackTest, RoomReportDuringSizeNoticeIsKept) {
  struct ReportingHost : RecordingHost {
    void AsyncRunScript(char* script) override {
      RecordingHost::AsyncRunScript(script);
      if (report != nullptr) std::exchange(report, nullptr)->OnRoomInfo(corvel::RoomInfo{});
    }
    EngineCallback* report = nullptr;
  } reporting;
  reporting.report = &callback;
  callback.SetAsyncRun(&reporting);
  const Frame frame(64, 48);
  ASSERT_EQ(frame.Send(callback, 0), 0);
  ASSERT_EQ(frame.Send(callback, 0), 0);
  EXPECT_EQ(reporting.Scripts(), (std::vector<std::string>{"OnVideoSizeChange(0,64,48);",
                                                           "OnVideoSizeChange(0,64,48);"}));
}

// Catches odd sizes copied with a wrong plane layout or announced with a wrong total.
TEST_F(EngineCallbackTest, OddSizedFrameFollowsTheIntegerLayout) {
  const Frame frame(33, 17);
  ASSERT_EQ(frame.Send(callback, 3), 0);
  ASSERT_EQ(host.RawEvents().size(), 1u);
  EXPECT_EQ(FrameItems(host.RawEvents()[0]), "onGetVideoData|i:3|d:841|i:33|i:17|i:0|i:10|p:841");
  // Y and U planes are contiguous; the V plane starts at 33 * 17 + (16 * 17) / 2 = 697, after a
  // gap whose bytes are not part of any plane.
  const std::vector<uint8_t> expected = frame.Packed();
  ASSERT_EQ(expected.size(), 697u + 16 * 8);
  const uint8_t* data = FrameData(host.RawEvents()[0]);
  EXPECT_EQ(std::memcmp(data, expected.data(), 561 + 16 * 8), 0);
  EXPECT_EQ(std::memcmp(data + 697, expected.data() + 697, 16 * 8), 0);
}

// Catches sizes that would overflow or index backwards accepted, announced or copied.
TEST_F(EngineCallbackTest, RefusedSizesTouchNothing) {
  const std::vector<uint8_t> plane(16, 1);
  for (const auto& size : std::vector<std::pair<int32_t, int32_t>>{
           {-1, 0}, {0, -2}, {-64, 48}, {64, -2}, {65536, 65536}, {46341, 46341}}) {
    EXPECT_EQ(callback.OnGetVideoData(20, size.first, size.second, 0, plane.data(), 4, plane.data(),
                                      2, plane.data(), 2),
              -1);
    EXPECT_EQ(callback.OnVideoData(20, plane.data(), 16, size.first, size.second, 0, 0), -1);
  }
  EXPECT_EQ(callback.OnGetVideoData(0, 4, 4, 0, nullptr, 4, plane.data(), 2, plane.data(), 2), -1);
  EXPECT_TRUE(host.Events().empty());
  EXPECT_TRUE(host.Scripts().empty());
}

// Catches a frame with a side of 0 refused for its missing planes: nothing is read, so it needs
// no pointer, and it is posted with an empty borrowed block.
TEST_F(EngineCallbackTest, FrameWithASideOfZeroNeedsNoPlanes) {
  ASSERT_EQ(callback.OnGetVideoData(2, 640, 0, 7, nullptr, 0, nullptr, 0, nullptr, 0), 0);
  ASSERT_EQ(callback.OnVideoData(2, nullptr, 0, 0, 0, 0, 8), 0);
  EXPECT_EQ(host.Scripts(), (std::vector<std::string>{"OnVideoSizeChange(2,640,0);"}));
  ASSERT_EQ(host.RawEvents().size(), 2u);
  EXPECT_EQ(FrameItems(host.RawEvents()[0]), "onGetVideoData|i:2|d:0|i:640|i:0|i:7|i:10|p:0");
  EXPECT_EQ(FrameItems(host.RawEvents()[1]), "onVideoData|i:2|d:0|i:0|i:0|i:8|i:10|p:0");
}

// Catches packed frames that create buffers, send notices, copy a negative or oversized byte
// count, or post wrong items.
TEST_F(EngineCallbackTest, PackedFramesUseAnExistingBufferOnly) {
  std::vector<uint8_t> packed(6220800 + 16, 0);
  for (size_t i = 0; i < 64; ++i) packed[i] = static_cast<uint8_t>(i + 1);
  EXPECT_EQ(callback.OnVideoData(1, packed.data(), 4608, 64, 48, 0, 9), -1);  // no buffer yet
  ASSERT_EQ(Frame(64, 48).Send(callback, 1), 0);
  host.Clear();

  EXPECT_EQ(callback.OnVideoData(1, packed.data(), -1, 64, 48, 0, 9), -1);
  EXPECT_EQ(callback.OnVideoData(1, packed.data(), 6220801, 64, 48, 0, 9), -1);
  EXPECT_EQ(callback.OnVideoData(1, packed.data(), 16, 4096, 2160, 0, 9), -1);
  EXPECT_TRUE(host.Events().empty());

  ASSERT_EQ(callback.OnVideoData(1, packed.data(), 64, 640, 480, 123, 9), 0);
  ASSERT_EQ(host.RawEvents().size(), 1u);
  EXPECT_EQ(FrameItems(host.RawEvents()[0]),
            "onVideoData|i:1|d:460800|i:640|i:480|i:9|i:10|p:460800");
  EXPECT_EQ(std::memcmp(FrameData(host.RawEvents()[0]), packed.data(), 64), 0);
  EXPECT_TRUE(host.Scripts().empty());
  EXPECT_EQ(Debug().size(), 2u);  // the byte count and the frame size that did not fit
}

// ---------------------------------------------------------------------------------------------
// Loopback sound

class LoopbackTest : public EngineCallbackTest {
 protected:
  void SetUp() override {
    EngineCallbackTest::SetUp();
    AudioLoopback::GetInstance()->Start();
  }
  void TearDown() override {
    AudioLoopback::GetInstance()->Stop();
    EngineCallbackTest::TearDown();
  }
  static void Queue(const std::vector<int16_t>& samples) {
    int16_t* block = corvel::NewLoopbackBlock(static_cast<uint32_t>(samples.size()));
    std::copy(samples.begin(), samples.end(), corvel::LoopbackBlockSamples(block));
    AudioLoopback* loopback = AudioLoopback::GetInstance();
    std::lock_guard<std::mutex> lock(loopback->AudioLoopMutex());
    loopback->DataQueue().push(block);
  }
  static size_t Queued() {
    AudioLoopback* loopback = AudioLoopback::GetInstance();
    std::lock_guard<std::mutex> lock(loopback->AudioLoopMutex());
    return loopback->DataQueue().size();
  }
};

// Catches the wrong channel case chosen from the stereo flag, the sample rate not passed on, or
// the block left in the queue (or leaked).
TEST_F(LoopbackTest, MixesFrontBlockIntoMonoAndStereoCapture) {
  Queue({10, 20, 30, 40});
  Queue({1, 2, 3, -4});
  std::vector<int16_t> mono = {100, -100};
  callback.OnRecordAudio(mono.data(), 2, 44100, 0);
  EXPECT_EQ(mono, (std::vector<int16_t>{115, -65}));
  EXPECT_EQ(corvel::g_mic_sample_rate, 44100u);

  std::vector<int16_t> stereo = {100, -100, 32767, -32768};
  callback.OnRecordAudio(stereo.data(), 2, 48000, 1);
  EXPECT_EQ(stereo, (std::vector<int16_t>{101, -98, 32767, -32768}));
  EXPECT_EQ(corvel::g_mic_sample_rate, 48000u);
  EXPECT_EQ(Queued(), 0u);
}

// Catches mixing while capture is stopped, with an empty queue, or past a block shorter than the
// capture buffer (ASan reports the over-read).
TEST_F(LoopbackTest, NothingOrOnlyTheBlockIsMixed) {
  std::vector<int16_t> capture = {1, 1, 1, 1, 1, 1, 1, 1};
  callback.OnRecordAudio(capture.data(), 4, 48000, 1);  // empty queue
  EXPECT_EQ(capture, std::vector<int16_t>(8, 1));

  AudioLoopback::GetInstance()->Stop();
  Queue({5, 6});
  callback.OnRecordAudio(capture.data(), 4, 48000, 1);  // stopped
  EXPECT_EQ(capture, std::vector<int16_t>(8, 1));
  EXPECT_EQ(Queued(), 1u);

  AudioLoopback::GetInstance()->Start();
  callback.OnRecordAudio(capture.data(), 4, 48000, 1);
  EXPECT_EQ(capture, (std::vector<int16_t>{6, 7, 1, 1, 1, 1, 1, 1}));
}

}  // namespace
