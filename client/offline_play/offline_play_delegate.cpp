#include "offline_play/offline_play_delegate.h"

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "dispatch.h"
#include "method_names.h"
#include "offline_play/offline_args.h"
#include "os.h"

namespace corvel_client_offline_play_handler {
namespace {

using corvel_client::ArgInt;
using corvel_client::ArgNumber;
using corvel_client::ArgString;
using corvel_client::ArgText;
using corvel_client::OfflinePlay;
using corvel_client::WriteResultCode;
using corvel_client_win::MessageFromCpp;

struct Context {
  OfflinePlay* play;  // null when the start failed
  Shell& shell;
};

using Handler = void (*)(Context& context, MessageFromCpp& m);

// A string argument, converted with the current locale; empty when it is not a string.
std::wstring WideArg(const MessageFromCpp& m, int index) {
  return corvel_client::os::LocaleToWide(ArgText(m, index));
}

const wchar_t* OrNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

// The status number as the unsigned 32-bit value the storage answer carries; conversions that
// C++ leaves undefined (NaN, out of range) saturate instead.
int32_t StatusFromNumber(double value) {
  if (std::isnan(value)) return 0;
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  if (value >= 4294967295.0) return -1;  // 0xFFFFFFFF
  const uint32_t bits =
      value < 0 ? static_cast<uint32_t>(static_cast<int32_t>(value)) : static_cast<uint32_t>(value);
  return static_cast<int32_t>(bits);
}

// A single-precision value for any double; beyond float's range it saturates.
float ToFloat(double value) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<float>::max();
  if (value < -kMax) return -std::numeric_limits<float>::max();
  return static_cast<float>(value);
}

void OpenMedia(Context& c, MessageFromCpp& m) {
  corvel::EnterRoomConfig config;
  if (!corvel_client::ParseOfflineConfig(ArgText(m, 0), config)) {
    WriteResultCode(m, -1);
    return;
  }
  WriteResultCode(m, c.play == nullptr ? -1 : c.play->Open(config));
}
void CloseMedia(Context& c, MessageFromCpp& m) {
  WriteResultCode(m, c.play == nullptr ? -1 : c.play->Close());
}
void PlayMedia(Context& c, MessageFromCpp& m) {
  WriteResultCode(m, c.play == nullptr ? -1 : c.play->Play());
}
void StopMedia(Context& c, MessageFromCpp& m) {
  WriteResultCode(m, c.play == nullptr ? -1 : c.play->Stop());
}
void PauseMedia(Context& c, MessageFromCpp& m) {
  WriteResultCode(m, c.play == nullptr ? -1 : c.play->Pause());
}
void SeekMedia(Context& c, MessageFromCpp& m) {
  const int64_t position = ArgInt(m, 0);
  WriteResultCode(m, c.play == nullptr ? -1 : c.play->Seek(position));
}
void GetPlayProgress(Context& c, MessageFromCpp& m) {
  int32_t progress = 0;
  const int code = c.play == nullptr ? -1 : c.play->PlayProgress(progress);
  WriteResultCode(m, code);
  if (code >= 0) corvel_client::AppendResultNumber(m, progress);
}
void SetPlaySpeed(Context& c, MessageFromCpp& m) {
  const float speed = ToFloat(ArgNumber(m, 0));
  if (c.play != nullptr) c.play->SetPlaySpeed(speed);  // no result is written
}
void UploadRecFile(Context&, MessageFromCpp& m) {
  // Accepted and ignored: nothing in this system consumes recording uploads.
  ArgNumber(m, 0);
  ArgText(m, 1);
  ArgText(m, 2);
}
void OpenFolder(Context& c, MessageFromCpp& m) {
  if (ArgInt(m, 0) != 0) return;
  corvel_client::UserFolderPlan plan;
  if (!corvel_client::PlanUserFolder(c.shell.AppDataFolder(), WideArg(m, 1), plan)) return;
  c.shell.CreateFolder(plan.userData);
  c.shell.CreateFolder(plan.folder);
  c.shell.Open(plan.folder, nullptr, nullptr);
}
// "kRunProgram" and "kvrequest": only the named program of the permitted three is started.
void RunProgram(Context& c, MessageFromCpp& m) {
  const wchar_t* file = corvel_client::PermittedProgramFile(ArgText(m, 0));
  if (file != nullptr) {
    const std::wstring parameters = WideArg(m, 1);
    const std::wstring directory = WideArg(m, 2);
    c.shell.Open(file, OrNull(parameters), OrNull(directory));
  }
  WriteResultCode(m, 0);
}

// Frees a block of the host's byte-block item exactly once, whatever happens in between.
struct LargeBlockDeleter {
  void operator()(char* block) const { corvel::LargeMemoryRelease(block); }
};
using LargeBlock = std::unique_ptr<char, LargeBlockDeleter>;

void SetStorageData(Context& c, MessageFromCpp& m) {
  // The data item's string field points to a LargeMemoryMalloc block and its number field holds
  // the byte count. Taking the block out of the item keeps the record's deleter from freeing it
  // with cJSON's allocator as well.
  cJSON* item = m.args == nullptr ? nullptr : cJSON_GetArrayItem(m.args, 1);
  LargeBlock block;
  double count_value = 0;
  // A text (or raw JSON) item's string field is cJSON's own text, not a block: it stays with the
  // record, and the answer carries no data.
  if (item != nullptr && !cJSON_IsString(item) && !cJSON_IsRaw(item)) {
    block.reset(item->valuestring);
    item->valuestring = nullptr;
    count_value = item->valuedouble;
  }
  const int32_t count = corvel_client::TruncateToInt32(count_value);
  const std::string key = ArgString(m, 0);
  const int32_t status = StatusFromNumber(ArgNumber(m, 2));
  // Without a usable block the key and status still go through, as an answer without data: the
  // engine's wait for the key then ends at once instead of running out its time.
  if (c.play != nullptr) {
    c.play->StoreData(key, reinterpret_cast<const uint8_t*>(block.get()), count, status);
  }
}

// In the order of the method-name table: the catalogue's handler column.
constexpr Handler kCommands[] = {
#define KV_OFFLINE_PLAY_COMMAND(method, handler, ...) handler,
#include "catalogue.def"
};
static_assert(
    sizeof(kCommands) / sizeof(kCommands[0]) ==
        static_cast<size_t>(
            corvel_client::catalogue::TableOf(corvel_client::CommandTable::kOfflinePlay).count),
    "one handler per offline method");

class SystemShell : public Shell {
 public:
  std::wstring AppDataFolder() override { return corvel_client::os::AppDataFolder(); }
  void CreateFolder(const std::wstring& path) override { corvel_client::os::CreateFolder(path); }
  void Open(const std::wstring& file, const wchar_t* parameters,
            const wchar_t* directory) override {
    corvel_client::os::ShellOpen(file, parameters, directory);
  }
};

}  // namespace

Shell& OsShell() {
  static auto* shell = new SystemShell();  // never destroyed: delegates outlive static teardown
  return *shell;
}

ProcessMessageDelegate::ProcessMessageDelegate(corvel_client_win::JavaScriptAsyncRunBase* run,
                                               const corvel_client::OfflineEngineAccess& access,
                                               Shell& shell)
    : shell_(&shell) {
  auto play = std::make_unique<OfflinePlay>(access);
  if (play->Start(run) < 0) {
    play->TearDown();
    return;
  }
  play_ = std::move(play);
}

ProcessMessageDelegate::~ProcessMessageDelegate() = default;

void ProcessMessageDelegate::OnMessage(std::shared_ptr<MessageFromCpp> message) {
  if (!message) return;
  if (play_ != nullptr && play_->deviceWrapper() != nullptr) {
    corvel_client::RunDeviceCommand(*play_->deviceWrapper(), *message);
  }
  const int method = corvel_client::FindMethod(corvel_client::CommandName(*message),
                                               corvel_client::CommandTable::kOfflinePlay);
  if (method < 0) return;
  Context context{play_.get(), *shell_};
  const Handler command = kCommands[method];
  const bool answers = corvel_client::catalogue::AnswersWithCode(
      corvel_client::catalogue::TableCommand(corvel_client::CommandTable::kOfflinePlay, method));
  corvel_client::RunContained(*message, answers, [&] { command(context, *message); });
}

void ProcessMessageDelegate::GetName(std::string& name) { name = name_; }

}  // namespace corvel_client_offline_play_handler
