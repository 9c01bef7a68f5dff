#pragma once
// Where a gallery stands in a tree of albums: the breadcrumbs every page and picture page show,
// and the cards of its sub-albums that open its first page. Only hrefs made here of ".." and
// page names, or of names through htmlLink, and only text through htmlText, so any folder name
// stays a path and plain text.

#include <string>
#include <string_view>
#include <vector>

namespace vistrel::gallery {

struct AlbumCard {
  std::string folder;  // the sub-album's folder name, any bytes
  // Its cover thumbnail's path below the sub-album ("th_x.jpg", "Deeper/th_y.jpg"), "" for none.
  std::vector<std::string> cover{};
  std::string cover2x{};  // the cover's double-density thumbnail's file name beside it, or ""
  int width = 0;          // the cover's size in CSS pixels
  int height = 0;
  int pictures = 0;  // shown in it and everything below
  bool operator==(const AlbumCard&) const = default;
};

struct AlbumPlace {
  std::vector<std::string> trail;  // folder names from the top album down to this one
  std::vector<AlbumCard> cards;    // sub-albums, in name order
};

// Which page of the album a page is: its first gallery page (which has the cards), a later one,
// or a picture page.
enum class AlbumPage { First, Later, Picture };

// `page` (a modern gallery page or picture page) with the breadcrumbs after its opening body tag
// and, on the first page, the cards at the start of its main part. Any other page is returned as
// it is.
std::string placedInAlbum(std::string page, const AlbumPlace& place, AlbumPage which);
// The same with its breadcrumb bar made already, for a writer placing many pages.
std::string placedInAlbum(std::string page, const AlbumPlace& place, AlbumPage which,
                          const std::string& bar);

// The breadcrumb bar: each album from the top a link to its first page; on a gallery page
// (`current`) the last is marked as the page shown.
std::string breadcrumbBar(const AlbumPlace& place, bool current);

// The sub-albums' cards as one list, "" without sub-albums.
std::string albumCards(const AlbumPlace& place);

}  // namespace vistrel::gallery
