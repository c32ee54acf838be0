// AudioLoopback as the simulated engine serves it: the block queue is filled by scripted events
// ({"sim":"emit","event":"OnRecordAudio",...,"loopback":[...]}), never by a real capture.
#include <atomic>

#include "loopback.h"
#include "sim.h"

namespace {
std::atomic<bool> g_started{false};
thread_local bool t_quiet = false;  // the simulator's own use is not kv_client's: not journaled

// Journals kv_client's call and returns its scripted code (0 unless scripted).
int Journal(const char* op) { return t_quiet ? 0 : kv_sim::Call(op, kv_sim::Args({})).code; }
}  // namespace

AudioLoopback* AudioLoopback::GetInstance() {
  static AudioLoopback* instance = new AudioLoopback();  // lives as long as the process
  Journal("AudioLoopback.GetInstance");
  return instance;
}

bool AudioLoopback::IsStarted() {
  Journal("AudioLoopback.IsStarted");
  return g_started;
}

// A scripted negative code makes the capture fail to start.
bool AudioLoopback::Start() {
  if (Journal("AudioLoopback.Start") < 0) return false;
  g_started = true;
  return true;
}

bool AudioLoopback::Stop() {
  Journal("AudioLoopback.Stop");
  g_started = false;
  return true;
}

std::mutex& AudioLoopback::AudioLoopMutex() {
  Journal("AudioLoopback.AudioLoopMutex");
  return mutex_;
}

std::queue<int16_t*>& AudioLoopback::DataQueue() {
  Journal("AudioLoopback.DataQueue");
  return queue_;
}

namespace kv_sim {

void SetLoopbackStarted(bool on) { g_started = on; }

void PushLoopbackBlock(int16_t* block) {
  t_quiet = true;
  AudioLoopback* loopback = AudioLoopback::GetInstance();
  {
    std::lock_guard<std::mutex> lock(loopback->AudioLoopMutex());
    loopback->DataQueue().push(block);
  }
  t_quiet = false;
}

size_t LoopbackQueueLength() {
  t_quiet = true;
  AudioLoopback* loopback = AudioLoopback::GetInstance();
  size_t length = 0;
  {
    std::lock_guard<std::mutex> lock(loopback->AudioLoopMutex());
    length = loopback->DataQueue().size();
  }
  t_quiet = false;
  return length;
}

void ClearLoopback() {
  t_quiet = true;
  AudioLoopback* loopback = AudioLoopback::GetInstance();
  {
    std::lock_guard<std::mutex> lock(loopback->AudioLoopMutex());
    auto& queue = loopback->DataQueue();
    while (!queue.empty()) {
      delete[] queue.front();
      queue.pop();
    }
  }
  t_quiet = false;
}

}  // namespace kv_sim
