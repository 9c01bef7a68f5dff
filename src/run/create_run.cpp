#include "run/create_run.h"

#include <malloc.h>

#include <exception>

#include "thumbs/prefix_check.h"

namespace vistrel {

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
// run, blocks up to 32 MB stay in the heap and are reused; afterwards the defaults come back and
// the free memory is returned.
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

std::optional<std::string> createSettingsProblem(const CreateSettings& settings) {
  return prefixProblem(settings.thumbnails.prefix);
}

CreateReport runCreate(const CreateSettings& settings, ProgressDisplay& progress, Shell* shell) {
  CreateReport report;
  if (auto problem = createSettingsProblem(settings)) {
    report.refused = std::move(problem);
    return report;
  }
  const auto& folder = settings.thumbnails.folder;
  bool firstPageWritten = false;
  {
    progress.setFillWidth(0);
    progress.setNoticeVisible(true);
    ShownWhileRunning shown(progress);
    progress.refreshNotice();
    progress.setTrackVisible(true);

    auto batch = [&] {
      ReusedLargeBlocks reuse;
      BatchSettings thumbnails = settings.thumbnails;
      thumbnails.make2x = settings.style == PageStyle::Modern;
      return MakeThumbnails(thumbnails, progress);
    }();
    report.thumbs = std::move(batch.thumbs);
    report.problems = std::move(batch.problems);
    report.last = batch.last;

    progress.setFillWidth(0);
    const auto& table = settings.table;
    report.pageCount = pageCount(static_cast<int>(report.thumbs.size()), table.Rows, table.Columns);
    if (report.pageCount > 0) {
      try {
        CreateHTML(folder, report.thumbs, table, report.pageCount, settings.thumbnails.prefix,
                   progress, settings.style);
        firstPageWritten = true;
      } catch (const PageWriteError& e) {
        const auto page = std::filesystem::path(e.file()).filename().string();
        // The style sheet goes before the pages, so when it fails no page was written.
        const bool sheet = page == kStyleSheetName;
        report.problems.push_back({page, (sheet ? "the style sheet could not be written: "
                                                : "the page could not be "
                                                  "written: ") +
                                             e.reason()});
        firstPageWritten = !sheet && page != pageName(1);
      }
    }
  }
  if (settings.openFirstPage && firstPageWritten && shell != nullptr) {
    const auto first = pageName(1);
    report.firstPageOpened = shell->openDocument(folder / first);
    if (!report.firstPageOpened) {
      report.problems.push_back({first, "no program could be started to show the page"});
    }
  }
  return report;
}

}  // namespace vistrel
