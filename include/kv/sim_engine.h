// The simulated engine's own control interface. The simulated `engine` library implements every
// interface of engine.h and, beside them, this small C interface through which a host (the console
// host kv_host, a test, a Python script through ctypes) scripts what the engine answers and which
// events it raises, and reads back what kv_client asked of it.
//
// Requests and replies are JSON texts, one object each, in the "sim" line forms of
// docs/console.md: {"sim":"reply",...}, {"sim":"devices",...}, {"sim":"emit",...},
// {"sim":"journal"}, {"sim":"classroom",...}, {"sim":"reset"}, {"sim":"stop"}.
#pragma once

#include "kv/engine.h"  // KV_ENGINE_API

extern "C" {

// Runs one control request. Returns the reply as a JSON object text (a bad request
// gets {"error":"..."}), several such texts one per line, or an empty text for requests that
// answer nothing; null only when memory ran out. The caller frees the
// text with kv_sim_free. Safe from any thread; an "emit" request waits until the event has returned
// unless it says "wait":false.
KV_ENGINE_API char* kv_sim_control(const char* request);

// Frees a text from kv_sim_control; null is allowed.
KV_ENGINE_API void kv_sim_free(char* text);

}  // extern "C"
