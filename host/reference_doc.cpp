// docs/commands.md, printed from the catalogue and the configuration keys.
#include <sstream>

#include "reference.h"

namespace kv_host {
namespace {

const char* TypeCodeName(int32_t type) {
  for (const catalogue::ItemTypeRow& row : catalogue::kItemTypes) {
    if (row.code == type) return row.name;
  }
  return "?";
}

const char* DeliveryName(catalogue::Delivery delivery) {
  switch (delivery) {
    case catalogue::Delivery::kAsyncRun:
      return "AsyncRun";
    case catalogue::Delivery::kAsyncRunFormatted:
      return "AsyncRunFormatted";
    case catalogue::Delivery::kAsyncRunScript:
      return "AsyncRunScript";
  }
  return "?";
}

// "a user" -> "A user".
std::string Capitalized(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

std::string ShapeName(catalogue::Shape shape) {
  return std::string("`") + catalogue::ShapeOf(shape).name + "`";
}

// "integer", "`User`", "array of `User`", "`Question` or null", ...
std::string TypeText(const catalogue::ValueType& type) {
  using catalogue::JsonKind;
  if (type.kind == JsonKind::kObject) {
    return ShapeName(type.shape) + (type.nullable ? " or null" : "");
  }
  if (type.kind == JsonKind::kArray) {
    const std::string element = type.element == JsonKind::kObject
                                    ? ShapeName(type.shape) + (type.nullable ? " or null" : "")
                                    : std::string(JsonKindName(type.element)) + "s";
    return "array of " + element;
  }
  return JsonKindName(type.kind);
}

// "`a`, `b`" for the names of `messages`; "" when there are none.
template <size_t N>
std::string MessageList(const catalogue::Message (&messages)[N]) {
  std::string out;
  for (const catalogue::Message message : messages) {
    if (message == catalogue::kNoMessage) continue;
    out += (out.empty() ? "`" : ", `") + std::string(catalogue::MessageName(message)) + "`";
  }
  return out;
}

// "`a`, `b`" for names joined by ", ".
std::string CodeList(const std::string& names) {
  std::string out;
  size_t start = 0;
  while (start < names.size()) {
    size_t end = names.find(", ", start);
    if (end == std::string::npos) end = names.size();
    if (!out.empty()) out += ", ";
    out += "`" + names.substr(start, end - start) + "`";
    start = end + 2;
  }
  return out;
}

constexpr char kIntro[] = R"(# Script commands and messages

<!-- Printed by kv_reference from the catalogue in client/catalogue.def and the configuration keys
     in host/reference.cpp; the test reference.document fails when this file differs. After
     changing them: build/native/bin/kv_reference > docs/commands.md -->

The page scripts talk to `kv_client` in two directions. They send **commands**, a name such as
`live.enterRoom` with a JSON array of arguments, and get a `result` array back at once. The engine
answers later with **messages**, a name with a list of typed items, posted from the engine's own
threads. On the console (`kv_host`, [docs/console.md](console.md)) a command is the line
`{"call":"live.enterRoom","args":["{\"id\":7}"]}` and its answer `{"call":..,"resultCount":1,"result":[0]}`;
a message is `{"event":"onRoomInfo","items":[{"type":13,"value":".."}]}`. Worked sessions:
[examples/](../examples/README.md).

The console checks every command against this reference and adds a `{"note":".."}` line after the
answer when a name is unknown or an argument has another JSON type than the table below (`kv_host
--quiet` turns notes off). The bridge itself never complains: a misspelt name simply gets no
answer.

## Conventions

- **Names** are compared exactly, letter case included: `live.enterroom` and `Live.EnterRoom`
  reach nothing and answer `resultCount` 0 with an empty `result`, the same as a command that
  answers nothing by design (`offlinePlay.setStorageData`).
- **Results**: the first value is the result code, negative on failure (-1 when the engine
  interface is missing). Output values follow only when the code is 0 or more.
- **Arguments** are read by position. Numbers are truncated toward zero to 32-bit integers where
  the engine takes integers (2.9 reads 2, -2.9 reads -2). A bool is true only for JSON `true` (1
  and `"true"` read false). A number given as a text (`"300000"`) reads 0; a text given as
  anything else reads as no text. Nothing is checked by the bridge: a wrong type reaches the
  engine as 0, false or an empty text.
- **Configuration texts** (`enterRoom`, `openMedia`, `addQuestion`, `myAnswer`) are JSON objects
  written *as a text*: `"args":["{\"id\":7}"]`, not `"args":[{"id":7}]`. Their keys are listed
  at the end; the journal of the simulated engine shows the record the engine received under
  other names (`roomId` for the key `id`). The bridge reads the first JSON value of the text and
  ignores what follows it: `{"id":7} tail` reads as `{"id":7}`.
- **`engine.` commands** reach the device interface of the entered room (after a successful
  `live.enterRoom`) or of the opened recording (after `offlinePlay.openMedia`, also one the engine
  answered with an error code; not after a -1 for a wrapper that could not be allocated, which
  leaves nothing open).
  With neither they answer nothing (`resultCount` 0). With both, both answer: `result` holds two
  groups, the recording's first. `engine.isSysMicrophoneMute` and `engine.setSysMicrophoneMute`
  work through the Windows mixer, not the engine.
- **Stroke points** (`live.syncStroke`) are objects `{"x":0.1,"y":0.2,"pressure":0.5}`, read as
  single-precision floats; a missing member keeps its start value (x 0, y 0, pressure 0.5), and an
  element that is not an object (such as `[x, y, p]`) is a point at 0, 0 with pressure 0.5. The
  answer is `[0]` at once; the engine call follows on the host's core thread. Strokes come back in
  `onSyncStroke` as `[x, y, pressure]` triples (type 25), at most 32,767 points a stroke.
- **Progress** (`offlinePlay.getPlayProgress`) is the engine's position plus 500 ms, truncated:
  a position of 1200 reads `[0, 1700]`. A negative progress answers `[-1]` alone.
- **Stored data**: during playback the engine asks for keyed data with the message
  `getStorageData` (one text item, the key) and polls until it has an answer. The scripts answer
  with `offlinePlay.setStorageData(key, block, status)`; on the console the block is
  `{"$bytes":"<base64>"}`. Status 0 (or negative) with data delivers it; status 0 with an empty
  block fails the fetch; a positive status fails the next fetch, whatever its key; a negative
  status with an empty block means "not yet", and the engine keeps asking. A text or nothing in
  place of the block passes the key and status with no data: status 0 then fails the fetch at
  once. A fetch without an answer fails after 10 s (`OnMediaDataReady` with -1 in
  the simulated classroom). An answer for another key than the one asked for is dropped and the
  key is asked for again.
- **After leaving a room** (`live.quitRoom`) the device commands answer nothing again,
  `live.quitRoom` and `live.startSend` answer -1, and the other `live.` commands still reach the
  engine, which answers with its own codes. A second `live.enterRoom` leaves the old room first.
- **JSON texts in messages** are compact, with members in ascending key order and one `\n` at the
  end. Their keys are listed under [JSON objects in messages](#json-objects-in-messages).
- **Video frames** are lent: the item of type 14 points into the stream's one buffer, which the
  stream's next frame overwrites.

Item type codes of messages:

| code | item |
|---|---|
)";

void WriteItemTypes(std::ostringstream& out) {
  for (const catalogue::ItemTypeRow& row : catalogue::kItemTypes) {
    out << "| " << row.code << " | " << row.description << " |\n";
  }
}

void WriteCommands(std::ostringstream& out, const catalogue::TableRow& table) {
  out << "\n## `" << table.prefix << "` commands: " << table.title << "\n\n"
      << "| command | arguments | result | engine operation | messages it can bring |\n"
      << "|---|---|---|---|---|\n";
  for (const CommandSpec& command : Commands()) {
    const catalogue::CommandRow& row = *command.row;
    if (row.table != table.id) continue;
    out << "| `" << command.name << "` | ";
    const int count = catalogue::ArgCount(row);
    if (count == 0) out << "none";
    for (int i = 0; i < count; ++i) {
      const catalogue::Arg& arg = row.args[i];
      out << (i ? "<br>" : "") << i << ": " << ArgKindName(arg.kind);
      if (arg.kind == ArgKind::kConfig) out << " (" << arg.config << ", below)";
      out << ", " << arg.meaning;
    }
    out << " | " << row.result.text << " | " << row.operation << " | " << MessageList(row.events)
        << " |\n";
  }
}

void WriteMessages(std::ostringstream& out) {
  using catalogue::Delivery;
  out << "\n## Messages the scripts receive\n\n"
      << "Posted with `AsyncRun(name, count, items)` unless marked otherwise; the console prints "
         "them as `{\"event\":..,\"items\":[..]}`, `{\"formatted\":..}` or `{\"script\":..}`.\n\n"
      << "| message | items (type code: meaning) | engine callback | remarks |\n"
      << "|---|---|---|---|\n";
  for (const catalogue::MessageRow& message : catalogue::kMessages) {
    out << "| `" << message.name << "`";
    if (message.delivery != Delivery::kAsyncRun) {
      out << " (" << DeliveryName(message.delivery) << ")";
    }
    out << " | ";
    int count = catalogue::ItemCount(message);
    if (count == 0) out << "none";
    if (message.delivery == Delivery::kAsyncRunScript) {
      // The items are the call's arguments, in decimal.
      out << "the script text \"" << message.name << "(";
      for (int i = 0; i < count; ++i) out << (i ? "," : "") << message.items[i].name;
      out << ");\"";
      count = 0;
    }
    for (int i = 0; i < count; ++i) {
      const catalogue::Item& item = message.items[i];
      out << (i ? "<br>" : "");
      if (message.delivery == Delivery::kAsyncRun) {
        out << item.type << " " << TypeCodeName(item.type) << ": ";
      }
      out << item.meaning;
      if (item.form != catalogue::TextForm::kPlain) out << " (" << TypeText(item.json) << ")";
    }
    out << " | " << CodeList(CallbacksOf(message.id)) << " | " << message.remark << " |\n";
  }
  out << "\n### Engine error codes\n\n"
      << "`corvel.onError` brings the number alone; the debug output names these codes:\n\n"
      << "| code | debug text |\n|---|---|\n";
  for (const catalogue::ErrorTextRow& error : catalogue::kErrorTexts) {
    out << "| " << error.code << " | " << error.text << " |\n";
  }
}

void WriteShapes(std::ostringstream& out) {
  out << "\n## JSON objects in messages\n\n"
         "The objects the JSON texts of messages hold, by the type names of the page scripts' "
         "declarations (`host/web/page/js/catalogue.d.ts`). The bridge writes every key of its "
         "objects unless the key says when it is there; the engine's texts (questions, answers, "
         "client logs) are passed on as the engine wrote them, so any of their keys may be "
         "missing.\n";
  for (const catalogue::ShapeRow& shape : catalogue::kShapes) {
    if (shape.kind == catalogue::ShapeKind::kRecord) continue;  // the simulated engine's input
    out << "\n### `" << shape.name << "` (" << shape.title << ")\n\n"
        << (shape.kind == catalogue::ShapeKind::kEngineText
                ? "The engine's text: " + std::string(shape.description)
                : Capitalized(shape.description))
        << ".\n\n"
        << "| key | type | present | meaning |\n|---|---|---|---|\n";
    for (const catalogue::KeyRow& key : catalogue::kKeys) {
      if (key.shape != shape.id) continue;
      const char* present = shape.kind == catalogue::ShapeKind::kEngineText ? "when given"
                            : key.presence != catalogue::kAlways            ? key.presence
                                                                            : "always";
      out << "| `" << key.key << "` | " << TypeText(key.type) << " | " << present << " | "
          << key.meaning << " |\n";
    }
  }
}

// The command whose argument is the configuration text `name`.
std::string CommandOfConfig(const char* name) {
  for (const CommandSpec& command : Commands()) {
    for (const catalogue::Arg& arg : command.row->args) {
      if (arg.config != nullptr && std::string(arg.config) == name) return command.name;
    }
  }
  return "?";
}

void WriteConfigs(std::ostringstream& out) {
  out << "\n## Configuration texts\n\n"
      << "Keys are paths: `server.roomServer.host` is the member `host` of the object "
         "`roomServer` inside `server`; `[]` stands for every element of an array. A key of "
         "another type takes its default or the JSON reader's conversion of it (`true` reads 1, "
         "a number read as a text gives its digits); unknown keys are ignored (the console notes "
         "them and the keys of another type).\n";
  for (const ConfigSpec& config : Configs()) {
    out << "\n### `" << config.name << "` (argument 0 of `" << CommandOfConfig(config.name)
        << "`)\n\n"
        << "A text that does not parse: " << config.unparsable << ".\n\n"
        << "| key | type | default | limits and remarks | field (journal) |\n"
        << "|---|---|---|---|---|\n";
    for (const ConfigKeySpec& key : config.keys) {
      out << "| `" << key.path << "` | " << KeyTypeName(key.type) << " | "
          << (*key.fallback ? "`" + std::string(key.fallback) + "`" : std::string()) << " | "
          << key.limit << " | " << (*key.field ? "`" + std::string(key.field) + "`" : std::string())
          << " |\n";
    }
  }
}

}  // namespace

std::string CommandReference() {
  std::ostringstream out;
  out << kIntro;
  WriteItemTypes(out);
  for (const catalogue::TableRow& table : catalogue::kTables) WriteCommands(out, table);
  WriteMessages(out);
  WriteShapes(out);
  WriteConfigs(out);
  return out.str();
}

}  // namespace kv_host
