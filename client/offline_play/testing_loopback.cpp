// Test support for programs built without the engine library: the loopback capture that the
// "engine." table starts and stops, doing nothing.
#include "kv/engine.h"

AudioLoopback* AudioLoopback::GetInstance() {
  static AudioLoopback instance;
  return &instance;
}
bool AudioLoopback::IsStarted() { return false; }
bool AudioLoopback::Start() { return false; }
bool AudioLoopback::Stop() { return false; }
std::mutex& AudioLoopback::AudioLoopMutex() { return mutex_; }
std::queue<int16_t*>& AudioLoopback::DataQueue() { return queue_; }
