// The process-wide map from command prefix ("live.", "offlinePlay.") to its delegate. Looked up by
// hashing; iterated in first-insertion order. Written only by Init, on the host's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "message_delegate.h"
#include "name_hash.h"

namespace corvel_client_win {

class DelegateRegistry {
 public:
  // Registers `delegate` (not owned) under `prefix`; an existing prefix keeps its place in the
  // iteration order and gets the new delegate.
  void Insert(const std::string& prefix, MessageDelegate* delegate);
  // The delegate of `prefix`, or null. Inline: every command looks its prefix up.
  MessageDelegate* Find(std::string_view prefix) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = corvel_client::NameHash(prefix) & mask; slots_[i] >= 0; i = (i + 1) & mask) {
      const auto& entry = ordered_[slots_[i]];
      if (entry.first.size() == prefix.size() &&
          corvel_client::SameBytes(entry.first.data(), prefix.data(), prefix.size())) {
        return entry.second;
      }
    }
    return nullptr;
  }
  // Delegates in first-insertion order.
  const std::vector<std::pair<std::string, MessageDelegate*>>& Ordered() const { return ordered_; }

 private:
  void Rehash(size_t capacity);

  // Open addressing with linear probing; the capacity is a power of two and at least twice the
  // number of entries, so every probe sequence ends at a free slot.
  std::vector<int> slots_ = std::vector<int>(8, -1);  // index into ordered_, -1 when free
  std::vector<std::pair<std::string, MessageDelegate*>> ordered_;
};

}  // namespace corvel_client_win
