#include "thumbs/rendition.h"

#include <array>

namespace vistrel::thumbs {

namespace {

constexpr std::array<RenditionKindInfo, 2> kKinds = {{
    {RenditionKind::Thumbnail, 1, &imaging::thumbnailName, "", false},
    {RenditionKind::Thumbnail2x, 2, &imaging::thumbnail2xName, "-2x", true},
}};

}  // namespace

imaging::ThumbRecord settingsRecord(const ThumbSettings& settings) {
  imaging::ThumbRecord record;
  record.largestWidth = settings.largestWidth;
  record.largestHeight = settings.largestHeight;
  record.quality = settings.quality;
  record.twipsPerPixelX = settings.twipsPerPixelX;
  record.twipsPerPixelY = settings.twipsPerPixelY;
  return record;
}

std::span<const RenditionKindInfo> renditionKinds() {
  return kKinds;
}

const RenditionKindInfo& kindInfo(RenditionKind kind) {
  return kKinds[static_cast<size_t>(kind)];
}

}  // namespace vistrel::thumbs
