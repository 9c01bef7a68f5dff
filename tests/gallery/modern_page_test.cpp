#include "gallery/modern_page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "gallery/golden.h"
#include "gallery/page_writer.h"
#include "support/recording_progress.h"
#include "support/temp_folder.h"

namespace vistrel {
using gallery::CreateHTML;
using gallery::generatorText;
using gallery::pageCount;
using gallery::PageStyle;
using gallery::PageWriteError;
using gallery::styleSheetMark;
using gallery::TableSettings;
using thumbs::ThumbInfo;

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Five pictures at 2 x 2: a full first page and one picture on the second.
std::vector<ThumbInfo> smallGallery() {
  return {{150, 113, "beach.jpg", "12,345 bytes", 1600, 1200, "th_beach.jpg", "th_beach@2x.jpg"},
          {150, 100, "caf\xC3\xA9, night & day.gif", "12,345 bytes", 300, 200,
           "th_caf\xC3\xA9, night & day.jpg", "th_caf\xC3\xA9, night & day@2x.jpg"},
          {100, 150, "cliff.jpg", "12,345 bytes", 0, 0, "th_cliff.jpg", "th_cliff@2x.jpg"},
          {150, 150, "a\"b.jpg", "12,345 bytes", 64, 64, "th_a\"b.jpg", ""},
          {80, 60, "last.jpg", "12,345 bytes", 800, 600, "th_last.jpg", "th_last@2x.jpg"}};
}

void writeModern(const std::filesystem::path& folder, const std::vector<ThumbInfo>& thumbs,
                 const TableSettings& table = {2, 2, 2, 2, 2},
                 const gallery::GalleryWords& words = {}) {
  testing::RecordingProgress progress;
  CreateHTML(folder, thumbs, table,
             pageCount(static_cast<int>(thumbs.size()), table.Rows, table.Columns), progress,
             PageStyle::Modern, nullptr, {gallery::Originals::Link, nullptr, words});
}

TEST(ModernPages, GoldenFirstPageOfASmallGallery) {
  testing::TempFolder folder;
  writeModern(folder.path(), smallGallery());
  // From the second row on the pictures load lazily; an unknown picture size is left out; a
  // blank and a comma end a srcset address, so there they are encoded too.
  EXPECT_EQ(folder.read("Thumb001.html"), testing::golden({"modern-first.html"}, generatorText()));

  const std::string second = folder.read("Thumb002.html");
  EXPECT_THAT(second, HasSubstr("<nav aria-label=\"Pages\"><a href=\"Thumb001.html\">Home</a>"
                                "<a href=\"Thumb001.html\" rel=\"prev\">Previous</a><span>2 of 2"
                                "</span><span>Next</span><span>Last</span></nav>"));
  EXPECT_THAT(second,
              HasSubstr("<li id=\"p5\"><a href=\"last.jpg.html\"><img src=\"th_last.jpg\" srcset=\""
                        "th_last@2x.jpg 2x\" width=\"80\" height=\"60\" alt=\"last.jpg\">"));

  // The sheet: the chosen columns at the widest thumbnail (150 + 16 padding, 12 apart), and
  // nothing that reaches outside the folder, in the sheet or the pages.
  const std::string css = folder.read("vistrel.css");
  EXPECT_EQ(css.rfind(styleSheetMark() + "\r\n", 0), 0u) << css;
  for (const char* rule :
       {"max-width:344px;", "minmax(min(100%,166px),1fr)", "@media (prefers-color-scheme:dark)"}) {
    EXPECT_THAT(css, HasSubstr(rule));
  }
  for (const std::string& text : {css, second, folder.read("Thumb001.html")}) {
    for (const char* outside : {"//", "@import", "url("}) {
      EXPECT_THAT(text, Not(HasSubstr(outside)));
    }
  }
}

TEST(ModernPages, TheTitleHeadsEveryPageTheIntroductionTheFirstAndACaptionStaysText) {
  auto thumbs = smallGallery();
  thumbs[4].Caption = "<script>alert(1)</script>";
  testing::TempFolder folder;
  writeModern(folder.path(), thumbs, {2, 2, 2, 2, 2},
              {"Summer & <Crete>", {"First paragraph.", "Second <b>."}});
  const std::string first = folder.read("Thumb001.html");
  const std::string second = folder.read("Thumb002.html");
  for (const std::string& page : {first, second}) {
    EXPECT_THAT(page, HasSubstr("<h1>Summer &amp; &lt;Crete&gt;</h1>"));
  }
  EXPECT_THAT(first, HasSubstr("<title>Summer &amp; &lt;Crete&gt;, page 1 of 2</title>"));
  EXPECT_THAT(first, HasSubstr("<p class=\"intro\">First paragraph.</p>\r\n"
                               "<p class=\"intro\">Second &lt;b&gt;.</p>"));
  EXPECT_THAT(second, Not(HasSubstr("intro")));
  const std::string text = "&lt;script&gt;alert(1)&lt;/script&gt;";
  EXPECT_THAT(second, HasSubstr("alt=\"" + text + "\"><span aria-hidden=\"true\">" + text));
  EXPECT_THAT(second, Not(HasSubstr("<script>alert")));
}

TEST(ModernPages, ASheetOrScriptNotOursIsLeftAloneAndNoPageIsWritten) {
  // An older version's script is ours too.
  const std::string oldScript =
      "/* Vistrel 0.9: the keys and swipes of the picture pages beside it. */\r\nold";
  for (const auto& [name, ours] :
       {std::pair<std::string, std::string>{"vistrel.css", styleSheetMark() + "\r\nold"},
        {"vistrel.js", oldScript}}) {
    testing::TempFolder folder;
    folder.write(name, "/* Vistrel's? */\r\nbody{color:red}");
    try {
      writeModern(folder.path(), smallGallery());
      ADD_FAILURE() << "no error";
    } catch (const PageWriteError& e) {
      EXPECT_THAT(e.file(), HasSubstr(name));
      EXPECT_TRUE(e.notOurs());
    }
    EXPECT_EQ(folder.read(name), "/* Vistrel's? */\r\nbody{color:red}");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "Thumb001.html"));

    // One of ours is simply replaced.
    folder.write(name, ours);
    writeModern(folder.path(), smallGallery());
    EXPECT_THAT(folder.read(name), Not(HasSubstr("old")));
  }
}

TEST(ModernPages, TwentyPicturesWeighUnderNineKilobytesWithTheSheet) {
  std::vector<ThumbInfo> thumbs;
  for (int i = 10; i < 30; ++i) {
    const std::string name = "IMG_20240612_1830" + std::to_string(i);
    thumbs.push_back({150, 113, name + ".jpg", "3,456,789 bytes", 4032, 3024, "th_" + name + ".jpg",
                      "th_" + name + "@2x.jpg"});
  }
  testing::TempFolder folder;
  writeModern(folder.path(), thumbs, {5, 4, 2, 2, 2});
  const size_t weight = folder.read("Thumb001.html").size() + folder.read("vistrel.css").size();
  EXPECT_LT(weight, 9u * 1024) << weight;
}

}  // namespace
}  // namespace vistrel
