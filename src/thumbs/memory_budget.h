#pragma once
// One memory budget for every decode of a run, so that the run's peak memory does not grow with
// the number of cores: a worker takes its share before it decodes and waits while the budget is
// spent.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

#include "imaging/picture.h"

namespace vistrel::thumbs {

class MemoryBudget {
 public:
  explicit MemoryBudget(int64_t total) : total_(total) {}
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

  // Takes `bytes`, waiting until they are free. Nothing when taken; the refusal at once when
  // `bytes` is more than the whole budget (then waiting would never end).
  std::optional<imaging::MemoryRefusal> reserve(int64_t bytes);
  void release(int64_t bytes);

  int64_t total() const { return total_; }
  // The most ever taken at once: what the budget's own accounting says the decodes needed.
  int64_t peak() const;

 private:
  const int64_t total_;
  mutable std::mutex mutex_;
  std::condition_variable freed_;
  int64_t taken_ = 0;
  int64_t peak_ = 0;
};

// The smaller of 1 GiB and a quarter of the machine's memory.
int64_t defaultMemoryBudget();

}  // namespace vistrel::thumbs
