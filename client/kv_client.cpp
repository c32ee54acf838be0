// The exported entry points: Init, CreateMessage and OnMessage, and the routing by prefix.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "bridge.h"
#include "json_items.h"
#include "kv/kv_client.h"
#include "live/live_delegate.h"
#include "offline_play/offline_play_delegate.h"

namespace corvel_client_win {

using corvel_client_win::MessageFromCpp;

DelegateRegistry& Registry() {
  static DelegateRegistry registry;
  return registry;
}

namespace {

// Delegates live until the process ends, including the ones a second Init replaced. The list is
// never destroyed, so they stay reachable (and are not reported as leaks) at exit.
std::vector<std::unique_ptr<MessageDelegate>>& KeptDelegates() {
  static auto* delegates = new std::vector<std::unique_ptr<MessageDelegate>>();
  return *delegates;
}

// cJSON_Delete recurses once per nesting level, and a host can hand over arguments nested deeper
// than a thread's stack holds (the parser stops at 1000 levels; values built in code do not): a
// 100,000-level argument overflows a Windows main thread's stack. So the value is first made flat,
// every child list moved into the sibling chain after its parent, which cJSON_Delete then walks
// in a loop. Children of references belong to someone else and stay where they are.
void DeleteJson(cJSON* value) {
  for (cJSON* node = value; node != nullptr; node = node->next) {
    if ((node->type & cJSON_IsReference) != 0 || node->child == nullptr) continue;
    cJSON* last = node->child;
    while (last->next != nullptr) last = last->next;
    last->next = node->next;
    node->next = node->child;
    node->child = nullptr;
  }
  cJSON_Delete(value);
}

void DeleteMessage(MessageFromCpp* message) {
  if (message == nullptr) return;
  DeleteJson(message->name);
  DeleteJson(message->args);
  DeleteJson(message->result);
  std::free(message);
}

}  // namespace

void RouteMessage(const DelegateRegistry& registry, std::shared_ptr<MessageFromCpp> message) {
  if (!message) return;
  // Only a string item names a command; anything else reaches no delegate.
  const char* name = corvel_client::CommandName(*message);
  if (name == nullptr) return;
  // The prefix is a view of the name, found by an inline scan: routing builds no string and calls
  // nothing before the delegate.
  const char* dot = name;
  while (*dot != '.') {
    if (*dot == '\0') return;  // no prefix: no delegate
    ++dot;
  }
  const std::string_view prefix(name, static_cast<size_t>(dot - name) + 1);

  if (prefix == std::string_view("engine.")) {
    // Device commands go to every delegate; each serves them with its own device wrapper. The
    // registry changes only inside Init, never while a command runs, so it is walked in place.
    for (const auto& entry : registry.Ordered()) {
      if (entry.second != nullptr) entry.second->OnMessage(message);
    }
  }
  // The last use of this copy: hand it over rather than copy it (one shared count change less on
  // every command).
  if (MessageDelegate* delegate = registry.Find(prefix)) delegate->OnMessage(std::move(message));
}

}  // namespace corvel_client_win

namespace corvel {

using corvel_client_win::MessageDelegate;
using corvel_client_win::MessageFromCpp;

int Init(corvel_client_win::JavaScriptAsyncRunBase* run, ICoreDispatcher* dispatcher) {
  if (run == nullptr || dispatcher == nullptr) return -1;
  auto& kept = corvel_client_win::KeptDelegates();
  auto& registry = corvel_client_win::Registry();

  // The offline-play delegate first: its start connects the engine's callbacks to `run`.
  kept.push_back(std::make_unique<corvel_client_offline_play_handler::ProcessMessageDelegate>(run));
  registry.Insert("offlinePlay.", kept.back().get());
  kept.push_back(std::make_unique<corvel_client_live_handler::ProcessMessageDelegate>(dispatcher));
  registry.Insert("live.", kept.back().get());
  return 0;
}

std::shared_ptr<MessageFromCpp> CreateMessage(const char* name) {
  auto* message = static_cast<MessageFromCpp*>(std::calloc(1, sizeof(MessageFromCpp)));
  if (message == nullptr) throw std::bad_alloc();
  std::shared_ptr<MessageFromCpp> owner(message, corvel_client_win::DeleteMessage);
  message->name = cJSON_CreateString(name == nullptr ? "" : name);
  message->args = cJSON_CreateArray();
  message->result = cJSON_CreateArray();
  if (message->name == nullptr || message->args == nullptr || message->result == nullptr) {
    throw std::bad_alloc();
  }
  return owner;
}

void OnMessage(std::shared_ptr<MessageFromCpp> message) {
  corvel_client_win::RouteMessage(corvel_client_win::Registry(), std::move(message));
}

}  // namespace corvel
