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

// The known command closest to `name` (letter case, another prefix, the start of a method name, a
// few typing errors), or "" when none is close.
std::string NearestCommand(const std::string& name);

}  // namespace kv_host
