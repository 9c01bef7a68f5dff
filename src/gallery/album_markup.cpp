#include "gallery/album_markup.h"

#include "common/numbers.h"
#include "gallery/modern_markup.h"
#include "gallery/page_markup.h"
#include "gallery/page_writer.h"

namespace vistrel::gallery {
using common::decimalText;

namespace {

// A path below the page, each name made a link's part on its own.
std::string pathLink(const std::vector<std::string>& parts, std::string (*link)(std::string_view)) {
  std::string out;
  for (const auto& part : parts) {
    if (!out.empty()) {
      out += '/';
    }
    out += link(part);
  }
  return out;
}

std::string card(const AlbumCard& album) {
  const std::string first = htmlLink(album.folder) + "/" + htmlLink(pageName(1));
  std::string out = "<li><a href=\"" + first + "\">";
  if (!album.cover.empty()) {
    const std::string folder = htmlLink(album.folder) + "/";
    out += "<img" + attribute("src", folder + pathLink(album.cover, htmlLink));
    if (!album.cover2x.empty()) {
      std::vector<std::string> dense = album.cover;
      dense.back() = album.cover2x;
      out +=
          attribute("srcset", srcsetLink(album.folder) + "/" + pathLink(dense, srcsetLink) + " 2x");
    }
    out += attribute("width", decimalText(album.width)) +
           attribute("height", decimalText(album.height)) + " alt=\"\">";
  }
  out += htmlText(album.folder) + "</a><small>" + decimalText(album.pictures) +
         (album.pictures == 1 ? " picture" : " pictures") + "</small></li>";
  return out;
}

}  // namespace

std::string breadcrumbBar(const AlbumPlace& place, bool current) {
  std::string out = "<nav aria-label=\"Albums\" class=\"crumbs\">";
  const size_t last = place.trail.size();
  for (size_t i = 0; i < last; ++i) {
    std::string href;
    for (size_t up = i + 1; up < last; ++up) {
      href += "../";
    }
    href += htmlLink(pageName(1));
    if (i > 0) {
      out += "<span aria-hidden=\"true\">&gt;</span>";
    }
    out += "<a href=\"" + href + "\"" + (current && i + 1 == last ? " aria-current=\"page\"" : "") +
           ">" + htmlText(place.trail[i]) + "</a>";
  }
  return out + "</nav>";
}

std::string albumCards(const AlbumPlace& place) {
  if (place.cards.empty()) {
    return "";
  }
  std::string out = "<ul class=\"albums\" style=\"margin-bottom:12px\">\r\n";
  for (const auto& album : place.cards) {
    line(out, card(album));
  }
  out += "</ul>";
  return out;
}

std::string placedInAlbum(std::string page, const AlbumPlace& place, AlbumPage which) {
  return placedInAlbum(std::move(page), place, which,
                       breadcrumbBar(place, which != AlbumPage::Picture));
}

std::string placedInAlbum(std::string page, const AlbumPlace& place, AlbumPage which,
                          const std::string& bar) {
  const size_t body = page.find("<body");
  const size_t bodyEnd = body == std::string::npos ? body : page.find(">\r\n", body);
  if (bodyEnd == std::string::npos) {
    return page;
  }
  page.insert(bodyEnd + 3, bar + "\r\n");
  const std::string cards = which == AlbumPage::First ? albumCards(place) : "";
  const size_t main = page.find("<main>\r\n", bodyEnd);
  if (!cards.empty() && main != std::string::npos) {
    page.insert(main + 8, cards + "\r\n");
  }
  return page;
}

}  // namespace vistrel::gallery
