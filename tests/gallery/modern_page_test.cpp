#include "gallery/modern_page.h"

#include <gtest/gtest.h>

#include "gallery/golden.h"
#include "gallery/page_writer.h"
#include "gallery/recording_progress.h"
#include "support/temp_folder.h"

namespace vistrel {
using gallery::CreateHTML;
using gallery::generatorText;
using gallery::PageStyle;
using gallery::PageWriteError;
using gallery::styleSheetMark;
using gallery::TableSettings;
using thumbs::ThumbInfo;

namespace {

ThumbInfo picture(std::string name, int16_t w, int16_t h, int pw, int ph, bool has2x = true) {
  ThumbInfo t;
  t.FileName = std::move(name);
  t.FileSize = "12,345 bytes";
  t.Width = w;
  t.Height = h;
  t.PictureWidth = pw;
  t.PictureHeight = ph;
  t.Has2x = has2x;
  return t;
}

// Five pictures at 2 x 2: a full first page and one picture on the second.
std::vector<ThumbInfo> smallGallery() {
  return {picture("beach.jpg", 150, 113, 1600, 1200),
          picture("caf\xC3\xA9, night & day.gif", 150, 100, 300, 200),
          picture("cliff.jpg", 100, 150, 0, 0), picture("a\"b.jpg", 150, 150, 64, 64, false),
          picture("last.jpg", 80, 60, 800, 600)};
}

TEST(ModernPages, GoldenFirstPageOfASmallGallery) {
  testing::TempFolder folder;
  testing::RecordingProgress progress;
  CreateHTML(folder.path(), smallGallery(), TableSettings{2, 2, 2, 2, 2}, 2, "th_", progress,
             PageStyle::Modern);
  // From the second row on the pictures load lazily; an unknown picture size is left out; a
  // blank and a comma end a srcset address, so there they are encoded too.
  EXPECT_EQ(folder.read("Thumb001.html"), testing::golden({"modern-first.html"}, generatorText()));

  const std::string second = folder.read("Thumb002.html");
  EXPECT_NE(second.find("<nav aria-label=\"Pages\"><a href=\"Thumb001.html\">Home</a>"
                        "<a href=\"Thumb001.html\" rel=\"prev\">Previous</a><span>2 of 2</span>"
                        "<span>Next</span><span>Last</span></nav>"),
            std::string::npos)
      << second;
  EXPECT_NE(second.find("<li><a href=\"last.jpg\"><img src=\"th_last.jpg\" srcset=\"th_last@2x.jpg "
                        "2x\" width=\"80\" height=\"60\" alt=\"\">"),
            std::string::npos)
      << second;

  // The sheet: the chosen columns at the widest thumbnail (150 + 16 padding, 12 apart), and
  // nothing that reaches outside the folder, in the sheet or the pages.
  const std::string css = folder.read("vistrel.css");
  EXPECT_EQ(css.rfind(styleSheetMark() + "\r\n", 0), 0u) << css;
  EXPECT_NE(css.find("max-width:344px;"), std::string::npos) << css;
  EXPECT_NE(css.find("minmax(min(100%,166px),1fr)"), std::string::npos) << css;
  EXPECT_NE(css.find("@media (prefers-color-scheme:dark)"), std::string::npos) << css;
  for (const std::string& text : {css, second, folder.read("Thumb001.html")}) {
    for (const char* outside : {"//", "@import", "url("}) {
      EXPECT_EQ(text.find(outside), std::string::npos) << outside;
    }
  }
}

TEST(ModernPages, AStyleSheetNotOursIsLeftAloneAndNoPageIsWritten) {
  testing::TempFolder folder;
  testing::RecordingProgress progress;
  folder.write("vistrel.css", "body{color:red}");
  try {
    CreateHTML(folder.path(), smallGallery(), TableSettings{2, 2, 2, 2, 2}, 2, "th_", progress,
               PageStyle::Modern);
    ADD_FAILURE() << "no error";
  } catch (const PageWriteError& e) {
    EXPECT_NE(e.file().find("vistrel.css"), std::string::npos);
    EXPECT_NE(e.reason().find("not Vistrel's style sheet"), std::string::npos) << e.reason();
  }
  EXPECT_EQ(folder.read("vistrel.css"), "body{color:red}");
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "Thumb001.html"));

  // One of ours is simply replaced.
  folder.write("vistrel.css", styleSheetMark() + "\r\nold");
  CreateHTML(folder.path(), smallGallery(), TableSettings{2, 2, 2, 2, 2}, 2, "th_", progress,
             PageStyle::Modern);
  EXPECT_EQ(folder.read("vistrel.css").find("old"), std::string::npos);
}

TEST(ModernPages, TwentyPicturesWeighUnderEightKilobytesWithTheSheet) {
  std::vector<ThumbInfo> thumbs;
  for (int i = 0; i < 20; ++i) {
    auto t = picture("IMG_20240612_1830" + std::to_string(10 + i) + ".jpg", 150, 113, 4032, 3024);
    t.FileSize = "3,456,789 bytes";
    thumbs.push_back(t);
  }
  testing::TempFolder folder;
  testing::RecordingProgress progress;
  CreateHTML(folder.path(), thumbs, TableSettings{5, 4, 2, 2, 2}, 1, "th_", progress,
             PageStyle::Modern);
  const size_t weight = folder.read("Thumb001.html").size() + folder.read("vistrel.css").size();
  EXPECT_LT(weight, 8u * 1024) << weight;
}

}  // namespace
}  // namespace vistrel
