#include "thumbs/make_thumbnails.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
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

namespace vistrel::thumbs {
using browse::FitSize;
using browse::FormatFileSize;
using common::growFill;
using common::ProgressDisplay;
using common::ProgressStep;
using common::putInPlace;

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
      failed.problem = ProblemKind::ThumbnailNotWritten;
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

std::error_code systemError(int error) {
  return {error, std::system_category()};
}

std::string systemReason(int error) {
  return systemError(error).message();
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

// Looking such a name up fails with ENAMETOOLONG, which must not pass for a file standing there.
std::string tooLongReason(const std::string& target, bool doubled, long limit) {
  return std::string(doubled ? "its double-density thumbnail's" : "its thumbnail's") +
         " name would be " + std::to_string(target.size()) + " bytes long, more than the " +
         std::to_string(limit) +
         " a file name can have here; shorten the picture's name or the prefix";
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

// What stands at a thumbnail's name and what the batch may do with it.
struct NamePlan {
  bool exists = false;  // a file of ours is there (else: nothing)
  bool taken = false;   // a file that is not ours is there: never touch it
  bool keep = false;    // ours, whole, and made from the same picture with the same settings
  imaging::ThumbRecord record;  // when keep
};

// `wanted` is the record a thumbnail made now would carry, less its own size (and the picture's
// size, taken from the file's record), which only the decode gives.
NamePlan planFor(int folderFd, const std::string& target, imaging::ThumbRecord wanted, int scale,
                 bool rebuild) {
  NamePlan plan;
  const auto mark = imaging::readThumbMarkAt(folderFd, target.c_str(), true);
  if (!mark.exists) {
    return plan;
  }
  if (!mark.oursAt(target)) {
    plan.taken = true;
    return plan;
  }
  plan.exists = true;
  if (mark.whole && !rebuild) {
    wanted.scale = scale;
    if (scale == 1) {
      wanted.width = mark.record.width;
      wanted.height = mark.record.height;
      wanted.pictureWidth = mark.record.pictureWidth;
      wanted.pictureHeight = mark.record.pictureHeight;
    }
    plan.keep = mark.record == wanted && wanted.width > 0 && wanted.height > 0;
    plan.record = mark.record;
  }
  return plan;
}

// Puts a finished thumbnail in place: under a free name only while it stays free, over a
// thumbnail of ours only while it is still ours. Returns 0 or the system's error number
// (EEXIST when a file of the user's took the name during the run).
int placeThumbnail(const fs::path& temporary, const fs::path& target, bool create) {
  if (create) {
    return renameNoReplace(temporary, target);
  }
  if (const auto mark = imaging::readThumbMark(target);
      mark.exists && !mark.oursAt(target.filename().native())) {
    return EEXIST;
  }
  try {
    putInPlace(temporary, target);
  } catch (const std::system_error& e) {
    return e.code().value();
  }
  return 0;
}

ThumbInfo thumbInfo(const std::string& name, uint64_t sourceSize, FitSize size,
                    uint32_t pictureWidth, uint32_t pictureHeight, bool has2x) {
  ThumbInfo info;
  info.Width = size.X;
  info.Height = size.Y;
  info.FileName = name;
  info.FileSize = FormatFileSize(static_cast<long long>(sourceSize));
  info.PictureWidth = static_cast<int>(std::min<uint32_t>(pictureWidth, 1u << 30));
  info.PictureHeight = static_cast<int>(std::min<uint32_t>(pictureHeight, 1u << 30));
  info.Has2x = has2x;
  return info;
}

}  // namespace

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
  std::vector<Plan> plans2x(count, Plan::Create);
  std::vector<RunProblem> planProblems(count);
  std::vector<imaging::ThumbRecord> keptRecords(count);
  std::unordered_map<std::string, int> claimedBy;
  // The double-density thumbnails' names, "" where a picture has none: a name that is a
  // picture's or a 1x thumbnail's ("a@2x.jpg" beside "a.jpg") would overwrite that file.
  std::vector<std::string> targets2x(count);
  if (settings.make2x) {
    std::unordered_set<std::string> taken;
    for (const auto& name : settings.pictureNames) {
      taken.insert(nameKey(name));
      taken.insert(nameKey(thumbnailName(settings.prefix, name)));
    }
    for (int i = 0; i < count; ++i) {
      const std::string name2x = thumbnail2xName(settings.prefix, settings.pictureNames[i]);
      if (taken.insert(nameKey(name2x)).second) {
        targets2x[i] = name2x;
      }
    }
  }
  const std::string tempStem = ".vistrel-thumb-" + std::to_string(::getpid()) + "-";
  const long pathLimit = ::pathconf(settings.folder.c_str(), _PC_NAME_MAX);
  const long nameLimit = pathLimit > 0 ? pathLimit : NAME_MAX;
  for (int i = 0; i < count; ++i) {
    const auto& name = settings.pictureNames[i];
    targets[i] = thumbnailName(settings.prefix, name);
    auto& job = jobs[i];
    job.largestWidth = settings.largestWidth;
    job.largestHeight = settings.largestHeight;
    job.quality = settings.quality;
    job.twipsPerPixelX = settings.twipsPerPixelX;
    job.twipsPerPixelY = settings.twipsPerPixelY;
    job.gifBackground = settings.gifBackground;
    job.record.sourceName = name;

    const bool tooLong1x = static_cast<long>(targets[i].size()) > nameLimit;
    if (tooLong1x || static_cast<long>(targets2x[i].size()) > nameLimit) {
      plans[i] = Plan::Skip;
      planProblems[i] = {
          name, tooLongReason(tooLong1x ? targets[i] : targets2x[i], !tooLong1x, nameLimit),
          ProblemKind::ThumbnailNotWritten, systemError(ENAMETOOLONG)};
      continue;
    }
    const auto [claim, first] = claimedBy.emplace(nameKey(targets[i]), i);
    if (!first) {
      plans[i] = Plan::Skip;
      planProblems[i] = {name,
                         "its thumbnail " + targets[i] + " is the thumbnail of " +
                             settings.pictureNames[claim->second] +
                             "; rename one of the two pictures",
                         ProblemKind::NameTaken};
    }
  }
  // Looking at the pictures and the thumbnails already there is a few system calls a picture,
  // most of the time of a run that finds everything up to date, so it is shared out too.
  // Names are looked up in the open folder: building a path for each would cost more than the
  // system calls themselves.
  const int folderFd = ::open(settings.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int folderError = errno;
  struct FolderCloser {
    int fd;
    ~FolderCloser() {
      if (fd >= 0) {
        ::close(fd);
      }
    }
  } folderCloser{folderFd};
  auto planPicture = [&](int i) {
    auto& job = jobs[i];
    struct stat source {};
    const auto& name = settings.pictureNames[i];
    const int error = folderFd < 0                                         ? folderError
                      : ::fstatat(folderFd, name.c_str(), &source, 0) != 0 ? errno
                                                                           : 0;
    if (error != 0) {
      plans[i] = Plan::Skip;
      planProblems[i] = {name, systemReason(error), ProblemKind::PictureUnreadable,
                         systemError(error)};
      return;
    }
    if (!S_ISREG(source.st_mode)) {
      plans[i] = Plan::Skip;
      planProblems[i] = {name, "not a regular file", ProblemKind::PictureUnreadable};
      return;
    }
    job.record.sourceSize = static_cast<uint64_t>(source.st_size);
    job.record.sourceMtimeNs =
        static_cast<int64_t>(source.st_mtim.tv_sec) * 1000000000 + source.st_mtim.tv_nsec;

    const imaging::ThumbRecord wanted = settingsRecord(job);
    const NamePlan plan1x = planFor(folderFd, targets[i], wanted, 1, settings.rebuild);
    // The 2x copy follows the rules of the 1x one, and is checked against it: same picture and
    // settings, twice the size.
    NamePlan plan2x;
    plan2x.keep = true;
    if (!targets2x[i].empty()) {
      imaging::ThumbRecord wanted2x = wanted;
      if (plan1x.keep) {
        wanted2x.width = plan1x.record.width * 2;
        wanted2x.height = plan1x.record.height * 2;
        wanted2x.pictureWidth = plan1x.record.pictureWidth;
        wanted2x.pictureHeight = plan1x.record.pictureHeight;
      }
      plan2x = planFor(folderFd, targets2x[i], wanted2x, 2, settings.rebuild);
    }
    if (plan1x.taken || plan2x.taken) {
      plans[i] = Plan::Skip;
      planProblems[i] = {name, takenReason(plan1x.taken ? targets[i] : targets2x[i]),
                         ProblemKind::NameTaken};
    } else if (plan1x.keep && plan2x.keep) {
      plans[i] = Plan::Keep;
      keptRecords[i] = plan1x.record;
    } else {
      plans[i] = plan1x.exists ? Plan::Replace : Plan::Create;
      plans2x[i] = plan2x.exists ? Plan::Replace : Plan::Create;
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
  for (int i = 0; i < count; ++i) {
    if (needsRender(i)) {
      auto& job = jobs[i];
      job.source = settings.folder / settings.pictureNames[i];
      job.output = settings.folder / (tempStem + std::to_string(i) + ".tmp");
      if (!targets2x[i].empty()) {
        job.output2x = settings.folder / (tempStem + std::to_string(i) + "-2x.tmp");
      }
    }
  }
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
          if (!jobs[i].output2x.empty()) {
            removeQuietly(jobs[i].output2x);
          }
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
    if (common::stopRequested(settings.stop)) {
      result.stopped = true;
      break;
    }
    if (pool) {
      while (nextSubmit < count && nextSubmit < i + window) {
        if (needsRender(nextSubmit)) {
          rendered[nextSubmit] = 1;
          pool->submit(static_cast<size_t>(nextSubmit));
        }
        ++nextSubmit;
      }
    }
    progress.setStatus({common::Phase::Thumbnails, i + 1, count});

    const auto& name = settings.pictureNames[i];
    if (plans[i] == Plan::Skip) {
      result.problems.push_back(planProblems[i]);
    } else if (plans[i] == Plan::Keep) {
      const auto& record = keptRecords[i];
      result.last = {static_cast<int16_t>(record.width), static_cast<int16_t>(record.height)};
      result.thumbs.push_back(thumbInfo(name, record.sourceSize, result.last, record.pictureWidth,
                                        record.pictureHeight, !targets2x[i].empty()));
      result.current.push_back(targets[i]);
      if (!targets2x[i].empty()) {
        result.current.push_back(targets2x[i]);
      }
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
        result.problems.push_back(
            {name, outcome.reason, outcome.problem,
             outcome.osError != 0 ? systemError(outcome.osError) : std::error_code()});
        result.stoppedByDisk = isDiskFailure(outcome.osError);
      } else {
        // The 2x copy first: a page never names a 2x file that is not there.
        const bool has2x = !targets2x[i].empty();
        int error = has2x ? placeThumbnail(jobs[i].output2x, settings.folder / targets2x[i],
                                           plans2x[i] == Plan::Create)
                          : 0;
        const std::string& which = error != 0 ? targets2x[i] : targets[i];
        if (error == 0) {
          error = placeThumbnail(jobs[i].output, settings.folder / targets[i],
                                 plans[i] == Plan::Create);
        }
        if (error == EEXIST) {
          result.problems.push_back({name, takenReason(which), ProblemKind::NameTaken});
        } else if (error != 0) {
          result.problems.push_back(
              {name,
               "its thumbnail " + which + " could not be put in place: " + systemReason(error),
               ProblemKind::ThumbnailNotWritten, systemError(error)});
          result.stoppedByDisk = isDiskFailure(error);
        } else {
          placed = true;
          result.thumbs.push_back(thumbInfo(name, outcome.stamp.size, outcome.size,
                                            static_cast<uint32_t>(outcome.pictureWidth),
                                            static_cast<uint32_t>(outcome.pictureHeight), has2x));
          result.current.push_back(targets[i]);
          if (has2x) {
            result.current.push_back(targets2x[i]);
          }
          ++result.made;
          if (!outcome.warning.empty()) {
            result.problems.push_back({name,
                                       outcome.warning + "; the gallery shows it as far as it "
                                                         "could be read",
                                       ProblemKind::PictureDamaged});
          }
        }
      }
      if (!placed) {
        removeQuietly(jobs[i].output);
        if (!jobs[i].output2x.empty()) {
          removeQuietly(jobs[i].output2x);
        }
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

void removeLeftoverThumbnails(const BatchSettings& settings,
                              const std::vector<std::string>& current,
                              std::vector<std::string>& removed,
                              std::vector<RunProblem>& problems) {
  const int count =
      std::clamp<int>(settings.ImageCount, 0, static_cast<int>(settings.pictureNames.size()));
  // Each thumbnail name belongs to the first picture that names it, as in the batch.
  std::unordered_map<std::string, std::string> owner;
  std::unordered_map<std::string, std::string> owner2x;  // only when 2x copies belong
  std::unordered_set<std::string> pictures;
  for (int i = 0; i < count; ++i) {
    const auto& name = settings.pictureNames[i];
    owner.emplace(thumbnailName(settings.prefix, name), name);
    if (settings.make2x) {
      owner2x.emplace(thumbnail2xName(settings.prefix, name), name);
    }
    pictures.insert(name);
  }
  // Pictures and this run's own thumbnails are passed over without opening them.
  pictures.insert(current.begin(), current.end());
  DIR* dir = ::opendir(settings.folder.c_str());
  if (dir == nullptr) {
    return;
  }
  const int fd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (pictures.count(name) != 0 || name.size() < 4 ||
        nameKey(std::string_view(name).substr(name.size() - 4)) != ".jpg") {
      continue;
    }
    const auto mark = imaging::readThumbMarkAt(fd, entry->d_name);
    if (!mark.oursAt(name)) {
      continue;
    }
    const auto& owners = mark.record.scale == 2 ? owner2x : owner;
    const auto belongs = owners.find(name);
    if (belongs != owners.end() && belongs->second == mark.record.sourceName) {
      continue;
    }
    if (::unlinkat(fd, entry->d_name, 0) == 0) {
      removed.push_back(name);
    } else if (errno != ENOENT) {
      const int error = errno;
      problems.push_back({name,
                          "this leftover thumbnail could not be removed: " + systemReason(error),
                          ProblemKind::NotRemoved, systemError(error)});
    }
  }
  ::closedir(dir);
}

}  // namespace vistrel::thumbs
