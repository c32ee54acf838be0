// Test double for the script host: records every posted event, script and formatted call, and
// renders posted items as short texts so tests compare whole messages at once.
#pragma once

#include <cstdarg>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "kv/kv_client.h"

namespace corvel_client::testing {

struct PostedEvent {
  std::string name;
  int count = 0;
  corvel::GenericArray* array = nullptr;  // owned by the host until it is destroyed
};

// Renders one item: "i:5", "l:5", "b:1", "d:1.5", "t:text", "p:<size>" for a borrowed item,
// "da:[1,2]" and "pa:<n>/<m>[x,y,p;...]".
inline std::string DescribeItem(const corvel::GenericItem& item) {
  std::ostringstream out;
  switch (item.type) {
    case corvel::kGenericBool:
      out << "b:" << int{*static_cast<const uint8_t*>(item.data)};
      break;
    case corvel::kGenericInt32:
      out << "i:" << *static_cast<const int32_t*>(item.data);
      break;
    case corvel::kGenericInt64:
      out << "l:" << *static_cast<const int64_t*>(item.data);
      break;
    case corvel::kGenericDouble:
      out << "d:" << *static_cast<const double*>(item.data);
      break;
    case corvel::kGenericText: {
      const auto* text = static_cast<const char*>(item.data);
      out << "t:" << text;
      if (static_cast<int32_t>(std::strlen(text)) + 1 != item.size) out << "<bad size>";
      break;
    }
    case corvel::kGenericBorrowed:
      out << "p:" << item.size;
      break;
    case corvel::kGenericDoubleArray: {
      out << "da:[";
      const auto* values = static_cast<const double*>(item.data);
      for (int32_t i = 0; i < item.size; ++i) out << (i ? "," : "") << values[i];
      out << "]";
      break;
    }
    case corvel::kGenericPointArray: {
      const auto count = static_cast<uint32_t>(item.size) >> 16;
      out << "pa:" << count << "/" << (item.size & 0xFFFF) << "[";
      auto* const* points = static_cast<double* const*>(item.data);
      for (uint32_t i = 0; i < count; ++i) {
        out << (i ? ";" : "") << points[i][0] << "," << points[i][1] << "," << points[i][2];
      }
      out << "]";
      break;
    }
    default:
      out << "?" << item.type;
  }
  return out.str();
}

// The event as "name|item|item...", with a count mismatch made visible.
inline std::string DescribeEvent(const PostedEvent& event) {
  std::string text = event.name;
  for (int32_t i = 0; i < event.array->count; ++i)
    text += "|" + DescribeItem(*event.array->items[i]);
  if (event.count != event.array->count) text += "|<count " + std::to_string(event.count) + ">";
  return text;
}

class RecordingHost : public corvel_client_win::JavaScriptAsyncRunBase {
 public:
  ~RecordingHost() { Clear(); }

  void AsyncRunScript(char* script) override {
    std::lock_guard<std::mutex> lock(mutex_);
    scripts_.emplace_back(script);
    corvel::LargeMemoryRelease(script);
  }
  void AsyncRunReserved() override {}
  int AsyncRunFormatted(const wchar_t* name, const wchar_t* format, ...) override {
    va_list args;
    va_start(args, format);
    const int value = va_arg(args, int);  // every caller passes one %d
    va_end(args);
    std::lock_guard<std::mutex> lock(mutex_);
    formatted_.push_back(std::wstring(name) + L"(" + format + L")=" + std::to_wstring(value));
    return formattedResult;
  }
  void AsyncRun(const char* name, int count, corvel::GenericArray* args) override {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back({name, count, args});
  }

  // Snapshots; call when no engine thread is posting any more.
  std::vector<std::string> Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const PostedEvent& event : events_) out.push_back(DescribeEvent(event));
    return out;
  }
  const std::vector<PostedEvent>& RawEvents() const { return events_; }
  std::vector<std::string> Scripts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return scripts_;
  }
  std::vector<std::wstring> Formatted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return formatted_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (PostedEvent& event : events_) corvel::ReleaseGenericArray(event.array);
    events_.clear();
    scripts_.clear();
    formatted_.clear();
  }

  int formattedResult = 0;

 private:
  mutable std::mutex mutex_;
  std::vector<PostedEvent> events_;
  std::vector<std::string> scripts_;
  std::vector<std::wstring> formatted_;
};

}  // namespace corvel_client::testing
