#include "live/live_delegate.h"

#include "engine/device_engine.h"
#include "live/live.h"

namespace corvel_client_live_handler {

ProcessMessageDelegate::ProcessMessageDelegate(corvel::ICoreDispatcher* dispatcher)
    : dispatcher_(dispatcher), live_(std::make_unique<corvel_client::Live>(dispatcher)) {
  if (live_->Setup() < 0) {
    live_->Close();
    live_.reset();
  }
}

ProcessMessageDelegate::~ProcessMessageDelegate() = default;

void ProcessMessageDelegate::OnMessage(std::shared_ptr<corvel_client_win::MessageFromCpp> message) {
  if (!message) return;
  if (live_ != nullptr && live_->deviceEngine() != nullptr &&
      corvel_client::RunDeviceCommand(*live_->deviceEngine(), *message)) {
    return;
  }
  corvel_client::RunLiveCommand(live_.get(), *message);
}

void ProcessMessageDelegate::GetName(std::string& name) { name = name_; }

}  // namespace corvel_client_live_handler
