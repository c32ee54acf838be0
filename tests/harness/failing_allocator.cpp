#include "failing_allocator.h"

#include <cstdlib>
#include <new>

namespace {

thread_local int t_countdown = -1;  // allocations before the failing one; -1: disarmed
thread_local bool t_failed = false;

void* Allocate(std::size_t size) {
  if (t_countdown >= 0 && t_countdown-- == 0) {
    t_failed = true;
    throw std::bad_alloc();
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* AllocateOrNull(std::size_t size) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

namespace corvel_client::testing {

void FailAllocation(int skip) {
  t_failed = false;
  t_countdown = skip;
}

bool DisarmAllocationFailure() {
  t_countdown = -1;
  return t_failed;
}

}  // namespace corvel_client::testing

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
