#include "thumbs/rendition.h"

#include <algorithm>
#include <array>

#include "common/numbers.h"

namespace vistrel::thumbs {

namespace {

constexpr std::array<RenditionKindInfo, 4> kKinds = {{
    {RenditionKind::Thumbnail, imaging::kThumbnailFile, false, 1, &imaging::thumbnailName, "",
     false},
    {RenditionKind::Thumbnail2x, imaging::kThumbnail2xFile, false, 2, &imaging::thumbnail2xName,
     "-2x", true},
    {RenditionKind::View, imaging::kViewFile, true, 1, &imaging::viewName, "-view", true},
    {RenditionKind::View2x, imaging::kView2xFile, true, 2, &imaging::view2xName, "-view2x", true},
}};

constexpr std::string_view kTemporaryStem = ".vistrel-thumb-";
constexpr std::string_view kTemporaryEnd = ".tmp";

}  // namespace

std::string temporaryName(long pid, size_t index, RenditionKind kind) {
  return std::string(kTemporaryStem) + std::to_string(pid) + "-" + std::to_string(index) +
         kindInfo(kind).tempTag + std::string(kTemporaryEnd);
}

std::optional<long> temporaryPid(std::string_view name) {
  if (name.substr(0, kTemporaryStem.size()) != kTemporaryStem ||
      name.size() < kTemporaryEnd.size() ||
      name.substr(name.size() - kTemporaryEnd.size()) != kTemporaryEnd) {
    return std::nullopt;
  }
  name.remove_prefix(kTemporaryStem.size());
  name.remove_suffix(kTemporaryEnd.size());
  for (const auto& kind : kKinds) {
    const std::string_view tag = kind.tempTag;
    if (tag.empty() || (name.size() > tag.size() && name.substr(name.size() - tag.size()) == tag)) {
      std::string_view rest = name.substr(0, name.size() - tag.size());
      const size_t dash = rest.find('-');
      if (dash != std::string_view::npos && common::readDecimal(rest.substr(dash + 1))) {
        if (auto pid = common::readDecimal(rest.substr(0, dash))) {
          return pid;
        }
      }
    }
  }
  return std::nullopt;
}

imaging::ThumbRecord settingsRecord(const ThumbSettings& settings) {
  imaging::ThumbRecord record;
  record.largestWidth = settings.largestWidth;
  record.largestHeight = settings.largestHeight;
  record.quality = settings.quality;
  record.twipsPerPixelX = settings.twipsPerPixelX;
  record.twipsPerPixelY = settings.twipsPerPixelY;
  return record;
}

imaging::ThumbRecord kindRecord(const RenditionKindInfo& kind, const ThumbSettings& settings) {
  imaging::ThumbRecord record;
  if (kind.view) {
    record.largestWidth = record.largestHeight = kind.scale * settings.viewSize;
  } else {
    record = settingsRecord(settings);
  }
  record.quality = kindQuality(kind, settings);
  record.kind = kind.record;
  return record;
}

int kindQuality(const RenditionKindInfo& kind, const ThumbSettings& settings) {
  if (!kind.view) {
    return settings.quality;
  }
  return kind.scale == 1 ? common::kViewQuality : common::kView2xQuality;
}

std::pair<int, int> viewFit(const RenditionKindInfo& kind, int viewSize, int width, int height) {
  const int64_t box = static_cast<int64_t>(kind.scale) * viewSize;
  const int64_t longest = std::max(width, height);
  if (longest <= box || longest <= 0) {
    return {width, height};
  }
  // Rounded to the nearest pixel, and never below one.
  const auto side = [&](int64_t n) {
    return static_cast<int>(std::max<int64_t>(1, (n * box + longest / 2) / longest));
  };
  return {side(width), side(height)};
}

std::span<const RenditionKindInfo> renditionKinds() {
  return kKinds;
}

const RenditionKindInfo& kindInfo(RenditionKind kind) {
  return kKinds[static_cast<size_t>(kind)];
}

}  // namespace vistrel::thumbs
