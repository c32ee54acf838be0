// A script host for the hardening programs (fuzzer, concurrency test): it checks everything the
// bridge hands over against the ownership and layout rules of kv_client.h, frees it with the
// bridge's own functions and counts it, so that a program can assert that every posted array and
// script block was received once and released. Safe from any thread.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "core_thread.h"
#include "kv/kv_client.h"

namespace kv_harness {

// Counts of what the host received; every one of them was freed before it was counted.
struct HostCounts {
  int64_t arrays = 0;      // AsyncRun calls (arrays released with ReleaseGenericArray)
  int64_t items = 0;       // items inside them
  int64_t scripts = 0;     // AsyncRunScript blocks released with LargeMemoryRelease
  int64_t formatted = 0;   // AsyncRunFormatted calls
  int64_t dispatched = 0;  // work items queued with Dispatch (null ones included)
  int64_t nullItems = 0;   // Dispatch(nullptr)
  int64_t ran = 0;         // work items run
};

class CountingHost : public corvel_client_win::JavaScriptAsyncRunBase,
                     public corvel::ICoreDispatcher {
 public:
  // `fault` receives a description of every broken rule (an item with the wrong size, a text
  // without its terminator, a reserved call); the default prints it and aborts, which a fuzzer
  // reports as a crash with the input that caused it.
  explicit CountingHost(std::function<void(const std::string&)> fault = nullptr)
      : fault_(fault ? std::move(fault) : [](const std::string& why) {
          std::fprintf(stderr, "host rule broken: %s\n", why.c_str());
          std::abort();
        }) {}

  void AsyncRunScript(char* script) override {
    if (script == nullptr) {
      fault_("AsyncRunScript with a null text");
    } else if (std::memchr(script, '\0', kScriptBlockBytes) == nullptr) {
      fault_("script text without a terminator inside its 1024-byte block");
    }
    corvel::LargeMemoryRelease(script);
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.scripts;
  }

  void AsyncRunReserved() override { fault_("AsyncRunReserved was called"); }

  int AsyncRunFormatted(const wchar_t* name, const wchar_t* format, ...) override {
    if (name == nullptr || format == nullptr) fault_("AsyncRunFormatted without name or format");
    wchar_t text[256] = L"";
    if (format != nullptr) {
      va_list args;
      va_start(args, format);
      std::vswprintf(text, sizeof text / sizeof text[0], format, args);
      va_end(args);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.formatted;
    return 0;
  }

  void AsyncRun(const char* name, int count, corvel::GenericArray* args) override {
    int64_t items = 0;
    if (name == nullptr || *name == '\0') fault_("AsyncRun without a message name");
    if (args == nullptr) {
      fault_(std::string("AsyncRun of ") + (name ? name : "?") + " without an array");
    } else {
      items = CheckArray(name ? name : "?", count, *args);
    }
    corvel::ReleaseGenericArray(args);
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.arrays;
    counts_.items += items;
    ++byName_[name ? name : ""];
  }

  void Dispatch(corvel::IDispatchHanler* handler) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.dispatched;
    if (handler == nullptr) {
      ++counts_.nullItems;
      return;
    }
    if (handler->refCount.load() != 1) fault_("a work item arrived without exactly one reference");
    queue_.Push(handler);
  }

  // Runs every queued work item on the calling thread (the fuzzer's core thread is its own).
  void RunQueued() { queue_.RunQueued(); }

  // Core-thread loop for programs with a real core thread: runs items until `Stop` and the queue
  // is empty.
  void CoreLoop() { queue_.Loop(); }
  void Stop() { queue_.Stop(); }
  // After the core loop has returned: the next CoreLoop runs again.
  void Restart() { queue_.Restart(); }

  HostCounts Counts() const {
    const int64_t ran = queue_.Ran();
    std::lock_guard<std::mutex> lock(mutex_);
    HostCounts counts = counts_;
    counts.ran = ran;
    return counts;
  }
  std::map<std::string, int64_t> ArraysByName() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return byName_;
  }

  // A checksum of every borrowed frame byte read, so the reads cannot be optimised away.
  uint32_t FrameChecksum() const { return frameSum_.load(std::memory_order_relaxed); }

 private:
  static constexpr size_t kScriptBlockBytes = 1024;

  // Checks one posted array and reads every byte it describes; returns its item count.
  int64_t CheckArray(const std::string& name, int count, const corvel::GenericArray& array) {
    if (array.count < 0 || array.count > array.capacity || array.items == nullptr) {
      fault_(name + ": array header out of order");
      return 0;
    }
    if (count != array.count) fault_(name + ": posted count differs from the array's");
    for (int32_t i = 0; i < array.count; ++i) {
      const corvel::GenericItem* item = array.items[i];
      if (item == nullptr) {
        fault_(name + ": null item");
        continue;
      }
      CheckItem(name + " item " + std::to_string(i), *item);
    }
    return array.count;
  }

  void CheckItem(const std::string& where, const corvel::GenericItem& item) {
    const auto* bytes = static_cast<const uint8_t*>(item.data);
    switch (item.type) {
      case corvel::kGenericBool:
        if (bytes == nullptr || bytes[0] > 1) fault_(where + ": bool is not 0 or 1");
        return;
      case corvel::kGenericInt32:
      case corvel::kGenericInt64:
      case corvel::kGenericDouble: {
        if (bytes == nullptr) return fault_(where + ": number without data");
        const size_t size = item.type == corvel::kGenericInt32 ? 4 : 8;
        uint32_t sum = 0;
        for (size_t k = 0; k < size; ++k) sum += bytes[k];
        frameSum_.fetch_add(sum, std::memory_order_relaxed);
        return;
      }
      case corvel::kGenericText: {
        if (bytes == nullptr || item.size < 1) return fault_(where + ": text without data");
        const void* end = std::memchr(bytes, '\0', static_cast<size_t>(item.size));
        if (end == nullptr || static_cast<const uint8_t*>(end) - bytes != item.size - 1) {
          fault_(where + ": text size is not its length plus the terminator");
        }
        return;
      }
      case corvel::kGenericBorrowed: {
        if (item.size < 0) return fault_(where + ": negative borrowed size");
        if (item.size > 0 && bytes == nullptr) return fault_(where + ": borrowed bytes missing");
        uint32_t sum = 0;
        for (int32_t k = 0; k < item.size; k += 61) sum += bytes[k];
        if (item.size > 0) sum += bytes[item.size - 1];
        frameSum_.fetch_add(sum, std::memory_order_relaxed);
        return;
      }
      case corvel::kGenericDoubleArray: {
        if (item.size < 0) return fault_(where + ": negative double count");
        if (bytes == nullptr) return fault_(where + ": double array without data");
        double sum = 0;
        for (int32_t k = 0; k < item.size; ++k) sum += static_cast<const double*>(item.data)[k];
        frameSum_.fetch_add(static_cast<uint32_t>(sum == sum), std::memory_order_relaxed);
        return;
      }
      case corvel::kGenericPointArray: {
        if ((item.size & 0xFFFF) != 3) fault_(where + ": point records are not three doubles");
        const int32_t n = static_cast<int16_t>(static_cast<uint32_t>(item.size) >> 16);
        if (n < 0) return fault_(where + ": negative point count");
        if (bytes == nullptr) return fault_(where + ": point array without data");
        auto* const* points = static_cast<double* const*>(item.data);
        double sum = 0;
        for (int32_t k = 0; k < n; ++k) {
          if (points[k] == nullptr) return fault_(where + ": null point record");
          sum += points[k][0] + points[k][1] + points[k][2];
        }
        frameSum_.fetch_add(static_cast<uint32_t>(sum == sum), std::memory_order_relaxed);
        return;
      }
      default:
        fault_(where + ": unexpected type code " + std::to_string(item.type));
    }
  }

  std::function<void(const std::string&)> fault_;
  mutable std::mutex mutex_;
  kv_common::WorkQueue queue_;
  HostCounts counts_;
  std::map<std::string, int64_t> byName_;
  std::atomic<uint32_t> frameSum_{0};
};

}  // namespace kv_harness
