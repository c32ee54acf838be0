// The simulator's own access to AudioLoopback's block queue (not journaled).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv_sim {

// Appends a block made with corvel::NewLoopbackBlock; the queue owns it from then on.
void PushLoopbackBlock(int16_t* block);
size_t LoopbackQueueLength();
// Starts or stops the capture as the engine would on its own (tests of mixing without a device).
void SetLoopbackStarted(bool on);
// Frees every queued block (the started flag stays kv_client's).
void ClearLoopback();

}  // namespace kv_sim
