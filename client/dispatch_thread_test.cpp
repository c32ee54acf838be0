#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core_thread.h"
#include "dispatch.h"

namespace {

using kv_common::CoreThread;

struct Counter {
  int Count(std::atomic<int>* order, int value, int /*unused*/) {
    order[value].store(seen.fetch_add(1));
    return 0;
  }
  std::atomic<int> seen{0};
};

// Handlers made on the host thread and run on the core thread: each runs once, in order, and
// deletes itself there (ThreadSanitizer and ASan check the reference count's hand-over).
TEST(DispatchHanlerThreads, RunOnTheCoreThreadInOrder) {
  Counter counter;
  std::vector<std::atomic<int>> order(1000);
  {
    CoreThread core;
    for (int i = 0; i < 1000; ++i) {
      ASSERT_TRUE(corvel::DispatchCall(&core, &counter, &Counter::Count, order.data(), i, 0));
    }
  }
  EXPECT_EQ(counter.seen.load(), 1000);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(order[i].load(), i);
}

// Several host threads dispatching at once, with references dropped from two threads.
TEST(DispatchHanlerThreads, SharedReferencesReleaseOnce) {
  Counter counter;
  std::vector<std::atomic<int>> order(64);
  struct Collect : corvel::ICoreDispatcher {
    void Dispatch(corvel::IDispatchHanler* handler) override {
      std::lock_guard<std::mutex> lock(mutex);
      handlers.push_back(handler);
    }
    std::mutex mutex;
    std::vector<corvel::IDispatchHanler*> handlers;
  } collect;
  std::vector<std::thread> producers;
  for (int t = 0; t < 4; ++t) {
    producers.emplace_back([&, t] {
      for (int i = 0; i < 16; ++i) {
        corvel::DispatchCall(&collect, &counter, &Counter::Count, order.data(), t * 16 + i, 0);
      }
    });
  }
  for (auto& producer : producers) producer.join();
  ASSERT_EQ(collect.handlers.size(), 64u);
  for (auto* handler : collect.handlers) handler->refCount.fetch_add(1);
  std::thread a([&] { for (auto* h : collect.handlers) h->Run(); });
  std::thread b([&] { for (auto* h : collect.handlers) h->Run(); });
  a.join();
  b.join();
  EXPECT_EQ(counter.seen.load(), 128);
}

}  // namespace
