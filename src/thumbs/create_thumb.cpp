#include "thumbs/create_thumb.h"

#include <algorithm>

#include <exception>
#include <system_error>
#include <utility>

#include "imaging/jpeg/jpeg_writer.h"
#include "imaging/surface/stretch.h"
#include "thumbs/allocator_policy.h"

namespace vistrel::thumbs {
using browse::FitSize;
using browse::fitThumbnail;

bool CreateThumb(const imaging::Picture& source, FitSize size, imaging::cDIBSection& dest,
                 bool blockMeans) {
  if (source.empty() || size.X < 1 || size.Y < 1 || !dest.Create(size.X, size.Y)) {
    dest.ClearUp();
    return false;
  }
  auto* bits = reinterpret_cast<uint8_t*>(dest.DIBSectionBitsPtr());
  if (bits == nullptr) {
    return false;
  }
  imaging::stretchInto(source, bits, size.X, size.Y, static_cast<int>(dest.BytesPerScanLine()),
                       /*destBottomUp=*/true, imaging::StretchFilter::Lanczos3, blockMeans);
  return true;
}

namespace {

// No error (0) gives none.
std::error_code systemError(int error) {
  return error != 0 ? std::error_code(error, std::system_category()) : std::error_code();
}

// The decode's share of the run's memory, held until the renditions are written.
class BudgetShare {
 public:
  explicit BudgetShare(MemoryBudget* budget) : budget_(budget) {}
  ~BudgetShare() {
    if (budget_ != nullptr && bytes_ > 0) {
      afterDecode(bytes_);
      budget_->release(bytes_);
    }
  }
  BudgetShare(const BudgetShare&) = delete;
  BudgetShare& operator=(const BudgetShare&) = delete;

  // What the loader calls; none without a budget.
  imaging::TakeMemory taker() {
    if (budget_ == nullptr) {
      return {};
    }
    return [this](int64_t bytes) {
      // The loader asks again as it learns more, holding nothing it read.
      if (bytes_ > 0) {
        budget_->release(std::exchange(bytes_, 0));
      }
      auto refused = budget_->reserve(bytes);
      if (!refused) {
        bytes_ = bytes;
      }
      return refused;
    };
  }

 private:
  MemoryBudget* budget_;
  int64_t bytes_ = 0;
};

// One read of the file: the fit comes from the headers, then the least size lets a JPEG shrink
// while it decodes yet keep enough pixels for a clean final stretch of the largest output.
imaging::LoadResult loadFitted(const ThumbJob& job, ThumbOutcome& outcome,
                               const imaging::TakeMemory& takeMemory) {
  int largestScale = 1;
  for (const auto& output : job.outputs) {
    largestScale = std::max(largestScale, kindInfo(output.kind).scale);
  }
  // The decode keeps at least twice the asked size, which covers a 2x output; so the 1x
  // thumbnail comes out byte for byte the same with or without it.
  const int ask = std::max(1, largestScale / 2);
  const auto& settings = job.settings;
  return imaging::loadFitted(
      job.source,
      [&](const imaging::PictureInfo& info) {
        outcome.pictureWidth = info.width;
        outcome.pictureHeight = info.height;
        outcome.size =
            fitThumbnail(info.width, info.height, settings.largestWidth, settings.largestHeight,
                         settings.twipsPerPixelX, settings.twipsPerPixelY);
        return std::pair<int, int>(outcome.size.X * ask, outcome.size.Y * ask);
      },
      takeMemory, settings.gifBackground, settings.types);
}

// Stretches the decode onto `canvas` at the output's size and writes it with its record.
bool writeOutput(const imaging::LoadResult& loaded, const JobOutput& output, int quality,
                 imaging::ThumbRecord record, imaging::cDIBSection& canvas, ThumbOutcome& outcome) {
  const RenditionKindInfo& kind = kindInfo(output.kind);
  // Exactly `scale` times the 1x size, so that the page's density is true to the pixel.
  const FitSize size{static_cast<int16_t>(outcome.size.X * kind.scale),
                     static_cast<int16_t>(outcome.size.Y * kind.scale)};
  // Only a 1/8 decode shrinks by 6 or more: its pixels are block means.
  const bool blockMeans = loaded.info.width >= 6 * loaded.picture.width;
  if (!CreateThumb(loaded.picture, size, canvas, blockMeans)) {
    outcome.problem.cause = Cause::NoMemory;
    outcome.problem.rendition = output.kind;
    outcome.problem.width = size.X;
    outcome.problem.height = size.Y;
    return false;
  }
  record.scale = kind.scale;
  record.width = size.X;
  record.height = size.Y;
  int error = 0;
  if (!imaging::WriteJpegFile(canvas, output.path.string(), quality,
                              imaging::encodeThumbRecord(record), &error)) {
    outcome.problem.cause = Cause::NotWritten;
    outcome.problem.rendition = output.kind;
    outcome.problem.other = output.path.parent_path().string();
    outcome.problem.error = systemError(error);
    return false;
  }
  return true;
}

}  // namespace

ThumbOutcome renderThumbnail(const ThumbJob& job, imaging::cDIBSection& canvas) {
  ThumbOutcome outcome;
  BudgetShare share(job.budget);
  try {
    const auto loaded = loadFitted(job, outcome, share.taker());
    outcome.stamp = loaded.stamp;
    if (!loaded.ok) {
      // Memory the decode could not have now says nothing about the picture.
      const ProblemKind kind = loaded.error.kind == imaging::LoadErrorKind::Refused
                                   ? ProblemKind::ThumbnailNotWritten
                                   : ProblemKind::PictureUnreadable;
      outcome.problem = {
          {}, kind, systemError(loaded.error.osError), Cause::Described, loaded.error.reason};
      return outcome;
    }
    outcome.warning = loaded.warning;
    outcome.problem.kind = ProblemKind::ThumbnailNotWritten;
    imaging::ThumbRecord record = job.record;
    record.sourceSize = loaded.stamp.size;
    record.sourceMtimeNs = loaded.stamp.mtimeNs;
    record.pictureWidth = static_cast<uint32_t>(std::max(outcome.pictureWidth, 0));
    record.pictureHeight = static_cast<uint32_t>(std::max(outcome.pictureHeight, 0));
    for (const auto& output : job.outputs) {
      if (!writeOutput(loaded, output, job.settings.quality, record, canvas, outcome)) {
        return outcome;
      }
    }
    outcome.ok = true;
  } catch (const std::exception& e) {
    // A size that does not fit the fit's 16 bits, or a failed allocation: this picture only.
    outcome.ok = false;
    outcome.problem = {{}, ProblemKind::ThumbnailNotWritten, {}, Cause::Described, e.what()};
  }
  return outcome;
}

}  // namespace vistrel::thumbs
