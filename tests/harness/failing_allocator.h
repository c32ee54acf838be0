// Test support: fails one chosen operator-new allocation of the calling thread with
// std::bad_alloc, so that a test can walk every allocation point of a command. A test program
// that links failing_allocator.cpp has its global allocation functions replaced by it (plain
// malloc and free otherwise); malloc itself, and so cJSON, never fails.
#pragma once

namespace corvel_client::testing {

// The allocation `skip` allocations from now on this thread (0: the next one) throws.
void FailAllocation(int skip);
// Disarms; returns whether the armed failure happened.
bool DisarmAllocationFailure();

// Runs `run` with its first allocation failing, then its second, and so on, and a last time when
// it no longer reaches the failing one. After each run, with the allocator disarmed, calls
// check(failed, escaped): whether the allocation failed and whether an exception left `run`.
template <class Run, class Check>
void ForEachAllocationFailure(Run run, Check check) {
  for (int skip = 0;; ++skip) {
    bool escaped = false;
    FailAllocation(skip);
    try {
      run();
    } catch (...) {
      escaped = true;
    }
    const bool failed = DisarmAllocationFailure();
    check(failed, escaped);
    if (!failed) return;
  }
}

}  // namespace corvel_client::testing
