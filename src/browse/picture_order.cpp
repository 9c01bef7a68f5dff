#include "browse/picture_order.h"

#include <algorithm>

#include "browse/folder_read.h"

namespace vistrel::browse {

std::string_view pictureOrderName(PictureOrder order) {
  switch (order) {
    case PictureOrder::Date:
      return "date";
    case PictureOrder::DateDescending:
      return "date-desc";
    case PictureOrder::Name:
      break;
  }
  return "name";
}

std::optional<PictureOrder> pictureOrderNamed(std::string_view word) {
  for (const PictureOrder order :
       {PictureOrder::Name, PictureOrder::Date, PictureOrder::DateDescending}) {
    if (word == pictureOrderName(order)) {
      return order;
    }
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
