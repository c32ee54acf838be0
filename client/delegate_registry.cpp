#include "delegate_registry.h"

namespace corvel_client_win {

void DelegateRegistry::Insert(const std::string& prefix, MessageDelegate* delegate) {
  const size_t mask = slots_.size() - 1;
  size_t i = corvel_client::NameHash(prefix) & mask;
  for (; slots_[i] >= 0; i = (i + 1) & mask) {
    if (ordered_[slots_[i]].first == prefix) {
      ordered_[slots_[i]].second = delegate;
      return;
    }
  }
  slots_[i] = static_cast<int>(ordered_.size());
  ordered_.emplace_back(prefix, delegate);
  if (ordered_.size() * 2 > slots_.size()) Rehash(slots_.size() * 2);
}

void DelegateRegistry::Rehash(size_t capacity) {
  std::vector<int> slots(capacity, -1);
  const size_t mask = capacity - 1;
  for (size_t entry = 0; entry < ordered_.size(); ++entry) {
    size_t i = corvel_client::NameHash(ordered_[entry].first) & mask;
    while (slots[i] >= 0) i = (i + 1) & mask;
    slots[i] = static_cast<int>(entry);
  }
  slots_.swap(slots);
}

}  // namespace corvel_client_win
