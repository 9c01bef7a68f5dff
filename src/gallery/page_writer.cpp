#include "gallery/page_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <span>
#include <system_error>

#include "common/folder_names.h"
#include "common/numbers.h"
#include "gallery/page_markup.h"
#include "gallery/picture_page_writer.h"
#include "gallery/staged_files.h"

namespace vistrel::gallery {
using common::growFill;
using common::ProgressDisplay;
using common::ProgressStep;
using thumbs::ThumbInfo;

namespace {

std::string pageHeadText() {
  std::string head;
  PrintHead(head);
  return head;
}

std::string pageTailText() {
  std::string tail;
  PrintClose(tail, "", "", "", "");
  return tail.substr(tail.find("<BR><BR><BR>"));
}

}  // namespace

int pageCount(int imageCount, int rows, int columns) {
  if (imageCount <= 0 || rows < 1 || columns < 1) {
    return 0;
  }
  const long long cells = static_cast<long long>(rows) * columns;
  return static_cast<int>((imageCount + cells - 1) / cells);
}

std::string pageName(int page) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%03d", page);
  return std::string("Thumb") + digits + ".html";
}

std::optional<int> pageNumber(std::string_view name) {
  constexpr std::string_view stem = "Thumb", end = ".html";
  if (name.size() <= stem.size() + end.size() || name.substr(0, stem.size()) != stem ||
      name.substr(name.size() - end.size()) != end) {
    return std::nullopt;
  }
  const std::string_view digits = name.substr(stem.size(), name.size() - stem.size() - end.size());
  int number = 0;
  if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos ||
      std::from_chars(digits.data(), digits.data() + digits.size(), number).ec != std::errc() ||
      pageName(number) != name) {
    return std::nullopt;
  }
  return number;
}

NavigationTargets navigationTargets(int page, int pages) {
  NavigationTargets targets;
  if (page != 1) {
    targets.Home = pageName(1);
  }
  if (page - 1 >= 1) {
    targets.Previous = pageName(page - 1);
  }
  if (page + 1 <= pages) {
    targets.Next = pageName(page + 1);
  }
  if (page != pages) {
    targets.Last = pageName(pages);
  }
  return targets;
}

PageWriteError::PageWriteError(std::string file, std::error_code error)
    : std::runtime_error("Cannot write the gallery page \"" + file +
                         "\": " + (error ? error.message() : "a file of that name is not ours")),
      file_(std::move(file)),
      error_(error) {}

namespace {

bool isOurStyleSheet(std::string_view text) {
  return text.rfind(styleSheetMark(), 0) == 0;
}

// The pictures one page shows, from `next` on; the fill grows once per cell slot.
struct PageCells {
  const std::vector<ThumbInfo>& thumbs;
  ProgressDisplay& progress;
  int16_t step;
  int next = 0;  // the picture to place next; it runs on across pages

  // The next cell's picture, or null past the last.
  const ThumbInfo* take() {
    growFill(progress, step);
    return next < static_cast<int>(thumbs.size()) ? &thumbs[static_cast<size_t>(next++)] : nullptr;
  }
};

std::string classicPage(const TableSettings& table, const NavigationTargets& nav,
                        PageCells& cells) {
  std::string page;
  PrintHead(page);
  PrintTableBegin(page, table);
  for (int r = 0; r < table.Rows; ++r) {
    PrintRowBegin(page);
    for (int c = 0; c < table.Columns; ++c) {
      if (const ThumbInfo* thumb = cells.take()) {
        PrintColumn(page, *thumb);
      }
    }
    PrintRowEnd(page);
  }
  PrintTableEnd(page);
  PrintClose(page, nav.Home, nav.Previous, nav.Next, nav.Last);
  return page;
}

std::string modernPage(const TableSettings& table, const NavigationTargets& nav, int page,
                       int pageCount, const ModernLayout& layout,
                       const std::vector<std::string>& targets, const GalleryWords& words,
                       PageCells& cells) {
  const long long slots = static_cast<long long>(table.Rows) * table.Columns;
  const int first = cells.next;
  for (long long slot = 0; slot < slots; ++slot) {
    cells.take();
  }
  const auto count = static_cast<size_t>(cells.next - first);
  return ModernPage(std::span(cells.thumbs).subspan(first, count),
                    std::span(targets).subspan(first, count), first + 1, nav, page, pageCount,
                    layout, words);
}

}  // namespace

int CreateHTML(const std::filesystem::path& folder, const std::vector<ThumbInfo>& thumbs,
               const TableSettings& table, int pageCount, ProgressDisplay& progress,
               PageStyle style, const common::StopRequest* stop,
               const PicturePageOptions& pictures) {
  const bool modern = style == PageStyle::Modern;
  const ModernLayout layout = modernLayout(thumbs, table.Columns);
  StagedFiles staged;
  std::vector<std::string> targets;
  if (modern && pageCount > 0) {
    progress.setStatus({common::Phase::Pages, 1, pageCount});
    // The sheet and the picture pages go in place first, so no gallery page is ever shown
    // without what it links.
    stageOwnFile(folder / kStyleSheetName, ModernStyleSheet(layout), isOurStyleSheet, staged);
    targets = stagePictureFiles(folder, thumbs, std::max(table.Rows * table.Columns, 1), pictures,
                                stop, staged);
  }
  PageCells cells{thumbs, progress,
                  ProgressStep(progress.trackWidth(), static_cast<int>(thumbs.size()))};
  for (int p = 1; p <= pageCount; ++p) {
    progress.setStatus({common::Phase::Pages, p, pageCount});
    if (common::stopRequested(stop)) {
      throw common::RunStopped();
    }
    const NavigationTargets nav = navigationTargets(p, pageCount);
    std::string page =
        modern ? modernPage(table, nav, p, pageCount, layout, targets, pictures.words, cells)
               : classicPage(table, nav, cells);
    if (modern && pictures.album != nullptr) {
      page = placedInAlbum(std::move(page), *pictures.album,
                           p == 1 ? AlbumPage::First : AlbumPage::Later);
    }
    stagePage(folder / pageName(p), page, staged);
  }
  // The last look: once the renames start, they all go through.
  if (common::stopRequested(stop)) {
    throw common::RunStopped();
  }
  staged.putAllInPlace();
  return static_cast<int>(staged.pages());
}

bool isOurPage(std::string_view page) {
  static const std::string head = pageHeadText();
  static const std::string tail = pageTailText();
  return (page.size() >= head.size() + tail.size() && page.substr(0, head.size()) == head &&
          page.substr(page.size() - tail.size()) == tail) ||
         isOurModernPage(page);
}

void removeLeftoverStyleSheet(const std::filesystem::path& folder,
                              std::vector<std::string>& removed,
                              std::vector<thumbs::RunProblem>& problems) {
  const std::filesystem::path file = folder / kStyleSheetName;
  std::string existing;
  int error = 0;
  if (readExisting(file, existing, error) != Existing::Page ||
      existing.rfind(styleSheetMark(), 0) != 0) {
    return;
  }
  removeFile(folder, kStyleSheetName, removed, problems);
}

void removeLeftoverPages(const std::filesystem::path& folder, int pageCount,
                         std::vector<std::string>& removed,
                         std::vector<thumbs::RunProblem>& problems,
                         const std::unordered_set<std::string>* listed) {
  // Names only: the folder may hold tens of thousands of pictures and thumbnails.
  std::string existing;
  common::forEachName(folder, listed, [&](const char* entry) {
    const std::string_view name(entry);
    const auto number = pageNumber(name);
    if (!number || *number <= pageCount) {
      return;
    }
    const std::filesystem::path file = folder / std::string(name);
    int error = 0;
    if (readExisting(file, existing, error) == Existing::Page && isOurPage(existing)) {
      removeFile(folder, name, removed, problems);
    }
  });
}

}  // namespace vistrel::gallery
