#pragma once
// Writes the gallery: numbered pages of rows x columns thumbnail cells, linked to each other by
// Home / Previous / Next / Last navigation. Page text comes from page_markup.h.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/progress.h"
#include "gallery/modern_page.h"
#include "thumbs/thumb_info.h"

namespace vistrel {

// The five numbers of the table settings, as the page writer reads them. Rows and columns are
// 1..100, the others 0..20 (table_settings.h corrects typed values into these ranges).
struct TableSettings {
  int Rows = 1;
  int Columns = 1;
  int BorderSize = 2;
  int CellPadding = 2;
  int CellSpacing = 2;
};

// The smallest page count N with N x rows x columns >= imageCount: 0 pictures give 0 pages, a
// partly filled last page counts. Gives 0 when rows or columns is below 1 (no cell holds a
// picture then). Any non-negative int count works.
int pageCount(int imageCount, int rows, int columns);

// The file name (no folder) of 1-based page `page`: "Thumb" + the number with at least three
// digits + ".html": Thumb001.html, Thumb010.html, Thumb100.html, Thumb1000.html.
std::string pageName(int page);

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

// The working notice while page `page` of `pages` is written:
// "Writing HMTL Document(s)...     (2 of 4)".
std::string pageStatusText(int page, int pages);

// A page that could not be written. what() is the whole message for the user.
class PageWriteError : public std::runtime_error {
 public:
  PageWriteError(std::string file, std::string reason);
  // The page's full path (UTF-8).
  const std::string& file() const { return file_; }
  // Why it failed, e.g. "Is a directory" or "No space left on device".
  const std::string& reason() const { return reason_; }

 private:
  std::string file_;
  std::string reason_;
};

// Writes pages 1..pageCount into `folder` (pages of later numbers left by an earlier, longer run
// are not touched). `thumbs` holds the records of the pictures shown, in order: index 0 is
// picture 1; the caller passes only pictures that have thumbnails. Pictures fill the cells row
// by row and run on across pages; cells past the last picture are left out, so trailing rows
// may be empty. `prefix` is the thumbnail file-name prefix (thumbnailName).
//
// Progress: for each page the notice shows pageStatusText; the fill grows by
// ProgressStep(trackWidth, thumbs.size()) once per cell slot of every page, filled or not.
// The caller resets the fill beforehand.
//
// Each page is written whole under a temporary name in `folder` and renamed into place, so a
// failure never leaves a half-written page or destroys the page of an earlier run. The first
// failure throws PageWriteError naming the page; pages finished before it stay.
//
// In the modern style the pages hold the same pictures (border, padding and spacing do not
// apply) and kStyleSheetName is written before the first page. A file of that name that does
// not start with styleSheetMark is not ours: it is left as it is and PageWriteError names it
// before any page is written.
void CreateHTML(const std::filesystem::path& folder, const std::vector<ThumbInfo>& thumbs,
                const TableSettings& table, int pageCount, const std::string& prefix,
                ProgressDisplay& progress, PageStyle style = PageStyle::Classic);

}  // namespace vistrel
