// The reference against the code: every command of the bridge's name tables and every message it
// posts has its row in docs/commands.md's table, and the table holds nothing else.
#include "reference.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "engine/recording_host.h"
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
  for (const kv_host::CommandSpec& command : kv_host::Commands()) {
    EXPECT_TRUE(in_reference.insert(command.name).second) << "twice: " << command.name;
    if (command.config != nullptr) {
      EXPECT_NE(kv_host::FindConfig(command.config), nullptr) << command.name;
    }
  }
  EXPECT_EQ(in_code, in_reference);
}

// Raises every engine callback the simulated engine knows through the real bridge and compares
// the names that reach the host (events, formatted calls, scripts) with the reference.
TEST(Reference, HoldsExactlyTheMessagesTheBridgePosts) {
  // Never destroyed: the bridge keeps both pointers until the process ends.
  static auto* host = new corvel_client::testing::RecordingHost();
  static auto* dispatcher = new RunAtOnce();
  ASSERT_EQ(corvel::Init(host, dispatcher), 0);

  cJSON* list = cJSON_Parse(SimControl("{\"sim\":\"events\"}").c_str());
  const cJSON* events = cJSON_GetObjectItemCaseSensitive(list, "events");
  ASSERT_TRUE(cJSON_IsArray(events));
  // A packed frame needs a stream that has had a planar frame, so the planar one goes first.
  std::vector<std::string> emits = {
      R"({"sim":"emit","event":"OnGetVideoData","args":[0,4,2,0,0,0]})",
      R"({"sim":"emit","event":"OnVideoData","args":[0,12,4,2,0,0,0]})",
      R"({"sim":"emit","event":"GetStorageData","args":["segment"]})",
  };
  const cJSON* event = nullptr;
  cJSON_ArrayForEach(event, events) {
    emits.push_back(std::string(R"({"sim":"emit","event":")") + event->valuestring + "\"}");
  }
  cJSON_Delete(list);
  for (const std::string& emit : emits) SimControl(emit);
  SimControl(R"({"sim":"stop"})");

  std::set<std::string> posted;
  for (const auto& raw : host->RawEvents()) posted.insert(raw.name);
  for (const std::wstring& call : host->Formatted()) {
    posted.insert(std::string(call.begin(), call.begin() + call.find(L'(')));
  }
  for (const std::string& script : host->Scripts())
    posted.insert(script.substr(0, script.find('(')));

  std::set<std::string> in_reference;
  for (const kv_host::MessageSpec& message : kv_host::Messages()) in_reference.insert(message.name);
  EXPECT_EQ(posted, in_reference);
}

}  // namespace
