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
#include <unordered_set>

#include "common/numbers.h"
#include "common/read_file.h"
#include "common/whole_file.h"
#include "gallery/page_markup.h"
#include "gallery/picture_page.h"

namespace vistrel::gallery {
using common::growFill;
using common::ProgressDisplay;
using common::ProgressStep;
using common::putInPlace;
using common::writeTemporaryFor;
using thumbs::ThumbInfo;

namespace {

std::string utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// Pages are a few megabytes at the most (100 x 100 cells); anything larger is not one of ours.
constexpr off_t kLargestPage = 256 << 20;

enum class Existing { Absent, Page, Other };

// What stands at a page's name: nothing, a regular file (read into `bytes`), or something else
// (`error` says what: a folder, a file that cannot be read).
Existing readExisting(const std::filesystem::path& file, std::string& bytes, int& error) {
  // Never through a link: the page it points to is not ours to judge or replace.
  const common::RegularFile existing(file, common::Links::Refuse);
  const common::ReadError failure = existing.readWhole(bytes, kLargestPage);
  error = failure.code.value();
  switch (failure.kind) {
    case common::ReadErrorKind::None:
    case common::ReadErrorKind::Changed:  // cut short while read: judged by what was read
      return Existing::Page;
    case common::ReadErrorKind::Open:
      return error == ENOENT ? Existing::Absent : Existing::Other;
    default:
      return Existing::Other;
  }
}

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

// Written files wait under temporary names until all are written; whatever is still here when
// the writer leaves (by a failure) is removed.
class StagedFiles {
 public:
  StagedFiles() = default;
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  ~StagedFiles() {
    for (size_t i = tried_; i < files_.size(); ++i) {
      ::unlink(files_[i].first.c_str());
    }
  }

  void stage(const std::filesystem::path& file, const std::string& text) {
    try {
      files_.emplace_back(writeTemporaryFor(file, text), file);
    } catch (const std::system_error& e) {
      throw PageWriteError(utf8Path(file), e.code());
    }
  }
  size_t count() const { return files_.size(); }
  // Once the renames start, they all go through.
  void putAllInPlace() {
    while (tried_ < files_.size()) {
      const auto& [temporary, file] = files_[tried_++];
      try {
        putInPlace(temporary, file);
      } catch (const std::system_error& e) {
        throw PageWriteError(utf8Path(file), e.code());
      }
    }
  }

 private:
  std::vector<std::pair<std::filesystem::path, std::filesystem::path>> files_;
  size_t tried_ = 0;  // files before this one were put in place (or removed on failure)
};

// Stages a sheet or script of ours unless the file already holds `text`; a file of its name
// that `ours` does not recognise stops the writer before anything is put in place.
void stageOwnFile(const std::filesystem::path& file, const std::string& text,
                  bool (*ours)(std::string_view), StagedFiles& staged) {
  std::string existing;
  int error = 0;
  const Existing found = readExisting(file, existing, error);
  if (found == Existing::Other || (found == Existing::Page && !ours(existing))) {
    throw PageWriteError(utf8Path(file), {});
  }
  if (found == Existing::Absent || existing != text) {
    staged.stage(file, text);
  }
}

bool isOurStyleSheet(std::string_view text) {
  return text.rfind(styleSheetMark(), 0) == 0;
}

// Stages `page` unless the file already holds it; a file that is not a page of ours stops the
// writer before anything is put in place.
void stagePage(const std::filesystem::path& file, const std::string& page, StagedFiles& staged) {
  std::string existing;
  int error = 0;
  switch (readExisting(file, existing, error)) {
    case Existing::Absent:
      break;
    case Existing::Page:
      if (existing == page) {
        return;
      }
      if (!isOurPage(existing)) {
        throw PageWriteError(utf8Path(file), {});
      }
      break;
    case Existing::Other:
      throw PageWriteError(utf8Path(file), error != 0
                                               ? std::error_code(error, std::generic_category())
                                               : std::error_code());
  }
  staged.stage(file, page);
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
                       const std::vector<std::string>& targets, PageCells& cells) {
  const long long slots = static_cast<long long>(table.Rows) * table.Columns;
  const int first = cells.next;
  for (long long slot = 0; slot < slots; ++slot) {
    cells.take();
  }
  const auto count = static_cast<size_t>(cells.next - first);
  return ModernPage(std::span(cells.thumbs).subspan(first, count),
                    std::span(targets).subspan(first, count), first + 1, nav, page, pageCount,
                    layout);
}

// Each picture's page name, or "" when it can have none: the name is too long for the folder,
// or a file that is not a page of ours holds it (then `problems` hears of it).
std::vector<std::string> planPicturePages(const std::filesystem::path& folder,
                                          const std::vector<ThumbInfo>& thumbs,
                                          std::vector<thumbs::RunProblem>* problems) {
  long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  limit = limit > 0 ? limit : 255;
  std::vector<std::string> pages;
  std::string existing;
  for (const auto& thumb : thumbs) {
    std::string name = picturePageName(thumb.FileName);
    thumbs::RunProblem problem{name, thumbs::ProblemKind::PageNotWritten};
    problem.other = thumb.FileName;
    int error = 0;
    if (name.size() > static_cast<size_t>(limit)) {
      problem.cause = thumbs::Cause::NameTooLong;
      problem.limit = limit;
    } else if (const Existing found = readExisting(folder / name, existing, error);
               found == Existing::Other ||
               (found == Existing::Page && !isOurModernPage(existing))) {
      problem.cause = thumbs::Cause::TakenByOther;
    } else {
      pages.push_back(std::move(name));
      continue;
    }
    if (problems != nullptr) {
      problems->push_back(std::move(problem));
    }
    pages.emplace_back();
  }
  return pages;
}

// The picture pages of `thumbs` (those `pages` names), staged unless unchanged. Previous and Next
// step over the pictures that have no page; Back leads to the gallery page holding the picture.
void stagePicturePages(const std::filesystem::path& folder, const std::vector<ThumbInfo>& thumbs,
                       const std::vector<std::string>& pages, int perPage,
                       const PicturePageOptions& options, const common::StopRequest* stop,
                       StagedFiles& staged) {
  std::vector<size_t> withPage;
  for (size_t i = 0; i < pages.size(); ++i) {
    if (!pages[i].empty()) {
      withPage.push_back(i);
    }
  }
  for (size_t k = 0; k < withPage.size(); ++k) {
    if (common::stopRequested(stop)) {
      throw common::RunStopped();
    }
    const size_t i = withPage[k];
    PictureLinks links;
    if (k > 0) {
      links.previous = pages[withPage[k - 1]];
    }
    if (k + 1 < withPage.size()) {
      links.next = pages[withPage[k + 1]];
      links.nextCopy = thumbs[withPage[k + 1]].ViewFile;
    }
    links.number = static_cast<int>(i) + 1;
    links.count = static_cast<int>(thumbs.size());
    links.page = static_cast<int>(i / static_cast<size_t>(perPage)) + 1;
    links.back = pageName(links.page);
    stagePage(folder / pages[i], PicturePage(thumbs[i], links, options.originals), staged);
  }
}

// Sheet and script first (`ownFiles` counts them), then the picture pages, so no gallery page is
// ever shown without what it links.
std::vector<std::string> stageModernFiles(const std::filesystem::path& folder,
                                          const std::vector<ThumbInfo>& thumbs,
                                          const TableSettings& table, const ModernLayout& layout,
                                          const PicturePageOptions& options,
                                          const common::StopRequest* stop, StagedFiles& staged,
                                          size_t& ownFiles) {
  stageOwnFile(folder / kStyleSheetName, ModernStyleSheet(layout), isOurStyleSheet, staged);
  const std::vector<std::string> pages = planPicturePages(folder, thumbs, options.problems);
  std::vector<std::string> targets;
  for (size_t i = 0; i < thumbs.size(); ++i) {
    targets.push_back(pages[i].empty() ? pagelessTarget(thumbs[i], options.originals) : pages[i]);
  }
  const bool anyPage = std::any_of(pages.begin(), pages.end(), [](auto& p) { return !p.empty(); });
  if (anyPage) {
    stageOwnFile(folder / kScriptName, PictureScript(), isOurScript, staged);
  }
  ownFiles = staged.count();
  stagePicturePages(folder, thumbs, pages, std::max(table.Rows * table.Columns, 1), options, stop,
                    staged);
  return targets;
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
  size_t ownFiles = 0;  // the sheet and the script, not counted as pages
  if (modern && pageCount > 0) {
    progress.setStatus({common::Phase::Pages, 1, pageCount});
    targets = stageModernFiles(folder, thumbs, table, layout, pictures, stop, staged, ownFiles);
  }
  PageCells cells{thumbs, progress,
                  ProgressStep(progress.trackWidth(), static_cast<int>(thumbs.size()))};
  for (int p = 1; p <= pageCount; ++p) {
    progress.setStatus({common::Phase::Pages, p, pageCount});
    if (common::stopRequested(stop)) {
      throw common::RunStopped();
    }
    const NavigationTargets nav = navigationTargets(p, pageCount);
    const std::string page = modern ? modernPage(table, nav, p, pageCount, layout, targets, cells)
                                    : classicPage(table, nav, cells);
    stagePage(folder / pageName(p), page, staged);
  }
  // The last look: once the renames start, they all go through.
  if (common::stopRequested(stop)) {
    throw common::RunStopped();
  }
  staged.putAllInPlace();
  return static_cast<int>(staged.count() - ownFiles);
}

bool isOurPage(std::string_view page) {
  static const std::string head = pageHeadText();
  static const std::string tail = pageTailText();
  return (page.size() >= head.size() + tail.size() && page.substr(0, head.size()) == head &&
          page.substr(page.size() - tail.size()) == tail) ||
         isOurModernPage(page);
}

namespace {

// Removes `name` from `folder`, adding it to `removed`, or to `problems` when it stays.
void removeFile(const std::filesystem::path& folder, std::string_view name,
                std::vector<std::string>& removed, std::vector<thumbs::RunProblem>& problems) {
  const std::filesystem::path file = folder / std::string(name);
  if (::unlink(file.c_str()) == 0) {
    removed.emplace_back(name);
  } else if (errno != ENOENT) {
    problems.push_back({std::string(name), thumbs::ProblemKind::NotRemoved,
                        std::error_code(errno, std::generic_category())});
  }
}

}  // namespace

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
                         std::vector<thumbs::RunProblem>& problems) {
  // Names only: the folder may hold tens of thousands of pictures and thumbnails.
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return;
  }
  std::string existing;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    const auto number = pageNumber(name);
    if (!number || *number <= pageCount) {
      continue;
    }
    const std::filesystem::path file = folder / std::string(name);
    int error = 0;
    if (readExisting(file, existing, error) != Existing::Page || !isOurPage(existing)) {
      continue;
    }
    removeFile(folder, name, removed, problems);
  }
  ::closedir(dir);
}

void removeLeftoverPicturePages(const std::filesystem::path& folder,
                                const std::vector<ThumbInfo>& shown,
                                std::vector<std::string>& removed,
                                std::vector<thumbs::RunProblem>& problems) {
  std::unordered_set<std::string> current;
  for (const auto& thumb : shown) {
    current.insert(picturePageName(thumb.FileName));
  }
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return;
  }
  bool pagesLeft = false;
  std::vector<std::string> leftovers;
  std::string existing;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name(entry->d_name);
    int error = 0;
    if (!isPicturePageName(name) ||
        readExisting(folder / name, existing, error) != Existing::Page ||
        !isOurModernPage(existing)) {
      continue;
    }
    if (current.contains(name)) {
      pagesLeft = true;
    } else {
      leftovers.push_back(name);
    }
  }
  ::closedir(dir);
  std::sort(leftovers.begin(), leftovers.end());
  for (const auto& name : leftovers) {
    removeFile(folder, name, removed, problems);
  }
  int error = 0;
  if (!pagesLeft && readExisting(folder / kScriptName, existing, error) == Existing::Page &&
      isOurScript(existing)) {
    removeFile(folder, kScriptName, removed, problems);
  }
}

}  // namespace vistrel::gallery
