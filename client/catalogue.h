// The catalogue as constant tables: every command, message, engine callback, JSON object shape
// and engine error text of catalogue.def, with the enumerations and key names derived from its
// rows. Plain data, checked at compile time; the bridge's own tables are built from the same rows,
// and the console host prints docs/commands.md and the page scripts' declarations from these.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kv/kv_client.h"

namespace corvel_client {

// The three command tables, in the order of the method-name table.
enum class CommandTable {
#define KV_TABLE(id, prefix, title) id,
#include "catalogue.def"
};

namespace catalogue {

// Messages by their code name (kRoomInfo is "onRoomInfo"); kNoMessage ends a shorter list.
enum Message : int {
  kNoMessage,
#define KV_MESSAGE(id, ...) k##id,
#include "catalogue.def"
  kMessageEnd,
};
inline constexpr int kMessageCount = kMessageEnd - 1;

// JSON object shapes; Shape::kNoShape for values that are not objects.
enum class Shape : int {
  kNoShape,
#define KV_SHAPE(id, ...) k##id,
#include "catalogue.def"
  kEnd,
};
inline constexpr int kShapeCount = static_cast<int>(Shape::kEnd) - 1;

// Every key name as a constant: keys::Room::teacherList is "teacherList". The bridge writes its
// JSON objects with these, so a key is spelt once.
namespace keys {
#define KV_KEY(shape, key, ...)       \
  namespace shape {                   \
  inline constexpr char key[] = #key; \
  }
#include "catalogue.def"
}  // namespace keys

// ---------------------------------------------------------------------------------------------
// Value types of JSON keys and callback parameters.

enum class JsonKind {
  kNone,
  kInteger,   // 32-bit
  kInt64,     // 64-bit
  kUnsigned,  // unsigned (32 or 64 bits)
  kNumber,    // any number
  kBool,
  kText,
  kObject,  // of `shape`
  kArray,   // of `element` (objects: of `shape`)
  kBytes,   // the console's byte block {"$bytes":"<base64>"}, or a text
  kPoints,  // stroke points: [x, y, pressure] triples or point objects
};

struct ValueType {
  JsonKind kind;
  JsonKind element;  // arrays only
  Shape shape;       // objects, and arrays of objects
  bool nullable;     // the object, or each element of the array, may be null
};

constexpr ValueType Scalar(JsonKind kind) {
  return {kind, JsonKind::kNone, Shape::kNoShape, false};
}
constexpr ValueType Int() { return Scalar(JsonKind::kInteger); }
constexpr ValueType Int64() { return Scalar(JsonKind::kInt64); }
constexpr ValueType Unsigned() { return Scalar(JsonKind::kUnsigned); }
constexpr ValueType Number() { return Scalar(JsonKind::kNumber); }
constexpr ValueType Bool() { return Scalar(JsonKind::kBool); }
constexpr ValueType Text() { return Scalar(JsonKind::kText); }
constexpr ValueType Bytes() { return Scalar(JsonKind::kBytes); }
constexpr ValueType Points() { return Scalar(JsonKind::kPoints); }
constexpr ValueType Object(Shape shape) {
  return {JsonKind::kObject, JsonKind::kNone, shape, false};
}
constexpr ValueType ObjectOrNull(Shape shape) {
  return {JsonKind::kObject, JsonKind::kNone, shape, true};
}
constexpr ValueType ArrayOf(Shape shape) {
  return {JsonKind::kArray, JsonKind::kObject, shape, false};
}
constexpr ValueType ArrayOfOrNull(Shape shape) {
  return {JsonKind::kArray, JsonKind::kObject, shape, true};
}
constexpr ValueType IntArray() {
  return {JsonKind::kArray, JsonKind::kInteger, Shape::kNoShape, false};
}
constexpr ValueType TextArray() {
  return {JsonKind::kArray, JsonKind::kText, Shape::kNoShape, false};
}

// ---------------------------------------------------------------------------------------------
// Item type codes.

struct ItemTypeRow {
  int32_t code;             // GenericItem::type
  const char* name;         // short, for item lists
  const char* description;  // for the table of codes
};

inline constexpr ItemTypeRow kItemTypes[] = {
#define KV_ITEM_TYPE(code, name, description) {corvel::kGeneric##code, name, description},
#include "catalogue.def"
};

// ---------------------------------------------------------------------------------------------
// Commands.

// How a command reads one argument from its JSON array.
enum class ArgKind {
  kNone,    // no argument in this slot
  kNumber,  // a JSON number; anything else reads as 0
  kBool,    // JSON true or false; anything else reads as false
  kText,    // a JSON string; anything else reads as no text
  kConfig,  // a JSON string holding a configuration text (its name in `config`)
  kPoints,  // an array of point objects (shape Point)
  kBlock,   // the stored-data block, {"$bytes":"<base64>"} on the console
};

struct Arg {
  ArgKind kind;
  const char* name;  // a short identifier
  const char* meaning;
  const char* config;  // kConfig: the configuration text's name ("enterRoom"); otherwise null
};

// What a command writes into `result`.
enum class ResultForm {
  kUnhandled,      // the name is in the table but nothing handles it: `result` stays empty
  kNothing,        // handled, writes nothing
  kCode,           // the result code alone
  kCodeThenValue,  // the code, then the value when the code is 0 or more
  kCodeAndValue,   // the code and the value, always
};
enum class ResultValue { kNone, kNumber, kBool, kNames };

struct Result {
  ResultForm form;
  ResultValue value;
  const char* valueName;  // the value's identifier, or null
  const char* text;       // what `result` holds, in words
};

inline constexpr int kMaxArgs = 3;
inline constexpr int kMaxCommandEvents = 6;

struct CommandRow {
  CommandTable table;
  const char* method;  // without the prefix
  Arg args[kMaxArgs];
  Result result;
  const char* operation;              // the engine operation it reaches, in words
  Message events[kMaxCommandEvents];  // messages it can bring
};

#define KV_ARGS(...) \
  { __VA_ARGS__ }
#define KV_NO_ARGS \
  {}
#define KV_ARG(kind, name, meaning) \
  { ArgKind::k##kind, name, meaning, nullptr }
#define KV_CONFIG_ARG(config, name, meaning) \
  { ArgKind::kConfig, name, meaning, config }
#define KV_RESULT(form, text) \
  { ResultForm::k##form, ResultValue::kNone, nullptr, text }
#define KV_RESULT_WITH(form, value, name, text) \
  { ResultForm::k##form, ResultValue::k##value, name, text }
#define KV_EVENTS(...) \
  { __VA_ARGS__ }
#define KV_NO_EVENTS \
  {}

inline constexpr CommandRow kCommands[] = {
#define KV_ENGINE_COMMAND(method, handler, args, result, operation, events) \
  {CommandTable::kEngine, method, args, result, operation, events},
#define KV_LIVE_COMMAND(method, handler, args, result, operation, events) \
  {CommandTable::kLive, method, args, result, operation, events},
#define KV_OFFLINE_PLAY_COMMAND(method, handler, args, result, operation, events) \
  {CommandTable::kOfflinePlay, method, args, result, operation, events},
#include "catalogue.def"
};
inline constexpr int kCommandCount = static_cast<int>(sizeof(kCommands) / sizeof(kCommands[0]));

// Whether a command writes a result code (so a failed one answers -1).
constexpr bool AnswersWithCode(const CommandRow& command) {
  return command.result.form != ResultForm::kUnhandled &&
         command.result.form != ResultForm::kNothing;
}

constexpr int ArgCount(const CommandRow& command) {
  int count = 0;
  while (count < kMaxArgs && command.args[count].kind != ArgKind::kNone) ++count;
  return count;
}

struct TableRow {
  CommandTable id;
  const char* prefix;  // "engine.", "live." or "offlinePlay."
  const char* title;
  int first;  // its first row in kCommands
  int count;  // its rows
};

constexpr int CountOf(CommandTable table) {
  int count = 0;
  for (const CommandRow& command : kCommands) count += command.table == table ? 1 : 0;
  return count;
}
constexpr int FirstOf(CommandTable table) {
  for (int i = 0; i < kCommandCount; ++i) {
    if (kCommands[i].table == table) return i;
  }
  return kCommandCount;
}

inline constexpr TableRow kTables[] = {
#define KV_TABLE(id, prefix, title) \
  {CommandTable::id, prefix, title, FirstOf(CommandTable::id), CountOf(CommandTable::id)},
#include "catalogue.def"
};
inline constexpr int kTableCount = static_cast<int>(sizeof(kTables) / sizeof(kTables[0]));

constexpr const TableRow& TableOf(CommandTable table) { return kTables[static_cast<int>(table)]; }

// The command at `index` (0-based, table order) of `table`; index must be below its count.
constexpr const CommandRow& TableCommand(CommandTable table, int index) {
  return kCommands[TableOf(table).first + index];
}

// The method-name table lists each prefix followed by that table's methods, and a table's
// handlers are found by method index: every command row must follow the prefix of its table.
constexpr bool CommandsFollowTheirPrefix() {
  constexpr int kPrefix = 100;  // marks a prefix entry; command entries are their table
  const int order[] = {
#define KV_TABLE(id, prefix, title) kPrefix + static_cast<int>(CommandTable::id),
#define KV_ENGINE_COMMAND(...) static_cast<int>(CommandTable::kEngine),
#define KV_LIVE_COMMAND(...) static_cast<int>(CommandTable::kLive),
#define KV_OFFLINE_PLAY_COMMAND(...) static_cast<int>(CommandTable::kOfflinePlay),
#include "catalogue.def"
  };
  int table = -1;
  for (const int entry : order) {
    if (entry >= kPrefix) {
      if (entry - kPrefix != table + 1) return false;  // tables in their order
      table = entry - kPrefix;
    } else if (entry != table) {
      return false;  // a command away from its table's prefix
    }
  }
  return table == kTableCount - 1;
}
static_assert(CommandsFollowTheirPrefix(),
              "catalogue.def: every command follows its table's prefix, tables in order");

// ---------------------------------------------------------------------------------------------
// Messages.

// How a message reaches the scripts.
enum class Delivery { kAsyncRun, kAsyncRunFormatted, kAsyncRunScript };

// How a text item's value is to be read.
enum class TextForm {
  kPlain,       // a text
  kBridgeJson,  // JSON the bridge writes, holding `json`
  kEngineText,  // the engine's text, passed on unchanged; as a rule JSON holding `json`
};

struct Item {
  int32_t type;  // GenericItem::type; formatted and script messages: the argument's
  const char* name;
  const char* meaning;
  TextForm form;
  ValueType json;
};

inline constexpr int kMaxItems = 8;

struct MessageRow {
  Message id;
  const char* name;  // byte for byte as the scripts match it
  Delivery delivery;
  Item items[kMaxItems];
  const char* remark;  // "" when none
};

#define KV_ITEMS(...) \
  { __VA_ARGS__ }
#define KV_NO_ITEMS \
  {}
#define KV_ITEM(type, name, meaning)                            \
  {                                                             \
    corvel::kGeneric##type, name, meaning, TextForm::kPlain, {} \
  }
#define KV_JSON_ITEM(json, name, meaning) \
  { corvel::kGenericText, name, meaning, TextForm::kBridgeJson, json }
#define KV_ENGINE_TEXT_ITEM(json, name, meaning) \
  { corvel::kGenericText, name, meaning, TextForm::kEngineText, json }

inline constexpr MessageRow kMessages[] = {
#define KV_MESSAGE(id, name, delivery, items, remark) \
  {k##id, name, Delivery::k##delivery, items, remark},
#include "catalogue.def"
};
static_assert(sizeof(kMessages) / sizeof(kMessages[0]) == kMessageCount, "one row per message");

constexpr const MessageRow& MessageOf(Message message) { return kMessages[message - 1]; }
constexpr const char* MessageName(Message message) { return MessageOf(message).name; }

constexpr int ItemCount(const MessageRow& message) {
  int count = 0;
  while (count < kMaxItems && message.items[count].name != nullptr) ++count;
  return count;
}

// Every message's name, as a wide text (for the host's formatted calls).
inline constexpr const wchar_t* kWideMessageNames[] = {
#define KV_MESSAGE(id, name, ...) L"" name,
#include "catalogue.def"
};
constexpr const wchar_t* WideMessageName(Message message) { return kWideMessageNames[message - 1]; }

// ---------------------------------------------------------------------------------------------
// Engine callbacks.

enum class CallbackKind { kCallback, kMedia, kStorage };

struct Param {
  const char* name;
  ValueType type;
};

inline constexpr int kMaxParams = 10;
inline constexpr int kMaxBrought = 3;

struct CallbackRow {
  CallbackKind kind;  // the interface: CorvelCallback, CorvelMediaCallBack, CorvelStorageCallback
  const char* name;   // the operation
  Param params[kMaxParams];
  Message brings[kMaxBrought];
  const char* remark;
};

#define KV_PARAMS(...) \
  { __VA_ARGS__ }
#define KV_NO_PARAMS \
  {}
#define KV_PARAM(name, type) \
  { name, type }

inline constexpr CallbackRow kCallbacks[] = {
#define KV_CALLBACK(kind, name, params, brings, remark) \
  {CallbackKind::k##kind, #name, params, brings, remark},
#include "catalogue.def"
};

constexpr int ParamCount(const CallbackRow& callback) {
  int count = 0;
  while (count < kMaxParams && callback.params[count].name != nullptr) ++count;
  return count;
}

// ---------------------------------------------------------------------------------------------
// Engine error texts.

struct ErrorTextRow {
  int32_t code;
  const char* text;
};

inline constexpr ErrorTextRow kErrorTexts[] = {
#define KV_ERROR_TEXT(code, text) {code, text},
#include "catalogue.def"
};

// ---------------------------------------------------------------------------------------------
// JSON object shapes.

enum class ShapeKind {
  kBridge,      // the bridge writes it: every key present unless the key says when
  kEngineText,  // the engine's text: any key may be missing
  kRecord,      // an engine record as the simulated engine reads it: every key optional
};

inline constexpr const char* kAlways = nullptr;

struct ShapeRow {
  Shape id;
  const char* name;  // the type's name in the declarations ("Room")
  ShapeKind kind;
  const char* title;
  const char* description;
};

struct KeyRow {
  Shape shape;
  const char* key;
  ValueType type;
  const char* presence;  // when the key is present; kAlways (null) for always
  const char* meaning;
};

inline constexpr ShapeRow kShapes[] = {
#define KV_SHAPE(id, kind, title, description) \
  {Shape::k##id, #id, ShapeKind::k##kind, title, description},
#include "catalogue.def"
};
static_assert(sizeof(kShapes) / sizeof(kShapes[0]) == kShapeCount, "one row per shape");

inline constexpr KeyRow kKeys[] = {
#define KV_KEY(shape, key, type, presence, meaning) \
  {Shape::k##shape, keys::shape::key, type, presence, meaning},
#include "catalogue.def"
};

constexpr const ShapeRow& ShapeOf(Shape shape) { return kShapes[static_cast<int>(shape) - 1]; }

// Whether a key of `shape` can be missing.
constexpr bool KeyIsOptional(const KeyRow& key) {
  return ShapeOf(key.shape).kind != ShapeKind::kBridge || key.presence != kAlways;
}

}  // namespace catalogue
}  // namespace corvel_client
