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

inline int GetcUnlocked(std::FILE* stream) {
#if defined(_WIN32)
  return _getc_nolock(stream);
#else
  return getc_unlocked(stream);
#endif
}

struct JsonDeleter {
  void operator()(cJSON* item) const { cJSON_Delete(item); }
};
using Json = std::unique_ptr<cJSON, JsonDeleter>;

std::string TextOf(const cJSON* item) {
  return cJSON_IsString(item) && item->valuestring != nullptr ? item->valuestring : "";
}

// The byte-block item of "setStorageData": the string pointer holds a LargeMemoryMalloc block,
// the number the byte count. {"$bytes":null} gives no block; "count" overrides the count.
cJSON* ByteBlockItem(const cJSON* arg, Attached* attached, std::string& error) {
  const cJSON* bytes = cJSON_GetObjectItemCaseSensitive(arg, "$bytes");
  if (attached != nullptr && cJSON_IsNumber(bytes)) {
    // --framed: the next N bytes of the record, copied once into the block.
    const size_t size = static_cast<size_t>(bytes->valuedouble);
    cJSON* item = cJSON_CreateNumber(static_cast<double>(size));
    char* block = corvel::LargeMemoryMalloc(static_cast<int>(size));
    if (size > 0) std::memcpy(block, attached->Take(size), size);
    item->valuestring = block;
    return item;
  }
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

// With --plain-args only {"$bytes":"<base64>"} itself (with --framed also {"$bytes":N}): a block
// whose count is its length.
bool IsPlainByteBlock(const cJSON* arg, bool framed) {
  const cJSON* bytes = cJSON_GetObjectItemCaseSensitive(arg, "$bytes");
  return (cJSON_IsString(bytes) || (framed && cJSON_IsNumber(bytes))) && arg->child == bytes &&
         bytes->next == nullptr;
}

// --framed: {"$text":N} alone is a text argument of the record's next N bytes.
bool IsAttachedText(const cJSON* arg) {
  const cJSON* text = cJSON_GetObjectItemCaseSensitive(arg, "$text");
  return cJSON_IsNumber(text) && arg->child == text && text->next == nullptr;
}

// The bytes of a record's {"$bytes":N} and {"$text":N} arguments, in order; 0 when an argument
// is not one of them, -1 when its N is not a whole number from 0 up.
double AttachedCount(const cJSON* arg) {
  const cJSON* count = nullptr;
  if (IsByteBlock(arg)) {
    count = cJSON_GetObjectItemCaseSensitive(arg, "$bytes");
  } else if (IsAttachedText(arg)) {
    count = cJSON_GetObjectItemCaseSensitive(arg, "$text");
  }
  if (!cJSON_IsNumber(count)) return 0;
  const double n = count->valuedouble;
  return n >= 0 && n <= 4294967295.0 && n == static_cast<double>(static_cast<int64_t>(n)) ? n : -1;
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

cJSON* AttachedText(const cJSON* arg, Attached& attached) {
  const size_t size =
      static_cast<size_t>(cJSON_GetObjectItemCaseSensitive(arg, "$text")->valuedouble);
  const char* bytes = attached.Take(size);
  return cJSON_CreateString(std::string(bytes, size).c_str());
}

}  // namespace

Console::Console(const Options& options)
    : out_(stdout, options.pretty),
      quiet_(options.quiet),
      plainArgs_(options.plainArgs),
      framed_(options.framed),
      run_(out_) {
  CaptureDebugOutput(out_);
  run_.SetFrameBytes(options.frameBytes);
  run_.SetFramedTexts(options.framed);
  if (!options.deferInit) Init();
}

void Console::Init() {
  if (initialised_) return out_.Error("Init was already called");
  initialised_ = true;
  const int code = corvel::Init(&run_, &core_);
  core_.WaitIdle();
  if (code != 0) out_.Error("Init returned " + std::to_string(code));
}

namespace {

uint32_t LittleEndian32(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

constexpr uint32_t kMaxRecordPart = 256u << 20;

}  // namespace

void Console::RunFramed(std::FILE* input) {
  std::string text;
  std::vector<char> bytes;
  for (;;) {
    unsigned char header[8];
    const size_t got = std::fread(header, 1, sizeof header, input);
    if (got == 0) return;
    if (got != sizeof header) return out_.Error("--framed: the input ends inside a record header");
    const uint32_t textSize = LittleEndian32(header), byteSize = LittleEndian32(header + 4);
    // A record this large is no record of ours: the input cannot be followed any further.
    if (textSize > kMaxRecordPart || byteSize > kMaxRecordPart) {
      return out_.Error("--framed: a record of " + std::to_string(textSize) + " + " +
                        std::to_string(byteSize) +
                        " bytes is over 256 MiB; input ignored from here");
    }
    text.resize(textSize);
    bytes.resize(byteSize);
    if (std::fread(&text[0], 1, textSize, input) != textSize ||
        std::fread(bytes.data(), 1, byteSize, input) != byteSize) {
      return out_.Error("--framed: the input ends inside a record");
    }
    Attached attached{bytes.data(), byteSize, 0};
    attached_ = &attached;
    Line(text);
    attached_ = nullptr;
  }
}

int Console::Run(std::FILE* input) {
  if (framed_) {
    RunFramed(input);
    return Finish();
  }
  std::string line;
  // This thread is the input's only reader, so characters are taken without the stream's lock;
  // with it, a line of megabytes took tens of milliseconds.
  for (int c = GetcUnlocked(input);; c = GetcUnlocked(input)) {
    if (c == EOF || c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      Line(line);
      line.clear();
      if (c == EOF) break;
    } else {
      line += static_cast<char>(c);
    }
  }
  return Finish();
}

int Console::Finish() {
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
  if (attached_ != nullptr && attached_->size > 0 && kind != LineKind::kCall) {
    return out_.Error("--framed: only a command's record carries bytes");
  }
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
  const bool framed = attached_ != nullptr;
  double wanted = 0;
  cJSON_ArrayForEach(arg, args) {
    if (plainArgs_ && ((IsByteBlock(arg) && !IsPlainByteBlock(arg, framed)) || IsNesting(arg))) {
      return out_.Error(
          "--plain-args: an argument is plain JSON or a byte block {\"$bytes\":\"<base64>\"} "
          "alone; the console's test forms ($nest, a null block, \"count\") are off");
    }
    if (framed) {
      const double count = AttachedCount(arg);
      if (count < 0) return out_.Error("--framed: $bytes and $text take a count of bytes");
      wanted += count;
    }
  }
  // The record's bytes are all an argument's, or the command does not run.
  if (framed && wanted != static_cast<double>(attached_->size)) {
    return out_.Error("--framed: the arguments take " + std::to_string(wanted) +
                      " bytes; the record has " + std::to_string(attached_->size));
  }
  // The command line as the notes read it: a record's attached text is the text the bridge gets,
  // not the {"$text":N} object that stands for it (the notes parse a configuration text). Its
  // item is referred to, not copied: the message holds it until the notes are made.
  Json typed;
  int index = 0;
  cJSON_ArrayForEach(arg, args) {
    std::string error;
    const bool text = framed && IsAttachedText(arg);  // its only member is "$text"
    cJSON* item = IsByteBlock(arg) ? ByteBlockItem(arg, attached_, error)
                  : IsNesting(arg) ? NestedItem(arg, error)
                  : text           ? AttachedText(arg, *attached_)
                                   : cJSON_Duplicate(arg, 1);
    if (item == nullptr) {
      for (auto& block : blocks) block.first->valuestring = nullptr;  // not handed over yet
      for (auto& block : blocks) corvel::LargeMemoryRelease(block.second);
      return out_.Error(error.empty() ? "argument copy failed" : error);
    }
    if (IsByteBlock(arg)) blocks.emplace_back(item, item->valuestring);
    cJSON_AddItemToArray(message->args, item);
    if (text) {
      if (!typed) typed.reset(cJSON_Duplicate(request, 1));
      cJSON_ReplaceItemInArray(cJSON_GetObjectItemCaseSensitive(typed.get(), "args"), index,
                               cJSON_CreateStringReference(item->valuestring));
    }
    ++index;
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
  // The room is followed even when the notes are off.
  const std::vector<std::string> notes =
      room_notes_.After(typed ? typed.get() : request, message->result, message->resultCount);
  if (quiet_) return;
  for (const std::string& note : notes) {
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
