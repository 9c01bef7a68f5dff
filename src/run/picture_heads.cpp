#include "run/linked_location.h"

#include <string>

#include "common/read_file.h"
#include "imaging/jpeg/exif.h"

namespace vistrel::run {
using common::RegularFile;

int markLocations(const std::filesystem::path& folder, std::vector<thumbs::ThumbInfo>& thumbs) {
  int located = 0;
  std::string head;
  for (thumbs::ThumbInfo& info : thumbs) {
    const RegularFile file(folder / info.FileName);
    head.clear();
    // A read that fails part way leaves what it got, which is judged as a cut head.
    static_cast<void>(file.append(head, kLocationHead));
    info.HasLocation =
        imaging::jpegHasLocation(reinterpret_cast<const uint8_t*>(head.data()), head.size());
    located += info.HasLocation ? 1 : 0;
  }
  return located;
}

}  // namespace vistrel::run
