#pragma once
// The Create run: thumbnails, then gallery pages, then (when asked) the first page opened. The
// window and the command-line program both call it; each shows the report its own way.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "browse/fit.h"
#include "common/progress.h"
#include "gallery/page_writer.h"
#include "thumbs/make_thumbnails.h"
#include "thumbs/thumb_info.h"

namespace vistrel {

// Opens a document with the desktop's default program for it.
class Shell {
 public:
  virtual ~Shell() = default;
  // True when a program took the document.
  virtual bool openDocument(const std::filesystem::path& file) = 0;
};

struct CreateSettings {
  BatchSettings thumbnails;   // folder, pictures, sizes, prefix, quality, workers
  TableSettings table;        // rows, columns, border, padding, spacing
  bool openFirstPage = true;  // "Open in Browser" checked
  // Modern pages also need each picture's double-density thumbnail; the run asks the batch for
  // them, whatever thumbnails.make2x says.
  PageStyle style = PageStyle::Classic;
};

struct CreateReport {
  // Set when the settings were refused: nothing was written and the display was not touched.
  std::optional<std::string> refused;
  // Pictures left out of the gallery and a page that could not be written, in the order met.
  std::vector<RunProblem> problems;
  std::vector<ThumbInfo> thumbs;  // the pictures the pages show, in list order
  FitSize last;                   // the last fit (the window's X and Y)
  int pageCount = 0;              // pages the gallery has
  bool firstPageOpened = false;

  // Everything a user must hear about the run, one problem per line ("" when all went well).
  std::string problemText() const;
};

// Why the run would not start (a prefix that cannot stand in a file name), or nothing.
std::optional<std::string> createSettingsProblem(const CreateSettings& settings);

// Runs Create on the calling thread without returning to its event loop: resets the fill, shows
// the notice (repainted at once) and the track, makes the thumbnails, resets the fill, writes
// the pages of the pictures that have thumbnails, hides the notice and the track, then opens
// the first page through `shell` when asked and it was written. The notice and the track are
// hidden however the run ends, also when it ends by an exception. A picture or page that cannot
// be made is in the report and does not stop the run; a page failure ends the pages there.
CreateReport runCreate(const CreateSettings& settings, ProgressDisplay& progress, Shell* shell);

}  // namespace vistrel
