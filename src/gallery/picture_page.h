#pragma once
// A modern gallery's page for each picture: its display copy fitted to the window, its name and
// sizes, the way to the pictures before and after it and back to its thumbnail, and (when
// originals are linked) the original to download. It works without script; vistrel.js beside
// the pages adds the arrow keys, Escape and a swipe.
//
// A picture page is named after the whole picture name plus ".html" ("Photo.jpg" gives
// "Photo.jpg.html"). The picture's extension stays in the name, so x.gif and x.jpg get pages
// of their own, and a page name always has a dot before the picture's extension: no gallery
// page (ThumbNNN.html, one dot), thumbnail or copy (ending in "jpg") or our style sheet or
// script can have it, in any letter case. Only a picture's own name can, which is its page.

#include <cstdint>
#include <string>
#include <string_view>

#include "gallery/modern_page.h"
#include "thumbs/thumb_info.h"

namespace vistrel::gallery {

// The script the picture pages load from beside them.
inline constexpr std::string_view kScriptName = "vistrel.js";

// The whole of vistrel.js; its first line names Vistrel, our mark.
std::string PictureScript();
// True when `text` starts with the first line of a vistrel.js of ours (of any version).
bool isOurScript(std::string_view text);

// The rules of vistrel.css that lay out the picture pages.
std::string pictureStyleRules();

// The page name of the picture `pictureName`: the name and ".html".
std::string picturePageName(std::string_view pictureName);
// True when `name` is picturePageName of some picture's name.
bool isPicturePageName(std::string_view name);

// A file length as a visitor reads it, in decimal units with three figures at most:
// 16376668 gives "16.4 MB", 2048 gives "2 kB", 512 gives "512 bytes".
std::string shortSizeText(uint64_t bytes);

// Where a picture page's links lead; a file name, or "" for none.
struct PictureLinks {
  std::string previous;  // the page of the picture before, across gallery pages
  std::string next;      // the page of the picture after
  std::string nextCopy;  // the next picture's display copy, fetched ahead
  std::string back;      // the gallery page that holds the picture
  int number = 1;        // the picture's number in the gallery, 1-based: its cell's id
  int count = 1;         // the pictures in the gallery
  int page = 1;          // the number of the gallery page `back`
};

// The whole text of `picture`'s page. It shows the display copies (ViewFile, View2xFile) with
// their widths in srcset, or the one there is; without them, the original when `originals` is
// Link, else the thumbnails. With Link it also offers the original to download. The caption is
// the heading and the alt text, the gallery's `title` and the picture's place follow ("Summer
// in Crete: 12 of 48"), then the facts line when the picture has facts.
std::string PicturePage(const thumbs::ThumbInfo& picture, const PictureLinks& links,
                        Originals originals, std::string_view title = "Pictures");

// What a gallery cell links when its picture has no page of its own: the original when linked,
// else the largest display copy, else nothing ("").
std::string pagelessTarget(const thumbs::ThumbInfo& picture, Originals originals);

}  // namespace vistrel::gallery
