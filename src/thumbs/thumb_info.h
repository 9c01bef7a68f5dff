#pragma once
// The per-picture record the thumbnail batch leaves for the page writer, and the rule that names
// a picture's thumbnail file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/record/thumb_record.h"

namespace vistrel::thumbs {

struct ThumbInfo {
  int16_t Width = 0;     // thumbnail width in pixels
  int16_t Height = 0;    // thumbnail height in pixels
  std::string FileName;  // the picture's file name (UTF-8), without folder
  std::string FileSize;  // the picture file's length as FormatFileSize writes it
  // The picture's own size in pixels, 0 when not known. Shown in modern page captions only.
  int PictureWidth = 0;
  int PictureHeight = 0;
  // The renditions' file names, from the batch's plan: the pages link them as they are.
  std::string ThumbFile{};    // the thumbnail, Width x Height
  std::string Thumb2xFile{};  // the double-density thumbnail, twice that; "" when there is none
  // The display copies (modern pages only): the one at the view size and the one for dense
  // screens, with their sizes in pixels. "" when there is none: a picture no larger than the
  // view size has only the first, and a copy whose name a user's file holds is not made.
  std::string ViewFile{};
  int ViewWidth = 0;
  int ViewHeight = 0;
  std::string View2xFile{};
  int View2xWidth = 0;
  int View2xHeight = 0;
  uint64_t FileBytes = 0;    // the picture file's length in bytes
  bool HasLocation = false;  // the picture carries a GPS position (looked at when linked)
  // Modern pages only: what the picture is (imaging/meta/caption.h), "" for its file name, and
  // the picture page's facts line, part by part (plain text, escaped by the page).
  std::string Caption{};
  std::vector<std::string> Facts{};

  bool operator==(const ThumbInfo&) const = default;
};

// The naming rule of the files a thumbnail record marks.
using imaging::thumbnail2xName;
using imaging::thumbnailName;

}  // namespace vistrel::thumbs
