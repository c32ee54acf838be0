// The catalogue against the code: every command of the bridge's name tables and every message it
// posts has its row in the catalogue (and so in docs/commands.md and the declarations), every
// engine callback the simulated engine raises is there with the messages it brings, and the
// catalogue holds nothing else.
#include "reference.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "recording_host.h"
#include "kv/sim_engine.h"
#include "method_names.h"

namespace {

using corvel_client::CommandTable;

std::string SimControl(const std::string& request) {
  char* reply = kv_sim_control(request.c_str());
  std::string text = reply != nullptr ? reply : "";
  kv_sim_free(reply);
  return text;
}

class RunAtOnce : public corvel::ICoreDispatcher {
 public:
  void Dispatch(corvel::IDispatchHanler* handler) override {
    if (handler != nullptr) handler->Run();
  }
};

// A missing or misspelt row in either direction fails here.
TEST(Reference, HoldsExactlyTheCommandsOfTheNameTables) {
  std::set<std::string> in_code;
  for (CommandTable table :
       {CommandTable::kEngine, CommandTable::kLive, CommandTable::kOfflinePlay}) {
    for (int i = 0; i < corvel_client::MethodCount(table); ++i) {
      in_code.insert(std::string(corvel_client::TablePrefix(table)) +
                     corvel_client::MethodName(table, i));
    }
  }
  std::set<std::string> in_reference;
  std::set<std::string> configs_used;
  for (const kv_host::CommandSpec& command : kv_host::Commands()) {
    EXPECT_TRUE(in_reference.insert(command.name).second) << "twice: " << command.name;
    for (const auto& arg : command.row->args) {
      if (arg.kind != kv_host::ArgKind::kConfig) continue;
      EXPECT_NE(kv_host::FindConfig(arg.config), nullptr) << command.name;
      configs_used.insert(arg.config);
    }
  }
  EXPECT_EQ(in_code, in_reference);
  for (const kv_host::ConfigSpec& config : kv_host::Configs()) {
    EXPECT_EQ(configs_used.count(config.name), 1u) << "no command reads " << config.name;
  }
}

// Raises every engine callback the simulated engine knows, one at a time, through the real bridge,
// and compares the names that reach the host (events, formatted calls, scripts) with the messages
// the catalogue says it brings; together they must be exactly the catalogue's messages.
TEST(Reference, HoldsExactlyTheCallbacksAndMessagesTheBridgePosts) {
  namespace catalogue = corvel_client::catalogue;
  // Never destroyed: the bridge keeps both pointers until the process ends.
  static auto* host = new corvel_client::testing::RecordingHost();
  static auto* dispatcher = new RunAtOnce();
  ASSERT_EQ(corvel::Init(host, dispatcher), 0);

  cJSON* list = cJSON_Parse(SimControl("{\"sim\":\"events\"}").c_str());
  const cJSON* events = cJSON_GetObjectItemCaseSensitive(list, "events");
  ASSERT_TRUE(cJSON_IsArray(events));
  std::vector<std::string> simulated;
  const cJSON* event = nullptr;
  cJSON_ArrayForEach(event, events) simulated.emplace_back(event->valuestring);
  cJSON_Delete(list);
  std::vector<std::string> in_catalogue;
  for (const catalogue::CallbackRow& callback : catalogue::kCallbacks) {
    in_catalogue.emplace_back(callback.name);
  }
  EXPECT_EQ(simulated, in_catalogue);

  // Arguments where the defaults post nothing. A packed frame needs a stream that has had a
  // planar frame, so the planar one goes first.
  const std::vector<std::pair<std::string, std::string>> first = {
      {"OnGetVideoData", "[0,4,2,0,0,0]"},
      {"OnVideoData", "[0,12,4,2,0,0,0]"},
      {"GetStorageData", "[\"segment\"]"},
  };
  std::vector<std::pair<std::string, std::string>> emits = first;
  for (const std::string& name : simulated) {
    bool done = false;
    for (const auto& emit : first) done = done || emit.first == name;
    if (!done) emits.emplace_back(name, "[]");
  }

  std::set<std::string> posted_by_all;
  for (const auto& emit : emits) {
    host->Clear();
    SimControl(R"({"sim":"emit","event":")" + emit.first + R"(","args":)" + emit.second + "}");
    std::set<std::string> posted;
    for (const auto& raw : host->RawEvents()) posted.insert(raw.name);
    for (const std::wstring& call : host->Formatted()) {
      posted.insert(std::string(call.begin(), call.begin() + call.find(L'(')));
    }
    for (const std::string& script : host->Scripts()) {
      posted.insert(script.substr(0, script.find('(')));
    }
    std::set<std::string> brings;
    for (const catalogue::CallbackRow& callback : catalogue::kCallbacks) {
      if (emit.first != callback.name) continue;
      for (const catalogue::Message message : callback.brings) {
        if (message != catalogue::kNoMessage) brings.insert(catalogue::MessageName(message));
      }
    }
    EXPECT_EQ(posted, brings) << emit.first;
    posted_by_all.insert(posted.begin(), posted.end());
  }
  SimControl(R"({"sim":"stop"})");
  host->Clear();

  std::set<std::string> in_reference;
  for (const catalogue::MessageRow& message : catalogue::kMessages) {
    in_reference.insert(message.name);
  }
  EXPECT_EQ(posted_by_all, in_reference);
}

}  // namespace
