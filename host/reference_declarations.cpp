// host/web/page/js/catalogue.d.ts, printed from the catalogue: TypeScript declarations of every
// command, message, simulated engine event and JSON object, as bridge.js hands them to page
// scripts (docs/page-scripts.md).
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "reference.h"

namespace kv_host {
namespace {

using catalogue::JsonKind;

constexpr char kHeader[] =
    R"(// Declarations of kv_client's commands, messages and JSON objects for page scripts, as bridge.js
// delivers them (docs/page-scripts.md). Printed by kv_reference --declarations from the catalogue
// in client/catalogue.def and the configuration keys in host/reference.cpp; do not edit: the test
// reference.declarations fails when this file differs. After changing them:
// build/native/bin/kv_reference --declarations > host/web/page/js/catalogue.d.ts

/**
 * What an `engine.` command answers: nothing without a device interface, one group with the
 * device of the entered room or of the opened recording, two groups with both (the recording's
 * first).
 */
export type EngineResult<Group extends unknown[]> = [] | Group | [...Group, ...Group];
)";

std::string TypeOf(const catalogue::ValueType& type) {
  const auto object = [&type] {
    const std::string name = catalogue::ShapeOf(type.shape).name;
    return type.nullable ? name + " | null" : name;
  };
  if (type.kind == JsonKind::kObject) return object();
  if (type.kind == JsonKind::kArray) {
    if (type.element != JsonKind::kObject) return std::string(JsonKindType(type.element)) + "[]";
    return type.nullable ? "Array<" + object() + ">" : object() + "[]";
  }
  return JsonKindType(type.kind);
}

// One JSDoc block at `indent`, a line per entry.
void Doc(std::ostringstream& out, const std::string& indent,
         const std::vector<std::string>& lines) {
  if (lines.size() == 1) {
    out << indent << "/** " << lines[0] << " */\n";
    return;
  }
  out << indent << "/**\n";
  for (const std::string& line : lines)
    out << indent << (line.empty() ? " *" : " * " + line) << "\n";
  out << indent << " */\n";
}

std::string Property(const std::string& name) {
  for (const char c : name) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$')) {
      return "'" + name + "'";
    }
  }
  return name;
}

void WriteShapes(std::ostringstream& out, catalogue::ShapeKind kind, const char* heading) {
  out << "\n// " << heading << "\n";
  for (const catalogue::ShapeRow& shape : catalogue::kShapes) {
    if (shape.kind != kind) continue;
    out << "\n";
    Doc(out, "", {std::string(shape.title) + ": " + shape.description + "."});
    out << "export interface " << shape.name << " {\n";
    for (const catalogue::KeyRow& key : catalogue::kKeys) {
      if (key.shape != shape.id) continue;
      std::string meaning = key.meaning;
      if (key.presence != catalogue::kAlways) meaning += " (" + std::string(key.presence) + ")";
      Doc(out, "  ", {meaning});
      out << "  " << key.key << (catalogue::KeyIsOptional(key) ? "?: " : ": ") << TypeOf(key.type)
          << ";\n";
    }
    out << "}\n";
  }
}

// ---------------------------------------------------------------------------------------------
// Configuration texts: nested object types from the key paths.

std::string ConfigTypeName(const std::string& config) {
  std::string name = config;
  name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
  return name + "Config";
}

const ConfigKeySpec* FindKey(const ConfigSpec& config, const std::string& path) {
  for (const ConfigKeySpec& key : config.keys) {
    if (path == key.path) return &key;
  }
  return nullptr;
}

void WriteMembers(std::ostringstream& out, const ConfigSpec& config, const std::string& prefix,
                  const std::string& indent);

std::string ConfigScalar(KeyType type) { return type == KeyType::kText ? "string" : "number"; }

void WriteObject(std::ostringstream& out, const ConfigSpec& config, const std::string& prefix,
                 const std::string& indent) {
  out << "{\n";
  WriteMembers(out, config, prefix, indent + "  ");
  out << indent << "}";
}

void WriteMembers(std::ostringstream& out, const ConfigSpec& config, const std::string& prefix,
                  const std::string& indent) {
  for (const ConfigKeySpec& key : config.keys) {
    const std::string path = key.path;
    if (path.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string member = path.substr(prefix.size());
    if (member.find_first_of(".[") != std::string::npos) continue;  // not a direct member
    std::string doc = std::string(KeyTypeName(key.type));
    if (*key.fallback != '\0') doc += ", default " + std::string(key.fallback);
    if (*key.limit != '\0') doc += "; " + std::string(key.limit);
    Doc(out, indent, {doc});
    out << indent << member << "?: ";
    if (key.type == KeyType::kObject) {
      WriteObject(out, config, path + ".", indent);
    } else if (key.type == KeyType::kArray) {
      const ConfigKeySpec* element = FindKey(config, path + "[]");
      if (element != nullptr && element->type == KeyType::kObject) {
        out << "Array<";
        WriteObject(out, config, path + "[].", indent);
        out << ">";
      } else {
        out << (element != nullptr ? ConfigScalar(element->type) : "unknown") << "[]";
      }
    } else {
      out << ConfigScalar(key.type);
    }
    out << ";\n";
  }
}

void WriteConfigs(std::ostringstream& out) {
  out << "\n// Configuration texts: objects to hand over as JSON.stringify(config).\n";
  for (const ConfigSpec& config : Configs()) {
    out << "\n";
    Doc(out, "",
        {"The " + std::string(config.name) +
         " text; one that does not parse: " + config.unparsable + "."});
    out << "export interface " << ConfigTypeName(config.name) << " ";
    WriteObject(out, config, "", "");
    out << "\n";
  }
}

// ---------------------------------------------------------------------------------------------
// Commands, messages, simulated events.

std::string ResultType(const catalogue::CommandRow& row) {
  using catalogue::ResultForm;
  const catalogue::Result& result = row.result;
  std::string value;
  switch (result.value) {
    case catalogue::ResultValue::kNumber:
      value = "number";
      break;
    case catalogue::ResultValue::kBool:
      value = "boolean";
      break;
    case catalogue::ResultValue::kNames:
      value = "string[]";
      break;
    case catalogue::ResultValue::kNone:
      break;
  }
  const std::string code = "[code: number]";
  const std::string both =
      value.empty() ? code : "[code: number, " + std::string(result.valueName) + ": " + value + "]";
  std::string group;
  switch (result.form) {
    case ResultForm::kUnhandled:
    case ResultForm::kNothing:
      return "[]";  // no table answers, so no engine group either
    case ResultForm::kCode:
      group = code;
      break;
    case ResultForm::kCodeThenValue:
      group = code + " | " + both;
      break;
    case ResultForm::kCodeAndValue:
      group = both;
      break;
  }
  return row.table == corvel_client::CommandTable::kEngine ? "EngineResult<" + group + ">" : group;
}

template <size_t N>
std::string Names(const catalogue::Message (&messages)[N]) {
  std::string out;
  for (const catalogue::Message message : messages) {
    if (message == catalogue::kNoMessage) continue;
    out += (out.empty() ? "" : ", ") + std::string(catalogue::MessageName(message));
  }
  return out;
}

const char* ConfigOf(const catalogue::Arg& arg) {
  for (const ConfigSpec& config : Configs()) {
    if (std::string(config.name) == arg.config) return config.name;
  }
  return nullptr;
}

void WriteCommands(std::ostringstream& out) {
  out << "\n/** Every command: its arguments and what `result` holds, by name. */\n"
      << "export interface Commands {\n";
  for (const CommandSpec& command : Commands()) {
    const catalogue::CommandRow& row = *command.row;
    std::vector<std::string> doc = {"Engine operation: " + std::string(row.operation) + ".", ""};
    const int count = catalogue::ArgCount(row);
    std::string args;
    for (int i = 0; i < count; ++i) {
      const catalogue::Arg& arg = row.args[i];
      std::string line = "Argument `" + std::string(arg.name) + "`: " + arg.meaning;
      const char* config = arg.kind == ArgKind::kConfig ? ConfigOf(arg) : nullptr;
      if (config != nullptr) line += ": JSON.stringify of a {@link " + ConfigTypeName(config) + "}";
      doc.push_back(line);
      args += (i ? ", " : "") + std::string(arg.name) + ": " + ArgKindType(arg.kind);
    }
    doc.push_back(std::string("Result: ") + row.result.text);
    const std::string brings = Names(row.events);
    if (!brings.empty()) doc.push_back("Brings: " + brings);
    Doc(out, "  ", doc);
    out << "  '" << command.name << "': {args: [" << args << "]; result: " << ResultType(row)
        << "};\n";
  }
  out << "}\n";
}

std::string ItemType(const catalogue::MessageRow& message, const catalogue::Item& item) {
  if (message.delivery != catalogue::Delivery::kAsyncRun) return "number";  // "%d" in the text
  switch (item.type) {
    case corvel::kGenericBool:
      return "boolean";
    case corvel::kGenericInt32:
    case corvel::kGenericInt64:
    case corvel::kGenericDouble:
      return "number";
    case corvel::kGenericBorrowed:
      return "Uint8Array";
    case corvel::kGenericDoubleArray:
      return "number[]";
    case corvel::kGenericPointArray:
      return "Point[]";
    case corvel::kGenericText:
      break;
  }
  switch (item.form) {
    case catalogue::TextForm::kPlain:
      return "string";
    case catalogue::TextForm::kBridgeJson:
      return TypeOf(item.json);
    case catalogue::TextForm::kEngineText:
      return TypeOf(item.json) + " | string";  // a text that is not JSON stays a text
  }
  return "unknown";
}

void WriteMessages(std::ostringstream& out) {
  out << "\n/** Every message the bridge posts: the values bridge.js hands to on()'s handler. */\n"
      << "export interface Messages {\n";
  for (const catalogue::MessageRow& message : catalogue::kMessages) {
    std::vector<std::string> doc;
    const int count = catalogue::ItemCount(message);
    std::string values;
    for (int i = 0; i < count; ++i) {
      const catalogue::Item& item = message.items[i];
      doc.push_back("`" + std::string(item.name) + "`: " + item.meaning);
      values += (i ? ", " : "") + std::string(item.name) + ": " + ItemType(message, item);
    }
    if (*message.remark != '\0') doc.push_back(std::string("Remark: ") + message.remark);
    const std::string callbacks = CallbacksOf(message.id);
    if (!callbacks.empty()) doc.push_back("Raised by: " + callbacks);
    if (doc.empty()) doc.push_back("No values.");
    Doc(out, "  ", doc);
    out << "  " << Property(message.name) << ": [" << values << "];\n";
  }
  out << "}\n";
}

const char* InterfaceName(catalogue::CallbackKind kind) {
  switch (kind) {
    case catalogue::CallbackKind::kCallback:
      return "CorvelCallback";
    case catalogue::CallbackKind::kMedia:
      return "CorvelMediaCallBack";
    case catalogue::CallbackKind::kStorage:
      return "CorvelStorageCallback";
  }
  return "?";
}

void WriteCallbacks(std::ostringstream& out) {
  out << "\n/** The simulated engine's events for simulate(), with the arguments of "
         "{\"sim\":\"emit\"}. */\n"
      << "export interface SimulatedEvents {\n";
  for (const catalogue::CallbackRow& callback : catalogue::kCallbacks) {
    std::vector<std::string> doc = {std::string(InterfaceName(callback.kind)) +
                                    "::" + callback.name + "."};
    if (*callback.remark != '\0') doc.push_back(std::string("Remark: ") + callback.remark);
    const std::string brings = Names(callback.brings);
    if (!brings.empty()) doc.push_back("Brings: " + brings);
    Doc(out, "  ", doc);
    out << "  " << callback.name << ": [";
    for (int i = 0; i < catalogue::ParamCount(callback); ++i) {
      out << (i ? ", " : "") << callback.params[i].name << ": " << TypeOf(callback.params[i].type);
    }
    out << "];\n";
  }
  out << "}\n";
}

}  // namespace

std::string PageDeclarations() {
  std::ostringstream out;
  out << kHeader;
  WriteShapes(out, catalogue::ShapeKind::kBridge, "JSON objects the bridge writes.");
  WriteShapes(out, catalogue::ShapeKind::kEngineText,
              "The engine's texts, passed on unchanged: as a rule JSON with these keys.");
  WriteShapes(out, catalogue::ShapeKind::kRecord,
              "Engine records as the simulated engine takes them (simulate); every key optional.");
  WriteConfigs(out);
  WriteCommands(out);
  WriteMessages(out);
  WriteCallbacks(out);
  return out.str();
}

}  // namespace kv_host
