// A minimal AudioLoopback and g_mic_sample_rate for builds without the engine library: a queue
// that only tests fill. The engine library's own implementation replaces it when it is built.
#include <atomic>

#include "kv/engine.h"

namespace corvel {
uint32_t g_mic_sample_rate = 0;
}

namespace {
std::atomic<bool> g_started{false};
}

AudioLoopback* AudioLoopback::GetInstance() {
  static AudioLoopback instance;
  return &instance;
}

bool AudioLoopback::IsStarted() { return g_started.load(); }

bool AudioLoopback::Start() {
  g_started = true;
  return true;
}

bool AudioLoopback::Stop() {
  g_started = false;
  std::lock_guard<std::mutex> lock(mutex_);
  while (!queue_.empty()) {
    delete[] queue_.front();
    queue_.pop();
  }
  return true;
}

std::mutex& AudioLoopback::AudioLoopMutex() { return mutex_; }

std::queue<int16_t*>& AudioLoopback::DataQueue() { return queue_; }
