// The delegate of "offlinePlay." commands. Init creates it first.
#pragma once

#include <memory>
#include <string>

#include "message_delegate.h"

namespace corvel_client_offline_play_handler {

class ProcessMessageDelegate : public corvel_client_win::MessageDelegate {
 public:
  // `run` is the host's posting object; it outlives the delegate.
  explicit ProcessMessageDelegate(corvel_client_win::JavaScriptAsyncRunBase* run);
  ~ProcessMessageDelegate() override;

  void OnMessage(std::shared_ptr<corvel_client_win::MessageFromCpp> message) override;
  void GetName(std::string& name) override;

 private:
  corvel_client_win::JavaScriptAsyncRunBase* run_;
  std::string name_ = "offline";
};

}  // namespace corvel_client_offline_play_handler
