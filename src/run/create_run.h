#pragma once
// The Create run: thumbnails, then gallery pages, then (when asked) the first page opened. The
// window and the command-line program both call it; each shows the report its own way.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "browse/fit.h"
#include "browse/picture_order.h"
#include "common/progress.h"
#include "gallery/page_writer.h"
#include "thumbs/make_thumbnails.h"
#include "thumbs/thumb_info.h"

namespace vistrel::run {
using thumbs::RunProblem;

// Opens a document with the desktop's default program for it.
class Shell {
 public:
  virtual ~Shell() = default;
  // True when a program took the document.
  virtual bool openDocument(const std::filesystem::path& file) = 0;
};

struct CreateSettings {
  thumbs::BatchSettings thumbnails;  // folder, pictures, sizes, prefix, quality, workers
  gallery::TableSettings table;      // rows, columns, border, padding, spacing
  bool openFirstPage = true;         // "Open in Browser" checked
  // How long a run waits while another Create holds the folder, before it refuses.
  std::chrono::milliseconds lockWait{5000};
  // Modern pages also need each picture's double-density thumbnail and display copies; the run
  // asks the batch for them (and keeps them as its own), whatever thumbnails.modern says. A
  // classic run removes those and the style sheet a modern run left.
  gallery::PageStyle style = gallery::PageStyle::Classic;
  // Modern only: whether picture pages link the originals.
  gallery::Originals originals = gallery::Originals::Link;
  // Modern only: the gallery's title; "" for the folder's name.
  std::string title;
  // The order the pages show the pictures in, either style: by name (the list's), or by date.
  browse::PictureOrder order = browse::PictureOrder::Name;
  // The folder's entries named like pictures that are no files to read (a FIFO, a device, a
  // link to nothing), each with why: not in the list, but told as pictures left out.
  std::vector<std::pair<std::string, std::string>> notPictures;
  // Modern only: the whole tree under the folder, each folder with pictures at or below it an
  // album with its own gallery (album_run.h). The picture list above is then read per album.
  bool albums = false;
  // The caller already holds the folder's lock (an albums run locks every album first).
  bool folderLockHeld = false;
  // An album's place in the tree, for its breadcrumbs and sub-album cards; none for one folder.
  const gallery::AlbumPlace* album = nullptr;
};

// Why a run would not start. Nothing was written then.
enum class RefusalKind {
  BadPrefix,          // the prefix cannot start a file name (detail: the prefix)
  FolderNotWritable,  // files cannot be made in the folder (file: the folder)
  FolderNotReadable,  // the folder cannot be opened to take its lock (file: the folder)
  FolderBusy,         // another Create held the folder for all of CreateSettings::lockWait
};

struct Refusal {
  RefusalKind kind = RefusalKind::FolderNotWritable;
  std::string file{};       // the folder, in its native bytes
  std::error_code error{};  // the system's reason, where the system refused
  std::string detail{};     // data the front end's words need (the prefix)
  bool operator==(const Refusal&) const = default;
};

struct CreateReport {
  // Set when the run was refused: nothing was written, and the display showed at most the wait
  // for the lock.
  std::optional<Refusal> refused;
  // Pictures left out of the gallery, pages not written, leftovers that stay and a first page
  // no program showed, in the order met.
  std::vector<thumbs::RunProblem> problems;
  std::vector<thumbs::ThumbInfo> thumbs;  // the pictures the pages show, in the pages' order
  browse::FitSize last;                   // the last fit (the window's X and Y)
  int pageCount = 0;                      // pages the gallery has
  bool pagesInPlace = false;              // the pages of this gallery are all in place
  int pagesChanged = 0;                   // pages written because their text changed
  int thumbnailsMade = 0;                 // thumbnails written by this run
  int thumbnailsKept = 0;                 // thumbnails already up to date, left as they were
  // The leftover thumbnails, pages and style sheet of an earlier gallery this run removed, by
  // file name, in the order removed.
  std::vector<std::string> filesRemoved;
  // Temporary files of runs that were killed, removed before this run began (not counted above).
  std::vector<std::string> temporariesRemoved;
  bool firstPageOpened = false;
  // How long the run waited for another Create to let go of the folder (zero: no wait).
  std::chrono::duration<double> lockWaited{};
  // thumbnails.stop was requested: the run ended early; its temporaries are gone and no
  // leftover was removed. Unless pagesInPlace, no page changed either.
  bool stopped = false;
  // Modern, originals linked: how many of the linked originals carry a GPS position.
  int linkedWithLocation = 0;
};

// Why the run would not start (a prefix that cannot stand in a file name, a folder that cannot
// be written), or nothing.
std::optional<Refusal> createSettingsRefusal(const CreateSettings& settings);

// Runs Create on the calling thread without returning to its event loop. It first takes the
// folder's lock (waiting up to settings.lockWait with a notice; refused as FolderBusy after
// that). Then it resets the fill, shows
// the notice (repainted at once) and the track, makes the thumbnails, resets the fill, writes
// the pages of the pictures that have thumbnails, hides the notice and the track, then opens
// the first page through `shell` when asked and it was written. The notice and the track are
// hidden however the run ends, also when it ends by an exception. A picture that cannot be made
// is in the report and does not stop the run. The pages go in place all together or not at all;
// only once they are in place are the earlier gallery's leftovers (thumbnails of pictures no
// longer shown, pages past the new count) removed, so a failed run leaves the old gallery whole.
// A thumbnail the disk could not take (full, read-only) stops the run before the pages.
// Once it holds the lock, the run removes the temporaries killed runs left (stale_temporaries.h).
// When settings.thumbnails.stop is requested (looked at while waiting for the lock, between
// thumbnails and between pages) the run ends as one that failed: the old gallery stays whole.
CreateReport runCreate(const CreateSettings& settings, common::ProgressDisplay& progress,
                       Shell* shell);

}  // namespace vistrel::run
