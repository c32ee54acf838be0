#include "offline_play/offline_play_delegate.h"

namespace corvel_client_offline_play_handler {

ProcessMessageDelegate::ProcessMessageDelegate(corvel_client_win::JavaScriptAsyncRunBase* run)
    : run_(run) {}

ProcessMessageDelegate::~ProcessMessageDelegate() = default;

void ProcessMessageDelegate::OnMessage(
    std::shared_ptr<corvel_client_win::MessageFromCpp> /*message*/) {
  // The offline-play command table is not served yet; every command stays unhandled.
}

void ProcessMessageDelegate::GetName(std::string& name) { name = name_; }

}  // namespace corvel_client_offline_play_handler
