// The offline-play delegate as the process builds it: against the engine library, the process's
// engine holder and its EngineCallback. Kept apart so that tests of the delegate link without
// the engine library.
#include "engine/engine_holder.h"
#include "offline_play/offline_play.h"
#include "offline_play/offline_play_delegate.h"

namespace corvel_client {

const OfflineEngineAccess& ProcessEngineAccess() {
  static const OfflineEngineAccess access{
      AcquireEngine,
      ReleaseEngine,
      SetEventHost,
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
