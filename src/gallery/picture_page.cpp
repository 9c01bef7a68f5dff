#include "gallery/picture_page.h"

#include <cmath>
#include <iterator>

#include "browse/folder_read.h"
#include "common/numbers.h"
#include "gallery/modern_markup.h"
#include "gallery/page_markup.h"

namespace vistrel::gallery {
using common::decimalText;
using thumbs::ThumbInfo;

namespace {

constexpr std::string_view kPageEnd = ".html";
constexpr std::string_view kScriptPurpose =
    ": the keys and swipes of the picture pages beside it. */";

// Room the name, the sizes and the navigation take below the picture, in CSS pixels: the
// estimate `sizes` gives the browser before the page is laid out.
constexpr int kReservedHeight = 150;

struct Shown {
  std::string src;
  std::string srcset;
  std::string sizes;
  int width = 0;
  int height = 0;
};

// The copies with their widths, so the browser takes the one its screen needs; the size it
// assumes is the picture fitted into the window, never wider than the copy at the view size.
Shown displayCopies(const ThumbInfo& picture) {
  Shown shown{picture.ViewFile, {}, {}, picture.ViewWidth, picture.ViewHeight};
  if (picture.View2xFile.empty() || picture.ViewWidth <= 0 || picture.ViewHeight <= 0) {
    return shown;
  }
  shown.srcset = srcsetLink(picture.ViewFile) + " " + decimalText(picture.ViewWidth) + "w, " +
                 srcsetLink(picture.View2xFile) + " " + decimalText(picture.View2xWidth) + "w";
  shown.sizes = "min(" + decimalText(picture.ViewWidth) + "px,100vw - 16px,(100vh - " +
                decimalText(kReservedHeight) + "px) * " + decimalText(picture.ViewWidth) + " / " +
                decimalText(picture.ViewHeight) + ")";
  return shown;
}

// What the page shows: the copies, else the original when linked, else the thumbnails.
Shown shownPicture(const ThumbInfo& picture, Originals originals) {
  if (!picture.ViewFile.empty()) {
    return displayCopies(picture);
  }
  if (!picture.View2xFile.empty()) {
    // The view-size copy's name is a user's file: the dense screens' copy stands in for it.
    return {
        picture.View2xFile, {}, {}, (picture.View2xWidth + 1) / 2, (picture.View2xHeight + 1) / 2};
  }
  if (originals == Originals::Link) {
    return {picture.FileName, {}, {}, picture.PictureWidth, picture.PictureHeight};
  }
  Shown shown{picture.ThumbFile, {}, {}, picture.Width, picture.Height};
  if (!picture.Thumb2xFile.empty()) {
    shown.srcset = srcsetLink(picture.Thumb2xFile) + " 2x";
  }
  return shown;
}

std::string imageTag(const ThumbInfo& picture, Originals originals) {
  const Shown shown = shownPicture(picture, originals);
  std::string out = "<img" + attribute("src", htmlLink(shown.src));
  if (!shown.srcset.empty()) {
    out += attribute("srcset", shown.srcset);
  }
  if (!shown.sizes.empty()) {
    out += attribute("sizes", shown.sizes);
  }
  if (shown.width > 0 && shown.height > 0) {
    out += attribute("width", decimalText(shown.width));
    out += attribute("height", decimalText(shown.height));
  }
  out += attribute("alt", htmlText(captionOf(picture)));
  return out + ">";
}

// "Summer in Crete: 12 of 48", escaped.
std::string placeText(std::string_view title, const PictureLinks& links) {
  return htmlText(title) + ": " + decimalText(links.number) + " of " + decimalText(links.count);
}

// The facts line, or nothing when the picture has no facts.
void factsLine(std::string& out, const ThumbInfo& picture) {
  if (picture.Facts.empty()) {
    return;
  }
  std::string text;
  for (const std::string& part : picture.Facts) {
    text += (text.empty() ? "" : " &#183; ") + htmlText(part);
  }
  line(out, "<p class=\"facts\">" + text + "</p>");
}

// The details line: the picture's place, pixels and file size, and the original when linked.
std::string detailsLine(const ThumbInfo& picture, const PictureLinks& links, Originals originals,
                        std::string_view title) {
  const std::string size =
      picture.FileBytes > 0 ? shortSizeText(picture.FileBytes) : htmlText(picture.FileSize);
  std::string out = "<p>" + placeText(title, links) + ", ";
  if (picture.PictureWidth > 0 && picture.PictureHeight > 0) {
    out += decimalText(picture.PictureWidth) + "&#215;" + decimalText(picture.PictureHeight) + ", ";
  }
  out += size;
  if (originals == Originals::Link) {
    out += " <a href=\"" + htmlLink(picture.FileName) + "\" download>Download original (" + size +
           ")</a>";
  }
  return out + "</p>";
}

}  // namespace

std::string PictureScript() {
  std::string out = "/* " + generatorText() + std::string(kScriptPurpose) + "\r\n";
  // Arrow keys and swipes follow Previous and Next, Escape goes back to the gallery. A swipe
  // needs one finger moving mostly sideways, and none while the page is zoomed in, where a
  // finger pans the picture instead.
  line(out,
       "(function(){function go(s){var a=document.querySelector(s);if(a)location.href=a.href}"
       "var keys={ArrowLeft:\"a[rel=prev]\",ArrowRight:\"a[rel=next]\",Escape:\"#back\"},x=null,y;"
       "addEventListener(\"keydown\",function(e){var s=keys[e.key];"
       "if(s&&!(e.altKey||e.ctrlKey||e.metaKey||e.shiftKey)){e.preventDefault();go(s)}});"
       "addEventListener(\"touchstart\",function(e){var t=e.touches[0],v=window.visualViewport;"
       "x=e.touches.length==1&&!(v&&v.scale>1.01)?t.clientX:null;y=t.clientY},{passive:true});"
       "addEventListener(\"touchend\",function(e){if(x===null)return;var t=e.changedTouches[0],"
       "dx=t.clientX-x,dy=t.clientY-y;x=null;if(Math.abs(dx)>50&&Math.abs(dx)>2*Math.abs(dy))"
       "go(dx<0?\"a[rel=next]\":\"a[rel=prev]\")},{passive:true})})();");
  return out;
}

bool isOurScript(std::string_view text) {
  constexpr std::string_view start = "/* Vistrel ";
  const size_t end = text.find("\r\n");
  if (text.substr(0, start.size()) != start || end == std::string_view::npos) {
    return false;
  }
  const std::string_view first = text.substr(0, end);
  return first.size() > start.size() + kScriptPurpose.size() &&
         first.substr(first.size() - kScriptPurpose.size()) == kScriptPurpose;
}

std::string pictureStyleRules() {
  std::string css;
  // The picture takes what the window has left under the text, so nothing scrolls; it is
  // shrunk to fit, never enlarged past the copy's size.
  line(css,
       ".picture{box-sizing:border-box;height:100vh;height:100dvh;padding:8px;margin:0;"
       "display:flex;flex-direction:column}");
  line(css,
       ".picture main{flex:1;min-height:0;display:flex;flex-direction:column;"
       "text-align:center;overflow-wrap:anywhere}");
  // A sideways swipe on the picture is ours: the browser would take it for Back.
  line(css,
       ".picture main div{flex:1;min-height:0;position:relative;touch-action:pan-y pinch-zoom}");
  line(css,
       ".picture main img{position:absolute;inset:0;margin:auto;max-height:100%;"
       "object-fit:contain}");
  line(css, ".picture h1{font-size:1.1em;margin:6px 0 0}");
  line(css, ".picture p{margin:0;color:var(--dim)}");
  // The download link wraps as a whole, under the sizes on a phone.
  line(css, ".picture p a{display:inline-block}");
  line(css, ".picture nav{margin:4px 0 0}");
  return css;
}

std::string picturePageName(std::string_view pictureName) {
  return std::string(pictureName) + std::string(kPageEnd);
}

bool isPicturePageName(std::string_view name) {
  if (name.size() <= kPageEnd.size() || name.substr(name.size() - kPageEnd.size()) != kPageEnd) {
    return false;
  }
  const std::string_view picture = name.substr(0, name.size() - kPageEnd.size());
  return browse::isPictureName(picture) && !browse::isHiddenName(picture);
}

std::string shortSizeText(uint64_t bytes) {
  static constexpr const char* units[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
  if (bytes < 1000) {
    return decimalText(static_cast<long long>(bytes)) + " bytes";
  }
  // Tenths below 100 of the unit, whole numbers from there; the unit moves on where rounding
  // would reach 1000.
  double value = static_cast<double>(bytes) / 1000;
  size_t unit = 0;
  while (value >= 999.5 && unit + 1 < std::size(units)) {
    value /= 1000;
    ++unit;
  }
  std::string number;
  if (value < 99.95) {
    const long long tenths = std::llround(value * 10);
    number = decimalText(tenths / 10);
    if (tenths % 10 != 0) {
      number += '.';
      number += decimalText(tenths % 10);
    }
  } else {
    number = decimalText(std::llround(value));
  }
  return number + " " + units[unit];
}

std::string PicturePage(const ThumbInfo& picture, const PictureLinks& links, Originals originals,
                        std::string_view title) {
  std::string out;
  out.reserve(2048);
  modernHead(out, htmlText(captionOf(picture)) + " - " + placeText(title, links));
  if (!links.nextCopy.empty()) {
    line(out, "<link rel=\"prefetch\" href=\"" + htmlLink(links.nextCopy) + "\">");
  }
  line(out, "<script src=\"" + htmlLink(kScriptName) + "\" defer></script>");
  line(out, "</head>");
  line(out, "<body class=\"picture\">");
  line(out, "<main>");
  line(out, "<div>" + imageTag(picture, originals) + "</div>");
  line(out, "<h1>" + htmlText(captionOf(picture)) + "</h1>");
  line(out, detailsLine(picture, links, originals, title));
  factsLine(out, picture);
  line(out, "</main>");
  const std::string back = htmlLink(links.back) + "#p" + decimalText(links.number);
  line(out, "<nav aria-label=\"Pictures\">" + navigationItem(links.previous, "Previous", "prev") +
                "<a id=\"back\" href=\"" + back + "\">Back to page " + decimalText(links.page) +
                "</a>" + navigationItem(links.next, "Next", "next") + "</nav>");
  line(out, "</body>");
  line(out, "</html>");
  return out;
}

std::string pagelessTarget(const ThumbInfo& picture, Originals originals) {
  if (originals == Originals::Link) {
    return picture.FileName;
  }
  return picture.View2xFile.empty() ? picture.ViewFile : picture.View2xFile;
}

}  // namespace vistrel::gallery
