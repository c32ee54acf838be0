// The delegate of "live." commands. It owns the Live and serves the room's device commands first.
#pragma once

#include <memory>
#include <string>

#include "message_delegate.h"

namespace corvel_client {
class Live;
}

namespace corvel_client_live_handler {

class ProcessMessageDelegate : public corvel_client_win::MessageDelegate {
 public:
  // `dispatcher` is the host's core-thread queue; it outlives the delegate. When the Live cannot
  // be set up the delegate keeps none and answers every live command with -1.
  explicit ProcessMessageDelegate(corvel::ICoreDispatcher* dispatcher);
  ~ProcessMessageDelegate() override;

  // While in a room the record goes to the device table first; then to the live table.
  void OnMessage(std::shared_ptr<corvel_client_win::MessageFromCpp> message) override;
  void GetName(std::string& name) override;

  // Null when setting up failed.
  corvel_client::Live* live() const { return live_.get(); }

 private:
  corvel::ICoreDispatcher* dispatcher_;
  std::unique_ptr<corvel_client::Live> live_;
  std::string name_ = "live";
};

}  // namespace corvel_client_live_handler
