#include "thumbs/make_thumbnails.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

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
#include <unordered_set>

#include "browse/file_size.h"
#include "common/numbers.h"
#include "common/whole_file.h"
#include "imaging/dib_section.h"
#include "imaging/thumb_record.h"
#include "thumbs/create_thumb.h"
#include "thumbs/memory_budget.h"
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

void removeQuietly(const fs::path& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

std::string systemReason(int error) {
  return std::system_category().message(error);
}

// What the batch does with one picture, decided before any thumbnail is made.
enum class Plan {
  Skip,     // a problem was found already
  Keep,     // its thumbnail is up to date
  Create,   // no file has the thumbnail's name
  Replace,  // a thumbnail of ours is there but out of date or damaged
};

// A failure of the disk rather than of the picture: every later thumbnail, and the pages, would
// fail alike, and going on would only replace more of the earlier gallery.
bool isDiskFailure(int error) {
  return error == ENOSPC || error == EDQUOT || error == EROFS || error == EIO;
}

std::string takenReason(const std::string& target) {
  return "its thumbnail's name " + target +
         " is taken by a file that is not a thumbnail of Vistrel's, which was left as it is; "
         "choose another prefix";
}

// Renames `from` to `to` only while no file has the name `to`, so a file that appeared there
// during the run is never replaced. Returns 0 or the system's error number (EEXIST when taken).
int renameNoReplace(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return errno;
  }
  // A file system without the flag: a hard link fails on a taken name just as well.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  if (errno == EEXIST) {
    return EEXIST;
  }
  std::error_code ec;
  if (fs::exists(fs::symlink_status(to, ec))) {
    return EEXIST;
  }
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
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

  // Every picture's plan is fixed before the first thumbnail is made: its thumbnail's name, the
  // picture's size and time (recorded in the thumbnail), and whether the thumbnail that stands
  // there is kept, replaced or must not be touched.
  std::vector<ThumbJob> jobs(count);
  std::vector<std::string> targets(count);
  std::vector<Plan> plans(count, Plan::Create);
  std::vector<std::string> planProblems(count);
  std::vector<imaging::ThumbRecord> keptRecords(count);
  std::unordered_map<std::string, int> claimedBy;
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
    job.record.sourceName = name;

    const auto [claim, first] = claimedBy.emplace(nameKey(targets[i]), i);
    if (!first) {
      plans[i] = Plan::Skip;
      planProblems[i] = "its thumbnail " + targets[i] + " is the thumbnail of " +
                        settings.pictureNames[claim->second] + "; rename one of the two pictures";
    }
  }
  // Looking at the pictures and the thumbnails already there is a few system calls a picture,
  // most of the time of a run that finds everything up to date, so it is shared out too.
  auto planPicture = [&](int i) {
    auto& job = jobs[i];
    struct stat source {};
    if (::stat(job.source.c_str(), &source) != 0) {
      plans[i] = Plan::Skip;
      planProblems[i] = systemReason(errno);
      return;
    }
    if (!S_ISREG(source.st_mode)) {
      plans[i] = Plan::Skip;
      planProblems[i] = "not a regular file";
      return;
    }
    job.record.sourceSize = static_cast<uint64_t>(source.st_size);
    job.record.sourceMtimeNs =
        static_cast<int64_t>(source.st_mtim.tv_sec) * 1000000000 + source.st_mtim.tv_nsec;

    const auto mark = imaging::readThumbMark(settings.folder / targets[i], true);
    if (!mark.exists) {
      return;  // Create
    }
    if (mark.mark == imaging::ThumbMark::None) {
      plans[i] = Plan::Skip;
      planProblems[i] = takenReason(targets[i]);
      return;
    }
    plans[i] = Plan::Replace;
    if (mark.mark == imaging::ThumbMark::Ours && !settings.rebuild) {
      imaging::ThumbRecord wanted = job.record;
      wanted.largestWidth = job.largestWidth;
      wanted.largestHeight = job.largestHeight;
      wanted.quality = job.quality;
      wanted.twipsPerPixelX = job.twipsPerPixelX;
      wanted.twipsPerPixelY = job.twipsPerPixelY;
      wanted.width = mark.record.width;
      wanted.height = mark.record.height;
      if (mark.record == wanted && wanted.width > 0 && wanted.height > 0) {
        plans[i] = Plan::Keep;
        keptRecords[i] = mark.record;
      }
    }
  };
  int workers = settings.workers > 0 ? settings.workers
                                     : static_cast<int>(std::thread::hardware_concurrency());
  workers = std::clamp(workers, 1, count);
  {
    std::vector<std::thread> planners;
    for (int t = 0; t < workers; ++t) {
      planners.emplace_back([&, t] {
        for (int i = t; i < count; i += workers) {
          if (plans[i] != Plan::Skip) {
            planPicture(i);
          }
        }
      });
    }
    for (auto& planner : planners) {
      planner.join();
    }
  }
  auto needsRender = [&](int i) { return plans[i] == Plan::Create || plans[i] == Plan::Replace; };
  MemoryBudget budget(settings.memoryBudget > 0 ? settings.memoryBudget : defaultMemoryBudget());
  for (auto& job : jobs) {
    job.budget = &budget;
  }
  if (settings.afterPlanning) {
    settings.afterPlanning();
  }

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
      while (nextSubmit < count && nextSubmit < i + window) {
        if (needsRender(nextSubmit)) {
          rendered[nextSubmit] = 1;
          pool->submit(static_cast<size_t>(nextSubmit));
        }
        ++nextSubmit;
      }
    }
    progress.setStatus(batchStatus(i + 1, count));

    const auto& name = settings.pictureNames[i];
    const auto target = settings.folder / targets[i];
    if (plans[i] == Plan::Skip) {
      result.problems.push_back({name, planProblems[i]});
    } else if (plans[i] == Plan::Keep) {
      const auto& record = keptRecords[i];
      result.last = {static_cast<int16_t>(record.width), static_cast<int16_t>(record.height)};
      result.thumbs.push_back({static_cast<int16_t>(record.width),
                               static_cast<int16_t>(record.height), name,
                               FormatFileSize(static_cast<long long>(record.sourceSize))});
      result.current.push_back(targets[i]);
      ++result.kept;
    } else {
      ThumbOutcome outcome;
      if (!pool) {
        rendered[i] = 1;
        outcome = RenderPool::renderGuarded(jobs[i], ownCanvas);
      } else {
        outcome = pool->take(static_cast<size_t>(i));
      }
      if (outcome.size.X != 0) {
        result.last = outcome.size;
      }
      bool placed = false;
      if (!outcome.ok) {
        result.problems.push_back({name, outcome.reason});
        result.stoppedByDisk = isDiskFailure(outcome.osError);
      } else {
        int error = 0;
        if (plans[i] == Plan::Create) {
          error = renameNoReplace(jobs[i].output, target);
        } else if (imaging::readThumbMark(target).mark == imaging::ThumbMark::None &&
                   fs::exists(fs::symlink_status(target))) {
          error = EEXIST;  // a file of the user's took the name during the run
        } else {
          try {
            putInPlace(jobs[i].output, target);
          } catch (const std::system_error& e) {
            error = e.code().value();
          }
        }
        if (error == EEXIST) {
          result.problems.push_back({name, takenReason(targets[i])});
        } else if (error != 0) {
          result.problems.push_back(
              {name, "its thumbnail " + targets[i] +
                         " could not be put in place: " + systemReason(error)});
        } else {
          placed = true;
          result.thumbs.push_back({outcome.size.X, outcome.size.Y, name,
                                   FormatFileSize(static_cast<long long>(outcome.stamp.size))});
          result.current.push_back(targets[i]);
          ++result.made;
        }
      }
      if (!placed) {
        removeQuietly(jobs[i].output);
      }
    }
    sweeper.committed = i + 1;
    growFill(progress, step);
    if (result.stoppedByDisk) {
      break;
    }
  }
  pool.reset();
  result.memoryPeak = budget.peak();
  return result;
}

int removeLeftoverThumbnails(const BatchSettings& settings, const std::vector<std::string>& current,
                             std::vector<RunProblem>& problems) {
  const int count =
      std::clamp<int>(settings.ImageCount, 0, static_cast<int>(settings.pictureNames.size()));
  // Each thumbnail name belongs to the first picture that names it, as in the batch.
  std::unordered_map<std::string, std::string> owner;
  std::unordered_set<std::string> pictures;
  for (int i = 0; i < count; ++i) {
    const auto& name = settings.pictureNames[i];
    owner.emplace(thumbnailName(settings.prefix, name), name);
    pictures.insert(name);
  }
  // Pictures and this run's own thumbnails are passed over without opening them.
  pictures.insert(current.begin(), current.end());
  int removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(settings.folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (pictures.count(name) != 0 || name.size() < 4 ||
        nameKey(std::string_view(name).substr(name.size() - 4)) != ".jpg") {
      continue;
    }
    const auto mark = imaging::readThumbMark(it->path());
    if (mark.mark == imaging::ThumbMark::None) {
      continue;
    }
    const auto belongs = owner.find(name);
    if (mark.mark == imaging::ThumbMark::Ours && mark.record.scale == 1 && belongs != owner.end() &&
        belongs->second == mark.record.sourceName) {
      continue;
    }
    if (::unlink(it->path().c_str()) == 0) {
      ++removed;
    } else if (errno != ENOENT) {
      problems.push_back({name,
                          "this leftover thumbnail could not be removed: " + systemReason(errno),
                          ProblemKind::NotRemoved});
    }
  }
  return removed;
}

}  // namespace vistrel
