#pragma once
// Which linked originals tell where they were taken: a gallery that links its originals also
// publishes their GPS positions, and the user should know before putting it online.

#include <filesystem>
#include <vector>

#include "thumbs/thumb_info.h"

namespace vistrel::run {

// The head of a picture read for its EXIF: an APP1 segment is at most 64 KiB and comes first.
inline constexpr size_t kLocationHead = 64 * 1024;

// Sets HasLocation on each of `thumbs` whose picture in `folder` records a GPS position, reading
// at most its first kLocationHead bytes, and returns how many do. A picture that cannot be read
// now is not counted: the run has told of it already, or it was replaced since.
int markLocations(const std::filesystem::path& folder, std::vector<thumbs::ThumbInfo>& thumbs);

}  // namespace vistrel::run
