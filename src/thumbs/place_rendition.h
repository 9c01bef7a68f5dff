#pragma once
// Putting a finished rendition in place without ever replacing a file that is not ours.

#include <filesystem>

namespace vistrel::thumbs {

// Puts `temporary` in place as `target`: under a free name (`create`) only while it stays free,
// over a file of ours only while it is still ours. Returns 0 or the system's error number
// (EEXIST when a file of the user's took the name during the run).
int placeRendition(const std::filesystem::path& temporary, const std::filesystem::path& target,
                   bool create);

// A failure of the disk rather than of the picture: every later rendition, and the pages, would
// fail alike, and going on would only replace more of the earlier gallery.
bool isDiskFailure(int error);

}  // namespace vistrel::thumbs
