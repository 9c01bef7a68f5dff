#include "thumbs/memory_budget.h"

#include <unistd.h>

#include <algorithm>

namespace vistrel::thumbs {

std::optional<imaging::MemoryRefusal> MemoryBudget::reserve(int64_t bytes) {
  if (bytes > total_) {
    return imaging::MemoryRefusal{bytes, total_};
  }
  std::unique_lock lock(mutex_);
  freed_.wait(lock, [&] { return taken_ + bytes <= total_; });
  taken_ += bytes;
  peak_ = std::max(peak_, taken_);
  return std::nullopt;
}

void MemoryBudget::release(int64_t bytes) {
  {
    std::lock_guard lock(mutex_);
    taken_ -= bytes;
  }
  freed_.notify_all();
}

int64_t MemoryBudget::peak() const {
  std::lock_guard lock(mutex_);
  return peak_;
}

int64_t defaultMemoryBudget() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGE_SIZE);
  const int64_t oneGiB = int64_t{1} << 30;
  if (pages <= 0 || pageSize <= 0) {
    return oneGiB;
  }
  return std::min(oneGiB, int64_t{pages} * pageSize / 4);
}

}  // namespace vistrel::thumbs
