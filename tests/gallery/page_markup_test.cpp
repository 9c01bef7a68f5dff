#include "gallery/page_markup.h"

#include <gtest/gtest.h>

#include "gallery/page_writer.h"
#include "support/recording_progress.h"
#include "support/temp_folder.h"

namespace vistrel {
using gallery::htmlLink;
using gallery::htmlText;
using gallery::PrintColumn;
using thumbs::ThumbInfo;

namespace {

std::string cellLink(ThumbInfo thumb, std::string_view prefix) {
  thumb.ThumbFile = thumbs::thumbnailName(prefix, thumb.FileName);
  std::string page;
  PrintColumn(page, thumb);
  // The middle one of the cell's three lines.
  const size_t start = page.find("\r\n") + 2;
  return page.substr(start, page.find("\r\n", start) - start);
}

TEST(PageMarkup, NameWithAmpersandQuotesAccentAndHash) {
  // Attribute positions (HREF, SRC, ALT) and the text position (caption) each get their own
  // escaping; the page stays pure ASCII.
  EXPECT_EQ(cellLink({150, 100, "a & \"b\" \xC3\xA9 #1.jpg", "1,234 bytes"}, "th_"),
            "  <A HREF=\"a &amp; &quot;b&quot; %C3%A9 %231.jpg\">"
            "<IMG SRC=\"th_a &amp; &quot;b&quot; %C3%A9 %231.jpg\" WIDTH=\"150\" HEIGHT=\"100\" "
            "ALIGN=\"Bottom\" BORDER=\"0\" HSPACE=\"0\" "
            "ALT=\"a &amp; &quot;b&quot; &#233; #1.jpg 1,234 bytes\"><BR>"
            "a &amp; &quot;b&quot; &#233; #1.jpg</A>");
}

TEST(PageMarkup, LinkEscaping) {
  const std::pair<const char*, const char*> cases[] = {
      {"photo.jpg", "photo.jpg"},
      {"a b.jpg", "a b.jpg"},
      {"100%.jpg", "100%25.jpg"},
      {"why?.jpg", "why%3F.jpg"},
      {"#1.jpg", "%231.jpg"},
      {"a&b.jpg", "a&amp;b.jpg"},
      {"<\">.jpg", "&lt;&quot;&gt;.jpg"},
      {"caf\xC3\xA9.jpg", "caf%C3%A9.jpg"},
      {"\xF0\x9F\x98\x80.gif", "%F0%9F%98%80.gif"},
      {"tab\there.jpg", "tab%09here.jpg"},
      {"line\nbreak.jpg", "line%0Abreak.jpg"},
      {"del\x7F.jpg", "del%7F.jpg"},
      {"latin\xE9.jpg", "latin%E9.jpg"},
      {"Thumb001.html", "Thumb001.html"},
      {"a\\b.jpg", "a%5Cb.jpg"},
      {" a.jpg", "%20a.jpg"},
      {"  a b  .jpg", "%20%20a b  .jpg"},
      {"th_ x.jpg ", "th_ x.jpg%20"},
      {"  ", "%20%20"},
      // A colon that would end a scheme, and only that one.
      {"javascript:alert(1).jpg", "javascript%3Aalert(1).jpg"},
      {"Photo: beach.jpg", "Photo%3A beach.jpg"},
      {"a+b-c.d:e:f.jpg", "a+b-c.d%3Ae:f.jpg"},
      {"1a:b.jpg", "1a:b.jpg"},
      {"a b:c.jpg", "a b:c.jpg"},
      {":a.jpg", ":a.jpg"},
  };
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(htmlLink(name), expected) << name;
  }
}

TEST(PageMarkup, TextEscaping) {
  const std::pair<const char*, const char*> cases[] = {
      {"photo.jpg", "photo.jpg"},
      {"100% #1?.jpg", "100% #1?.jpg"},
      {"a&b<c>\"d\".jpg", "a&amp;b&lt;c&gt;&quot;d&quot;.jpg"},
      {"caf\xC3\xA9.jpg", "caf&#233;.jpg"},
      {"\xE2\x82\xAC", "&#8364;"},
      {"\xF0\x9F\x98\x80", "&#128512;"},
      {"line\r\nbreak", "line&#13;&#10;break"},
      // Bytes that are not UTF-8: lone, truncated, overlong, surrogate.
      {"latin\xE9.jpg", "latin&#65533;.jpg"},
      {"cut\xC3", "cut&#65533;"},
      {"\xC0\xAF", "&#65533;&#65533;"},
      {"\xED\xA0\x80", "&#65533;&#65533;&#65533;"},
      {"1\xE2\x80\xAF"
       "234 bytes",
       "1&#8239;234 bytes"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(htmlText(text), expected) << text;
  }
}

}  // namespace
}  // namespace vistrel
