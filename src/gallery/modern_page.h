#pragma once
// The modern page style: HTML5 pages that reflow from one column on a phone to the chosen
// number of columns, with double-density thumbnails, light and dark colours and keyboard
// navigation, sharing one small style sheet. Everything works from disk and offline: no page
// loads anything from outside the gallery's folder. Inserted text is escaped as on the classic
// pages (htmlText, htmlLink), so a page is pure ASCII whatever the names hold.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "thumbs/thumb_info.h"

namespace vistrel::gallery {

struct NavigationTargets;

// Which markup the gallery's pages get. Classic is the table pages, byte for byte as always.
enum class PageStyle { Classic, Modern };

// Whether a modern gallery's picture pages link each picture's original file ("Download
// original"), or publish only the copies the run made.
enum class Originals { Link, None };

// "classic" / "modern", as the command line and messages spell them.
std::string_view pageStyleName(PageStyle style);

// The style sheet every modern page links to, written beside the pages.
inline constexpr std::string_view kStyleSheetName = "vistrel.css";

// The generator tag's content on every modern page, "Vistrel" and the version ("Vistrel 1.5").
// Its first word is our mark: a page or sheet that carries it was written by us.
std::string generatorText();

// The first line of vistrel.css; a sheet that starts with it is ours.
std::string styleSheetMark();

// True when `page` is the whole text of a modern page of ours: it opens with the lines up to a
// generator tag naming Vistrel (of any version) and ends with the closing lines.
bool isOurModernPage(std::string_view page);

// The gallery's own words, plain text (the pages escape them): its title, in every page's
// title and heading, and the paragraphs of its introduction, on the first page.
struct GalleryWords {
  std::string title = "Pictures";
  std::vector<std::string> introduction;
};

// What a picture is called on the pages: its caption, else its file name.
const std::string& captionOf(const thumbs::ThumbInfo& picture);

// What the page and the sheet are laid out by.
struct ModernLayout {
  int columns = 1;      // columns on a wide screen, 1..100; also the pictures in the first row
  int cellWidth = 150;  // CSS pixels a cell's picture needs: the widest thumbnail of the gallery
};

// The layout of a gallery of `thumbs` at `columns` columns: the cell is as wide as the widest
// thumbnail, and at least wide enough for a short caption.
ModernLayout modernLayout(std::span<const thumbs::ThumbInfo> thumbs, int columns);

// The whole of vistrel.css for `layout`, CR LF line ends.
std::string ModernStyleSheet(const ModernLayout& layout);

// The whole text of page `page` of `pages` showing `cells` (in order) with the navigation `nav`.
// Each cell shows the renditions its record names (ThumbFile, and Thumb2xFile when set) and
// links the file of the same index in `targets` (its picture page; unlinked when ""). The
// cells' ids are "p" and the pictures' numbers in the gallery, from `firstNumber` on. Each
// picture's caption is its alt text and shows under it.
std::string ModernPage(std::span<const thumbs::ThumbInfo> cells,
                       std::span<const std::string> targets, int firstNumber,
                       const NavigationTargets& nav, int page, int pages,
                       const ModernLayout& layout, const GalleryWords& words = {});

}  // namespace vistrel::gallery
