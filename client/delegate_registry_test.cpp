#include "delegate_registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class NamedDelegate : public corvel_client_win::MessageDelegate {
 public:
  explicit NamedDelegate(std::string name) : name_(std::move(name)) {}
  void OnMessage(std::shared_ptr<corvel_client_win::MessageFromCpp>) override {}
  void GetName(std::string& name) override { name = name_; }

 private:
  std::string name_;
};

// Iteration follows first insertion; a re-inserted prefix keeps its place with the new delegate.
TEST(DelegateRegistry, KeepsFirstInsertionOrderAndReplaces) {
  corvel_client_win::DelegateRegistry registry;
  NamedDelegate offline("offline"), live("live"), live2("live2");
  registry.Insert("offlinePlay.", &offline);
  registry.Insert("live.", &live);
  registry.Insert("live.", &live2);
  ASSERT_EQ(registry.Ordered().size(), 2u);
  EXPECT_EQ(registry.Ordered()[0].second, &offline);
  EXPECT_EQ(registry.Ordered()[1].second, &live2);
  EXPECT_EQ(registry.Find("live."), &live2);
  EXPECT_EQ(registry.Find("offlinePlay."), &offline);
  EXPECT_EQ(registry.Find("Live."), nullptr);
  EXPECT_EQ(registry.Find("live"), nullptr);
  EXPECT_EQ(registry.Find(""), nullptr);
}

// Prefixes that share their hash (same length, first and last byte) and a table that has grown
// several times: every prefix stays reachable and the order stays that of insertion.
TEST(DelegateRegistry, FindsEveryPrefixAfterGrowingWithCollisions) {
  corvel_client_win::DelegateRegistry registry;
  std::vector<std::unique_ptr<NamedDelegate>> delegates;
  for (int i = 0; i < 40; ++i) {
    delegates.push_back(std::make_unique<NamedDelegate>("d"));
    registry.Insert("p" + std::to_string(i) + ".", delegates.back().get());
  }
  ASSERT_EQ(registry.Ordered().size(), 40u);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(registry.Find("p" + std::to_string(i) + "."), delegates[i].get()) << i;
    EXPECT_EQ(registry.Ordered()[i].second, delegates[i].get()) << i;
  }
  EXPECT_EQ(registry.Find("p40."), nullptr);
}

}  // namespace
