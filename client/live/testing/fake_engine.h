// A scripted stand-in for the engine library, for unit tests of the live commands: it implements
// the engine's exported functions and interfaces, notes every call kv_client makes in a journal,
// and answers with codes the test sets. Built as its own shared library so that kv_client reaches
// it exactly as it reaches the real engine.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "kv/engine.h"

namespace kv_fake {

struct FakeEngineControl {
  // Answers. An operation not in `codes` answers 0.
  bool createFails = false;
  bool noLiveInterface = false;
  std::map<std::string, int> codes;  // by operation name, e.g. "EnterRoom"
  uint32_t outputLevel = 0;
  uint32_t speakerVolume = 0;
  bool quiet = false;  // keep no journal (benchmarks run millions of calls)

  // What kv_client did. Calls read "Operation" or "Operation(arguments)".
  std::vector<std::string> calls;
  corvel::EnterRoomConfig lastConfig;
  std::vector<corvel::Point> lastPoints;
  std::vector<int32_t> lastOptions;
  corvel::ICoreDispatcher* dispatcher = nullptr;
  int enginesAlive = 0;
  int liveInterfacesHeld = 0;  // taken and not released
  int deviceInterfacesHeld = 0;
};

// The one control block; ResetFake clears it (engines must all be deleted by then).
KV_ENGINE_API FakeEngineControl& Fake();
KV_ENGINE_API void ResetFake();

}  // namespace kv_fake
