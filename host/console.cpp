#include "console.h"

#include <chrono>
#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

#include "encode.h"
#include "kv/sim_engine.h"
#include "line_rules.h"
#include "notes.h"

namespace kv_host {

namespace {

struct JsonDeleter {
  void operator()(cJSON* item) const { cJSON_Delete(item); }
};
using Json = std::unique_ptr<cJSON, JsonDeleter>;

std::string TextOf(const cJSON* item) {
  return cJSON_IsString(item) && item->valuestring != nullptr ? item->valuestring : "";
}

// The byte-block item of "setStorageData": the string pointer holds a LargeMemoryMalloc block,
// the number the byte count. {"$bytes":null} gives no block; "count" overrides the count.
cJSON* ByteBlockItem(const cJSON* arg, std::string& error) {
  const cJSON* bytes = cJSON_GetObjectItemCaseSensitive(arg, "$bytes");
  std::vector<uint8_t> data;
  if (!cJSON_IsNull(bytes) && !Base64Decode(TextOf(bytes), data)) {
    error = "$bytes must be base64 text or null";
    return nullptr;
  }
  const cJSON* count = cJSON_GetObjectItemCaseSensitive(arg, "count");
  const double size = cJSON_IsNumber(count) ? count->valuedouble : static_cast<double>(data.size());
  cJSON* item = cJSON_CreateNumber(size);
  if (!cJSON_IsNull(bytes)) {
    char* block = corvel::LargeMemoryMalloc(static_cast<int>(data.size()));
    if (!data.empty()) std::memcpy(block, data.data(), data.size());
    item->valuestring = block;  // freed by the command (or by the record's deleter if not taken)
  }
  return item;
}

bool IsByteBlock(const cJSON* arg) {
  return cJSON_IsObject(arg) && cJSON_GetObjectItemCaseSensitive(arg, "$bytes") != nullptr;
}

// With --plain-args only {"$bytes":"<base64>"} itself: a block whose count is its length.
bool IsPlainByteBlock(const cJSON* arg) {
  const cJSON* bytes = cJSON_GetObjectItemCaseSensitive(arg, "$bytes");
  return cJSON_IsString(bytes) && arg->child == bytes && bytes->next == nullptr;
}

// Deeper than any parser builds (cJSON stops at 1000 levels): {"$nest":N} is an array holding an
// array ... N levels down, {"$nest":N,"object":true} the same with objects under the member "x".
constexpr double kMaxNesting = 100000;

bool IsNesting(const cJSON* arg) {
  return cJSON_IsObject(arg) && cJSON_GetObjectItemCaseSensitive(arg, "$nest") != nullptr;
}

cJSON* NestedItem(const cJSON* arg, std::string& error) {
  const cJSON* levels = cJSON_GetObjectItemCaseSensitive(arg, "$nest");
  if (!cJSON_IsNumber(levels) ||
      !(levels->valuedouble >= 0 && levels->valuedouble <= kMaxNesting)) {
    error = "$nest takes 0 to 100000 levels";
    return nullptr;
  }
  const bool objects = cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(arg, "object"));
  cJSON* root = objects ? cJSON_CreateObject() : cJSON_CreateArray();
  cJSON* inner = root;
  for (int i = 0; i < static_cast<int>(levels->valuedouble) && inner != nullptr; ++i) {
    cJSON* next = objects ? cJSON_CreateObject() : cJSON_CreateArray();
    if (next == nullptr) break;
    if (objects) {
      cJSON_AddItemToObject(inner, "x", next);
    } else {
      cJSON_AddItemToArray(inner, next);
    }
    inner = next;
  }
  return root;
}

}  // namespace

Console::Console(const Options& options)
    : out_(stdout, options.pretty),
      quiet_(options.quiet),
      plainArgs_(options.plainArgs),
      run_(out_) {
  CaptureDebugOutput(out_);
  run_.SetFrameBytes(options.frameBytes);
  if (!options.deferInit) Init();
}

void Console::Init() {
  if (initialised_) return out_.Error("Init was already called");
  initialised_ = true;
  const int code = corvel::Init(&run_, &core_);
  core_.WaitIdle();
  if (code != 0) out_.Error("Init returned " + std::to_string(code));
}

int Console::Run(std::FILE* input) {
  std::string line;
  for (int c = std::fgetc(input);; c = std::fgetc(input)) {
    if (c == EOF || c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      Line(line);
      line.clear();
      if (c == EOF) break;
    } else {
      line += static_cast<char>(c);
    }
  }
  core_.WaitIdle();
  // Engine threads end before the process does, so no event reaches a half-destroyed host; the
  // core thread ends too, so the process exits with no thread of ours still running (Wine's
  // process exit has been seen to fault on a thread left waiting).
  kv_sim_free(kv_sim_control("{\"sim\":\"stop\"}"));
  core_.Stop();
  return 0;
}

void Console::Line(const std::string& line) {
  const size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos || line[start] == '#') return;  // blank or comment
  cJSON* parsed = nullptr;
  LineKind kind = LineKind::kCall;
  const std::string error = ParseLine(line, parsed, kind);
  if (!error.empty()) return out_.Error(error);
  Json request(parsed);
  switch (kind) {
    case LineKind::kCall:
      return Command(request.get());
    case LineKind::kSim:
      return Sim(line);
    case LineKind::kHost:
      return Host(request.get());
  }
}

void Console::Command(const cJSON* request) {
  const cJSON* call = cJSON_GetObjectItemCaseSensitive(request, "call");
  const cJSON* args = cJSON_GetObjectItemCaseSensitive(request, "args");
  std::shared_ptr<corvel_client_win::MessageFromCpp> message;
  try {
    message = corvel::CreateMessage(call->valuestring);
  } catch (const std::bad_alloc&) {
    return out_.Error("CreateMessage ran out of memory");
  }
  const cJSON* arg = nullptr;
  std::vector<std::pair<cJSON*, char*>> blocks;  // byte-block items and the block each carries
  cJSON_ArrayForEach(arg, args) {
    if (plainArgs_ && ((IsByteBlock(arg) && !IsPlainByteBlock(arg)) || IsNesting(arg))) {
      return out_.Error(
          "--plain-args: an argument is plain JSON or a byte block {\"$bytes\":\"<base64>\"} "
          "alone; the console's test forms ($nest, a null block, \"count\") are off");
    }
  }
  cJSON_ArrayForEach(arg, args) {
    std::string error;
    cJSON* item = IsByteBlock(arg) ? ByteBlockItem(arg, error)
                  : IsNesting(arg) ? NestedItem(arg, error)
                                   : cJSON_Duplicate(arg, 1);
    if (item == nullptr) {
      for (auto& block : blocks) block.first->valuestring = nullptr;  // not handed over yet
      for (auto& block : blocks) corvel::LargeMemoryRelease(block.second);
      return out_.Error(error.empty() ? "argument copy failed" : error);
    }
    if (IsByteBlock(arg)) blocks.emplace_back(item, item->valuestring);
    cJSON_AddItemToArray(message->args, item);
  }
  corvel::OnMessage(message);
  core_.WaitIdle();
  // A block the command did not take is still the host's: free it the way it was allocated (the
  // record's deleter would use cJSON's free) and say so, since "setStorageData" must take it.
  int kept = 0;
  for (auto& block : blocks) {
    if (block.second != nullptr && block.first->valuestring == block.second) {
      block.first->valuestring = nullptr;
      corvel::LargeMemoryRelease(block.second);
      ++kept;
    }
  }
  cJSON* line = cJSON_CreateObject();
  cJSON_AddStringToObject(line, "call", call->valuestring);
  cJSON_AddNumberToObject(line, "resultCount", message->resultCount);
  cJSON_AddItemToObject(line, "result",
                        message->result ? cJSON_Duplicate(message->result, 1) : cJSON_CreateNull());
  if (kept > 0) cJSON_AddNumberToObject(line, "blocksNotTaken", kept);
  out_.Print(line);
  if (quiet_) return;
  for (const std::string& note : CommandNotes(request, message->resultCount)) {
    cJSON* noted = cJSON_CreateObject();
    cJSON_AddStringToObject(noted, "note", note.c_str());
    out_.Print(noted);
  }
}

void Console::Host(const cJSON* request) {
  const std::string what = TextOf(cJSON_GetObjectItemCaseSensitive(request, "host"));
  if (what == "init") return Init();
  if (what == "wait") return core_.WaitIdle();
  if (what == "sleep") {
    const cJSON* ms = cJSON_GetObjectItemCaseSensitive(request, "ms");
    const double wait = cJSON_IsNumber(ms) ? ms->valuedouble : 0;
    if (wait < 0 || wait > 600000) return out_.Error("sleep takes 0 to 600000 ms");
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int64_t>(wait)));
    return;
  }
  if (what == "debug") {
    return WriteDebugOutput(TextOf(cJSON_GetObjectItemCaseSensitive(request, "text")));
  }
  if (what == "echo") {
    return out_.Print(cJSON_Duplicate(request, 1));
  }
  if (what == "memory") {
    // Queued work and events first, so that the figures describe a settled process.
    core_.WaitIdle();
    const MemoryFigures figures = ReadMemory();
    cJSON* line = cJSON_CreateObject();
    cJSON* memory = cJSON_AddObjectToObject(line, "memory");
    cJSON_AddNumberToObject(memory, "heapBytes", static_cast<double>(figures.heapBytes));
    cJSON_AddStringToObject(memory, "heapSource", figures.heapSource);
    cJSON_AddNumberToObject(memory, "residentBytes", static_cast<double>(figures.residentBytes));
    return out_.Print(line);
  }
  out_.Error("unknown host request \"" + what + "\"");
}

void Console::Sim(const std::string& line) {
  char* reply = kv_sim_control(line.c_str());
  if (reply == nullptr) return out_.Error("the simulated engine ran out of memory");
  std::string text(reply);
  kv_sim_free(reply);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out_.PrintText(text.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace kv_host
