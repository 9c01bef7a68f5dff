#include "thumbs/rendition.h"

#include <array>

#include "common/numbers.h"

namespace vistrel::thumbs {

namespace {

constexpr std::array<RenditionKindInfo, 2> kKinds = {{
    {RenditionKind::Thumbnail, 1, &imaging::thumbnailName, "", false},
    {RenditionKind::Thumbnail2x, 2, &imaging::thumbnail2xName, "-2x", true},
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

std::span<const RenditionKindInfo> renditionKinds() {
  return kKinds;
}

const RenditionKindInfo& kindInfo(RenditionKind kind) {
  return kKinds[static_cast<size_t>(kind)];
}

}  // namespace vistrel::thumbs
