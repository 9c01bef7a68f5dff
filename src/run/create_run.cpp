#include "run/create_run.h"

#include <exception>

#include "common/whole_file.h"
#include "imaging/meta/caption.h"
#include "run/album_run.h"
#include "run/folder_lock.h"
#include "run/gallery_words.h"
#include "run/picture_heads.h"
#include "run/stale_temporaries.h"
#include "thumbs/prefix_check.h"

namespace vistrel::run {
using common::folderWriteError;
using common::ProgressDisplay;
using gallery::CreateHTML;
using gallery::pageCount;
using gallery::pageName;
using gallery::PageStyle;
using gallery::PageWriteError;
using gallery::removeLeftoverPages;
using gallery::removeLeftoverPicturePages;
using gallery::removeLeftoverStyleSheet;
using thumbs::BatchResult;
using thumbs::BatchSettings;
using thumbs::Cause;
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

// Takes the folder's lock, showing the notice while another run holds it. False when the run
// ends here: stopped while waiting, or refused (busy, or the folder cannot be opened).
bool takeFolderLock(const CreateSettings& settings, ProgressDisplay& progress, FolderLock& lock,
                    CreateReport& report) {
  const auto& folder = settings.thumbnails.folder;
  std::error_code error;
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
      error, settings.thumbnails.stop);
  if (waited) {
    report.lockWaited = std::chrono::steady_clock::now() - asked;
  }
  report.stopped =
      locked == FolderLock::Outcome::Stopped || common::stopRequested(settings.thumbnails.stop);
  if ((locked != FolderLock::Outcome::Taken || report.stopped) && waited) {
    progress.setNoticeVisible(false);
  }
  if (report.stopped) {
    return false;
  }
  if (locked == FolderLock::Outcome::Busy) {
    report.refused = Refusal{RefusalKind::FolderBusy, folder.string()};
  } else if (locked == FolderLock::Outcome::Failed) {
    report.refused = Refusal{RefusalKind::FolderNotReadable, folder.string(), error};
  }
  return !report.refused;
}

// The thumbnails, with the entries named like pictures that are none told first among the
// problems.
BatchResult makeThumbnails(const CreateSettings& settings, const BatchSettings& thumbnails,
                           ProgressDisplay& progress, CreateReport& report) {
  auto batch = MakeThumbnails(thumbnails, progress);
  report.thumbs = std::move(batch.thumbs);
  for (const auto& [file, why] : settings.notPictures) {
    report.problems.push_back({file, ProblemKind::PictureUnreadable, {}, Cause::Described, why});
  }
  report.problems.insert(report.problems.end(), batch.problems.begin(), batch.problems.end());
  report.last = batch.last;
  report.thumbnailsMade = batch.made;
  report.thumbnailsKept = batch.kept;
  report.stopped = batch.stopped;
  return batch;
}

// A file of the user's words that is there but could not be read: the pages go without it.
void noteWordsNotRead(const char* name, const common::ReadError& error, CreateReport& report) {
  if (error) {
    report.problems.push_back({name, ProblemKind::WordsNotRead, error.code});
  }
}

// The pages of the pictures that have thumbnails, all in place or none; none at all when the
// disk took no more thumbnails.
void writePages(const CreateSettings& settings, bool diskRefused, ProgressDisplay& progress,
                CreateReport& report) {
  progress.setFillWidth(0);
  const auto& table = settings.table;
  report.pageCount = pageCount(static_cast<int>(report.thumbs.size()), table.Rows, table.Columns);
  // An album of sub-albums alone still has its first page, for their cards.
  if (report.pageCount == 0 && settings.album != nullptr && !settings.album->cards.empty()) {
    report.pageCount = 1;
  }
  if (diskRefused) {
    report.problems.push_back({pageName(1), ProblemKind::PagesHeldBack});
    return;
  }
  if (report.pageCount == 0 || report.stopped) {
    return;
  }
  try {
    gallery::PicturePageOptions pictures{settings.originals, &report.problems};
    pictures.album = settings.album;
    if (settings.style == PageStyle::Modern) {
      common::ReadError error;
      pictures.words = galleryWords(settings.thumbnails.folder, settings.title, &error);
      noteWordsNotRead(kIntroductionFileName, error, report);
    }
    report.pagesChanged =
        CreateHTML(settings.thumbnails.folder, report.thumbs, table, report.pageCount, progress,
                   settings.style, settings.thumbnails.stop, pictures);
    report.pagesInPlace = true;
  } catch (const common::RunStopped&) {
    report.stopped = true;
  } catch (const PageWriteError& e) {
    report.problems.push_back({std::filesystem::path(e.file()).filename().string(),
                               ProblemKind::PageNotWritten, e.error(),
                               e.notOurs() ? Cause::NotOurs : Cause::None});
  }
}

// The earlier gallery's pages past the new count, thumbnails and picture pages of pictures no
// longer shown with their script, and the style sheet of a classic gallery or of one with no
// pages left.
void removeLeftovers(const CreateSettings& settings, const BatchSettings& thumbnails,
                     const BatchResult& batch, CreateReport& report) {
  const auto& folder = settings.thumbnails.folder;
  const auto* listed = thumbnails.marks != nullptr ? &thumbnails.marks->names : nullptr;
  removeLeftoverPages(folder, report.pageCount, report.filesRemoved, report.problems, listed);
  removeLeftoverThumbnails(thumbnails, batch, report.filesRemoved, report.problems);
  const bool modern = settings.style == PageStyle::Modern;
  removeLeftoverPicturePages(folder, modern ? report.thumbs : std::vector<thumbs::ThumbInfo>{},
                             report.filesRemoved, report.problems, listed);
  // A modern gallery's pages share the sheet, while it has pages.
  if (!modern || report.pageCount == 0) {
    removeLeftoverStyleSheet(folder, report.filesRemoved, report.problems);
  }
}

// Each picture's head, read once for all the run wants of it: the modern pages' captions and
// facts, the GPS positions that linked originals publish, the dates to sort by.
void readHeads(const CreateSettings& settings, CreateReport& report) {
  const bool modern = settings.style == PageStyle::Modern;
  HeadsWanted wanted;
  wanted.words = modern;
  wanted.location = modern && settings.originals == gallery::Originals::Link;
  wanted.dates = settings.order != browse::PictureOrder::Name;
  const HeadsRead read =
      readPictureHeads(settings.thumbnails.folder, report.thumbs, wanted, settings.order,
                       settings.thumbnails.stop, settings.thumbnails.marks);
  report.linkedWithLocation = read.located;
  noteWordsNotRead(imaging::kCaptionsFileName, read.captionsError, report);
}

void openFirstPage(const CreateSettings& settings, Shell* shell, CreateReport& report) {
  if (!settings.openFirstPage || !report.pagesInPlace || shell == nullptr || report.stopped) {
    return;
  }
  const auto first = pageName(1);
  report.firstPageOpened = shell->openDocument(settings.thumbnails.folder / first);
  if (!report.firstPageOpened) {
    report.problems.push_back({first, ProblemKind::PageNotOpened});
  }
}

}  // namespace

std::optional<Refusal> createSettingsRefusal(const CreateSettings& settings) {
  const BatchSettings& thumbnails = settings.thumbnails;
  if (prefixProblem(thumbnails.prefix)) {
    return Refusal{RefusalKind::BadPrefix, {}, {}, thumbnails.prefix};
  }
  // One clear refusal before anything starts, not one failure per picture.
  if (const std::error_code error = folderWriteError(thumbnails.folder)) {
    return Refusal{RefusalKind::FolderNotWritable, thumbnails.folder.string(), error};
  }
  return std::nullopt;
}

CreateReport runCreate(const CreateSettings& settings, ProgressDisplay& progress, Shell* shell) {
  if (settings.albums && settings.style == PageStyle::Modern) {
    return runAlbums(settings, progress, shell);
  }
  CreateReport report;
  report.refused = createSettingsRefusal(settings);
  FolderLock lock;
  if (report.refused ||
      (!settings.folderLockHeld && !takeFolderLock(settings, progress, lock, report))) {
    return report;
  }
  const auto* marks = settings.thumbnails.marks;
  report.temporariesRemoved = removeStaleTemporaries(settings.thumbnails.folder,
                                                     marks != nullptr ? &marks->names : nullptr);
  // Modern pages also need each picture's double-density thumbnail.
  BatchSettings thumbnails = settings.thumbnails;
  thumbnails.modern = settings.style == PageStyle::Modern;
  {
    progress.setFillWidth(0);
    progress.setNoticeVisible(true);
    ShownWhileRunning shown(progress);
    progress.refreshNotice();
    progress.setTrackVisible(true);
    const BatchResult batch = makeThumbnails(settings, thumbnails, progress, report);
    if (!report.stopped && !batch.stoppedByDisk) {
      readHeads(settings, report);
    }
    writePages(settings, batch.stoppedByDisk, progress, report);
    // A stop that came after the pages went in place still leaves the leftovers for next time.
    report.stopped = report.stopped || common::stopRequested(settings.thumbnails.stop);
    // An album that shows nothing now, not even a card: all its gallery is left over.
    const bool emptied = settings.album != nullptr && report.pageCount == 0 && !batch.stoppedByDisk;
    if ((report.pagesInPlace || emptied) && !report.stopped) {
      removeLeftovers(settings, thumbnails, batch, report);
    }
  }
  openFirstPage(settings, shell, report);
  return report;
}

}  // namespace vistrel::run
