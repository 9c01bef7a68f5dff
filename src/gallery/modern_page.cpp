#include "gallery/modern_page.h"

#include <algorithm>

#include "common/numbers.h"
#include "common/version.h"
#include "gallery/modern_markup.h"
#include "gallery/page_markup.h"
#include "gallery/page_writer.h"
#include "gallery/picture_page.h"

namespace vistrel::gallery {
using common::decimalText;
using thumbs::ThumbInfo;

namespace {

// Narrower cells would squeeze the caption's size line into one word a line.
const int kLeastCellWidth = 120;

// A cell's id is its picture's number in the gallery, so a picture page can link back to it
// whatever the name holds. Without a target the cell shows the picture unlinked.
std::string cell(const ThumbInfo& thumb, std::string_view target, int number, bool lazy) {
  std::string out = "<li id=\"p" + decimalText(number) + "\">";
  out += target.empty() ? "<div>" : "<a href=\"" + htmlLink(target) + "\">";
  out += "<img";
  out += attribute("src", htmlLink(thumb.ThumbFile));
  if (!thumb.Thumb2xFile.empty()) {
    out += attribute("srcset", srcsetLink(thumb.Thumb2xFile) + " 2x");
  }
  out += attribute("width", decimalText(thumb.Width));
  out += attribute("height", decimalText(thumb.Height));
  // The caption under the picture is its alt text already: screen readers would say it twice.
  out += attribute("alt", htmlText(captionOf(thumb)));
  if (lazy) {
    out += " loading=\"lazy\"";
  }
  out.append("><span aria-hidden=\"true\">").append(htmlText(captionOf(thumb))).append("</span>");
  out.append(target.empty() ? "</div>" : "</a>");
  out.append("<small>");
  out.append(htmlText(thumb.FileSize));
  if (thumb.PictureWidth > 0 && thumb.PictureHeight > 0) {
    out.append(", ").append(decimalText(thumb.PictureWidth));
    // A times sign without blanks, so the size never breaks over two lines.
    out.append("&#215;").append(decimalText(thumb.PictureHeight));
  }
  out.append("</small></li>");
  return out;
}

// The heading every gallery page opens with, and on the first page the introduction.
void galleryHeading(std::string& out, const GalleryWords& words, int page) {
  line(out, "<h1>" + htmlText(words.title) + "</h1>");
  if (page != 1) {
    return;
  }
  for (const std::string& paragraph : words.introduction) {
    line(out, "<p class=\"intro\">" + htmlText(paragraph) + "</p>");
  }
}

}  // namespace

const std::string& captionOf(const ThumbInfo& picture) {
  return picture.Caption.empty() ? picture.FileName : picture.Caption;
}

std::string_view pageStyleName(PageStyle style) {
  return style == PageStyle::Modern ? "modern" : "classic";
}

std::string generatorText() {
  return std::string("Vistrel ") + common::kVersion;
}

std::string styleSheetMark() {
  return "/* " + generatorText() + ": the style of the gallery pages beside it. */";
}

bool isOurModernPage(std::string_view page) {
  static constexpr std::string_view head =
      "<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
      "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">\r\n"
      "<meta name=\"generator\" content=\"Vistrel ";
  static constexpr std::string_view tail = "</body>\r\n</html>\r\n";
  return page.size() >= head.size() + tail.size() && page.substr(0, head.size()) == head &&
         page.substr(page.size() - tail.size()) == tail;
}

ModernLayout modernLayout(std::span<const ThumbInfo> thumbs, int columns) {
  ModernLayout layout;
  layout.columns = std::max(columns, 1);
  layout.cellWidth = kLeastCellWidth;
  for (const auto& thumb : thumbs) {
    layout.cellWidth = std::max<int>(layout.cellWidth, thumb.Width);
  }
  return layout;
}

std::string ModernStyleSheet(const ModernLayout& layout) {
  // A cell is the picture plus 8 pixels of padding each side; cells stand 12 pixels apart.
  const long long cell = layout.cellWidth + 16LL;
  const long long widest = layout.columns * cell + (layout.columns - 1) * 12LL;
  std::string css;
  line(css, styleSheetMark());
  line(css,
       ":root{color-scheme:light dark;--bg:#fff;--fg:#1a1a1a;--dim:#595959;--a:#0645ad;"
       "--cell:#f1f1f1}");
  line(css,
       "@media (prefers-color-scheme:dark){:root{--bg:#121212;--fg:#e6e6e6;--dim:#a6a6a6;"
       "--a:#8ab4f8;--cell:#1e1e1e}}");
  line(css,
       "body{margin:0;padding:12px;background:var(--bg);color:var(--fg);"
       "font:16px/1.4 system-ui,sans-serif}");
  line(css, "a{color:var(--a)}");
  // Up to the chosen columns on a wide screen, as many as fit below that, one on a phone.
  line(css, "ul{list-style:none;margin:0 auto;padding:0;display:grid;gap:12px;max-width:" +
                decimalText(widest) + "px;grid-template-columns:repeat(auto-fill,minmax(min(100%," +
                decimalText(cell) + "px),1fr))}");
  line(css,
       "li{background:var(--cell);border-radius:6px;padding:8px;text-align:center;"
       "overflow-wrap:anywhere}");
  line(css, "li a{display:block;text-decoration:none}");
  line(css, "img{display:block;margin:0 auto 4px;max-width:100%;height:auto}");
  line(css, "small{display:block;color:var(--dim)}");
  // A long caption shows its first lines; the alt text and the picture page hold it all.
  line(css,
       "li span{display:-webkit-box;-webkit-box-orient:vertical;-webkit-line-clamp:3;"
       "overflow:hidden}");
  line(css, "h1{font-size:1.4em;text-align:center;margin:4px 0 12px}");
  line(css, ".intro{max-width:40em;margin:0 auto 12px}");
  // Every item a tap target of at least 44 x 44 CSS pixels.
  line(css, "nav{display:flex;flex-wrap:wrap;justify-content:center;gap:4px;margin:16px 0}");
  line(css,
       "nav *{display:inline-flex;align-items:center;justify-content:center;"
       "min-width:44px;min-height:44px;padding:0 10px}");
  line(css, "nav span{color:var(--dim)}");
  line(css, "footer{text-align:center;color:var(--dim);font-size:.8em}");
  css += pictureStyleRules();
  return css;
}

std::string ModernPage(std::span<const ThumbInfo> cells, std::span<const std::string> targets,
                       int firstNumber, const NavigationTargets& nav, int page, int pages,
                       const ModernLayout& layout, const GalleryWords& words) {
  const std::string position = decimalText(page) + " of " + decimalText(pages);
  std::string out;
  out.reserve(400 + cells.size() * 200);
  modernHead(out, htmlText(words.title) + ", page " + position);
  line(out, "</head>");
  line(out, "<body>");
  galleryHeading(out, words, page);
  line(out, "<main>");
  // An album of sub-albums alone has its cards and no list of its own.
  if (!cells.empty()) {
    line(out, "<ul>");
    for (size_t i = 0; i < cells.size(); ++i) {
      // The first row shows at once; later rows load as they scroll near.
      line(out, cell(cells[i], targets[i], firstNumber + static_cast<int>(i),
                     i >= static_cast<size_t>(layout.columns)));
    }
    line(out, "</ul>");
  }
  line(out, "</main>");
  line(out, "<nav aria-label=\"Pages\">" + navigationItem(nav.Home, "Home", "") +
                navigationItem(nav.Previous, "Previous", "prev") + "<span>" + position + "</span>" +
                navigationItem(nav.Next, "Next", "next") + navigationItem(nav.Last, "Last", "") +
                "</nav>");
  line(out, "<footer>Made with " + htmlText(generatorText()) + "</footer>");
  // The links work without it; the arrow keys are a shortcut to them.
  line(out,
       "<script>onkeydown=function(e){var r={ArrowLeft:\"prev\",ArrowRight:\"next\"}[e.key],"
       "a=r&&!(e.altKey||e.ctrlKey||e.metaKey||e.shiftKey)&&"
       "document.querySelector(\"a[rel=\"+r+\"]\");if(a)location.href=a.href}</script>");
  line(out, "</body>");
  line(out, "</html>");
  return out;
}

}  // namespace vistrel::gallery
