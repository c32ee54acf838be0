// The one engine object of the process and its EngineCallback, created on first use and counted.
// Acquisition and release happen only on the host's thread (inside Init and OnMessage).
#pragma once

#include <string>

#include "kv/engine.h"

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
