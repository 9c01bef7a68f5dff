#include "browse/picture_order.h"

#include <algorithm>

#include "browse/folder_read.h"

namespace vistrel::browse {

std::optional<PictureOrder> pictureOrderNamed(std::string_view word) {
  if (word == "name") {
    return PictureOrder::Name;
  }
  if (word == "date") {
    return PictureOrder::Date;
  }
  if (word == "date-desc") {
    return PictureOrder::DateDescending;
  }
  return std::nullopt;
}

void sortPictures(std::vector<DatedPicture>& pictures, PictureOrder order) {
  const auto date = [](const DatedPicture& p) { return p.takenNs.value_or(p.fileTimeNs); };
  std::stable_sort(pictures.begin(), pictures.end(),
                   [&](const DatedPicture& a, const DatedPicture& b) {
                     if (order != PictureOrder::Name && date(a) != date(b)) {
                       return order == PictureOrder::Date ? date(a) < date(b) : date(a) > date(b);
                     }
                     return lessIgnoringCase(a.name, b.name);
                   });
}

}  // namespace vistrel::browse
