// The offline-play delegate as the process builds it: against the engine library, the process's
// engine holder and its EngineCallback. Kept apart so that tests of the delegate link without
// the engine library.
#include "engine/engine_callback.h"
#include "engine/engine_holder.h"
#include "offline_play/offline_play.h"
#include "offline_play/offline_play_delegate.h"

namespace corvel_client {
namespace {

void ConnectCallback(EngineHolder& holder, corvel_client_win::JavaScriptAsyncRunBase* run) {
  if (holder.callback != nullptr) holder.callback->SetAsyncRun(run);
}

}  // namespace

const OfflineEngineAccess& ProcessEngineAccess() {
  static const OfflineEngineAccess access{
      AcquireEngine,
      ReleaseEngine,
      ConnectCallback,
      corvel::CorvelOfflinePlayEngine::GetInterface,
      corvel::CorvelOfflinePlayEngine::GetDeviceInterface,
  };
  return access;
}

}  // namespace corvel_client

namespace corvel_client_offline_play_handler {

ProcessMessageDelegate::ProcessMessageDelegate(corvel_client_win::JavaScriptAsyncRunBase* run)
    : ProcessMessageDelegate(run, corvel_client::ProcessEngineAccess(), OsShell()) {}

}  // namespace corvel_client_offline_play_handler
