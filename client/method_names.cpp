#include "method_names.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "name_hash.h"

namespace corvel_client {
namespace {

// Prefix, then its methods, for each table in turn: the names of the catalogue's rows.
const char* const kNames[] = {
#define KV_TABLE(id, prefix, title) prefix,
#define KV_ENGINE_COMMAND(method, ...) method,
#define KV_LIVE_COMMAND(method, ...) method,
#define KV_OFFLINE_PLAY_COMMAND(method, ...) method,
#include "catalogue.def"
};

struct TableSpan {
  int first;  // index of the prefix in kNames
  int count;  // methods after it
};

// The tables follow each other in kNames, each prefix before its methods.
constexpr TableSpan SpanOf(CommandTable table) {
  int first = 0;
  for (int t = 0; t < static_cast<int>(table); ++t) first += 1 + catalogue::kTables[t].count;
  return {first, catalogue::TableOf(table).count};
}

constexpr TableSpan kSpans[] = {
#define KV_TABLE(id, prefix, title) SpanOf(CommandTable::id),
#include "catalogue.def"
};
static_assert(sizeof(kNames) / sizeof(kNames[0]) ==
                  static_cast<size_t>(catalogue::kTableCount + catalogue::kCommandCount),
              "every prefix and method once");

const TableSpan& Span(CommandTable table) { return kSpans[static_cast<int>(table)]; }

constexpr int kNameCount = static_cast<int>(sizeof(kNames) / sizeof(kNames[0]));
constexpr size_t kSlots = 128;  // per table: a power of two, more than twice its methods
constexpr int kTables = catalogue::kTableCount;

constexpr int LargestTable() {
  int largest = 0;
  for (const catalogue::TableRow& table : catalogue::kTables) {
    largest = table.count > largest ? table.count : largest;
  }
  return largest;
}

// Built once when the library loads: every entry's length, and per table an open-addressed hash
// table (linear probing) from a method name to its entry. A name that occurred earlier in its
// table is not entered again, so the first match still wins.
struct NameIndex {
  NameIndex() {
    for (int i = 0; i < kNameCount; ++i) length[i] = std::strlen(kNames[i]);
    for (int table = 0; table < kTables; ++table) {
      for (size_t i = 0; i < kSlots; ++i) slot[table][i] = -1;
      const TableSpan& span = kSpans[table];
      for (int entry = span.first + 1; entry <= span.first + span.count; ++entry) {
        const std::string_view name = Name(entry);
        size_t i = NameHash(name) & (kSlots - 1);
        while (slot[table][i] >= 0 && Name(slot[table][i]) != name) i = (i + 1) & (kSlots - 1);
        if (slot[table][i] < 0) slot[table][i] = static_cast<int16_t>(entry);
      }
    }
  }
  std::string_view Name(int entry) const { return {kNames[entry], length[entry]}; }

  size_t length[kNameCount];
  int16_t slot[kTables][kSlots];  // entry index in kNames, or -1 for a free slot
};
static_assert(2 * LargestTable() < static_cast<int>(kSlots),
              "the largest table fills less than half of its slots");
const NameIndex kIndex;

}  // namespace

const char* TablePrefix(CommandTable table) { return kNames[Span(table).first]; }

size_t TablePrefixLength(CommandTable table) { return kIndex.length[Span(table).first]; }

int MethodCount(CommandTable table) { return Span(table).count; }

const char* MethodName(CommandTable table, int index) {
  const TableSpan& span = Span(table);
  if (index < 0 || index >= span.count) return nullptr;
  return kNames[span.first + 1 + index];
}

int FindMethod(const char* command, CommandTable table) {
  if (command == nullptr) return -1;
  const TableSpan& span = Span(table);
  // The prefixes differ in their first byte, so a command of another table (every "live." command
  // is offered to the "engine." table first) is turned away before its length is taken.
  if (command[0] != kNames[span.first][0]) return -1;
  const size_t prefix_length = kIndex.length[span.first];
  const size_t length = std::strlen(command);
  if (length <= prefix_length || !SameBytes(command, kNames[span.first], prefix_length)) return -1;
  const char* method = command + prefix_length;
  const size_t method_length = length - prefix_length;
  const int16_t* slots = kIndex.slot[static_cast<int>(table)];
  for (size_t i = NameHash({method, method_length}) & (kSlots - 1); slots[i] >= 0;
       i = (i + 1) & (kSlots - 1)) {
    const int entry = slots[i];
    if (kIndex.length[entry] == method_length && SameBytes(method, kNames[entry], method_length)) {
      return entry - span.first - 1;
    }
  }
  return -1;
}

}  // namespace corvel_client
