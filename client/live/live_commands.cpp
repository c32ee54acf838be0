// The "live." command table: one handler per method name, in the order of the method-name table.
#include <string>
#include <type_traits>
#include <utility>

#include "dispatch.h"
#include "live/live.h"
#include "live/live_config.h"
#include "method_names.h"

namespace corvel_client {
namespace {

using corvel::CorvelLiveEngine;
using corvel_client_win::MessageFromCpp;

// Calls one live-interface operation; -1 without calling when the interface is absent.
template <typename... Params, typename... Values>
int CallLive(Live& live, int (CorvelLiveEngine::*operation)(Params...), Values&&... values) {
  CorvelLiveEngine* engine = live.liveInterface();
  if (engine == nullptr) return -1;
  return (engine->*operation)(std::forward<Values>(values)...);
}

// Operations without arguments that answer with their code alone.
template <int (CorvelLiveEngine::*Operation)()>
void Plain(Live& live, MessageFromCpp& m) {
  WriteResultCode(m, CallLive(live, Operation));
}

// Operations with one int32 argument (a user id, a page, a question id).
template <int (CorvelLiveEngine::*Operation)(int)>
void WithInt(Live& live, MessageFromCpp& m) {
  WriteResultCode(m, CallLive(live, Operation, ArgInt(m, 0)));
}

// Operations with two int32 arguments.
template <int (CorvelLiveEngine::*Operation)(int, int)>
void WithTwoInts(Live& live, MessageFromCpp& m) {
  WriteResultCode(m, CallLive(live, Operation, ArgInt(m, 0), ArgInt(m, 1)));
}

void EnterRoom(Live& live, MessageFromCpp& m) {
  WriteResultCode(m, live.EnterRoom(ParseEnterRoomConfig(ArgText(m, 0))));
}
void QuitRoom(Live& live, MessageFromCpp& m) { WriteResultCode(m, live.QuitRoom()); }
void StartSend(Live& live, MessageFromCpp& m) { WriteResultCode(m, live.StartSend()); }

void SendChatMessage(Live& live, MessageFromCpp& m) {
  const std::string user = std::to_string(ArgInt(m, 0));
  const std::string text = ArgString(m, 1);
  WriteResultCode(m, CallLive(live, &CorvelLiveEngine::SendChatMessage, user, text, ArgInt(m, 2)));
}

void PublishKeynote(Live& live, MessageFromCpp& m) {
  corvel::KeynoteInfo keynote;
  keynote.value[0] = ArgInt(m, 0);
  keynote.value[1] = ArgInt(m, 1);
  keynote.value[2] = ArgInt(m, 2);
  keynote.value[3] = 0;
  WriteResultCode(m, CallLive(live, &CorvelLiveEngine::PublishKeynote, keynote));
}

// Reads a number member of a point object; anything else keeps the point's initial value.
void ReadCoordinate(const cJSON* point, const char* key, float& out) {
  const cJSON* value = cJSON_GetObjectItemCaseSensitive(point, key);
  if (cJSON_IsNumber(value)) out = ClampToFloat(value->valuedouble);
}

// The result is 0 at once; the engine call runs later on the host's core thread, which then owns
// the points.
void SyncStroke(Live& live, MessageFromCpp& m) {
  const cJSON* list = m.args == nullptr ? nullptr : cJSON_GetArrayItem(m.args, 0);
  const cJSON* first = list != nullptr && cJSON_IsArray(list) ? list->child : nullptr;
  int count = 0;
  for (const cJSON* item = first; item != nullptr; item = item->next) ++count;
  auto* points = new (std::nothrow) corvel::Point[count];
  WriteResultCode(m, 0);
  if (points == nullptr) return;
  corvel::Point* point = points;
  for (const cJSON* item = first; item != nullptr; item = item->next, ++point) {
    point->pressure = 0.5f;
    ReadCoordinate(item, catalogue::keys::Point::x, point->x);
    ReadCoordinate(item, catalogue::keys::Point::y, point->y);
    ReadCoordinate(item, catalogue::keys::Point::pressure, point->pressure);
  }
  if (!corvel::DispatchCall(live.dispatcher(), &live, &Live::SyncStroke, points, count,
                            ArgInt(m, 1), ArgInt(m, 2))) {
    delete[] points;  // nothing was queued: the points are still ours
  }
}

void GetOutputLevel(Live& live, MessageFromCpp& m) {
  uint32_t level = 0;
  const int code = CallLive(live, &CorvelLiveEngine::GetOutputLevel, ArgInt(m, 0), level);
  WriteResultCode(m, code);
  if (code >= 0) AppendResultNumber(m, level);
}

void SetNickname(Live& live, MessageFromCpp& m) {
  WriteResultCode(m, CallLive(live, &CorvelLiveEngine::SetNickname, ArgString(m, 0)));
}

// Camera and screen share one engine operation; the argument says which is sent.
void BeginSendVideo(Live& live, MessageFromCpp& m) {
  WriteResultCode(m, CallLive(live, &CorvelLiveEngine::BeginSendVideo, 0));
}
void BeginSendScreen(Live& live, MessageFromCpp& m) {
  WriteResultCode(m, CallLive(live, &CorvelLiveEngine::BeginSendVideo, 1));
}

void AddQuestion(Live& live, MessageFromCpp& m) {
  const QuestionArgs q = ParseAddQuestion(ArgText(m, 0));
  WriteResultCode(m, CallLive(live, &CorvelLiveEngine::AddQuestion, q.type, q.optionNum,
                              static_cast<const int32_t*>(q.options), q.count));
}

void MyAnswer(Live& live, MessageFromCpp& m) {
  const QuestionArgs q = ParseMyAnswer(ArgText(m, 0));
  WriteResultCode(m, CallLive(live, &CorvelLiveEngine::MyAnswer, q.type,
                              static_cast<const int32_t*>(q.options), q.count));
}

using Handler = void (*)(Live& live, MessageFromCpp& m);

// In the order of the method-name table: the catalogue's handler column.
constexpr Handler kHandlers[] = {
#define KV_LIVE_COMMAND(method, handler, ...) handler,
#include "catalogue.def"
};
constexpr int kMethods = catalogue::TableOf(CommandTable::kLive).count;
static_assert(sizeof(kHandlers) / sizeof(kHandlers[0]) == static_cast<size_t>(kMethods),
              "one handler per live method");

// A method without a handler is the one the catalogue calls unhandled, and only that.
constexpr bool HandlersMatchResults() {
  constexpr bool kWithout[] = {
#define KV_LIVE_COMMAND(method, handler, ...) std::is_null_pointer_v<decltype(handler)>,
#include "catalogue.def"
  };
  for (int i = 0; i < kMethods; ++i) {
    const bool unhandled = catalogue::TableCommand(CommandTable::kLive, i).result.form ==
                           catalogue::ResultForm::kUnhandled;
    if (kWithout[i] != unhandled) return false;
  }
  return true;
}
static_assert(HandlersMatchResults(), "null handlers are exactly the unhandled live methods");

}  // namespace

bool RunLiveCommand(Live* live, MessageFromCpp& message) {
  const int method = FindMethod(CommandName(message), CommandTable::kLive);
  if (method < 0 || kHandlers[method] == nullptr) return false;
  if (live == nullptr) {
    // No live state: answer as a wrapper without its interface would, and queue nothing.
    WriteResultCode(message, -1);
    return true;
  }
  RunContained(message,
               catalogue::AnswersWithCode(catalogue::TableCommand(CommandTable::kLive, method)),
               [&] { kHandlers[method](*live, message); });
  return true;
}

}  // namespace corvel_client
