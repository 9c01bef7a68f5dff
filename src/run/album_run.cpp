#include "run/album_run.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <sys/resource.h>

#include "browse/album_tree.h"
#include "browse/folder_read.h"
#include "run/folder_lock.h"
#include "run/problem_text.h"
#include "thumbs/memory_budget.h"
#include "thumbs/prefix_check.h"

namespace vistrel::run {
using browse::Album;
using browse::AlbumTree;
using gallery::AlbumCard;
using gallery::AlbumPlace;
using thumbs::Cause;
using thumbs::ProblemKind;

namespace {

namespace fs = std::filesystem;

// Every album's folder stays open for its lock until the run ends.
void raiseOpenFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
}

// The album's path below the top folder with a closing "/", "" for the top.
std::string below(const Album& album) {
  std::string out;
  for (size_t i = 1; i < album.trail.size(); ++i) {
    out += album.trail[i] + "/";
  }
  return out;
}

RunProblem skipped(std::string folder, std::string why) {
  return {std::move(folder), ProblemKind::AlbumSkipped, {}, Cause::Described, std::move(why)};
}

// What a parent's card shows of an album once its gallery is made.
struct Made {
  bool placed = false;
  int shown = 0;
  AlbumCard card;
};

void addUp(CreateReport& total, CreateReport&& one, const std::string& prefix) {
  for (auto& problem : one.problems) {
    problem.file = prefix + problem.file;
    total.problems.push_back(std::move(problem));
  }
  for (const auto& file : one.filesRemoved) {
    total.filesRemoved.push_back(prefix + file);
  }
  for (const auto& file : one.temporariesRemoved) {
    total.temporariesRemoved.push_back(prefix + file);
  }
  total.pageCount += one.pageCount;
  total.pagesChanged += one.pagesChanged;
  total.thumbnailsMade += one.thumbnailsMade;
  total.thumbnailsKept += one.thumbnailsKept;
  total.linkedWithLocation += one.linkedWithLocation;
  total.stopped = total.stopped || one.stopped;
}

// The card of an album made: its first shown picture's thumbnail, else its first sub-album's
// cover, with the pictures shown at and below it.
Made madeAlbum(const Album& album, const CreateReport& report, const std::map<int, Made>& made) {
  Made out;
  out.placed = report.pagesInPlace;
  out.shown = static_cast<int>(report.thumbs.size());
  out.card.folder = album.trail.back();
  if (!report.thumbs.empty()) {
    const auto& first = report.thumbs.front();
    out.card.cover = {first.ThumbFile};
    out.card.cover2x = first.Thumb2xFile;
    out.card.width = first.Width;
    out.card.height = first.Height;
  }
  for (const int child : album.children) {
    const Made& sub = made.at(child);
    if (!sub.placed) {
      continue;
    }
    out.shown += sub.shown;
    if (out.card.cover.empty() && !sub.card.cover.empty()) {
      out.card = sub.card;
      out.card.cover.insert(out.card.cover.begin(), sub.card.folder);
      out.card.folder = album.trail.back();
    }
  }
  return out;
}

AlbumPlace placeOf(const Album& album, const std::map<int, Made>& made) {
  AlbumPlace place{album.trail, {}};
  for (const int child : album.children) {
    const Made& sub = made.at(child);
    if (sub.placed) {
      place.cards.push_back(sub.card);
      place.cards.back().pictures = sub.shown;
    }
  }
  return place;
}

// Locks every album; false when the run ends here (stopped, or the top folder is busy).
bool lockAlbums(const CreateSettings& settings, const AlbumTree& tree,
                common::ProgressDisplay& progress, std::vector<std::unique_ptr<FolderLock>>& locks,
                CreateReport& total) {
  for (const Album& album : tree.albums) {
    auto lock = std::make_unique<FolderLock>();
    std::error_code error;
    const auto outcome = lock->take(
        album.folder, settings.lockWait,
        [&] {
          progress.setStatus({common::Phase::Waiting});
          progress.setNoticeVisible(true);
          progress.refreshNotice();
        },
        error, settings.thumbnails.stop);
    progress.setNoticeVisible(false);
    if (outcome == FolderLock::Outcome::Stopped) {
      total.stopped = true;
      return false;
    }
    if (outcome == FolderLock::Outcome::Busy && album.parent < 0) {
      total.refused = Refusal{RefusalKind::FolderBusy, album.folder.string()};
      return false;
    }
    if (outcome != FolderLock::Outcome::Taken) {
      const RefusalKind kind = outcome == FolderLock::Outcome::Busy
                                   ? RefusalKind::FolderBusy
                                   : RefusalKind::FolderNotReadable;
      total.problems.push_back(
          skipped(below(album), refusalReason({kind, album.folder.string(), error})));
      lock.reset();
    }
    locks.push_back(std::move(lock));
  }
  return true;
}

// What became of one album: its report (its pictures' records dropped but the top's, to keep
// the run's memory flat), or why it was skipped.
struct Outcome {
  std::optional<CreateReport> report;
  std::optional<std::string> refusal;
  Made made;
};

// The album runs' display: the albums run side by side off the caller's thread, so only the
// caller draws, from the pictures done.
class Quiet : public common::ProgressDisplay {
 public:
  void setStatus(const common::Status&) override {}
  void setNoticeVisible(bool) override {}
  void refreshNotice() override {}
  void setTrackVisible(bool) override {}
  float trackWidth() const override { return 0; }
  float fillWidth() const override { return 0; }
  void setFillWidth(float) override {}
};

// Runs the albums a few at a time, each as soon as its sub-albums are done (their covers and
// counts go on its cards), every batch with the run's workers and one memory budget, so small
// albums keep every core busy and large ones use them all.
class AlbumScheduler {
 public:
  AlbumScheduler(const CreateSettings& settings, const AlbumTree& tree,
                 const std::vector<std::unique_ptr<FolderLock>>& locks)
      : settings_(settings),
        tree_(tree),
        locks_(locks),
        outcomes_(tree.albums.size()),
        pending_(tree.albums.size()),
        budget_(settings.thumbnails.memoryBudget > 0 ? settings.thumbnails.memoryBudget
                                                     : thumbs::defaultMemoryBudget()) {
    for (size_t i = 0; i < tree.albums.size(); ++i) {
      pending_[i] = static_cast<int>(tree.albums[i].children.size());
      if (pending_[i] == 0) {
        ready_.push_back(static_cast<int>(i));
      }
    }
  }

  std::vector<Outcome> run(common::ProgressDisplay& progress) {
    const int threads = std::clamp<int>(static_cast<int>(std::thread::hardware_concurrency()), 1,
                                        std::min<int>(4, static_cast<int>(outcomes_.size())));
    std::vector<std::thread> runners;
    for (int t = 0; t < threads; ++t) {
      runners.emplace_back([this] { work(); });
    }
    progress.setNoticeVisible(true);
    progress.setTrackVisible(true);
    std::unique_lock lock(mutex_);
    while (left_ > 0) {
      changed_.wait_for(lock, std::chrono::milliseconds(100));
      // The tree's count is a close guess until each album is listed.
      const int total = std::max({pictures_, done_, 1});
      progress.setStatus({common::Phase::Thumbnails, std::max(done_, 1), total});
      progress.setFillWidth(progress.trackWidth() * static_cast<float>(done_) /
                            static_cast<float>(total));
      progress.refreshNotice();
    }
    lock.unlock();
    for (auto& runner : runners) {
      runner.join();
    }
    progress.setNoticeVisible(false);
    progress.setTrackVisible(false);
    return std::move(outcomes_);
  }

 private:
  void work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return !ready_.empty() || left_ == 0; });
      if (left_ == 0) {
        return;
      }
      const int i = ready_.back();
      ready_.pop_back();
      lock.unlock();
      int listed = 0;
      Outcome outcome = runOne(i, listed);
      lock.lock();
      outcomes_[static_cast<size_t>(i)] = std::move(outcome);
      done_ += listed;
      const int parent = tree_.albums[static_cast<size_t>(i)].parent;
      if (parent >= 0 && --pending_[static_cast<size_t>(parent)] == 0) {
        ready_.push_back(parent);
      }
      --left_;
      changed_.notify_all();
    }
  }

  // Only this album's outcome is written while it runs; its sub-albums' were written before it
  // became ready, under the lock.
  // The album's folder is listed now, under its lock, and what the listing read of each file
  // is what its batch plans from: every file is read once.
  Outcome runOne(int index, int& listed) {
    const size_t i = static_cast<size_t>(index);
    const Album& album = tree_.albums[i];
    Outcome outcome;
    if (!locks_[i] || common::stopRequested(settings_.thumbnails.stop)) {
      return outcome;
    }
    imaging::FolderMarks marks;
    browse::FolderContents contents =
        browse::readFolder(album.folder, settings_.thumbnails.types, &marks);
    if (!contents.ok) {
      outcome.refusal = contents.reason;
      return outcome;
    }
    listed = static_cast<int>(contents.pictures.size());
    std::map<int, Made> made;
    for (const int child : album.children) {
      made[child] = outcomes_[static_cast<size_t>(child)].made;
    }
    const AlbumPlace place = placeOf(album, made);
    CreateSettings one = settings_;
    one.albums = false;
    one.folderLockHeld = true;
    one.openFirstPage = false;
    one.album = &place;
    one.thumbnails.folder = album.folder;
    one.thumbnails.pictureNames = std::move(contents.pictures);
    one.thumbnails.ImageCount = listed;
    one.thumbnails.sharedBudget = &budget_;
    one.thumbnails.marks = &marks;
    one.notPictures = std::move(contents.notPictures);
    try {
      Quiet quiet;
      CreateReport report = runCreate(one, quiet, nullptr);
      if (report.refused) {
        // A retired album that cannot be written keeps what is there, and is no album to
        // report: the file with its first page's name may be a user's.
        if (!(album.retired && listed == 0 && place.cards.empty())) {
          outcome.refusal = refusalReason(*report.refused);
        }
        return outcome;
      }
      outcome.made = madeAlbum(album, report, made);
      if (index != 0) {
        report.thumbs = std::vector<thumbs::ThumbInfo>();  // its memory too, not only its items
      }
      outcome.report = std::move(report);
    } catch (const std::exception& e) {
      outcome.refusal = std::string("the run stopped: ") + e.what();
    }
    return outcome;
  }

  const CreateSettings& settings_;
  const AlbumTree& tree_;
  const std::vector<std::unique_ptr<FolderLock>>& locks_;
  std::vector<Outcome> outcomes_;
  std::vector<int> pending_;  // sub-albums not done yet
  std::vector<int> ready_;    // albums whose sub-albums are all done
  thumbs::MemoryBudget budget_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int left_ = static_cast<int>(outcomes_.size());
  int pictures_ = tree_.pictureCount();  // every album's own pictures, a guess until listed
  int done_ = 0;
};

std::vector<Outcome> runAll(const CreateSettings& settings, const AlbumTree& tree,
                            const std::vector<std::unique_ptr<FolderLock>>& locks,
                            common::ProgressDisplay& progress) {
  if (tree.albums.empty()) {
    return {};
  }
  AlbumScheduler scheduler(settings, tree, locks);
  return scheduler.run(progress);
}

}  // namespace

CreateReport runAlbums(const CreateSettings& settings, common::ProgressDisplay& progress,
                       Shell* shell) {
  CreateReport total;
  if (thumbs::prefixProblem(settings.thumbnails.prefix)) {
    total.refused = Refusal{RefusalKind::BadPrefix, {}, {}, settings.thumbnails.prefix};
    return total;
  }
  raiseOpenFileLimit();
  const fs::path top = browse::normalFolder(settings.thumbnails.folder);
  const AlbumTree tree = browse::glanceAtAlbumTree(
      top, settings.thumbnails.types, settings.thumbnails.prefix, gallery::pageName(1));
  for (const auto& problem : tree.problems) {
    const fs::path relative = fs::path(problem.folder).lexically_relative(top);
    total.problems.push_back(skipped(relative.string() + "/", treeProblemReason(problem)));
  }
  std::vector<std::unique_ptr<FolderLock>> locks;
  if (!lockAlbums(settings, tree, progress, locks, total)) {
    return total;
  }
  const std::vector<Outcome> outcomes = runAll(settings, tree, locks, progress);
  for (size_t i = 0; i < outcomes.size(); ++i) {
    const Outcome& outcome = outcomes[i];
    const std::string folder = below(tree.albums[i]);
    if (outcome.refusal) {
      total.problems.push_back(skipped(folder, *outcome.refusal));
    } else if (outcome.report) {
      if (i == 0) {
        total.thumbs = outcome.report->thumbs;
        total.last = outcome.report->last;
        total.pagesInPlace = outcome.report->pagesInPlace;
      }
      addUp(total, CreateReport(*outcome.report), folder);
    }
  }
  total.stopped = total.stopped || common::stopRequested(settings.thumbnails.stop);
  if (settings.openFirstPage && total.pagesInPlace && shell != nullptr && !total.stopped) {
    total.firstPageOpened = shell->openDocument(top / gallery::pageName(1));
    if (!total.firstPageOpened) {
      total.problems.push_back({gallery::pageName(1), ProblemKind::PageNotOpened});
    }
  }
  return total;
}

}  // namespace vistrel::run
