#pragma once
// A picture's renditions: the files a Create run makes from one decode of it, and the table of
// their kinds that every step reads (planning, rendering, placing, the record check, leftover
// removal, the pages). A new kind of rendition is one new row of the table.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/defaults.h"
#include "imaging/picture.h"
#include "imaging/record/thumb_record.h"

namespace vistrel::thumbs {

// The settings that shape every rendition of a run: one value, shared by the batch's settings,
// each job and the record a rendition carries.
struct ThumbSettings {
  int16_t largestWidth = common::kThumbnailInitial;   // pixels, 1 to 1500
  int16_t largestHeight = common::kThumbnailInitial;  // pixels, 1 to 1500
  int32_t quality = common::kQualityInitial;          // JPEG quality, 60 to 100
  std::string prefix{common::kPrefixInitial};         // checked with prefixProblem before the run
  // The front end's: the window's screen (common::twipsPerPixel()), vistrel-batch's 96 DPI.
  float twipsPerPixelX = 15;
  float twipsPerPixelY = 15;
  // What see-through GIF pixels are laid on (0xRRGGBB): the window's background, or white.
  uint32_t gifBackground = imaging::kPlainBackground;
  // The formats the run reads: a picture whose bytes are of another is skipped as not a picture.
  imaging::PictureTypes types = imaging::PictureTypes::JpegGif;
  // The display copies' longest edge in CSS pixels, kViewSizeMin to kViewSizeMax (modern only).
  int viewSize = common::kViewSizeInitial;
};

// The record a thumbnail made with `settings` carries, less what only the picture's file and its
// decode give (its name, size, time and the sizes).
imaging::ThumbRecord settingsRecord(const ThumbSettings& settings);

enum class RenditionKind { Thumbnail, Thumbnail2x, View, View2x };

struct RenditionKindInfo {
  RenditionKind kind;
  imaging::RecordKind record;  // what the rendition's record says it is
  // A thumbnail kind is `scale` times the fitted thumbnail, to the pixel. A display copy (view)
  // fits a square of `scale` times the view size, never larger than the picture.
  bool view;
  int scale;
  std::string (*name)(std::string_view prefix, std::string_view pictureName);
  const char* tempTag;  // ends its temporary's name, before ".tmp" ("-2x")
  bool modernOnly;      // made only for the modern pages
};

// Every kind, in the order a picture's renditions are listed.
std::span<const RenditionKindInfo> renditionKinds();
// Whether a run makes renditions of `kind`: a modern run makes every kind.
inline bool isMade(const RenditionKindInfo& kind, bool modern) {
  return !kind.modernOnly || modern;
}
const RenditionKindInfo& kindInfo(RenditionKind kind);
// The record a rendition of `kind` made with `settings` carries, less the picture's name, size,
// time and the sizes: a display copy records only the settings that shape it (the view size and
// its quality), so a thumbnail setting does not make it again, nor a view setting a thumbnail.
imaging::ThumbRecord kindRecord(const RenditionKindInfo& kind, const ThumbSettings& settings);
// The JPEG quality a rendition of `kind` is written at.
int kindQuality(const RenditionKindInfo& kind, const ThumbSettings& settings);
// The size in pixels a display copy of `kind` has for a picture of `width` x `height` (upright):
// the picture fitted into a square of scale x viewSize, never enlarged.
std::pair<int, int> viewFit(const RenditionKindInfo& kind, int viewSize, int width, int height);

// The temporary name the run of process `pid` writes picture `index`'s rendition of `kind` to,
// in the picture's folder.
std::string temporaryName(long pid, size_t index, RenditionKind kind);
// The process id in a name temporaryName gives; nothing for any other name.
std::optional<long> temporaryPid(std::string_view name);

// What a run does with one rendition, decided before any decode.
enum class Decision {
  Keep,     // the file is ours and up to date
  Make,     // no file has its name
  Replace,  // a file of ours is there, out of date or cut short
};

struct Rendition {
  RenditionKind kind = RenditionKind::Thumbnail;
  std::string fileName;  // in the picture's folder
  Decision decision = Decision::Make;
  std::filesystem::path temporary;  // where the render writes it, when it is made
  int width = 0;  // its size in pixels, once known (kept: from its record; made: from the render)
  int height = 0;
};

}  // namespace vistrel::thumbs
