// The process-wide map from command prefix ("live.", "offlinePlay.") to its delegate. Looked up by
// hashing; iterated in first-insertion order. Written only by Init, on the host's thread.
#pragma once

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "message_delegate.h"

namespace corvel_client_win {

class DelegateRegistry {
 public:
  // Registers `delegate` (not owned) under `prefix`; an existing prefix keeps its place in the
  // iteration order and gets the new delegate.
  void Insert(const std::string& prefix, MessageDelegate* delegate);
  // The delegate of `prefix`, or null.
  MessageDelegate* Find(const std::string& prefix) const;
  // Delegates in first-insertion order.
  const std::vector<std::pair<std::string, MessageDelegate*>>& Ordered() const { return ordered_; }

 private:
  std::unordered_map<std::string, size_t> index_;
  std::vector<std::pair<std::string, MessageDelegate*>> ordered_;
};

}  // namespace corvel_client_win
