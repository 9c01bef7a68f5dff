#include "run/album_run.h"

#include <memory>

#include <sys/resource.h>

#include "browse/album_tree.h"
#include "browse/folder_read.h"
#include "run/folder_lock.h"
#include "run/problem_text.h"
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
Made madeAlbum(const Album& album, const CreateReport& report, const std::vector<Made>& made) {
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
    const Made& sub = made[static_cast<size_t>(child)];
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

AlbumPlace placeOf(const Album& album, const std::vector<Made>& made) {
  AlbumPlace place{album.trail, {}};
  for (const int child : album.children) {
    const Made& sub = made[static_cast<size_t>(child)];
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
  const AlbumTree tree = browse::readAlbumTree(top);
  for (const auto& problem : tree.problems) {
    const fs::path relative = fs::path(problem.folder).lexically_relative(top);
    total.problems.push_back(skipped(relative.string() + "/", treeProblemReason(problem)));
  }
  std::vector<std::unique_ptr<FolderLock>> locks;
  if (!lockAlbums(settings, tree, progress, locks, total)) {
    return total;
  }
  std::vector<Made> made(tree.albums.size());
  // Deepest first: a parent's cards need its sub-albums' covers and counts.
  for (size_t i = tree.albums.size(); i-- > 0 && !total.stopped;) {
    const Album& album = tree.albums[i];
    if (!locks[i]) {
      continue;
    }
    const AlbumPlace place = placeOf(album, made);
    CreateSettings one = settings;
    one.albums = false;
    one.folderLockHeld = true;
    one.openFirstPage = false;
    one.album = &place;
    one.thumbnails.folder = album.folder;
    one.thumbnails.pictureNames = album.pictures;
    one.thumbnails.ImageCount = static_cast<int>(album.pictures.size());
    one.notPictures = album.notPictures;
    CreateReport report = runCreate(one, progress, nullptr);
    if (report.refused) {
      total.problems.push_back(skipped(below(album), refusalReason(*report.refused)));
      continue;
    }
    made[i] = madeAlbum(album, report, made);
    if (i == 0) {
      total.thumbs = report.thumbs;
      total.last = report.last;
      total.pagesInPlace = report.pagesInPlace;
    }
    addUp(total, std::move(report), below(album));
  }
  if (settings.openFirstPage && total.pagesInPlace && shell != nullptr && !total.stopped) {
    total.firstPageOpened = shell->openDocument(top / gallery::pageName(1));
    if (!total.firstPageOpened) {
      total.problems.push_back({gallery::pageName(1), ProblemKind::PageNotOpened});
    }
  }
  return total;
}

}  // namespace vistrel::run
