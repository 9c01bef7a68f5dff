#include "thumbs/render_pool.h"

namespace vistrel::thumbs {

RenderPool::RenderPool(int threads, const std::vector<ThumbJob>& jobs) : jobs_(jobs) {
  for (int t = 0; t < threads; ++t) {
    threads_.emplace_back([this] { work(); });
  }
}

RenderPool::~RenderPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (auto& thread : threads_) {
    thread.join();
  }
}

void RenderPool::submit(size_t index) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(index);
  }
  wake_.notify_one();
}

ThumbOutcome RenderPool::take(size_t index) {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] { return finished_.count(index) != 0; });
  auto outcome = std::move(finished_.at(index));
  finished_.erase(index);
  return outcome;
}

void RenderPool::work() {
  imaging::cDIBSection canvas;
  for (;;) {
    size_t index = 0;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (stopping_) {
        return;
      }
      index = queue_.front();
      queue_.pop_front();
    }
    ThumbOutcome outcome = renderGuarded(jobs_[index], canvas);
    {
      std::lock_guard lock(mutex_);
      finished_.emplace(index, std::move(outcome));
    }
    done_.notify_all();
  }
}

ThumbOutcome RenderPool::renderGuarded(const ThumbJob& job, imaging::cDIBSection& canvas) {
  try {
    return renderThumbnail(job, canvas);
  } catch (...) {
    ThumbOutcome failed;
    failed.problem = {{}, ProblemKind::ThumbnailNotWritten, {}, Cause::Unexpected};
    return failed;
  }
}

}  // namespace vistrel::thumbs
