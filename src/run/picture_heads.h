#pragma once
// What a run reads from the head of each picture it shows, once a picture: the caption and facts
// of the modern pages, whether a linked original tells where it was taken (a gallery that links
// its originals also publishes their GPS positions, and the user should know before putting it
// online), and the date the pictures are sorted by.

#include <filesystem>
#include <vector>

#include "browse/picture_order.h"
#include "common/read_file.h"
#include "common/stop_request.h"
#include "imaging/record/thumb_record.h"
#include "thumbs/thumb_info.h"

namespace vistrel::run {

struct HeadsWanted {
  bool words = false;     // modern pages: Caption and Facts
  bool location = false;  // originals linked: HasLocation
  bool dates = false;     // sorted by date
  bool any() const { return words || location || dates; }
};

struct HeadsRead {
  int located = 0;  // pictures that record a GPS position, counted when `location` was wanted
  // Why the folder's captions file, which is there, could not be read.
  common::ReadError captionsError;
};

// Reads the head of each of `thumbs`' pictures in `folder` when `wanted` asks for anything
// (imaging::readPictureMetaAt), sets what it asks for, then puts `thumbs` in `order`. A picture
// that cannot be read now has neither caption nor location and sorts by no date: the run has told
// of it already, or it was replaced since. Once `stop` is requested it reads no more and leaves
// the order as it was: the run ends before the pages. A head the run's listing read (`marks`) is
// not read again.
HeadsRead readPictureHeads(const std::filesystem::path& folder,
                           std::vector<thumbs::ThumbInfo>& thumbs, const HeadsWanted& wanted,
                           browse::PictureOrder order, const common::StopRequest* stop = nullptr,
                           const imaging::FolderMarks* marks = nullptr);

}  // namespace vistrel::run
