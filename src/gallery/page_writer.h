#pragma once
// Writes the gallery: numbered pages of rows x columns thumbnail cells, linked to each other by
// Home / Previous / Next / Last navigation. Page text comes from page_markup.h.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/defaults.h"
#include "common/progress.h"
#include "common/stop_request.h"
#include "gallery/album_markup.h"
#include "gallery/modern_page.h"
#include "thumbs/run_problem.h"
#include "thumbs/thumb_info.h"

namespace vistrel::gallery {
using thumbs::ThumbInfo;

// The five numbers of the table settings, as the page writer reads them. Rows and columns are
// 1..100, the others 0..20 (table_settings.h corrects typed values into these ranges).
struct TableSettings {
  int Rows = common::kTableCountInitial;
  int Columns = common::kTableCountInitial;
  int BorderSize = common::kTableSpacingInitial;
  int CellPadding = common::kTableSpacingInitial;
  int CellSpacing = common::kTableSpacingInitial;
};

// The smallest page count N with N x rows x columns >= imageCount: 0 pictures give 0 pages, a
// partly filled last page counts. Gives 0 when rows or columns is below 1 (no cell holds a
// picture then). Any non-negative int count works.
int pageCount(int imageCount, int rows, int columns);

// The file name (no folder) of 1-based page `page`: "Thumb" + the number with at least three
// digits + ".html": Thumb001.html, Thumb010.html, Thumb100.html, Thumb1000.html.
std::string pageName(int page);
// The page number `name` stands for when it is exactly pageName(number), else nothing.
std::optional<int> pageNumber(std::string_view name);

// Where a page's navigation items lead: a page file name, or "" when the item is plain text.
// Home and Previous are empty on the first page, Next and Last on the last.
struct NavigationTargets {
  std::string Home;
  std::string Previous;
  std::string Next;
  std::string Last;
};
// `page` is 1-based, 1 <= page <= pages.
NavigationTargets navigationTargets(int page, int pages);

// A page that could not be written: the system's error, or none when a file of its name is not
// ours (a page, or the style sheet). The front ends word it from these.
class PageWriteError : public std::runtime_error {
 public:
  PageWriteError(std::string file, std::error_code error);
  // The page's full path (UTF-8).
  const std::string& file() const { return file_; }
  // Why it failed, e.g. EISDIR or ENOSPC.
  std::error_code error() const { return error_; }
  bool notOurs() const { return !error_; }

 private:
  std::string file_;
  std::error_code error_;
};

// What the modern style's picture pages are made with, and where the run hears of the pictures
// that get none.
struct PicturePageOptions {
  Originals originals = Originals::Link;
  // Each picture whose page name is held by a file not ours (PageNotWritten, TakenByOther; its
  // cell links as pagelessTarget says) or is too long for the folder (NameTooLong).
  std::vector<thumbs::RunProblem>* problems = nullptr;
  // The title every modern page shows, and the introduction of the first.
  GalleryWords words{};
  // The gallery's place among albums (breadcrumbs, sub-album cards), or none.
  const AlbumPlace* album = nullptr;
};

// Writes pages 1..pageCount into `folder` and returns how many files changed. `thumbs` holds the
// records of the pictures shown, in order: index 0 is picture 1; the caller passes only pictures
// that have thumbnails. Pictures fill the cells row by row and run on across pages; cells past
// the last picture are left out, so trailing rows may be empty. Each record names its
// renditions' files. Pages of later numbers are left to removeLeftoverPages.
//
// Progress: for each page the notice shows Phase::Pages, the page and the count; the fill grows by
// ProgressStep(trackWidth, thumbs.size()) once per cell slot of every page, filled or not.
// The caller resets the fill beforehand.
//
// All or nothing: every page is written under a temporary name first, and only when all are
// written are they renamed into place, so a failure (a full disk) leaves the earlier gallery
// whole. A page whose bytes would not change is not rewritten, so its modification time stays.
// A file of a page's name that is not a page of ours is never replaced. The first failure
// throws PageWriteError naming the page; then no page has changed. Returns how many pages were
// written (the unchanged ones not counted).
//
// In the modern style the pages hold the same pictures (border, padding and spacing do not
// apply) and kStyleSheetName goes in place with them, under the same rules: rewritten only when
// its bytes change, and a file of that name that does not start with styleSheetMark is not
// ours, so it is left as it is and PageWriteError names it.
//
// The modern style also writes a page for each picture (picture_page.h) and kScriptName, under
// the same rules; a picture page's name held by a file not ours only costs that picture its page.
// They go in place before the gallery pages that link them.
//
// `stop` is looked at before each page and before the pages go in place: once requested, the
// written pages are removed and common::RunStopped is thrown, no page having changed.
int CreateHTML(const std::filesystem::path& folder, const std::vector<thumbs::ThumbInfo>& thumbs,
               const TableSettings& table, int pageCount, common::ProgressDisplay& progress,
               PageStyle style = PageStyle::Classic, const common::StopRequest* stop = nullptr,
               const PicturePageOptions& pictures = {});

// True when `page` is the whole text of a gallery page this program writes in either style (the
// classic pages' fixed opening and closing lines, or the modern pages' generator tag), whatever
// its pictures.
bool isOurPage(std::string_view page);

// Removes kStyleSheetName from `folder` when it is ours (a classic gallery needs none) and adds
// its name to `removed`. A sheet that cannot be removed is added to `problems` (NotRemoved).
void removeLeftoverStyleSheet(const std::filesystem::path& folder,
                              std::vector<std::string>& removed,
                              std::vector<thumbs::RunProblem>& problems);

// Removes the pages of ours numbered past `pageCount` (left by an earlier, longer gallery) and
// adds their names to `removed`. A file of such a name that is not a page of ours stays; a page
// that cannot be removed is added to `problems` (NotRemoved).
// `listed`: the folder's names as the run's listing found them (forEachName), or nullptr.
void removeLeftoverPages(const std::filesystem::path& folder, int pageCount,
                         std::vector<std::string>& removed,
                         std::vector<thumbs::RunProblem>& problems,
                         const std::unordered_set<std::string>* listed = nullptr);

// Removes the picture pages of ours whose picture is not in `shown` (all of them for a classic
// gallery, which passes none), and kScriptName when it is ours and no picture page of ours is
// left (none is, when none is shown), adding their names to `removed`. Files not ours stay; a file
// that cannot be removed is added to `problems` (NotRemoved).
void removeLeftoverPicturePages(const std::filesystem::path& folder,
                                const std::vector<thumbs::ThumbInfo>& shown,
                                std::vector<std::string>& removed,
                                std::vector<thumbs::RunProblem>& problems,
                                const std::unordered_set<std::string>* listed = nullptr);

}  // namespace vistrel::gallery
