#include "thumbs/allocator_policy.h"

#include <malloc.h>

#include <mutex>

namespace vistrel::thumbs {

namespace {

constexpr int64_t kTrimAfter = int64_t{64} << 20;

// Under a sanitizer the allocator is the sanitizer's: glibc's own is never set up, and tuning it
// from several threads at once sets it up twice.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kTuned = false;
#else
constexpr bool kTuned = true;
#endif

// Albums run side by side, each with its batch: the thresholds are set by the first batch and
// put back by the last, never under one still running.
std::mutex runningMutex;
int running = 0;

}  // namespace

ReusedLargeBlocks::ReusedLargeBlocks() {
  const std::lock_guard lock(runningMutex);
  if (running++ == 0 && kTuned) {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
  }
}

ReusedLargeBlocks::~ReusedLargeBlocks() {
  const std::lock_guard lock(runningMutex);
  if (--running == 0 && kTuned) {
    mallopt(M_MMAP_THRESHOLD, 128 << 10);
    mallopt(M_TRIM_THRESHOLD, 128 << 10);
    malloc_trim(0);
  }
}

void afterDecode(int64_t bytes) {
  if (bytes >= kTrimAfter && kTuned) {
    malloc_trim(0);
  }
}

}  // namespace vistrel::thumbs
