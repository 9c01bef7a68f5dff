#pragma once
// The order a gallery lists its pictures in: by name, as the folder list shows them, or by the
// date they were taken. The name order is lessIgnoringCase (folder_read.h).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::browse {

enum class PictureOrder {
  Name,            // "name": the folder list's order, and the default
  Date,            // "date": oldest first
  DateDescending,  // "date-desc": newest first
};

// The word that names `order`.
std::string_view pictureOrderName(PictureOrder order);

// The order a word names ("name", "date", "date-desc"); nothing for any other word.
std::optional<PictureOrder> pictureOrderNamed(std::string_view word);

struct DatedPicture {
  std::string name;
  std::optional<int64_t> takenNs;  // when it was taken (imaging::takenNs), if the picture says
  int64_t fileTimeNs = 0;          // its file's modification time
};

// Sorts `pictures` in `order`. By date, each picture's date is when it was taken, else its
// file's time; pictures of the same date keep name order (ascending, in both directions).
void sortPictures(std::vector<DatedPicture>& pictures, PictureOrder order);

}  // namespace vistrel::browse
