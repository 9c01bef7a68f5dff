#include "gallery/page_markup.h"

#include <cstdint>

#include "common/maker.h"
#include "common/numbers.h"
#include "common/utf8.h"
#include "gallery/page_writer.h"

namespace vistrel::gallery {
using common::decimalText;
using common::kMakerEmail;
using common::kMakerName;
using common::kMakerWebPage;
using common::nextCodePoint;
using thumbs::ThumbInfo;

namespace {

void line(std::string& page, std::string_view text) {
  page.append(text);
  page.append("\r\n");
}

void appendEntityEscaped(std::string& out, char c) {
  switch (c) {
    case '&':
      out.append("&amp;");
      break;
    case '<':
      out.append("&lt;");
      break;
    case '>':
      out.append("&gt;");
      break;
    case '"':
      out.append("&quot;");
      break;
    default:
      out.push_back(c);
  }
}

bool printableAscii(unsigned char c) {
  return c >= 0x20 && c < 0x7F;
}

void appendCell(std::string& page, const ThumbInfo& thumb) {
  const std::string name = htmlText(thumb.FileName);
  std::string link = "  <A HREF=\"";
  link += htmlLink(thumb.FileName);
  link += "\"><IMG SRC=\"";
  link += htmlLink(thumb.ThumbFile);
  link += "\" WIDTH=\"";
  link += decimalText(thumb.Width);
  link += "\" HEIGHT=\"";
  link += decimalText(thumb.Height);
  link += "\" ALIGN=\"Bottom\" BORDER=\"0\" HSPACE=\"0\" ALT=\"";
  link += name;
  link += " ";
  link += htmlText(thumb.FileSize);
  link += "\"><BR>";
  link += name;
  link += "</A>";
  line(page, link);
}

void appendNavigationItem(std::string& out, std::string_view target, std::string_view label) {
  if (target.empty()) {
    out.append(label);
    return;
  }
  out.append("<A HREF=\"");
  out.append(htmlLink(target));
  out.append("\">");
  out.append(label);
  out.append("</A>");
}

// Where the scheme of an address would end: the first colon, when all before it is a letter
// then letters, digits, + - or . (browsers strip leading blanks and control characters first,
// but those are encoded here). npos when the name cannot read as one.
size_t schemeColon(std::string_view name) {
  const size_t colon = name.find(':');
  if (colon == std::string_view::npos || colon == 0) {
    return std::string_view::npos;
  }
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!letter(name[0])) {
    return std::string_view::npos;
  }
  for (size_t i = 1; i < colon; ++i) {
    const char c = name[i];
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') {
      return std::string_view::npos;
    }
  }
  return colon;
}

}  // namespace

std::string htmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const char32_t cp = nextCodePoint(text, pos);
    if (cp < 0x80 && printableAscii(static_cast<unsigned char>(cp))) {
      appendEntityEscaped(out, static_cast<char>(cp));
    } else {
      // Control characters too: a line break in a name must not split the page's lines.
      out.append("&#");
      out.append(decimalText(static_cast<long long>(cp)));
      out.push_back(';');
    }
  }
  return out;
}

std::string htmlLink(std::string_view fileName) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(fileName.size());
  // Browsers drop blanks at either end of an address and read a backslash as a folder
  // separator; blanks inside a name reach the file as they are.
  const size_t firstKept = fileName.find_first_not_of(' ');
  const size_t lastKept = fileName.find_last_not_of(' ');
  // A name such as "javascript:alert(1).jpg" or "Photo: beach.jpg" would read as an address
  // with a scheme: its colon is encoded so the name stays a path beside the page.
  const size_t schemeEnd = schemeColon(fileName);
  for (size_t i = 0; i < fileName.size(); ++i) {
    const char c = fileName[i];
    const auto byte = static_cast<unsigned char>(c);
    const bool endBlank = c == ' ' && (i < firstKept || i > lastKept);
    if (!printableAscii(byte) || c == '%' || c == '#' || c == '?' || c == '\\' || endBlank ||
        i == schemeEnd) {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0x0F]);
    } else {
      appendEntityEscaped(out, c);
    }
  }
  return out;
}

void PrintHead(std::string& page) {
  line(page, "<html>");
  line(page, "   <head>");
  line(page, "      <title>Thumbnail Document</title>");
  line(page, "   </head>");
  line(page, "   <body>");
}

void PrintTableBegin(std::string& page, const TableSettings& table) {
  line(page, "<DIV ALIGN=\"Center\">");
  line(page, "<TABLE BORDER=\"" + decimalText(table.BorderSize) + "\" CELLPADDING=\"" +
                 decimalText(table.CellPadding) + "\" CELLSPACING=\"" +
                 decimalText(table.CellSpacing) + "\">");
}

void PrintRowBegin(std::string& page) {
  line(page, "<TR>");
}

void PrintColumn(std::string& page, const ThumbInfo& thumb) {
  line(page, "<TD ALIGN=\"Center\" VALIGN=\"Middle\"> <SMALL>");
  appendCell(page, thumb);
  line(page, "</SMALL></TD>");
}

void PrintRowEnd(std::string& page) {
  line(page, "</TR>");
}

void PrintTableEnd(std::string& page) {
  line(page, "</TABLE>");
  line(page, "</DIV>");
}

void PrintClose(std::string& page, std::string_view sHome, std::string_view sPrevious,
                std::string_view sNext, std::string_view sLast) {
  std::string navigation = "<P ALIGN=\"Center\"><SMALL>";
  appendNavigationItem(navigation, sHome, "Home");
  appendNavigationItem(navigation, sPrevious, "|Previous|");
  appendNavigationItem(navigation, sNext, "Next");
  appendNavigationItem(navigation, sLast, "|Last");
  navigation += "</SMALL></P>";
  line(page, navigation);
  line(page, "<BR><BR><BR>");
  std::string footer = "<CENTER><SMALL>Thumbnail page created with <A HREF=\"";
  footer += kMakerWebPage;
  footer += "\">";
  footer += kMakerName;
  footer += "</A> EMail: <A HREF=\"MAILTO:";
  footer += kMakerEmail;
  footer += "\">";
  footer += kMakerEmail;
  footer += " (";
  footer += kMakerName;
  footer += ")</A></SMALL></CENTER>";
  line(page, footer);
  line(page, "   </body>");
  line(page, "</html>");
}

}  // namespace vistrel::gallery
