#include "live/live_delegate.h"

namespace corvel_client_live_handler {

ProcessMessageDelegate::ProcessMessageDelegate(corvel::ICoreDispatcher* dispatcher)
    : dispatcher_(dispatcher) {}

ProcessMessageDelegate::~ProcessMessageDelegate() = default;

void ProcessMessageDelegate::OnMessage(
    std::shared_ptr<corvel_client_win::MessageFromCpp> /*message*/) {
  // The live command table is not served yet; every "live." command stays unhandled.
}

void ProcessMessageDelegate::GetName(std::string& name) { name = name_; }

}  // namespace corvel_client_live_handler
