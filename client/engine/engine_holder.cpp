#include "engine/engine_holder.h"

#include <algorithm>

#include "engine/engine_callback.h"
#include "os.h"
#include "text_codecs.h"

namespace corvel_client {
namespace {

EngineHolder* g_holder = nullptr;
int32_t g_use_count = 0;
corvel_client_win::JavaScriptAsyncRunBase* g_event_host = nullptr;

class OsLogFolderSystem : public LogFolderSystem {
 public:
  std::wstring AppDataFolder() override { return os::AppDataFolder(); }
  bool PathExists(const std::wstring& path) override { return os::PathExists(path); }
  bool CreateFolder(const std::wstring& path) override { return os::CreateFolder(path); }
};

// Deletes the engine and whatever callback is set; the holder itself stays.
void DestroyEngine(EngineHolder& holder) {
  delete holder.callback;
  holder.callback = nullptr;
  if (holder.engine != nullptr) corvel::CorvelEngine::Delete(holder.engine);
  holder.engine = nullptr;
}

// Creates the engine and its callback and configures them. A negative result leaves nothing.
int StartEngine(EngineHolder& holder) {
  holder.engine = corvel::CorvelEngine::Create();
  if (holder.engine == nullptr) return -1;
  holder.callback = new EngineCallback();
  holder.callback->SetAsyncRun(g_event_host);
  int code = holder.engine->SetCallback(holder.callback);
  if (code < 0) {
    DestroyEngine(holder);
    return code;
  }
  code = holder.engine->SetMediaCallback(holder.callback);
  if (code < 0) {
    DestroyEngine(holder);
    return code;
  }
  holder.engine->SetOption(254);
  OsLogFolderSystem system;
  const std::string log_file = kv_common::WideToUtf8(BuildLogFolder(system) + L"\\engine.txt");
  holder.engine->SetLogFile(log_file.c_str());
  return 0;
}

}  // namespace

EngineHolder* AcquireEngine() {
  if (g_holder != nullptr) {
    ++g_use_count;
    return g_holder;
  }
  g_holder = new EngineHolder();
  g_use_count = 1;
  if (StartEngine(*g_holder) < 0) {
    g_use_count = 0;
    delete g_holder;
    g_holder = nullptr;
  }
  return g_holder;
}

void ReleaseEngine() {
  if (g_holder == nullptr || --g_use_count > 0) return;
  DestroyEngine(*g_holder);
  delete g_holder;
  g_holder = nullptr;
  g_use_count = 0;
}

void SetEventHost(corvel_client_win::JavaScriptAsyncRunBase* run) {
  g_event_host = run;
  if (g_holder != nullptr && g_holder->callback != nullptr) g_holder->callback->SetAsyncRun(run);
}

std::wstring BuildLogFolder(LogFolderSystem& system) {
  std::wstring client = system.AppDataFolder() + L"\\Corvel_Client";
  std::replace(client.begin(), client.end(), L'\\', L'/');
  const std::wstring logs = client + L"\\logs";
  if (system.PathExists(logs) || system.CreateFolder(logs)) return logs;
  return client;
}

}  // namespace corvel_client
