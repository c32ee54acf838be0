// The bridge's process-wide state: the delegate registry and the delegates Init created.
#pragma once

#include <memory>

#include "delegate_registry.h"

namespace corvel_client_win {

// The registry Init writes and OnMessage reads (host thread only).
DelegateRegistry& Registry();

// Routes one command: "engine." commands to every delegate in registry order, then the command to
// the delegate registered under its prefix (the name up to and including its first ".").
// A null record, a name that is not a string, and an unknown or missing prefix reach no delegate.
void RouteMessage(const DelegateRegistry& registry, std::shared_ptr<MessageFromCpp> message);

}  // namespace corvel_client_win
