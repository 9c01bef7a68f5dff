#include "browse/picture_order.h"

#include <gtest/gtest.h>

namespace vistrel::browse {
namespace {

using Names = std::vector<std::string>;

TEST(PictureOrder, DateTakenElseFileTimeTiesByName) {
  // b and C were taken at 20; a has no date taken and its file time is 20 too; d only a file
  // time, oldest of all; e was taken at 10 though its file is the newest.
  const std::vector<DatedPicture> pictures = {
      {"d.jpg", std::nullopt, 5}, {"C.jpg", 20, 90},           {"e.jpg", 10, 99},
      {"b.jpg", 20, 1},           {"a.jpg", std::nullopt, 20},
  };
  const std::pair<PictureOrder, Names> cases[] = {
      {PictureOrder::Name, {"a.jpg", "b.jpg", "C.jpg", "d.jpg", "e.jpg"}},
      {PictureOrder::Date, {"d.jpg", "e.jpg", "a.jpg", "b.jpg", "C.jpg"}},
      {PictureOrder::DateDescending, {"a.jpg", "b.jpg", "C.jpg", "e.jpg", "d.jpg"}},
  };
  for (const auto& [order, expected] : cases) {
    std::vector<DatedPicture> sorted = pictures;
    sortPictures(sorted, order);
    Names names;
    for (const auto& p : sorted) {
      names.push_back(p.name);
    }
    EXPECT_EQ(names, expected) << static_cast<int>(order);
  }
}

TEST(PictureOrder, NamedByItsWord) {
  EXPECT_EQ(pictureOrderNamed("name"), PictureOrder::Name);
  EXPECT_EQ(pictureOrderNamed("date"), PictureOrder::Date);
  EXPECT_EQ(pictureOrderNamed("date-desc"), PictureOrder::DateDescending);
  EXPECT_EQ(pictureOrderNamed("Date"), std::nullopt);
}

}  // namespace
}  // namespace vistrel::browse
