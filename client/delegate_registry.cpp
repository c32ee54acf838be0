#include "delegate_registry.h"

namespace corvel_client_win {

void DelegateRegistry::Insert(const std::string& prefix, MessageDelegate* delegate) {
  auto found = index_.find(prefix);
  if (found != index_.end()) {
    ordered_[found->second].second = delegate;
    return;
  }
  index_.emplace(prefix, ordered_.size());
  ordered_.emplace_back(prefix, delegate);
}

MessageDelegate* DelegateRegistry::Find(const std::string& prefix) const {
  auto found = index_.find(prefix);
  return found == index_.end() ? nullptr : ordered_[found->second].second;
}

}  // namespace corvel_client_win
