// The script developer's reference as one table: every command with its arguments, result, engine
// operation and events; every message the scripts receive with its items; the configuration texts
// with their keys. docs/commands.md is printed from it (kv_reference) and the console's notes check
// commands against it, so the document and the diagnostics cannot drift apart.
#pragma once

#include <string>
#include <vector>

namespace kv_host {

// How a command reads one argument from its JSON array.
enum class ArgKind {
  kNumber,  // a JSON number; anything else reads as 0
  kBool,    // JSON true or false; anything else reads as false
  kText,    // a JSON string; anything else reads as no text
  kConfig,  // a JSON string holding a configuration text (see ConfigSpec)
  kPoints,  // an array of point objects {"x":..,"y":..,"pressure":..}
  kBlock,   // the stored-data block, {"$bytes":"<base64>"} on the console
};

struct ArgSpec {
  ArgKind kind;
  const char* meaning;
};

struct CommandSpec {
  const char* name;  // full command name, prefix included
  std::vector<ArgSpec> args;
  const char* result;     // what `result` holds afterwards
  const char* operation;  // the engine operation it reaches
  const char* events;     // messages it can bring, or "" for none
  const char* config;     // the configuration text of argument 0 (ConfigSpec::name), or null
};

struct ItemSpec {
  int type;  // GenericItem type code
  const char* meaning;
};

// How the message reaches the scripts.
enum class Delivery { kAsyncRun, kAsyncRunFormatted, kAsyncRunScript };

struct MessageSpec {
  const char* name;
  Delivery delivery;
  std::vector<ItemSpec> items;
  const char* callback;  // the engine callback that raises it
  const char* remark;    // "" when none
};

// The JSON type a configuration key should hold.
enum class KeyType { kInteger, kUnsigned, kNumber, kText, kObject, kArray };

struct ConfigKeySpec {
  const char* path;  // "server.mediaServerList[].host": members joined by ".", "[]" = element
  KeyType type;
  const char* fallback;  // default when absent, as the scripts would write it; "" for none
  const char* limit;     // "" when none
  const char* field;     // the field it fills, by its journal name; "" when none
  size_t maxBytes;       // texts: the longest accepted; 0 = no limit
  size_t maxItems;       // arrays: the most entries read; 0 = no limit
};

struct ConfigSpec {
  const char* name;        // "enterRoom", "openMedia", "addQuestion", "myAnswer"
  const char* command;     // the command that reads it
  const char* unparsable;  // what happens to a text that does not parse
  std::vector<ConfigKeySpec> keys;
};

const std::vector<CommandSpec>& Commands();
const std::vector<MessageSpec>& Messages();
const std::vector<ConfigSpec>& Configs();

// Null when the name is not in the table (exact, case-sensitive, as the bridge compares).
const CommandSpec* FindCommand(const std::string& name);
const ConfigSpec* FindConfig(const std::string& name);

const char* ArgKindName(ArgKind kind);
const char* KeyTypeName(KeyType type);

// docs/commands.md.
std::string CommandReference();

}  // namespace kv_host
