// The delegate of "live." commands.
#pragma once

#include <memory>
#include <string>

#include "message_delegate.h"

namespace corvel_client_live_handler {

class ProcessMessageDelegate : public corvel_client_win::MessageDelegate {
 public:
  // `dispatcher` is the host's core-thread queue; it outlives the delegate.
  explicit ProcessMessageDelegate(corvel::ICoreDispatcher* dispatcher);
  ~ProcessMessageDelegate() override;

  void OnMessage(std::shared_ptr<corvel_client_win::MessageFromCpp> message) override;
  void GetName(std::string& name) override;

 private:
  corvel::ICoreDispatcher* dispatcher_;
  std::string name_ = "live";
};

}  // namespace corvel_client_live_handler
