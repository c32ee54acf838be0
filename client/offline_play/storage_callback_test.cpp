#include "offline_play/storage_callback.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "recording_run.h"

namespace {

using corvel_client::StorageCallback;
using corvel_client::testing::RecordingRun;

const std::vector<uint8_t> kThree = {1, 2, 3};
const std::vector<uint8_t> kUntouched = {9, 9};

class StorageCallbackTest : public ::testing::Test {
 protected:
  StorageCallbackTest() : storage_(&run_, [this] { return now_.load(); }) {}

  int Fetch(const std::string& key) {
    out_ = kUntouched;
    return storage_.GetStorageData(key, out_);
  }
  void Answer(const std::string& key, const std::vector<uint8_t>& data, int status) {
    EXPECT_EQ(storage_.SetStorageData(key, data.data(), static_cast<int>(data.size()), status), 0);
  }
  std::vector<std::string> RequestedKeys() {
    std::vector<std::string> keys;
    for (const auto& posted : run_.Posted()) {
      EXPECT_EQ(posted.name, "getStorageData");
      keys.push_back(posted.texts.empty() ? "<no item>" : posted.texts[0]);
    }
    return keys;
  }

  RecordingRun run_;
  std::atomic<int64_t> now_{1000};
  StorageCallback storage_;
  std::vector<uint8_t> out_;
};

// A request, its answer and the delivery: the posted message's shape, the untouched output while
// waiting, the bytes on delivery, and a fresh request once the answer has been used.
TEST_F(StorageCallbackTest, RequestAnswerDeliverThenAskAgain) {
  EXPECT_EQ(Fetch("a"), 0);
  EXPECT_EQ(out_, kUntouched);
  ASSERT_EQ(run_.PostedCount(), 1u);
  const auto posted = run_.Posted()[0];
  EXPECT_EQ(posted.name, "getStorageData");
  EXPECT_EQ(posted.count, 1);
  EXPECT_EQ(posted.types, std::vector<int32_t>{corvel::kGenericText});
  EXPECT_EQ(posted.sizes, std::vector<int32_t>{2});
  EXPECT_EQ(posted.texts[0], "a");

  EXPECT_EQ(Fetch("a"), 0);  // still waiting: no second request
  EXPECT_EQ(out_, kUntouched);
  EXPECT_EQ(run_.PostedCount(), 1u);

  Answer("a", kThree, 0);
  EXPECT_EQ(Fetch("a"), 0);
  EXPECT_EQ(out_, kThree);
  EXPECT_EQ(run_.PostedCount(), 1u);

  EXPECT_EQ(Fetch("a"), 0);
  EXPECT_EQ(out_, kUntouched);
  EXPECT_EQ(RequestedKeys(), (std::vector<std::string>{"a", "a"}));
}

// An empty key is answered 0 and neither posts nor consumes a held answer.
TEST_F(StorageCallbackTest, EmptyKeyChangesNothing) {
  EXPECT_EQ(Fetch(""), 0);
  EXPECT_EQ(run_.PostedCount(), 0u);
  Fetch("a");
  Answer("a", kThree, 0);
  EXPECT_EQ(Fetch(""), 0);
  EXPECT_EQ(out_, kUntouched);
  EXPECT_EQ(Fetch("a"), 0);
  EXPECT_EQ(out_, kThree);
}

// An empty answer with status 0 fails its key once; the next fetch starts a new request.
TEST_F(StorageCallbackTest, EmptyAnswerFails) {
  Fetch("a");
  Answer("a", {}, 0);
  EXPECT_EQ(Fetch("a"), -1);
  EXPECT_EQ(out_, kUntouched);
  EXPECT_EQ(Fetch("a"), 0);
  EXPECT_EQ(RequestedKeys(), (std::vector<std::string>{"a", "a"}));
}

// An answer for another key does not satisfy the pending one: a new request is posted.
TEST_F(StorageCallbackTest, AnswerForOtherKeyPostsAgain) {
  Fetch("a");
  Answer("b", kThree, 0);
  EXPECT_EQ(Fetch("a"), 0);
  EXPECT_EQ(out_, kUntouched);
  EXPECT_EQ(RequestedKeys(), (std::vector<std::string>{"a", "a"}));
}

// A positive status fails the next fetch whatever its key and drops the held data.
TEST_F(StorageCallbackTest, PositiveStatusFailsAnyKeyAndDropsData) {
  Answer("x", kThree, 2);
  EXPECT_EQ(Fetch("a"), -1);
  EXPECT_EQ(run_.PostedCount(), 0u);
  Answer("a", kThree, 1);
  EXPECT_EQ(Fetch("a"), -1);
  EXPECT_EQ(out_, kUntouched);
  EXPECT_EQ(Fetch("a"), 0);  // idle again: asks anew instead of delivering the dropped bytes
  EXPECT_EQ(out_, kUntouched);
  EXPECT_EQ(RequestedKeys(), (std::vector<std::string>{"a"}));
}

// The limit is "more than 10 seconds": 10 still waits, 11 fails and keeps failing, and a later
// answer still gets through.
TEST_F(StorageCallbackTest, TenSecondsWaitElevenFail) {
  Fetch("a");
  now_ += 10;
  EXPECT_EQ(Fetch("a"), 0);
  now_ += 1;
  EXPECT_EQ(Fetch("a"), -1);
  now_ += 100;
  EXPECT_EQ(Fetch("a"), -1);
  EXPECT_EQ(run_.PostedCount(), 1u);
  Answer("a", kThree, 0);
  EXPECT_EQ(Fetch("a"), 0);
  EXPECT_EQ(out_, kThree);
}

// A clock that goes backwards keeps the request waiting instead of failing it, and the limit
// still applies once time passes the original request again.
TEST_F(StorageCallbackTest, ClockBackwardsKeepsWaiting) {
  now_ = 5000;
  Fetch("a");
  now_ = 10;
  EXPECT_EQ(Fetch("a"), 0);
  now_ = INT64_MIN;
  EXPECT_EQ(Fetch("a"), 0);
  now_ = 5011;
  EXPECT_EQ(Fetch("a"), -1);
}

// Extreme clock readings cannot overflow the elapsed-time computation.
TEST_F(StorageCallbackTest, ExtremeClockReadings) {
  now_ = INT64_MIN;
  Fetch("a");
  now_ = INT64_MAX;
  EXPECT_EQ(Fetch("a"), -1);
}

// A request for another key while one is pending replaces it and restarts the time limit.
TEST_F(StorageCallbackTest, NewKeyRestartsRequest) {
  Fetch("a");
  now_ += 8;
  EXPECT_EQ(Fetch("b"), 0);
  now_ += 8;
  EXPECT_EQ(Fetch("b"), 0);
  EXPECT_EQ(RequestedKeys(), (std::vector<std::string>{"a", "b"}));
}

// A negative length or null data holds no bytes (nothing is sized from the length), so the
// fetch fails instead of delivering garbage.
TEST_F(StorageCallbackTest, NegativeLengthOrNullDataHoldsNothing) {
  Fetch("a");
  EXPECT_EQ(storage_.SetStorageData("a", kThree.data(), -5, 0), 0);
  EXPECT_EQ(Fetch("a"), -1);
  Fetch("a");
  EXPECT_EQ(storage_.SetStorageData("a", nullptr, 3, 0), 0);
  EXPECT_EQ(Fetch("a"), -1);
  EXPECT_EQ(out_, kUntouched);
}

// Without a host nothing is posted, and the request still times out normally.
TEST(StorageCallbackNoHost, RequestsWithoutHost) {
  int64_t now = 0;
  StorageCallback storage(nullptr, [&now] { return now; });
  std::vector<uint8_t> out;
  EXPECT_EQ(storage.GetStorageData("a", out), 0);
  now = 11;
  EXPECT_EQ(storage.GetStorageData("a", out), -1);
}

}  // namespace
