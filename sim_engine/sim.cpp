#include "sim.h"

namespace kv_sim {

Sim& Sim::Get() {
  // Never destroyed: engine threads and late callers (static destructors of the host or of
  // kv_client) may still reach it while the process ends. kv_sim_control "stop" joins threads.
  static Sim* sim = new Sim();
  return *sim;
}

void Sim::StopThreads() {
  video.Stop();
  playback.Stop();
  events.Stop();
}

void Sim::ForgetPointers() {
  callback = nullptr;
  media = nullptr;
  storage = nullptr;
  dispatcher = nullptr;
}

}  // namespace kv_sim
