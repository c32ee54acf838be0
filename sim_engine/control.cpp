// kv_sim_control: the "sim" line forms of docs/console.md.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "kv/sim_engine.h"
#include "loopback.h"
#include "sim.h"

namespace kv_sim {

namespace {

std::string ErrorLine(const std::string& why) {
  Json reply(cJSON_CreateObject());
  Put(reply.get(), "error", MakeString(why));
  return PrintJson(reply.get());
}

// A device name: a text, or {"fill":"A","size":1100} for a long name made of one repeated text.
bool NameArg(const cJSON* item, std::string& name) {
  if (cJSON_IsString(item)) {
    name = AsString(item);
    return true;
  }
  const std::string fill = AsString(Member(item, "fill"));
  const int64_t size = AsInt64(Member(item, "size"), -1);
  if (fill.empty() || size < 0 || size > (1 << 20)) return false;
  name.clear();
  while (name.size() < static_cast<size_t>(size)) name += fill;
  name.resize(static_cast<size_t>(size));
  return true;
}

std::string SetDevices(const cJSON* request) {
  const struct {
    const char* key;
    DeviceList list;
  } lists[] = {{"recording", DeviceList::kRecording}, {"video", DeviceList::kVideo}};
  for (const auto& entry : lists) {
    const cJSON* names = Member(request, entry.key);
    if (names == nullptr) continue;
    if (!cJSON_IsArray(names)) return ErrorLine(std::string(entry.key) + " must be an array");
    std::vector<std::string> made;
    const cJSON* item = nullptr;
    cJSON_ArrayForEach(item, names) {
      std::string name;
      if (!NameArg(item, name)) {
        return ErrorLine("a device name is a text or {\"fill\":\"<text>\",\"size\":<bytes>}");
      }
      made.push_back(std::move(name));
    }
    Sim::Get().state.SetDevices(entry.list, std::move(made));
  }
  return "";
}

std::string SetReply(const cJSON* request) {
  const std::string op = AsString(Member(request, "op"));
  if (!IsOperation(op)) return ErrorLine("unknown operation \"" + op + "\"");
  const cJSON* code = Member(request, "code");
  if (code != nullptr && !cJSON_IsNumber(code)) return ErrorLine("code must be a number");
  Sim::Get().state.SetReply(op, AsInt32(code, 0), Member(request, "out"));
  return "";
}

std::string NameList(const char* key, const std::vector<std::string>& names) {
  Json reply(cJSON_CreateObject());
  cJSON* array = cJSON_CreateArray();
  for (const auto& name : names) cJSON_AddItemToArray(array, MakeString(name));
  Put(reply.get(), key, array);
  return PrintJson(reply.get());
}

}  // namespace

std::string Control(const cJSON* request) {
  const std::string what = AsString(Member(request, "sim"));
  if (what == "reply") return SetReply(request);
  if (what == "devices") return SetDevices(request);
  if (what == "emit") {
    Json reply = Emit(request);
    return reply ? PrintJson(reply.get()) : "";
  }
  if (what == "wait") {
    ClassroomRelease();
    return TakePendingReplies();
  }
  if (what == "journal") {
    const cJSON* on = Member(request, "on");
    if (on != nullptr && !cJSON_IsBool(on)) return ErrorLine("on must be true or false");
    Json taken = Sim::Get().state.TakeJournal();
    if (on != nullptr) Sim::Get().state.SetJournaling(cJSON_IsTrue(on));
    return PrintJson(taken.get());
  }
  if (what == "classroom") {
    const bool on = AsBool(Member(request, "on"), true);
    Sim::Get().state.SetClassroom(on);
    ClassroomHold(on && AsBool(Member(request, "held"), false));
    if (!on) {
      Sim::Get().video.Stop();
      Sim::Get().playback.Stop();
    }
    return "";
  }
  if (what == "reset") {
    Sim::Get().video.Stop();
    Sim::Get().playback.Stop();
    TakePendingReplies();
    ClearLoopback();
    ClassroomReset();
    Sim::Get().state.Reset();
    return "";
  }
  if (what == "loopback") {
    SetLoopbackStarted(AsBool(Member(request, "on"), true));
    return "";
  }
  if (what == "stop") {
    Sim::Get().StopThreads();
    return "";
  }
  if (what == "operations") {
    return NameList("operations",
                    std::vector<std::string>(kOperationNames, kOperationNames + kOperationCount));
  }
  if (what == "events") return NameList("events", EventNames());
  return ErrorLine("unknown sim request \"" + what + "\"");
}

}  // namespace kv_sim

extern "C" char* kv_sim_control(const char* request) {
  std::string reply;
  try {
    kv_sim::Json parsed = kv_sim::ParseJson(request != nullptr ? request : "");
    if (!cJSON_IsObject(parsed.get())) {
      reply = kv_sim::ErrorLine("a sim request is one JSON object");
    } else {
      reply = kv_sim::Control(parsed.get());
    }
  } catch (const std::exception& e) {  // nothing throws across the library boundary
    reply = kv_sim::ErrorLine(std::string("sim failure: ") + e.what());
  }
  char* text = static_cast<char*>(std::malloc(reply.size() + 1));
  if (text != nullptr) std::memcpy(text, reply.c_str(), reply.size() + 1);
  return text;
}

extern "C" void kv_sim_free(char* text) { std::free(text); }
