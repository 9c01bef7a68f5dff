#include "gallery/picture_page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "gallery/golden.h"
#include "gallery/page_markup.h"
#include "gallery/page_writer.h"
#include "support/recording_progress.h"
#include "support/temp_folder.h"

namespace vistrel {
using gallery::CreateHTML;
using gallery::generatorText;
using gallery::Originals;
using gallery::PageStyle;
using gallery::PicturePageOptions;
using thumbs::Cause;
using thumbs::ProblemKind;
using thumbs::RunProblem;
using thumbs::ThumbInfo;

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kHostile = "javascript:alert(1) & <b>.jpg";

ThumbInfo picture(const std::string& name, bool copies) {
  const std::string stem = name.substr(0, name.size() - 4);
  ThumbInfo t{150,
              100,
              name,
              "16,376,668 bytes",
              5640,
              3760,
              "th_" + stem + ".jpg",
              "th_" + stem + "@2x.jpg"};
  t.FileBytes = 16376668;
  if (copies) {
    t.ViewFile = "th_" + stem + "@view.jpg";
    t.ViewWidth = 1280;
    t.ViewHeight = 853;
    t.View2xFile = "th_" + stem + "@view2x.jpg";
    t.View2xWidth = 2560;
    t.View2xHeight = 1707;
  }
  return t;
}

// Two pictures a gallery page: the hostile one ends page 1, c.gif (no copies) opens page 2.
std::vector<ThumbInfo> threePictures() {
  return {picture("a.jpg", true), picture(kHostile, true), picture("c.gif", false)};
}

std::vector<RunProblem> write(const fs::path& folder, const std::vector<ThumbInfo>& thumbs,
                              Originals originals = Originals::Link,
                              const std::string& title = "Pictures") {
  testing::RecordingProgress progress;
  std::vector<RunProblem> problems;
  CreateHTML(folder, thumbs, {1, 2, 2, 2, 2},
             gallery::pageCount(static_cast<int>(thumbs.size()), 1, 2), progress, PageStyle::Modern,
             nullptr, PicturePageOptions{originals, &problems, {title, {}}});
  return problems;
}

TEST(PicturePages, GoldenPageOfAHostileNameWithItsCopies) {
  testing::TempFolder folder;
  auto thumbs = threePictures();
  thumbs[1].Caption = "<script>alert(2)</script> & \"co\"";
  thumbs[1].Facts = {"2024-07-12 18:34:55 +02:00", "Canon <EOS>", "1/250 s"};
  EXPECT_TRUE(write(folder.path(), thumbs, Originals::Link, "Summer <in> Crete").empty());
  const std::string page = folder.read(kHostile + ".html");
  // Every name and text encoded; the next page is on the next gallery page, its copy fetched
  // ahead.
  EXPECT_EQ(page, testing::golden({"picture-page.html"}, generatorText()));
  EXPECT_LT(page.size(), 3000u);

  // Without copies the original is shown; Back leads to the second gallery page's cell.
  const std::string last = folder.read("c.gif.html");
  EXPECT_THAT(last, HasSubstr("<img src=\"c.gif\" width=\"5640\" height=\"3760\""));
  EXPECT_THAT(last, HasSubstr("<a id=\"back\" href=\"Thumb002.html#p3\">"));
  EXPECT_THAT(last, Not(HasSubstr("rel=\"prefetch\"")));
  EXPECT_THAT(
      folder.read("a.jpg.html"),
      HasSubstr(
          "<link rel=\"prefetch\" href=\"th_javascript:alert(1) &amp; &lt;b&gt;@view.jpg\">"));
  EXPECT_THAT(folder.read("Thumb002.html"),
              HasSubstr("<li id=\"p3\"><a href=\"c.gif.html\"><img src=\"th_c.jpg\""));
  EXPECT_TRUE(gallery::isOurScript(folder.read("vistrel.js")));
}

TEST(PicturePages, TheDenseCopyStandsInForAViewCopyNotMade) {
  auto thumbs = threePictures();
  thumbs[0].ViewFile.clear();
  testing::TempFolder folder;
  write(folder.path(), thumbs);
  EXPECT_THAT(folder.read("a.jpg.html"),
              HasSubstr("<img src=\"th_a@view2x.jpg\" width=\"1280\" height=\"854\""));
}

TEST(PicturePages, WithoutOriginalsNoPageLinksOne) {
  testing::TempFolder folder;
  folder.write("c.gif.html", "<p>the user's</p>");  // c.gif's cell links past its page
  write(folder.path(), threePictures(), Originals::None);
  for (const auto& [name, text] : testing::snapshot(folder.path())) {
    for (const auto& thumb : threePictures()) {
      // An address is a link's or a picture's, or starts a srcset candidate.
      const std::string link = gallery::htmlLink(thumb.FileName);
      for (const std::string& address : {"href=\"" + link + "\"", "src=\"" + link + "\"",
                                         "\"" + link + " ", ", " + link + " "}) {
        EXPECT_THAT(text, Not(HasSubstr(address))) << name;
      }
    }
    EXPECT_THAT(text, Not(HasSubstr("Download original"))) << name;
  }
  // The copies are all there is to show: the copy, or the thumbnails without one.
  EXPECT_THAT(folder.read("a.jpg.html"), HasSubstr("<img src=\"th_a@view.jpg\""));
  EXPECT_THAT(folder.read("Thumb002.html"), HasSubstr("<li id=\"p3\"><div><img src=\"th_c.jpg\""));
}

TEST(PicturePages, ANameNotOursCostsOnlyThatPicturesPage) {
  testing::TempFolder folder;
  folder.write(kHostile + ".html", "<p>the user's</p>");
  auto thumbs = threePictures();
  const std::string longName = std::string(252, 'x') + ".jpg";  // its page's name: 261 bytes
  thumbs.push_back(picture(longName, true));
  const auto problems = write(folder.path(), thumbs);
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].file, kHostile + ".html");
  EXPECT_EQ(problems[0].other, kHostile);
  EXPECT_EQ(problems[0].kind, ProblemKind::PageNotWritten);
  EXPECT_EQ(problems[0].cause, Cause::TakenByOther);
  EXPECT_EQ(problems[1].cause, Cause::NameTooLong);
  EXPECT_EQ(folder.read(kHostile + ".html"), "<p>the user's</p>");
  // Its cell links the original as before; Next and Previous step over it.
  EXPECT_THAT(folder.read("Thumb001.html"),
              HasSubstr("<li id=\"p2\"><a href=\"javascript%3Aalert(1) &amp; &lt;b&gt;.jpg\">"));
  EXPECT_THAT(folder.read("a.jpg.html"), HasSubstr("<a href=\"c.gif.html\" rel=\"next\">"));
  EXPECT_THAT(folder.read("c.gif.html"), HasSubstr("<a href=\"a.jpg.html\" rel=\"prev\">"));
}

TEST(PicturePages, LeftoversOfOursGoTheScriptWithTheLast) {
  testing::TempFolder folder;
  write(folder.path(), threePictures());
  folder.write("d.jpg.html", "<p>the user's</p>");
  std::vector<std::string> removed;
  std::vector<RunProblem> problems;
  auto shown = threePictures();
  shown.pop_back();
  gallery::removeLeftoverPicturePages(folder.path(), shown, removed, problems);
  EXPECT_EQ(removed, std::vector<std::string>{"c.gif.html"});

  removed.clear();
  gallery::removeLeftoverPicturePages(folder.path(), {}, removed, problems);
  EXPECT_EQ(removed, (std::vector<std::string>{"a.jpg.html", kHostile + ".html", "vistrel.js"}));
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(folder.read("d.jpg.html"), "<p>the user's</p>");
}

TEST(PicturePages, NamesAndSizes) {
  for (const auto& [name, isPage] :
       std::vector<std::pair<std::string, bool>>{{"a.jpg.html", true},
                                                 {"B.GIF.html", true},
                                                 {"Thumb001.html", false},
                                                 {"a.jpg", false},
                                                 {".a.jpg.html", false},
                                                 {"a.png.html", false},
                                                 {"a.jpg.HTML", false}}) {
    EXPECT_EQ(gallery::isPicturePageName(name), isPage) << name;
  }
  for (const auto& [bytes, text] :
       std::vector<std::pair<uint64_t, std::string>>{{0, "0 bytes"},
                                                     {999, "999 bytes"},
                                                     {2048, "2 kB"},
                                                     {99949, "99.9 kB"},
                                                     {99950, "100 kB"},
                                                     {999499, "999 kB"},
                                                     {999500, "1 MB"},
                                                     {16376668, "16.4 MB"},
                                                     {~0ULL, "18.4 EB"}}) {
    EXPECT_EQ(gallery::shortSizeText(bytes), text) << bytes;
  }
}

}  // namespace
}  // namespace vistrel
