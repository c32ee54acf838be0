// The console's notes on commands: what the bridge does silently with a mistake (an unknown name,
// an argument of another JSON type than the reference says, a configuration text that does not
// parse or has unknown keys). The bridge's own answer is never changed; notes come after it.
#pragma once

#include <string>
#include <vector>

#include "kv/kv_client.h"

namespace kv_host {

// The notes for one command line as the console received it ({"call":..,"args":[..]}, byte blocks
// still in their {"$bytes":..} form); `resultCount` is the answer's.
std::vector<std::string> CommandNotes(const cJSON* line, int resultCount);

// Follows whether the bridge is in a room, from the answers of live.enterRoom and
// live.quitRoom, and adds the notes on live commands that a class refuses: any sent before a
// room is entered, and those it answered with a refusal.
class RoomNotes {
 public:
  // The notes for one command line and its answer (`result` the record's array), CommandNotes'
  // among them.
  std::vector<std::string> After(const cJSON* line, const cJSON* result, int resultCount);

 private:
  bool inRoom_ = false;
};

// The known command closest to `name` (letter case, another prefix, the start of a method name, a
// few typing errors), or "" when none is close.
std::string NearestCommand(const std::string& name);

}  // namespace kv_host
