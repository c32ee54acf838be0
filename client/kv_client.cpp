// The exported entry points: Init, CreateMessage and OnMessage, and the routing by prefix.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "bridge.h"
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

void DeleteMessage(MessageFromCpp* message) {
  if (message == nullptr) return;
  cJSON_Delete(message->name);
  cJSON_Delete(message->args);
  cJSON_Delete(message->result);
  std::free(message);
}

}  // namespace

void RouteMessage(const DelegateRegistry& registry, std::shared_ptr<MessageFromCpp> message) {
  if (!message) return;
  // Only a string item names a command; anything else reaches no delegate.
  if (!cJSON_IsString(message->name) || message->name->valuestring == nullptr) return;
  const char* name = message->name->valuestring;
  const char* dot = std::strchr(name, '.');
  if (dot == nullptr) return;  // no prefix: no delegate
  const std::string prefix(name, dot + 1);

  static const char kEnginePrefix[] = "engine.";
  if (prefix.size() == sizeof(kEnginePrefix) - 1 &&
      std::memcmp(name, kEnginePrefix, prefix.size()) == 0) {
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
