#include "thumbs/make_thumbnails.h"

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "browse/file_size.h"
#include "common/numbers.h"
#include "imaging/dib_section.h"
#include "thumbs/create_thumb.h"
#include "thumbs/prefix_check.h"

namespace vistrel {

namespace fs = std::filesystem;

namespace {

// Renders thumbnails on worker threads, each with its own canvas, and hands the outcomes back
// by picture index to the one thread that commits them.
class RenderPool {
 public:
  RenderPool(int threads, const std::vector<ThumbJob>& jobs) : jobs_(jobs) {
    for (int t = 0; t < threads; ++t) {
      threads_.emplace_back([this] { work(); });
    }
  }
  ~RenderPool() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (auto& thread : threads_) {
      thread.join();
    }
  }
  RenderPool(const RenderPool&) = delete;
  RenderPool& operator=(const RenderPool&) = delete;

  void submit(size_t index) {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(index);
    }
    wake_.notify_one();
  }

  ThumbOutcome take(size_t index) {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return finished_.count(index) != 0; });
    auto outcome = std::move(finished_.at(index));
    finished_.erase(index);
    return outcome;
  }

 private:
  void work() {
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

 public:
  static ThumbOutcome renderGuarded(const ThumbJob& job, imaging::cDIBSection& canvas) {
    try {
      return renderThumbnail(job, canvas);
    } catch (...) {
      ThumbOutcome failed;
      failed.reason = "an unexpected error stopped its thumbnail";
      return failed;
    }
  }

 private:
  const std::vector<ThumbJob>& jobs_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::deque<size_t> queue_;
  std::unordered_map<size_t, ThumbOutcome> finished_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// Case-blind key for names that may be the same file on a file system that ignores case.
std::string nameKey(std::string_view name) {
  std::string key(name);
  std::transform(key.begin(), key.end(), key.begin(), [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return key;
}

bool fileStands(const fs::path& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

void removeQuietly(const fs::path& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

}  // namespace

std::string batchStatus(int number, int count) {
  return "Processing images...     (" + decimalText(number) + " of " + decimalText(count) + ")";
}

BatchResult MakeThumbnails(const BatchSettings& settings, ProgressDisplay& progress) {
  if (auto problem = prefixProblem(settings.prefix)) {
    throw std::invalid_argument(*problem);
  }
  BatchResult result;
  const int count =
      std::clamp<int>(settings.ImageCount, 0, static_cast<int>(settings.pictureNames.size()));
  const int16_t step = ProgressStep(progress.trackWidth(), count);
  if (count == 0) {
    return result;
  }

  // Names are fixed for the whole run: the thumbnail of each picture, a temporary name for it,
  // and which earlier picture (if any) writes a thumbnail over this one's source, which must
  // then be read only after that thumbnail is in place, as a one-at-a-time run would read it.
  std::vector<ThumbJob> jobs(count);
  std::vector<std::string> targets(count);
  std::vector<std::string> targets2x(count);
  std::vector<int> mustFollow(count, -1);
  std::unordered_map<std::string, int> lastWriter;
  const std::string tempStem = ".vistrel-thumb-" + std::to_string(::getpid()) + "-";
  for (int i = 0; i < count; ++i) {
    const auto& name = settings.pictureNames[i];
    targets[i] = thumbnailName(settings.prefix, name);
    auto& job = jobs[i];
    job.source = settings.folder / name;
    job.output = settings.folder / (tempStem + std::to_string(i) + ".tmp");
    job.largestWidth = settings.largestWidth;
    job.largestHeight = settings.largestHeight;
    job.quality = settings.quality;
    job.twipsPerPixelX = settings.twipsPerPixelX;
    job.twipsPerPixelY = settings.twipsPerPixelY;
    if (const auto writer = lastWriter.find(nameKey(name)); writer != lastWriter.end()) {
      mustFollow[i] = writer->second;
    }
    lastWriter[nameKey(targets[i])] = i;
  }
  if (settings.make2x) {
    // A 2x name that is a picture's or another 1x thumbnail's ("a@2x.jpg" beside "a.jpg")
    // would overwrite it, so that picture goes without.
    std::unordered_map<std::string, int> taken;
    for (const auto& name : settings.pictureNames) {
      taken[nameKey(name)] = 1;
    }
    for (const auto& target : targets) {
      taken[nameKey(target)] = 1;
    }
    for (int i = 0; i < count; ++i) {
      const std::string name2x = thumbnail2xName(settings.prefix, settings.pictureNames[i]);
      if (taken.count(nameKey(name2x)) == 0 &&
          !(settings.prefix.empty() && fileStands(settings.folder / name2x))) {
        targets2x[i] = name2x;
        jobs[i].output2x = settings.folder / (tempStem + std::to_string(i) + "-2x.tmp");
      }
    }
  }

  // With an empty prefix a thumbnail is named like a picture (its own, or x.jpg for x.gif).
  const bool guardPictures = settings.prefix.empty();
  auto wouldReplacePicture = [&](int i) {
    return guardPictures && fileStands(settings.folder / targets[i]);
  };
  auto replaceReason = [&](int i) {
    return "its thumbnail would replace the picture " + targets[i] +
           "; choose a prefix for the thumbnails";
  };

  int workers = settings.workers > 0 ? settings.workers
                                     : static_cast<int>(std::thread::hardware_concurrency());
  workers = std::clamp(workers, 1, count);
  // A few pictures per worker keep every core busy while the commits wait in order; more
  // would only park finished thumbnails on disk.
  const int window = 4 * workers;

  std::vector<char> rendered(count, 0);  // submitted to the pool, so a temporary may exist
  int nextSubmit = 0;
  // Temporaries of pictures not yet committed are removed however the batch ends.
  struct TempSweeper {
    const std::vector<ThumbJob>& jobs;
    const std::vector<char>& rendered;
    int committed = 0;
    ~TempSweeper() {
      for (size_t i = committed; i < jobs.size(); ++i) {
        if (rendered[i]) {
          removeQuietly(jobs[i].output);
          removeQuietly(jobs[i].output2x);
        }
      }
    }
  } sweeper{jobs, rendered};
  // Declared after the sweeper, so that the workers have stopped before it looks for files.
  std::optional<RenderPool> pool;
  imaging::cDIBSection ownCanvas;
  if (workers > 1) {
    pool.emplace(workers, jobs);
  }

  for (int i = 0; i < count; ++i) {
    if (pool) {
      while (nextSubmit < count && nextSubmit < i + window && mustFollow[nextSubmit] < i) {
        if (!wouldReplacePicture(nextSubmit)) {
          rendered[nextSubmit] = 1;
          pool->submit(static_cast<size_t>(nextSubmit));
        }
        ++nextSubmit;
      }
    }
    progress.setStatus(batchStatus(i + 1, count));

    const auto& name = settings.pictureNames[i];
    const auto target = settings.folder / targets[i];
    ThumbOutcome outcome;
    bool placed = false;  // the thumbnail is in place under its own name
    if (!pool) {
      if (!wouldReplacePicture(i)) {
        rendered[i] = 1;
        outcome = RenderPool::renderGuarded(jobs[i], ownCanvas);
      }
    } else if (rendered[i]) {
      outcome = pool->take(static_cast<size_t>(i));
    }
    if (outcome.size.X != 0) {
      result.last = outcome.size;
    }

    if (!rendered[i] || wouldReplacePicture(i)) {
      result.problems.push_back({name, replaceReason(i)});
    } else if (!outcome.ok) {
      result.problems.push_back({name, outcome.reason});
    } else {
      std::error_code sizeError;
      std::error_code renameError;
      const auto length = fs::file_size(jobs[i].source, sizeError);
      const bool has2x = !targets2x[i].empty();
      if (!sizeError && has2x) {
        fs::rename(jobs[i].output2x, settings.folder / targets2x[i], renameError);
      }
      if (!sizeError && !renameError) {
        fs::rename(jobs[i].output, target, renameError);
      }
      if (sizeError) {
        result.problems.push_back({name, "its size cannot be read: " + sizeError.message()});
      } else if (renameError) {
        result.problems.push_back(
            {name, "its thumbnail " + targets[i] +
                       " could not be put in place: " + renameError.message()});
      } else {
        placed = true;
        ThumbInfo info;
        info.FileName = name;
        info.FileSize = FormatFileSize(static_cast<long long>(length));
        info.Width = outcome.size.X;
        info.Height = outcome.size.Y;
        info.PictureWidth = outcome.pictureWidth;
        info.PictureHeight = outcome.pictureHeight;
        info.Has2x = has2x;
        result.thumbs.push_back(std::move(info));
      }
    }
    if (rendered[i] && !placed) {
      removeQuietly(jobs[i].output);
      removeQuietly(jobs[i].output2x);
    }
    sweeper.committed = i + 1;
    growFill(progress, step);
  }
  return result;
}

}  // namespace vistrel
