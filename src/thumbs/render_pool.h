#pragma once
// Renders thumbnail jobs on worker threads, each with its own canvas, and hands the outcomes
// back by job index to the one thread that commits them in order.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "thumbs/create_thumb.h"

namespace vistrel::thumbs {

class RenderPool {
 public:
  RenderPool(int threads, const std::vector<ThumbJob>& jobs);
  // Waits for the job being rendered, if any; jobs not started are dropped.
  ~RenderPool();
  RenderPool(const RenderPool&) = delete;
  RenderPool& operator=(const RenderPool&) = delete;

  void submit(size_t index);
  // Waits for job `index`, which must have been submitted, and takes its outcome.
  ThumbOutcome take(size_t index);

  // renderThumbnail, with anything it throws turned into an outcome.
  static ThumbOutcome renderGuarded(const ThumbJob& job, imaging::cDIBSection& canvas);

 private:
  void work();

  const std::vector<ThumbJob>& jobs_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::deque<size_t> queue_;
  std::unordered_map<size_t, ThumbOutcome> finished_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace vistrel::thumbs
