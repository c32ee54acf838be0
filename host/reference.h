// The script developer's reference: the bridge's catalogue (client/catalogue.def: every command,
// message, engine callback and JSON object) under full command names, and the configuration texts
// with their keys. docs/commands.md and the page scripts' declarations are printed from it
// (kv_reference) and the console's notes check commands against it, so the documents, the
// diagnostics and the bridge cannot drift apart.
#pragma once

#include <string>
#include <vector>

#include "catalogue.h"

namespace kv_host {

namespace catalogue = corvel_client::catalogue;
using catalogue::ArgKind;

// One command of the catalogue (client/catalogue.def) under its full name.
struct CommandSpec {
  std::string name;  // prefix included: "live.enterRoom"
  const catalogue::CommandRow* row;
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
  const char* unparsable;  // what happens to a text that does not parse
  std::vector<ConfigKeySpec> keys;
};

// Every command, in the order of the method-name table.
const std::vector<CommandSpec>& Commands();
const std::vector<ConfigSpec>& Configs();

// Null when the name is not in the table (exact, case-sensitive, as the bridge compares).
const CommandSpec* FindCommand(const std::string& name);
const ConfigSpec* FindConfig(const std::string& name);

// Names of the kinds of arguments and JSON values: in the documents and notes, and as TypeScript.
const char* ArgKindName(ArgKind kind);
const char* ArgKindType(ArgKind kind);
const char* JsonKindName(catalogue::JsonKind kind);
const char* JsonKindType(catalogue::JsonKind kind);
const char* KeyTypeName(KeyType type);

// The engine callbacks that raise `message`, joined by ", ".
std::string CallbacksOf(catalogue::Message message);

// docs/commands.md.
std::string CommandReference();
// host/web/page/js/catalogue.d.ts: the declarations of every command, message, simulated event and
// JSON object for page scripts.
std::string PageDeclarations();
// The catalogue as JSON, for scripts: {"commands":[{"name":..,"args":[kind..]}..],
// "messages":[name..],"callbacks":[name..]}.
std::string CatalogueJson();

}  // namespace kv_host
