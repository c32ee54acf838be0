// A handler of one command prefix, registered with the bridge by Init.
#pragma once

#include <memory>
#include <string>

#include "kv/kv_client.h"

namespace corvel_client_win {

class MessageDelegate {
 public:
  virtual ~MessageDelegate() = default;
  // Handles one routed command; writes the outcome into the record before returning.
  virtual void OnMessage(std::shared_ptr<MessageFromCpp> message) = 0;
  // Writes the delegate's own name ("live", "offline").
  virtual void GetName(std::string& name) = 0;
};

}  // namespace corvel_client_win
