#include "cli/batch_command.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include "cli/batch_folder.h"
#include "cli/batch_options.h"
#include "cli/batch_summary.h"
#include "cli/terminal_progress.h"
#include "common/stop_request.h"
#include "common/twips.h"
#include "run/problem_text.h"

namespace vistrel::cli {
using thumbs::BatchSettings;

using run::CreateReport;
using run::CreateSettings;
using run::runCreate;
using run::Shell;
using thumbs::RunProblem;

namespace {

CreateSettings createSettings(const BatchOptions& options, const BatchFolder& folder) {
  CreateSettings settings;
  BatchSettings& thumbs = settings.thumbnails;
  // Absolute, so the page handed to the desktop for --open does not depend on a working folder.
  std::error_code ec;
  thumbs.folder = std::filesystem::absolute(folder.folder, ec);
  if (ec) {
    thumbs.folder = folder.folder;
  }
  thumbs.pictureNames = folder.pictures;
  thumbs.ImageCount = static_cast<int>(folder.pictures.size());
  settings.notPictures = folder.notPictures;
  thumbs.largestWidth = static_cast<int16_t>(options.maxWidth);
  thumbs.largestHeight = static_cast<int16_t>(options.maxHeight);
  thumbs.prefix = options.prefix;
  thumbs.quality = options.quality;
  // No screen and no window: thumbnails fit as the window fits them at 96 DPI, and see-through
  // GIF pixels are laid on white.
  thumbs.twipsPerPixelX = static_cast<float>(common::kTwipsPerPixelAt96Dpi);
  thumbs.twipsPerPixelY = thumbs.twipsPerPixelX;
  thumbs.gifBackground = imaging::kPlainBackground;
  thumbs.types = options.types;
  settings.table = {options.rows, options.columns, options.border, options.padding,
                    options.spacing};
  settings.openFirstPage = options.open;
  settings.style = options.style;
  // Classic pages have no copies and link every original: what a modern run would take from
  // these must not reach a classic run.
  if (options.style == gallery::PageStyle::Modern) {
    thumbs.viewSize = options.viewSize;
    settings.originals = options.originals;
    settings.title = options.title;
    settings.albums = options.albums;
  }
  settings.order = options.order;
  thumbs.rebuild = options.rebuild;
  return settings;
}

void printLine(std::FILE* file, const std::string& text) {
  std::fprintf(file, "vistrel-batch: %s\n", text.c_str());
}

}  // namespace

int runBatchCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                    bool errIsTerminal, Shell& shell) {
  const ParsedCommandLine parsed = parseCommandLine(args);
  switch (parsed.action) {
    case BatchAction::Help:
      std::fputs(usageText().c_str(), out);
      return kAllWritten;
    case BatchAction::Version:
      std::fputs(versionText().c_str(), out);
      return kAllWritten;
    case BatchAction::BadInput:
      std::fprintf(err, "%s\n", parsed.error.c_str());
      return kBadInput;
    case BatchAction::Run:
      break;
  }
  const BatchFolder folder =
      readBatchFolder(parsed.options.folder, parsed.options.types,
                      parsed.options.albums && parsed.options.style == gallery::PageStyle::Modern);
  if (!folder.ok) {
    std::fprintf(err, "%s\n", folder.error.c_str());
    return kBadInput;
  }
  // Ctrl-C and SIGTERM stop the run between files, so it can take its temporaries away.
  common::StopRequest stop;
  const common::StopOnSignals stopOnSignals(stop);
  CreateSettings settings = createSettings(parsed.options, folder);
  settings.thumbnails.stop = &stop;

  TerminalProgress progress(err, errIsTerminal);
  const auto started = std::chrono::steady_clock::now();
  CreateReport report;
  try {
    report = runCreate(settings, progress, &shell);
  } catch (const std::exception& e) {
    progress.finish();
    printLine(err, std::string("the run stopped: ") + escaped(e.what()));
    return kSomeNotWritten;
  }
  const std::chrono::duration<double> seconds =
      std::chrono::steady_clock::now() - started - report.lockWaited;
  progress.finish();
  if (report.refused) {
    printLine(err, refusalLine(*report.refused));
    return kBadInput;
  }

  for (const auto& name : report.temporariesRemoved) {
    printLine(err, temporaryRemovedLine(name));
  }
  bool failed = false;
  RunCounts counts;
  for (const RunProblem& problem : report.problems) {
    counts.picturesLeftOut += problem.pictureLeftOut() ? 1 : 0;
    // A first page no program showed is told, but is no failure: everything was written.
    failed = failed || problem.isFailure();
    printLine(err, problemLine(problem));
  }
  if (report.stopped) {
    printLine(err, stoppedLine(report.pagesInPlace, report.thumbnailsMade));
    return stop.signal() != 0 ? kStoppedBySignal + stop.signal() : kSomeNotWritten;
  }
  counts.thumbnailsMade = report.thumbnailsMade;
  counts.thumbnailsKept = report.thumbnailsKept;
  counts.pagesWritten = report.pagesChanged;
  for (const std::string& file : report.filesRemoved) {
    printLine(err, removedLine(escaped(file)));
  }
  counts.filesRemoved = static_cast<int>(report.filesRemoved.size());
  if (const std::string located = run::locationText(report.linkedWithLocation); !located.empty()) {
    printLine(err, located);
  }
  printLine(err, summaryLine(counts, seconds.count(), report.lockWaited.count()));
  return failed ? kSomeNotWritten : kAllWritten;
}

}  // namespace vistrel::cli
