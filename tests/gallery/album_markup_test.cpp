#include "gallery/album_markup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vistrel::gallery {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(Breadcrumbs, EachAlbumFromTheTopLinksItsFirstPage) {
  const AlbumPlace place{{"Pictures", "2024", "Summer in Crete"}, {}};
  EXPECT_EQ(breadcrumbBar(place, true),
            "<nav aria-label=\"Albums\" class=\"crumbs\"><a href=\"../../Thumb001.html\">Pictures"
            "</a><span aria-hidden=\"true\">&gt;</span><a href=\"../Thumb001.html\">2024</a>"
            "<span aria-hidden=\"true\">&gt;</span><a href=\"Thumb001.html\" "
            "aria-current=\"page\">Summer in Crete</a></nav>");
  EXPECT_THAT(breadcrumbBar(place, false), Not(HasSubstr("aria-current")));
}

struct OddName {
  const char* folder;
  const char* href;  // the card's link to the sub-album's first page
  const char* text;  // the card's and the breadcrumb's text
};

class OddFolderNames : public ::testing::TestWithParam<OddName> {};

TEST_P(OddFolderNames, StayPathsAndPlainText) {
  const OddName odd = GetParam();
  AlbumCard card{odd.folder, {"Deeper", "th_x.jpg"}, "th_x@2x.jpg", 150, 100, 3};
  const AlbumPlace place{{"Pictures", odd.folder}, {card}};
  const std::string cards = albumCards(place);
  EXPECT_THAT(cards, HasSubstr(std::string("<a href=\"") + odd.href + "/Thumb001.html\">"));
  EXPECT_THAT(cards, HasSubstr(std::string("src=\"") + odd.href + "/Deeper/th_x.jpg\""));
  EXPECT_THAT(cards, HasSubstr(std::string(odd.text) + "</a><small>3 pictures</small>"));
  EXPECT_THAT(breadcrumbBar(place, true), HasSubstr(std::string(">") + odd.text + "</a></nav>"));
}

INSTANTIATE_TEST_SUITE_P(
    Names, OddFolderNames,
    ::testing::Values(OddName{"a #1 %20", "a %231 %2520", "a #1 %20"},
                      OddName{"x?y", "x%3Fy", "x?y"},
                      OddName{"javascript:alert(1)", "javascript%3Aalert(1)",
                              "javascript:alert(1)"},
                      OddName{"<b>\"&'", "&lt;b&gt;&quot;&amp;'", "&lt;b&gt;&quot;&amp;'"},
                      OddName{" \xff\xfe ", "%20%FF%FE%20", " &#65533;&#65533; "}));

TEST(PlacedInAlbum, CardsOpenOnlyTheFirstPageAndCrumbsOpenEveryPage) {
  const std::string page = "<html>\r\n<body class=\"picture\">\r\n<main>\r\n<ul>\r\n</main>\r\n";
  const AlbumPlace place{{"Top", "Sub"}, {AlbumCard{"Deep", {}, "", 0, 0, 1}}};
  const std::string first = placedInAlbum(page, place, AlbumPage::First);
  EXPECT_EQ(first, "<html>\r\n<body class=\"picture\">\r\n" + breadcrumbBar(place, true) +
                       "\r\n<main>\r\n" + albumCards(place) + "\r\n<ul>\r\n</main>\r\n");
  EXPECT_THAT(placedInAlbum(page, place, AlbumPage::Later), Not(HasSubstr("Deep")));
  EXPECT_EQ(placedInAlbum(page, place, AlbumPage::Picture),
            "<html>\r\n<body class=\"picture\">\r\n" + breadcrumbBar(place, false) +
                "\r\n<main>\r\n<ul>\r\n</main>\r\n");
}

}  // namespace
}  // namespace vistrel::gallery
