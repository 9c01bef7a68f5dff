#include "gallery/modern_markup.h"

#include "gallery/modern_page.h"
#include "gallery/page_markup.h"

namespace vistrel::gallery {

void line(std::string& out, std::string_view text) {
  out.append(text);
  out.append("\r\n");
}

std::string attribute(std::string_view name, std::string_view value) {
  std::string out = " ";
  out += name;
  out += "=\"";
  out += value;
  out += '"';
  return out;
}

std::string navigationItem(std::string_view target, std::string_view label, std::string_view rel) {
  std::string out;
  if (target.empty()) {
    out.append("<span>").append(label).append("</span>");
    return out;
  }
  out.append("<a href=\"").append(htmlLink(target)).append("\"");
  if (!rel.empty()) {
    out.append(attribute("rel", rel));
  }
  out.append(">").append(label).append("</a>");
  return out;
}

std::string srcsetLink(std::string_view fileName) {
  std::string out;
  for (const char c : htmlLink(fileName)) {
    if (c == ' ') {
      out += "%20";
    } else if (c == ',') {
      out += "%2C";
    } else {
      out += c;
    }
  }
  return out;
}

void modernHead(std::string& out, std::string_view title) {
  line(out, "<!DOCTYPE html>");
  line(out, "<html lang=\"en\">");
  line(out, "<head>");
  line(out, "<meta charset=\"utf-8\">");
  line(out, "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">");
  line(out, "<meta name=\"generator\" content=\"" + htmlText(generatorText()) + "\">");
  line(out, "<title>" + std::string(title) + "</title>");
  line(out, "<link rel=\"stylesheet\" href=\"" + htmlLink(kStyleSheetName) + "\">");
}

}  // namespace vistrel::gallery
