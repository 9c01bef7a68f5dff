#include "run/create_run.h"

#include <malloc.h>

#include <exception>

#include "common/whole_file.h"
#include "run/folder_lock.h"
#include "run/stale_temporaries.h"
#include "thumbs/prefix_check.h"

namespace vistrel::run {
using gallery::kStyleSheetName;

using common::folderWriteProblem;
using common::ProgressDisplay;
using gallery::CreateHTML;
using gallery::pageCount;
using gallery::pageName;
using gallery::PageStyle;
using gallery::PageWriteError;
using gallery::removeLeftoverPages;
using gallery::removeLeftoverStyleSheet;
using thumbs::BatchSettings;
using thumbs::MakeThumbnails;
using thumbs::prefixProblem;
using thumbs::ProblemKind;
using thumbs::removeLeftoverThumbnails;

namespace {

// Hides the notice and the track when the run leaves, by any way.
class ShownWhileRunning {
 public:
  explicit ShownWhileRunning(ProgressDisplay& progress) : progress_(progress) {}
  ~ShownWhileRunning() {
    try {
      progress_.setNoticeVisible(false);
      progress_.setTrackVisible(false);
    } catch (...) {
      // A display that fails while unwinding must not end the program.
    }
  }
  ShownWhileRunning(const ShownWhileRunning&) = delete;
  ShownWhileRunning& operator=(const ShownWhileRunning&) = delete;

 private:
  ProgressDisplay& progress_;
};

// Decoding a large JPEG allocates and zeroes tens of megabytes per picture. By default the
// allocator hands blocks that large out as fresh mappings and returns them at once, so every
// picture pays the page faults again (a third of the batch's processor time on photos). For the
// run, blocks up to 32 MB stay in the heap and are reused; afterwards the thresholds are fixed at
// the allocator's starting values and the free memory is returned. The default behaviour does not
// come back: once M_MMAP_THRESHOLD is set, the allocator no longer raises its thresholds by itself
// for the rest of the process, so between runs every block from 128 KB up is a fresh mapping.
class ReusedLargeBlocks {
 public:
  ReusedLargeBlocks() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
  }
  ~ReusedLargeBlocks() {
    mallopt(M_MMAP_THRESHOLD, 128 << 10);
    mallopt(M_TRIM_THRESHOLD, 128 << 10);
    malloc_trim(0);
  }
  ReusedLargeBlocks(const ReusedLargeBlocks&) = delete;
  ReusedLargeBlocks& operator=(const ReusedLargeBlocks&) = delete;
};

}  // namespace

std::string CreateReport::problemText() const {
  std::string text;
  if (refused) {
    return *refused;
  }
  for (const auto& problem : problems) {
    text += problem.file + ": " + problem.reason + "\n";
  }
  return text;
}

std::string CreateReport::removedText() const {
  std::string text;
  const size_t count = filesRemoved.size();
  if (count != 0) {
    text = (count == 1 ? std::string("1 file") : std::to_string(count) + " files") +
           " of an earlier gallery (thumbnails of pictures no longer in the folder, or pages "
           "past the last) " +
           (count == 1 ? "was" : "were") + " removed.";
  }
  if (!temporariesRemoved.empty()) {
    text += std::string(text.empty() ? "" : "\n") +
            "Temporary files of an interrupted run were removed:";
    for (const auto& name : temporariesRemoved) {
      text += " " + name;
    }
  }
  return text;
}

std::optional<std::string> createSettingsProblem(const CreateSettings& settings) {
  if (auto problem = prefixProblem(settings.thumbnails.prefix)) {
    return problem;
  }
  // One clear refusal before anything starts, not one failure per picture.
  return folderWriteProblem(settings.thumbnails.folder);
}

CreateReport runCreate(const CreateSettings& settings, ProgressDisplay& progress, Shell* shell) {
  CreateReport report;
  if (auto problem = createSettingsProblem(settings)) {
    report.refused = std::move(problem);
    return report;
  }
  const auto& folder = settings.thumbnails.folder;
  FolderLock lock;
  std::string lockFailure;
  bool waited = false;
  const auto asked = std::chrono::steady_clock::now();
  const auto locked = lock.take(
      folder, settings.lockWait,
      [&] {
        waited = true;
        progress.setStatus({common::Phase::Waiting});
        progress.setNoticeVisible(true);
        progress.refreshNotice();
      },
      lockFailure, settings.thumbnails.stop);
  if (waited) {
    report.lockWaited = std::chrono::steady_clock::now() - asked;
  }
  report.stopped =
      locked == FolderLock::Outcome::Stopped || common::stopRequested(settings.thumbnails.stop);
  if ((locked != FolderLock::Outcome::Taken || report.stopped) && waited) {
    progress.setNoticeVisible(false);
  }
  if (report.stopped) {
    return report;
  }
  if (locked != FolderLock::Outcome::Taken) {
    report.refused = locked == FolderLock::Outcome::Busy
                         ? std::string(kFolderBusy)
                         : "the folder " + folder.string() + " cannot be read: " + lockFailure;
    return report;
  }
  report.temporariesRemoved = removeStaleTemporaries(folder);
  // Modern pages also need each picture's double-density thumbnail.
  BatchSettings thumbnails = settings.thumbnails;
  thumbnails.make2x = settings.style == PageStyle::Modern;
  bool firstPageWritten = false;
  {
    progress.setFillWidth(0);
    progress.setNoticeVisible(true);
    ShownWhileRunning shown(progress);
    progress.refreshNotice();
    progress.setTrackVisible(true);

    auto batch = [&] {
      ReusedLargeBlocks reuse;
      return MakeThumbnails(thumbnails, progress);
    }();
    report.thumbs = std::move(batch.thumbs);
    for (const auto& [file, reason] : settings.notPictures) {
      report.problems.push_back({file, reason, ProblemKind::PictureUnreadable});
    }
    report.problems.insert(report.problems.end(), batch.problems.begin(), batch.problems.end());
    report.last = batch.last;
    report.thumbnailsMade = batch.made;
    report.thumbnailsKept = batch.kept;

    progress.setFillWidth(0);
    const auto& table = settings.table;
    report.pageCount = pageCount(static_cast<int>(report.thumbs.size()), table.Rows, table.Columns);
    report.stopped = batch.stopped;
    if (batch.stoppedByDisk) {
      report.problems.push_back(
          {pageName(1),
           "no page was written, since the disk took no more thumbnails; the earlier "
           "pages were left as they were",
           ProblemKind::PageNotWritten});
    } else if (report.pageCount > 0 && !report.stopped) {
      try {
        report.pagesChanged = CreateHTML(folder, report.thumbs, table, report.pageCount, progress,
                                         settings.style, settings.thumbnails.stop);
        report.pagesInPlace = true;
      } catch (const common::RunStopped&) {
        report.stopped = true;
      } catch (const PageWriteError& e) {
        const auto file = std::filesystem::path(e.file()).filename().string();
        report.problems.push_back(
            {file,
             (file == kStyleSheetName ? "the style sheet could not be written: "
                                      : "the page could not be written: ") +
                 e.reason(),
             ProblemKind::PageNotWritten});
      }
    }
    // A stop that came after the pages went in place still leaves the leftovers for next time.
    report.stopped = report.stopped || common::stopRequested(settings.thumbnails.stop);
    if (report.pagesInPlace && !report.stopped) {
      std::vector<std::pair<std::string, std::string>> notRemoved;
      auto tellNotRemoved = [&](const std::string& what) {
        for (auto& [file, reason] : notRemoved) {
          report.problems.push_back({file,
                                     "this leftover " + what + " could not be removed: " + reason,
                                     ProblemKind::NotRemoved});
        }
        notRemoved.clear();
      };
      removeLeftoverPages(folder, report.pageCount, report.filesRemoved, notRemoved);
      tellNotRemoved("page");
      removeLeftoverThumbnails(thumbnails, batch.current, report.filesRemoved, report.problems);
      if (settings.style == PageStyle::Classic) {
        removeLeftoverStyleSheet(folder, report.filesRemoved, notRemoved);
        tellNotRemoved("style sheet");
      }
    }
    firstPageWritten = report.pagesInPlace;
  }
  if (settings.openFirstPage && firstPageWritten && shell != nullptr && !report.stopped) {
    const auto first = pageName(1);
    report.firstPageOpened = shell->openDocument(folder / first);
    if (!report.firstPageOpened) {
      report.problems.push_back(
          {first, "no program could be started to show the page", ProblemKind::PageNotOpened});
    }
  }
  return report;
}

}  // namespace vistrel::run
