// The script host's view of kv_client: the objects the host implements and hands to Init, the
// command record, the typed argument lists posted back, and the exported entry points.
// Shared by kv_client itself, the console host and every program that loads the library.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include <cjson/cJSON.h>

#if defined(_WIN32)
#if defined(KV_CLIENT_BUILD)
#define KV_CLIENT_API __declspec(dllexport)
#else
#define KV_CLIENT_API __declspec(dllimport)
#endif
#else
#define KV_CLIENT_API __attribute__((visibility("default")))
#endif

namespace corvel {

// Type codes of GenericItem::type.
enum GenericType : int32_t {
  kGenericBool = 0,          // one byte, 0 or 1
  kGenericInt32 = 6,         // int32_t
  kGenericInt64 = 8,         // int64_t, low word first
  kGenericDouble = 11,       // double
  kGenericText = 13,         // zero-terminated narrow text; size = length + 1
  kGenericBorrowed = 14,     // bytes owned elsewhere (a video frame); size = byte count; never freed
  kGenericDoubleArray = 24,  // double[size], one block
  kGenericPointArray = 25,   // double*[n], each pointing to 3 doubles; size = (n << 16) | 3
};

// One posted value. All memory comes from kv_client's heap; the host frees it through
// ReleaseGenericArray only.
struct GenericItem {
  void* data;
  int32_t type;
  int32_t size;
};

// A typed argument list posted with JavaScriptAsyncRunBase::AsyncRun; the host owns it from then on.
struct GenericArray {
  GenericItem** items;
  int32_t count;
  int32_t capacity;
};

// A unit of work run once on the host's core thread. Counted: Run drops the reference that
// kv_client handed to ICoreDispatcher::Dispatch, and the last reference deletes the handler.
class IDispatchHanler {
 public:
  virtual ~IDispatchHanler() = default;
  virtual void Run() = 0;

  std::atomic<int32_t> refCount{0};
};

// Implemented by the host: queues work for its core thread. Called on the host's thread.
class ICoreDispatcher {
 public:
  // Takes over one reference of `handler`; the host calls handler->Run() once, later, on its core
  // thread. A null handler (kv_client could not allocate one) is ignored.
  virtual void Dispatch(IDispatchHanler* handler) = 0;

 protected:
  ~ICoreDispatcher() = default;
};

}  // namespace corvel

namespace corvel_client_win {

// Implemented by the host; every operation is safe from any thread and never waits for scripts.
class JavaScriptAsyncRunBase {
 public:
  // Runs one line of script. `script` lies in a block from LargeMemoryMalloc whose ownership
  // passes to the host, which frees it with LargeMemoryRelease.
  virtual void AsyncRunScript(char* script) = 0;
  // Never called by kv_client.
  virtual void AsyncRunReserved() = 0;
  // Calls the script function `name` with arguments formatted printf-style from `format`.
  virtual int AsyncRunFormatted(const wchar_t* name, const wchar_t* format, ...) = 0;
  // Posts the message `name` with `count` items; the host owns `args` and frees it with
  // ReleaseGenericArray once the scripts have consumed it.
  virtual void AsyncRun(const char* name, int count, corvel::GenericArray* args) = 0;

 protected:
  ~JavaScriptAsyncRunBase() = default;
};

// One command and its result. Always held by a std::shared_ptr whose deleter frees the three
// cJSON values (each may be null) and then the record.
struct MessageFromCpp {
  cJSON* name;          // string item: the full command name, e.g. "live.enterRoom"
  int32_t resultCount;  // number of values in `result`
  cJSON* args;          // array, filled by the host
  cJSON* result;        // array, filled by the command: code first, then output values
};

}  // namespace corvel_client_win

namespace corvel {

// Starts the library: builds and registers the offline-play and live delegates. Returns -1 (and
// does nothing) when either pointer is null, otherwise 0. Both objects must outlive the process.
KV_CLIENT_API int Init(corvel_client_win::JavaScriptAsyncRunBase* run, ICoreDispatcher* dispatcher);

// Runs one command synchronously; when it returns the result is in the record.
KV_CLIENT_API void OnMessage(std::shared_ptr<corvel_client_win::MessageFromCpp> message);

// A new record named `name` with empty `args` and `result`. Throws std::bad_alloc on exhaustion.
KV_CLIENT_API std::shared_ptr<corvel_client_win::MessageFromCpp> CreateMessage(const char* name);

// Resets cJSON's memory hooks to the library's malloc and free.
KV_CLIENT_API void JSON_InitHooks();

// A block of `size` bytes from the library's new[]; throws std::bad_alloc on exhaustion.
KV_CLIENT_API char* LargeMemoryMalloc(int size);

// Frees a block from LargeMemoryMalloc or any array the library handed over; null is allowed.
KV_CLIENT_API void LargeMemoryRelease(char* block);

// Frees an array posted by the library with every item it owns; null is allowed.
KV_CLIENT_API void ReleaseGenericArray(GenericArray* array);

}  // namespace corvel

namespace corvel_client_win {

// True only when the item at `index` is JSON true; false for a missing item or a null array.
KV_CLIENT_API bool cJSON_GetBoolFromJsonArray(cJSON* array, int index);

// The item's number; 0 when it is not a number, missing, or the array is null.
KV_CLIENT_API double cJSON_GetNumberFromJsonArray(cJSON* array, int index);

// The item's text (owned by the array) when it is a string; null otherwise.
KV_CLIENT_API char* cJSON_GetStringFromJsonArray(cJSON* array, int index);

}  // namespace corvel_client_win

#if !defined(_WIN32)
// Native builds only: receives what the library writes to the debugger on Windows
// (OutputDebugStringW there, which a host observes through its exception handlers). Null restores
// the default, standard error.
extern "C" KV_CLIENT_API void kv_set_debug_sink(void (*sink)(const wchar_t* text));
#endif
