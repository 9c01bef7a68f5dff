#pragma once
// How the batch uses the allocator, in one place: large decode buffers are reused across a run,
// and a worker hands back what a very large decode left in its arena.

#include <cstdint>

namespace vistrel::thumbs {

// Decoding a large JPEG allocates and zeroes tens of megabytes per picture. By default the
// allocator hands blocks that large out as fresh mappings and returns them at once, so every
// picture pays the page faults again (a third of the batch's processor time on photos). While
// this lives, blocks up to 32 MB stay in the heap and are reused; afterwards the thresholds are
// fixed at the allocator's starting values and the free memory is returned. The default
// behaviour does not come back: once M_MMAP_THRESHOLD is set, the allocator no longer raises its
// thresholds by itself for the rest of the process, so between runs every block from 128 KB up
// is a fresh mapping.
class ReusedLargeBlocks {
 public:
  ReusedLargeBlocks();
  ~ReusedLargeBlocks();
  ReusedLargeBlocks(const ReusedLargeBlocks&) = delete;
  ReusedLargeBlocks& operator=(const ReusedLargeBlocks&) = delete;
};

// Called by a worker when it lets go of a decode's memory. Each worker frees into an allocator
// arena of its own, which keeps what it got back for the thread's next picture; after a large
// decode that memory would stay counted against the machine but not against the budget, so it
// is handed back. Decodes this large are rare (photos of 40 megapixels and more) and take far
// longer than the trim does.
void afterDecode(int64_t bytes);

}  // namespace vistrel::thumbs
