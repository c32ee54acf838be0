// The one engine object of the process and its EngineCallback, created on first use and counted.
// Acquisition and release happen only on the host's thread (inside Init and OnMessage).
#pragma once

#include <string>

#include "kv/engine.h"
#include "kv/kv_client.h"

namespace corvel_client {

class EngineCallback;

struct EngineHolder {
  corvel::CorvelEngine* engine = nullptr;  // owned; destroyed with CorvelEngine::Delete
  EngineCallback* callback = nullptr;      // owned; registered with the engine
};

// Takes one use of the process's engine, creating and starting it on first use. Returns null when
// the engine could not be started; nothing is kept then and a later call tries again.
EngineHolder* AcquireEngine();

// Gives back one use; the last one destroys the callback and the engine.
void ReleaseEngine();

// Where the engine's events go: the host's posting object, handed over by the offline-play start
// (null: nowhere). Given to the current callback and kept for every callback created later, so
// that an engine created again after a failed start still posts its events.
void SetEventHost(corvel_client_win::JavaScriptAsyncRunBase* run);

// The answers of the file system that the log folder depends on.
class LogFolderSystem {
 public:
  virtual ~LogFolderSystem() = default;
  virtual std::wstring AppDataFolder() = 0;  // empty when unknown
  virtual bool PathExists(const std::wstring& path) = 0;
  virtual bool CreateFolder(const std::wstring& path) = 0;
};

// The folder the engine writes its log to: "<appdata>\Corvel_Client" with every "\" made "/",
// then "\logs", created when missing; the client folder itself when "logs" cannot be created.
std::wstring BuildLogFolder(LogFolderSystem& system);

}  // namespace corvel_client
