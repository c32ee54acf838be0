// Fuzz target for the whole bridge: command records with arbitrary names and arguments against
// the three command tables, the simulated engine answering arbitrary codes and out values, and
// engine events with hostile records, sizes, counts, texts, frame dimensions and strides, both
// raised by the simulated engine on its own thread and called on EngineCallback directly.
//
// Every input is a sequence of operations (see Op); fuzz_input.h reads it and make_corpus.py
// writes the seeds in the same encoding from the end-to-end console scripts. After each input the
// bridge is brought back to its resting state (room left, medium closed, engine script cleared), so
// an input's outcome does not depend on the inputs before it.
#include <sys/mman.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "counting_host.h"
#include "engine/engine_callback.h"
#include "engine/engine_holder.h"
#include "fuzz_input.h"
#include "kv/engine.h"
#include "kv/kv_client.h"
#include "kv/sim_engine.h"
#include "method_names.h"

namespace kv_fuzz {
namespace {

using corvel_client::CommandTable;

enum Op : uint8_t {
  kCommand,
  kSimText,
  kReply,
  kDevices,
  kEvent,
  kEmit,
  kRunCore,
  kLoopback,
  kOpCount,
};

// Value tags of command arguments and engine JSON.
enum Tag : uint8_t {
  kNull,
  kFalse,
  kTrue,
  kRawDouble,
  kSpecialNumber,
  kInt,
  kString,
  kLongText,
  kDeepText,
  kArray,
  kObject,
  kByteBlock,
  kJsonText,
  kDeepArray,
  kTagCount,
};

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kSpecialNumbers[] = {
    0.0,
    -0.0,
    1,
    -1,
    2.9,
    -2.9,
    0.5,
    127.9,
    255,
    256,
    65535,
    65536,
    2147483647.0,
    2147483648.0,
    -2147483648.0,
    -2147483649.0,
    4294967295.0,
    4294967296.0,
    9007199254740993.0,
    1e300,
    -1e300,
    kInf,
    -kInf,
    std::nan(""),
    1e-300,
    4.9e-324,
    32767,
    32768,
    1920,
    1080,
    4096,
    2160,
    1000,
    20,
    -32768,
    -65536,
};

// Members the bridge and the simulated engine read; texts mostly use these as keys.
const char* const kKeys[] = {
    "id",
    "type",
    "userId",
    "userType",
    "sess",
    "signature",
    "appVersion",
    "switchThreshold",
    "server",
    "roomServer",
    "host",
    "tcpPort",
    "mediaServerList",
    "backupMediaServerList",
    "rtpPort",
    "rtcpPort",
    "protoType",
    "multiAudioThreshold",
    "lossrate",
    "jitter",
    "version",
    "logLevel",
    "correctOptions",
    "selectedOptions",
    "optionNum",
    "questionId",
    "x",
    "y",
    "pressure",
    "right",
    "name",
    "startTime",
    "users",
    "microphoneQueue",
    "speakers",
    "questions",
    "bannedUsers",
    "microphoneStates",
    "userCount",
    "summary",
    "optionStats",
    "points",
    "a",
    "b",
    "samples",
    "value",
    "extra",
    "messageId",
    "text",
    "sender",
    "status",
    "attendStudents",
    "scorekeepers",
    "option",
    "num",
    "timer",
    "valid",
    "channel",
    "audioOpen",
    "videoOpen",
    "generate",
    "$bytes",
    "fill",
    "size",
    "p",
    "q",
    "r",
    "requestMessageId",
    "timestamp",
    "messageType",
    "latestMessageId",
    "assistantUserId",
    "microphoneQueueOpen",
    "UDP",
    "udp",
};

// The bounds that keep one input fast; beyond them the bridge's answers do not change.
constexpr uint32_t kMaxLongText = 1u << 20;       // a 1 MiB argument
constexpr uint32_t kMaxDepth = 100000;            // nesting of texts and argument structures
constexpr uint32_t kMaxParsedDepth = 900;         // what cJSON (limit 1000) still prints and parses
constexpr int kMaxStructureDepth = 4;             // nesting of generated arrays and objects
constexpr int64_t kMaxGeneratedPixels = 1 << 16;  // frames the simulated engine generates
// Requests that make the simulated engine run an event on its thread, per input: each is a thread
// hand-off, which costs far more than the event.
constexpr int kMaxEmitsPerInput = 4;

struct Fuzzer {
  kv_harness::CountingHost host;
  corvel_client::EngineCallback* callback = nullptr;
  std::vector<std::string> operations;  // the simulated engine's operation names
  std::vector<std::string> events;      // the events it can raise
};

Fuzzer* g_fuzzer = nullptr;
int64_t g_debugTexts = 0;

std::string SimControl(const std::string& request) {
  char* reply = kv_sim_control(request.c_str());
  std::string text = reply != nullptr ? reply : "";
  kv_sim_free(reply);
  return text;
}

std::string Print(cJSON* value) {
  char* text = cJSON_PrintUnformatted(value);
  std::string out = text != nullptr ? text : "null";
  cJSON_free(text);
  return out;
}

std::vector<std::string> NameList(const std::string& request, const char* key) {
  std::vector<std::string> names;
  cJSON* reply = cJSON_Parse(SimControl(request).c_str());
  const cJSON* item = nullptr;
  cJSON_ArrayForEach(item, cJSON_GetObjectItemCaseSensitive(reply, key)) {
    if (cJSON_IsString(item)) names.emplace_back(item->valuestring);
  }
  cJSON_Delete(reply);
  return names;
}

double SpecialNumber(Input& in) {
  return kSpecialNumbers[in.Pick(sizeof kSpecialNumbers / sizeof kSpecialNumbers[0])];
}

std::string Key(Input& in) {
  const uint8_t choice = in.U8();
  if (choice < 240) return kKeys[choice % (sizeof kKeys / sizeof kKeys[0])];
  return in.ShortText();
}

// Lengths and depths: mostly small, sometimes around the parsers' limits, now and then the largest
// the hardening goals name (1 MiB texts, 100,000 levels).
uint32_t Length(Input& in) {
  const uint8_t choice = in.U8();
  if (choice == 255) return kMaxLongText - 1 + in.Pick(3);
  if (choice >= 248) return in.Below(1 << 16);
  return in.Below(257);
}
uint32_t Depth(Input& in) {
  const uint8_t choice = in.U8();
  if (choice == 255) return kMaxDepth;
  if (choice >= 240) return 990 + in.Pick(20);
  return in.Below(64) + 1;
}

// A text nested `depth` levels deep: arrays, objects or a mix, sometimes left unclosed.
std::string DeepText(uint32_t depth, uint8_t kind) {
  std::string text;
  const char* open = (kind & 3) == 0 ? "[" : (kind & 3) == 1 ? "{\"id\":" : "{\"server\":[";
  const char* close = (kind & 3) == 0 ? "]" : (kind & 3) == 1 ? "}" : "]}";
  for (uint32_t i = 0; i < depth; ++i) text += open;
  text += (kind & 4) ? "1" : "{}";
  if ((kind & 8) == 0) {
    for (uint32_t i = 0; i < depth; ++i) text += close;
  }
  return text;
}

// `fromHost`: the value goes straight into a command record, so it may hold what only a host can
// build (byte blocks, structures deeper than any parser accepts); otherwise it is printed as JSON
// for the simulated engine.
cJSON* Value(Input& in, int depth, bool fromHost);

cJSON* StructuredValue(Input& in, int depth) {
  // Objects and arrays of the shapes the commands and records expect, with hostile members.
  if (depth >= kMaxStructureDepth) return cJSON_CreateNumber(SpecialNumber(in));
  if (in.Bool()) {
    cJSON* array = cJSON_CreateArray();
    const uint32_t count = in.Pick(9);
    for (uint32_t i = 0; i < count; ++i) cJSON_AddItemToArray(array, Value(in, depth + 1, false));
    return array;
  }
  cJSON* object = cJSON_CreateObject();
  const uint32_t count = in.Pick(9);
  for (uint32_t i = 0; i < count; ++i) {
    const std::string key = Key(in);
    cJSON_AddItemToObject(object, key.c_str(), Value(in, depth + 1, false));
  }
  return object;
}

// A byte-block item of "setStorageData": a number item whose string pointer holds a block from
// LargeMemoryMalloc. The count is the byte count, a negative or odd number, or NaN; it never
// exceeds the block, whose size only the host knows.
cJSON* ByteBlock(Input& in) {
  const std::string bytes = in.Text();
  const uint8_t mode = in.U8() % 5;
  double count = static_cast<double>(bytes.size());
  if (mode == 1) count = -static_cast<double>(in.U32() % 100000) - 1;
  if (mode == 2) count = std::nan("");
  if (mode == 3) count = static_cast<double>(in.Below(static_cast<uint32_t>(bytes.size()) + 1));
  if (mode == 3 && in.Bool()) count += 0.5;
  cJSON* item = cJSON_CreateNumber(count);
  if (mode != 4) {
    char* block = corvel::LargeMemoryMalloc(static_cast<int>(bytes.size()));
    if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
    item->valuestring = block;
  }
  return item;
}

cJSON* Value(Input& in, int depth, bool fromHost) {
  switch (in.U8() % kTagCount) {
    case kNull:
      return cJSON_CreateNull();
    case kFalse:
      return cJSON_CreateFalse();
    case kTrue:
      return cJSON_CreateTrue();
    case kRawDouble:
      return cJSON_CreateNumber(in.F64());
    case kSpecialNumber:
      return cJSON_CreateNumber(SpecialNumber(in));
    case kInt:
      return cJSON_CreateNumber(in.I32());
    case kString:
      return cJSON_CreateString(in.Text().c_str());
    case kLongText: {
      const char fill = static_cast<char>(in.U8() | 1);  // never the terminator
      return cJSON_CreateString(std::string(Length(in), fill).c_str());
    }
    case kDeepText: {
      const uint32_t levels = Depth(in);
      return cJSON_CreateString(DeepText(levels, in.U8()).c_str());
    }
    case kArray:
    case kObject:
      return StructuredValue(in, depth);
    case kByteBlock:
      if (fromHost) return ByteBlock(in);
      return cJSON_CreateString(in.ShortText().c_str());
    case kJsonText: {
      // A structured value written as text: the commands that parse JSON arguments read it.
      cJSON* value = StructuredValue(in, depth);
      const std::string text = Print(value);
      cJSON_Delete(value);
      return cJSON_CreateString(text.c_str());
    }
    case kDeepArray: {
      // Structures deeper than any parser would build; only a host can hand them over.
      cJSON* root = cJSON_CreateArray();
      cJSON* inner = root;
      const uint32_t levels = std::min(Depth(in), fromHost ? kMaxDepth : kMaxParsedDepth);
      const bool objects = in.Bool();
      for (uint32_t i = 0; i < levels; ++i) {
        cJSON* next = objects ? cJSON_CreateObject() : cJSON_CreateArray();
        if (cJSON_IsObject(inner)) {
          cJSON_AddItemToObject(inner, "x", next);
        } else {
          cJSON_AddItemToArray(inner, next);
        }
        inner = next;
      }
      return root;
    }
  }
  return cJSON_CreateNull();
}

// Mostly a method of the three tables (walked from the one name table), sometimes mutated into a
// near miss, sometimes arbitrary bytes.
std::string CommandName(Input& in) {
  const uint8_t mode = in.U8() % 10;
  if (mode == 8) return in.ShortText();
  const auto table = static_cast<CommandTable>(in.Pick(3));
  const int count = corvel_client::MethodCount(table);
  std::string name = std::string(corvel_client::TablePrefix(table)) +
                     corvel_client::MethodName(table, static_cast<int>(in.Pick(count)));
  if (mode < 6) return name;
  if (mode == 9) {
    // Another table's prefix in front of the method.
    const auto other = static_cast<CommandTable>(in.Pick(3));
    return corvel_client::TablePrefix(other) + name.substr(corvel_client::TablePrefixLength(table));
  }
  switch (in.U8() % 5) {
    case 0: {  // change one letter's case
      const size_t at = in.Below(static_cast<uint32_t>(name.size()));
      name[at] = static_cast<char>(name[at] ^ 0x20);
      break;
    }
    case 1:
      name.pop_back();
      break;
    case 2:
      name += static_cast<char>(in.U8());
      break;
    case 3:
      name.erase(in.Below(static_cast<uint32_t>(name.size())), 1);
      break;
    default:
      name.insert(in.Below(static_cast<uint32_t>(name.size() + 1)), 1, '\0');
      name = name.c_str();  // a name cut at an embedded terminator
  }
  return name;
}

// Checks what every command leaves in its record: a count no larger than the values written, the
// code first.
void CheckResult(const corvel_client_win::MessageFromCpp& message, const std::string& name) {
  const int size = cJSON_GetArraySize(message.result);
  const bool ok = message.resultCount >= 0 && message.resultCount <= size &&
                  (size == 0) == (message.resultCount == 0) &&
                  (size == 0 || cJSON_IsNumber(cJSON_GetArrayItem(message.result, 0)));
  if (!ok) {
    std::fprintf(stderr, "%s: resultCount %d with %d values\n", name.c_str(), message.resultCount,
                 size);
    std::abort();
  }
}

void RunCommand(const std::string& name, std::vector<cJSON*> args) {
  std::shared_ptr<corvel_client_win::MessageFromCpp> message = corvel::CreateMessage(name.c_str());
  std::vector<std::pair<cJSON*, char*>> blocks;
  for (cJSON* arg : args) {
    if (cJSON_IsNumber(arg) && arg->valuestring != nullptr)
      blocks.emplace_back(arg, arg->valuestring);
    cJSON_AddItemToArray(message->args, arg);
  }
  corvel::OnMessage(message);
  CheckResult(*message, name);
  // A block no command took is still the host's; it came from LargeMemoryMalloc, so it goes back
  // through LargeMemoryRelease and not through the record's cJSON deleter.
  for (auto& block : blocks) {
    if (block.first->valuestring == block.second) {
      block.first->valuestring = nullptr;
      corvel::LargeMemoryRelease(block.second);
    }
  }
}

void Command(Input& in) {
  const std::string name = CommandName(in);
  std::vector<cJSON*> args;
  const uint32_t count = in.Pick(5);
  for (uint32_t i = 0; i < count; ++i) args.push_back(Value(in, 0, true));
  RunCommand(name, std::move(args));
}

// Keeps simulated-engine requests quick and deterministic: no classroom (its events come at their
// own pace), no stopping of the engine threads, no events on extra threads, small generated frames
// and strokes.
bool Tame(cJSON* request) {
  const cJSON* sim = cJSON_GetObjectItemCaseSensitive(request, "sim");
  const std::string what = cJSON_IsString(sim) ? sim->valuestring : "";
  if (what == "classroom" || what == "stop") return false;
  if (what == "devices") {
    // Long names are made by repeating a text; a few KiB cover the 1024-byte buffer's edges.
    for (const char* list : {"recording", "video"}) {
      cJSON* name = nullptr;
      cJSON_ArrayForEach(name, cJSON_GetObjectItemCaseSensitive(request, list)) {
        if (cJSON_GetObjectItemCaseSensitive(name, "size") != nullptr) {
          cJSON_ReplaceItemInObjectCaseSensitive(name, "size", cJSON_CreateNumber(1100));
        }
      }
    }
    return true;
  }
  if (what != "emit") return true;
  cJSON_DeleteItemFromObjectCaseSensitive(request, "wait");  // every event finishes in its input
  // Events on new threads are the concurrency test's matter; here they would only add a thread's
  // start and end to every such input.
  cJSON_DeleteItemFromObjectCaseSensitive(request, "threads");
  cJSON_DeleteItemFromObjectCaseSensitive(request, "repeat");
  const cJSON* event = cJSON_GetObjectItemCaseSensitive(request, "event");
  const std::string name = cJSON_IsString(event) ? event->valuestring : "";
  cJSON* args = cJSON_GetObjectItemCaseSensitive(request, "args");
  // The engine also reads numbers written as texts.
  auto value = [](const cJSON* item) {
    if (cJSON_IsNumber(item)) return item->valuedouble;
    if (cJSON_IsString(item)) return std::strtod(item->valuestring, nullptr);
    return 0.0;
  };
  auto number = [&](int index) { return value(cJSON_GetArrayItem(args, index)); };
  if (name == "OnGetVideoData" || name == "OnVideoData") {
    const int w = name == "OnVideoData" ? 2 : 1;
    const double pixels = std::fabs(number(w)) * std::fabs(number(w + 1));
    const double pad = name == "OnGetVideoData" ? std::fabs(number(5)) : 0;
    if (!(pixels <= kMaxGeneratedPixels) || !(pad <= 4096)) return false;
    if (name == "OnVideoData" && !(std::fabs(number(1)) <= 4 * kMaxGeneratedPixels)) return false;
  }
  if (name == "OnSyncStroke") {
    const cJSON* generate =
        cJSON_GetObjectItemCaseSensitive(cJSON_GetArrayItem(args, 0), "generate");
    if (!(value(generate) <= 40000)) return false;
  }
  if (name == "OnRecordAudio" && !(std::fabs(number(1)) <= 65536)) return false;
  return true;
}

int g_emitsLeft = 0;

void SimRequest(cJSON* request) {
  const cJSON* sim = cJSON_GetObjectItemCaseSensitive(request, "sim");
  const bool emit = cJSON_IsString(sim) && std::string(sim->valuestring) == "emit";
  if (request != nullptr && Tame(request) && (!emit || g_emitsLeft-- > 0)) {
    SimControl(Print(request));
  }
  cJSON_Delete(request);
}

void SimText(Input& in) { SimRequest(cJSON_Parse(in.Text().c_str())); }

void Reply(Input& in) {
  Fuzzer& f = *g_fuzzer;
  cJSON* request = cJSON_CreateObject();
  cJSON_AddStringToObject(request, "sim", "reply");
  cJSON_AddStringToObject(
      request, "op", f.operations[in.Below(static_cast<uint32_t>(f.operations.size()))].c_str());
  const uint8_t mode = in.U8();
  const double codes[] = {0, -1, 1, -2147483648.0, 2147483647.0, static_cast<double>(in.I32())};
  cJSON_AddNumberToObject(request, "code", codes[mode % 6]);
  switch ((mode >> 3) % 4) {
    case 0:
      break;  // the code only
    case 1:
      cJSON_AddBoolToObject(request, "out", in.Bool());
      break;
    case 2:
      cJSON_AddNumberToObject(request, "out", in.I32());
      break;
    default: {
      const double out = SpecialNumber(in);
      cJSON_AddNumberToObject(request, "out", std::isfinite(out) ? out : 1e300);
    }
  }
  SimRequest(request);
}

void Devices(Input& in) {
  cJSON* request = cJSON_CreateObject();
  cJSON_AddStringToObject(request, "sim", "devices");
  for (const char* list : {"recording", "video"}) {
    if (in.Bool()) continue;
    cJSON* names = cJSON_AddArrayToObject(request, list);
    const uint32_t count = in.Pick(6);
    for (uint32_t i = 0; i < count; ++i) {
      if (in.Bool()) {
        cJSON_AddItemToArray(names, cJSON_CreateString(in.ShortText().c_str()));
      } else {
        // Names around the 1024-byte buffer: with and without room for the terminator.
        cJSON* fill = cJSON_CreateObject();
        cJSON_AddStringToObject(fill, "fill", in.Bool() ? "ab" : "x");
        cJSON_AddNumberToObject(fill, "size", 1020 + in.Pick(90));
        cJSON_AddItemToArray(names, fill);
      }
    }
  }
  SimRequest(request);
}

void Emit(Input& in) {
  Fuzzer& f = *g_fuzzer;
  cJSON* request = cJSON_CreateObject();
  cJSON_AddStringToObject(request, "sim", "emit");
  cJSON_AddStringToObject(request, "event",
                          f.events[in.Below(static_cast<uint32_t>(f.events.size()))].c_str());
  cJSON* args = cJSON_AddArrayToObject(request, "args");
  const uint32_t count = in.Pick(11);
  for (uint32_t i = 0; i < count; ++i) {
    cJSON* value = in.Pick(4) == 0 ? StructuredValue(in, 1) : Value(in, 1, false);
    cJSON_AddItemToArray(args, value);
  }
  if (in.Pick(4) == 0) {
    cJSON* loopback = cJSON_AddArrayToObject(request, "loopback");
    const uint32_t blocks = in.Pick(4);
    for (uint32_t i = 0; i < blocks; ++i) {
      cJSON* block = cJSON_CreateArray();
      const uint32_t samples = in.Pick(64);
      for (uint32_t k = 0; k < samples; ++k) {
        cJSON_AddItemToArray(block, cJSON_CreateNumber(static_cast<int16_t>(in.U16())));
      }
      cJSON_AddItemToArray(loopback, block);
    }
  }
  SimRequest(request);
}

// ---------------------------------------------------------------------------------------------
// Direct engine events: records built from the input and handed straight to EngineCallback, with
// sizes the simulated engine would not generate (strides, planes, counts at every boundary).

// Frame sources: every plane the bridge may read lies inside this arena, so hostile strides and
// dimensions test the bridge's own checks, not the harness's buffers.
constexpr size_t kArenaBytes = size_t{48} << 20;
uint8_t* Arena() {
  // Mapped rather than allocated: the leak checker then does not scan it for pointers after every
  // input. Filled with a pattern by doubling copies.
  static uint8_t* arena = [] {
    void* mapped =
        mmap(nullptr, kArenaBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) std::abort();
    auto* bytes = static_cast<uint8_t*>(mapped);
    for (size_t i = 0; i < 251; ++i) bytes[i] = static_cast<uint8_t>(i);
    for (size_t filled = 251; filled < kArenaBytes; filled *= 2) {
      std::memcpy(bytes + filled, bytes, std::min(filled, kArenaBytes - filled));
    }
    return bytes;
  }();
  return arena;
}

// Frame dimensions: mostly small (frames are copied whole, and large ones cost milliseconds), then
// the common sizes, the edges of the size arithmetic and arbitrary values.
int32_t Dimension(Input& in) {
  switch (in.U8() % 8) {
    case 2: {
      const int32_t common[] = {1280, 720, 1920, 1080, 4096, 2160, 640, 360, 1, 2, 3, 4097, 2161};
      return common[in.Pick(sizeof common / sizeof common[0])];
    }
    case 3: {
      const double value = SpecialNumber(in);
      return value == value && std::fabs(value) < 2147483648.0 ? static_cast<int32_t>(value) : 0;
    }
    case 4:
      return in.I32();
    case 5:
      return static_cast<int32_t>(in.Below(4200));
    case 6:
      return -static_cast<int32_t>(in.Pick(4));
    default:
      return static_cast<int32_t>(in.Pick(64));
  }
}

int32_t Stream(Input& in) {
  const int32_t streams[] = {0, 1, 2, 3, 20, 1000, 4, -1, 5, 999};
  if (in.Pick(8) < 7) return streams[in.Pick(6)];
  // Any id at all, wrapping (an engine's id is 32 bits, whatever its sign).
  const uint32_t offset = in.Bool() ? in.U32() : 0;
  return static_cast<int32_t>(static_cast<uint32_t>(streams[in.Pick(10)]) + offset);
}

// A plane of `rows` rows of `width` bytes, `stride` apart, inside the arena; a negative stride
// starts at the last row (a bottom-up picture). Returns null when it cannot fit.
const uint8_t* Plane(int64_t width, int64_t rows, int64_t stride) {
  if (width <= 0 || rows <= 0) return Arena();
  const int64_t span = std::llabs(stride) * (rows - 1) + width;
  if (span > static_cast<int64_t>(kArenaBytes)) return nullptr;
  return stride >= 0 ? Arena() : Arena() + std::llabs(stride) * (rows - 1);
}

void PlanarFrame(Input& in, corvel_client::EngineCallback& cb) {
  const int32_t stream = Stream(in);
  const int32_t width = Dimension(in);
  const int32_t height = Dimension(in);
  const int32_t extra = in.I32();
  // Strides equal to the row, padded, negative (bottom-up), zero or arbitrary below twice the row;
  // computed in 64 bits and kept within int32.
  auto stride = [&](int32_t row) -> int32_t {
    int64_t value = 0;
    switch (in.U8() % 5) {
      case 0:
        value = row;
        break;
      case 1:
        value = int64_t{row} + in.Pick(65);
        break;
      case 2:
        value = -int64_t{row} - in.Pick(3);
        break;
      case 3:
        value = 0;
        break;
      default:
        value = in.Below(row > 0 ? static_cast<uint32_t>(row) * 2 + 1 : 8);
    }
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
  };
  const int32_t n = width / 2, r = height / 2;
  const int32_t ys = stride(width), us = stride(n), vs = stride(n);
  const uint8_t* y = Plane(width, height, ys);
  const uint8_t* u = Plane(n, r, us);
  const uint8_t* v = Plane(n, r, vs);
  // Planes that cannot lie in the arena are given only when the frame is larger than any stream
  // buffer: then the bridge must refuse it before reading.
  const double total = 3.0 * width * height / 2;
  const bool refused = width <= 0 || height <= 0 || total > 4096 * 2160 * 3;
  if ((y == nullptr || u == nullptr || v == nullptr) && !refused) return;
  const uint8_t mode = in.U8() % 8;
  cb.OnGetVideoData(stream, width, height, extra, mode == 1 ? nullptr : (y ? y : Arena()), ys,
                    mode == 2 ? nullptr : (u ? u : Arena()), us,
                    mode == 3 ? nullptr : (v ? v : Arena()), vs);
}

void PackedFrame(Input& in, corvel_client::EngineCallback& cb) {
  const int32_t stream = Stream(in);
  const int32_t width = Dimension(in);
  const int32_t height = Dimension(in);
  int32_t count = 0;
  switch (in.U8() % 4) {
    case 0:
      count =
          static_cast<int32_t>(std::clamp(3.0 * width * height / 2, -2147483648.0, 2147483647.0));
      break;
    case 1:
      count = in.I32();
      break;
    case 2:
      count = static_cast<int32_t>(in.Below(1 << 16));
      break;
    default:
      count = 1920 * 1080 * 3 + static_cast<int32_t>(in.Pick(3)) - 1;
  }
  // Counts beyond the arena are larger than every stream buffer and must be refused unread.
  const uint8_t* data = in.Pick(8) == 0 ? nullptr : Arena();
  cb.OnVideoData(stream, data, count, width, height, in.I32(), in.I32());
}

void RecordAudio(Input& in, corvel_client::EngineCallback& cb) {
  AudioLoopback* loopback = AudioLoopback::GetInstance();
  if (in.Bool() && loopback != nullptr) {
    (in.Bool() ? loopback->Start() : loopback->Stop());
  }
  const uint32_t blocks = in.Pick(3);
  for (uint32_t i = 0; i < blocks && loopback != nullptr; ++i) {
    // A block's own count may be anything up to what was allocated for it.
    const uint32_t samples = in.Below(4096);
    int16_t* block = corvel::NewLoopbackBlock(samples);
    for (uint32_t k = 0; k < std::min<uint32_t>(samples, 16); ++k) {
      corvel::LoopbackBlockSamples(block)[k] = static_cast<int16_t>(in.U16());
    }
    std::lock_guard<std::mutex> lock(loopback->AudioLoopMutex());
    loopback->DataQueue().push(block);
  }
  const bool stereo = in.Bool();
  int32_t frames = static_cast<int32_t>(in.Below(4096));
  if (in.Pick(8) == 0) frames = -static_cast<int32_t>(in.Below(1u << 31));
  std::vector<int16_t> samples(frames > 0 ? static_cast<size_t>(frames) * (stereo ? 2 : 1) : 1);
  for (size_t k = 0; k < std::min<size_t>(samples.size(), 16); ++k) {
    samples[k] = static_cast<int16_t>(in.U16());
  }
  cb.OnRecordAudio(in.Pick(16) == 0 ? nullptr : samples.data(), frames, in.U32(),
                   static_cast<uint8_t>(stereo ? 1 + in.Pick(255) : 0));
}

std::string EventText(Input& in) {
  switch (in.U8() % 4) {
    case 0:
      return in.Text();
    case 1:
      return std::string(Length(in), static_cast<char>(in.U8() | 1));
    case 2:
      return DeepText(Depth(in), in.U8());
    default:
      return std::string("a\0b", 3);  // an embedded terminator
  }
}

corvel::UserInfo User(Input& in) {
  corvel::UserInfo user;
  user.id = in.I32();
  user.type = static_cast<int32_t>(in.Pick(6));
  if (in.Bool()) user.type = in.I32();
  user.right = in.I32();
  user.name = in.Pick(4) == 0 ? EventText(in) : in.ShortText();
  user.extra = in.ShortText();
  return user;
}

std::vector<corvel::UserInfo> Users(Input& in) {
  std::vector<corvel::UserInfo> users;
  uint32_t count = in.Pick(8);
  if (in.Pick(8) == 0) count = 195 + in.Pick(20);  // around the 200-entry limit
  for (uint32_t i = 0; i < count; ++i) users.push_back(User(in));
  return users;
}

corvel::RoomInfo Room(Input& in) {
  corvel::RoomInfo room;
  room.startTime = in.I64();
  room.microphoneQueueOpen = in.Bool();
  room.videoMicOpen = in.Bool();
  room.latestMessageId = in.I64();
  room.latestStrokeId = in.I64();
  room.banAllMessage = in.Bool();
  room.startDuration = in.I32();
  room.users = Users(in);
  room.microphoneQueue = Users(in);
  for (uint32_t i = in.Pick(5); i > 0; --i) {
    if (in.Bool()) {
      room.speakers.push_back(nullptr);
      continue;
    }
    auto speaker = std::make_shared<corvel::SpeakerInfo>();
    speaker->id = in.I32();
    speaker->type = in.I32();
    speaker->name = in.ShortText();
    speaker->channel = in.I32();
    speaker->audioOpen = in.I32();
    speaker->videoOpen = in.I32();
    room.speakers.push_back(speaker);
  }
  room.assistantUserId = in.I32();
  room.largeUid = in.I32();
  room.videoStyle = in.I32();
  room.latestTopMessageId = in.I64();
  room.userCount = in.U32();
  room.bannedUsers = Users(in);
  for (uint32_t i = in.Pick(4); i > 0; --i) {
    room.microphoneStates.push_back({in.I32(), in.I32(), in.I32()});
  }
  for (uint32_t i = in.Pick(4); i > 0; --i) {
    if (in.Bool()) {
      room.questions.push_back(nullptr);
      continue;
    }
    auto question = std::make_shared<corvel::QuestionInfo>();
    question->type = in.I32();
    question->status = in.I32();
    question->questionId = in.I32();
    question->optionNum = in.I32();
    for (uint32_t k = in.Pick(40); k > 0; --k) question->correctOptions.push_back(in.I32());
    if (in.Bool()) {
      question->summary = std::make_shared<corvel::AnswerSummary>();
      question->summary->attendStudents = in.I32();
      question->summary->scorekeepers = in.I32();
      for (uint32_t k = in.Pick(8); k > 0; --k) {
        question->summary->optionStats.push_back({in.I32(), in.I32()});
      }
    }
    room.questions.push_back(question);
  }
  return room;
}

// Point records for strokes, shared by every stroke: counts up to and past the 16-bit field.
const corvel::Point* StrokePoints() {
  static const std::vector<corvel::Point> points = [] {
    std::vector<corvel::Point> made(70000);
    for (size_t i = 0; i < made.size(); ++i) {
      made[i] = {static_cast<float>(i), -static_cast<float>(i), 0.5f};
    }
    return made;
  }();
  return points.data();
}

void Stroke(Input& in, corvel_client::EngineCallback& cb) {
  corvel::StrokeInfo stroke;
  const int32_t counts[] = {0, 1, 3, 32767, 32768, 65535, 65536, 69999, -1, INT32_MIN};
  stroke.count = in.Bool() ? static_cast<int32_t>(in.Pick(64)) : counts[in.Pick(10)];
  stroke.points = StrokePoints();
  if (in.Pick(8) == 0) stroke.points = nullptr;
  stroke.a = in.I32();
  stroke.b = in.I32();
  if (stroke.points != nullptr && in.Pick(4) == 0 && stroke.count > 0) {
    // Hostile values: NaN and infinities travel as doubles.
    static corvel::Point odd[3] = {{std::nanf(""), INFINITY, -INFINITY}, {1e38f, -1e38f, 0}, {}};
    stroke.points = odd;
    stroke.count = std::min<int32_t>(stroke.count, 3);
  }
  cb.OnSyncStroke(stroke);
}

void Event(Input& in) {
  corvel_client::EngineCallback& cb = *g_fuzzer->callback;
  switch (in.U8() % 52) {
    case 0:
      cb.OnConnected();
      break;
    case 1:
      cb.OnError(in.Pick(4) == 0 ? 400 + static_cast<int32_t>(in.Pick(110)) : in.I32());
      break;
    case 2:
      cb.OnServerChanged(in.I32());
      break;
    case 3:
      cb.OnUserEnterRoom(User(in), in.I32());
      break;
    case 4:
      cb.OnUserQuitRoom(in.I32(), in.I32());
      break;
    case 5:
      cb.OnRoomInfo(Room(in));
      break;
    case 6:
      cb.OnMicrophoneApplied(User(in), in.I32());
      break;
    case 7:
      cb.OnMicrophoneCanceled(in.I32(), in.I32(), {in.I32(), in.I32()});
      break;
    case 8:
      cb.OnMicrophoneApproved(User(in), in.I32(), in.I32(), in.I32());
      break;
    case 9:
      cb.OnMicrophoneQueueOpened(in.I32());
      break;
    case 10:
      cb.OnMicrophoneQueueClosed(in.I32());
      break;
    case 11:
      cb.OnMicrophoneCancelAll(in.I32());
      break;
    case 12: {
      corvel::MediaInfo info;
      info.value = in.I64();
      for (uint32_t k = in.Pick(16) == 0 ? in.Below(5000) : in.Pick(8); k > 0; --k) {
        info.samples.push_back({in.I64(), in.I32()});
      }
      info.p = in.I32();
      info.q = in.I32();
      info.r = in.I32();
      cb.OnMediaInfo(info);
      break;
    }
    case 13: {
      corvel::ChatMessage chat;
      chat.messageId = in.I64();
      chat.requestMessageId = in.ShortText();
      chat.text = EventText(in);
      chat.timestamp = in.I64();
      chat.messageType = in.I32();
      chat.sender = User(in);
      cb.OnChatMessage(in.I32(), chat);
      break;
    }
    case 14:
      cb.OnChatMessageFailed(in.I32(), in.I32(), EventText(in));
      break;
    case 15: {
      corvel::KeynoteInfo keynote;
      for (int32_t& value : keynote.value) value = in.I32();
      cb.OnKeynoteInfo(keynote);
      break;
    }
    case 16:
      cb.OnPageTo(in.I32(), in.I32());
      break;
    case 17:
      Stroke(in, cb);
      break;
    case 18:
      cb.OnEraseStroke(in.I32());
      break;
    case 19:
      cb.OnStartClass(in.I64());
      break;
    case 20:
      cb.OnEndClass();
      break;
    case 21:
      cb.OnSyncMedia();
      break;
    case 22:
      cb.OnAssistantOnBoard(in.I32());
      break;
    case 23:
      cb.OnAssistantOffBoard(in.I32());
      break;
    case 24:
      cb.OnUserBanned(in.I32(), in.I32());
      break;
    case 25:
      cb.OnUserUnBanned(in.I32(), in.I32());
      break;
    case 26:
      cb.OnAllUserBanned(in.I32());
      break;
    case 27:
      cb.OnAllUserUnBanned(in.I32());
      break;
    case 28:
      cb.OnTopMessageCanceled();
      break;
    case 29:
      cb.OnReserved();
      break;
    case 30:
      cb.OnNetStatistics(in.I32(), in.I32(), in.I32(), in.I32(), in.I32());
      break;
    case 31:
      cb.OnMicrophoneSettingTimer(in.I32(), in.I32());
      break;
    case 32:
      cb.OnMediaDataReady(in.I64());
      break;
    case 33:
      cb.OnSyncRoomInfo(in.I32(), in.I32(), in.I32());
      break;
    case 34:
      cb.OnVideoMicEvent(in.I32(), in.Bool());
      break;
    case 35:
      cb.OnVideoStyleEvent(in.I32(), in.I32(), in.I32());
      break;
    case 36:
      cb.OnDeviceEvent(in.I32(), in.I32(), in.I32());
      break;
    case 37:
      cb.OnUploadClientLog(in.I32(), EventText(in));
      break;
    case 38:
      cb.OnAddQuestion(EventText(in));
      break;
    case 39:
      cb.OnRemoveQuestion(in.I32());
      break;
    case 40:
      cb.OnEndQuestion(in.I32());
      break;
    case 41:
      cb.OnAnswerSummary(EventText(in));
      break;
    case 42:
      cb.OnMyAnswer(EventText(in));
      break;
    case 43:
      cb.OnSystemMessage(in.I64(), in.I64(), EventText(in));
      break;
    case 44:
      cb.OnMediaReserved0();
      break;
    case 45:
      PackedFrame(in, cb);
      break;
    case 46:
      PlanarFrame(in, cb);
      break;
    case 47: {
      int32_t v[10];
      for (int32_t& value : v) value = in.I32();
      cb.OnMediaReserved3(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]);
      break;
    }
    case 48:
      RecordAudio(in, cb);
      break;
    case 49:
      cb.OnNetQuality(static_cast<uint64_t>(in.I64()), in.F64());
      break;
    case 50:
      PlanarFrame(in, cb);
      break;  // frames weigh double: most of the size arithmetic
    default:
      cb.OnNetQuality(in.U32(), SpecialNumber(in));
      break;
  }
}

void Loopback(Input& in) {
  SimControl(in.Bool() ? "{\"sim\":\"loopback\",\"on\":true}"
                       : "{\"sim\":\"loopback\",\"on\":false}");
}

// Back to the resting state: work items run, room left, medium closed, engine script and journal
// cleared, loopback capture stopped with its queue emptied.
void Settle() {
  g_fuzzer->host.RunQueued();
  RunCommand("live.quitRoom", {});
  RunCommand("offlinePlay.closeMedia", {});
  g_fuzzer->host.RunQueued();
  SimControl("{\"sim\":\"wait\"}");
  SimControl("{\"sim\":\"reset\"}");
  SimControl("{\"sim\":\"loopback\",\"on\":false}");
}

}  // namespace
}  // namespace kv_fuzz

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  using kv_fuzz::g_debugTexts;
  using kv_fuzz::g_fuzzer;
  g_fuzzer = new kv_fuzz::Fuzzer();
  g_fuzzer->operations = kv_fuzz::NameList("{\"sim\":\"operations\"}", "operations");
  g_fuzzer->events = kv_fuzz::NameList("{\"sim\":\"events\"}", "events");
  if (corvel::Init(&g_fuzzer->host, &g_fuzzer->host) != 0) std::abort();
  // Debug texts are formatted as always but not printed: the fuzzer's output stays readable.
  kv_set_debug_sink([](const wchar_t* text) { g_debugTexts += text != nullptr && *text != 0; });
  // The process's one engine and its callback, which the direct events use. Posting goes to this
  // host (Init connects it too, once the offline-play delegate starts the engine).
  corvel_client::EngineHolder* holder = corvel_client::AcquireEngine();
  if (holder == nullptr || holder->callback == nullptr) std::abort();
  g_fuzzer->callback = holder->callback;
  g_fuzzer->callback->SetAsyncRun(&g_fuzzer->host);
  kv_fuzz::Arena();
  kv_fuzz::StrokePoints();
  kv_fuzz::Settle();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kv_fuzz::Input in(data, size);
  kv_fuzz::g_emitsLeft = kv_fuzz::kMaxEmitsPerInput;
  // Operations per input: enough for a set-up and a run of commands and events; longer inputs cost
  // more per execution than they add.
  int budget = 24;
  while (!in.Done() && budget-- > 0) {
    switch (in.U8() % kv_fuzz::kOpCount) {
      case kv_fuzz::kCommand:
        kv_fuzz::Command(in);
        break;
      case kv_fuzz::kSimText:
        kv_fuzz::SimText(in);
        break;
      case kv_fuzz::kReply:
        kv_fuzz::Reply(in);
        break;
      case kv_fuzz::kDevices:
        kv_fuzz::Devices(in);
        break;
      case kv_fuzz::kEvent:
        kv_fuzz::Event(in);
        break;
      case kv_fuzz::kEmit:
        kv_fuzz::Emit(in);
        break;
      case kv_fuzz::kRunCore:
        kv_fuzz::g_fuzzer->host.RunQueued();
        break;
      default:
        kv_fuzz::Loopback(in);
        break;
    }
  }
  kv_fuzz::Settle();
  return 0;
}
