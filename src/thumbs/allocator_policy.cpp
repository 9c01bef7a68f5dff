#include "thumbs/allocator_policy.h"

#include <malloc.h>

namespace vistrel::thumbs {

namespace {

constexpr int64_t kTrimAfter = int64_t{64} << 20;

}  // namespace

ReusedLargeBlocks::ReusedLargeBlocks() {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

ReusedLargeBlocks::~ReusedLargeBlocks() {
  mallopt(M_MMAP_THRESHOLD, 128 << 10);
  mallopt(M_TRIM_THRESHOLD, 128 << 10);
  malloc_trim(0);
}

void afterDecode(int64_t bytes) {
  if (bytes >= kTrimAfter) {
    malloc_trim(0);
  }
}

}  // namespace vistrel::thumbs
