#include "thumbs/create_thumb.h"

#include <algorithm>
#include <cstring>

#include <exception>
#include <optional>
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

// The size a display copy of `kind` gets from the picture's headers.
FitSize viewSize(const RenditionKindInfo& kind, const ThumbJob& job, const ThumbOutcome& outcome) {
  const auto [width, height] =
      viewFit(kind, job.settings.viewSize, outcome.pictureWidth, outcome.pictureHeight);
  return {static_cast<int16_t>(width), static_cast<int16_t>(height)};
}

// One read of the file: the fit comes from the headers, then the least size lets a JPEG shrink
// while it decodes yet keep enough pixels for a clean final stretch of the largest output.
imaging::LoadResult loadFitted(const ThumbJob& job, ThumbOutcome& outcome,
                               const imaging::TakeMemory& takeMemory) {
  const auto& settings = job.settings;
  return imaging::loadFitted(
      job.source,
      [&](const imaging::PictureInfo& info) {
        outcome.pictureWidth = info.width;
        outcome.pictureHeight = info.height;
        outcome.size =
            fitThumbnail(info.width, info.height, settings.largestWidth, settings.largestHeight,
                         settings.twipsPerPixelX, settings.twipsPerPixelY);
        // The decode keeps at least twice the asked size: the fit covers a double-density
        // thumbnail, so the 1x one comes out byte for byte the same with or without it. A
        // display copy needs its own size covered.
        std::pair<int, int> least(outcome.size.X, outcome.size.Y);
        for (const auto& output : job.outputs) {
          const RenditionKindInfo& kind = kindInfo(output.kind);
          if (kind.view) {
            const FitSize size = viewSize(kind, job, outcome);
            least.first = std::max(least.first, (size.X + 1) / 2);
            least.second = std::max(least.second, (size.Y + 1) / 2);
          }
        }
        return least;
      },
      takeMemory, settings.gifBackground, settings.types);
}

// The output's size in pixels, or none when it is not to be made: a dense-screen copy the same
// size as the view-size one.
std::optional<FitSize> outputSize(const JobOutput& output, const ThumbJob& job,
                                  const ThumbOutcome& outcome) {
  const RenditionKindInfo& kind = kindInfo(output.kind);
  if (!kind.view) {
    // Exactly `scale` times the 1x size, so that the page's density is true to the pixel.
    return FitSize{static_cast<int16_t>(outcome.size.X * kind.scale),
                   static_cast<int16_t>(outcome.size.Y * kind.scale)};
  }
  const FitSize size = viewSize(kind, job, outcome);
  if (kind.scale != 1) {
    const FitSize single = viewSize(kindInfo(RenditionKind::View), job, outcome);
    if (single.X == size.X && single.Y == size.Y) {
      return std::nullopt;
    }
  }
  return size;
}

// Stretches the decode onto `canvas` at `size` and writes it with its record.
bool writeOutput(const imaging::LoadResult& loaded, const ThumbJob& job, const JobOutput& output,
                 FitSize size, imaging::ThumbRecord record, imaging::cDIBSection& canvas,
                 ThumbOutcome& outcome) {
  const RenditionKindInfo& kind = kindInfo(output.kind);
  // Only a 1/8 decode shrinks by 6 or more: its pixels are block means.
  const bool blockMeans = loaded.info.width >= 6 * loaded.picture.width;
  if (!CreateThumb(loaded.picture, size, canvas, blockMeans)) {
    outcome.problem.cause = Cause::NoMemory;
    outcome.problem.rendition = output.kind;
    outcome.problem.width = size.X;
    outcome.problem.height = size.Y;
    return false;
  }
  const imaging::ThumbRecord settings = kindRecord(kind, job.settings);
  record.kind = settings.kind;
  record.quality = settings.quality;
  record.largestWidth = settings.largestWidth;
  record.largestHeight = settings.largestHeight;
  record.twipsPerPixelX = settings.twipsPerPixelX;
  record.twipsPerPixelY = settings.twipsPerPixelY;
  record.width = size.X;
  record.height = size.Y;
  int error = 0;
  // A display copy's optimised tables would cost a fifth of the run for 3% of its bytes.
  const auto tables = kind.view ? imaging::JpegTables::Standard : imaging::JpegTables::Optimised;
  if (!imaging::WriteJpegFile(canvas, output.path.string(), record.quality,
                              imaging::encodeThumbRecord(record), &error, tables)) {
    outcome.problem.cause = Cause::NotWritten;
    outcome.problem.rendition = output.kind;
    outcome.problem.other = output.path.parent_path().string();
    outcome.problem.error = systemError(error);
    return false;
  }
  return true;
}

// The canvas's pixels as a top-down picture.
imaging::Picture pictureOf(imaging::cDIBSection& canvas) {
  imaging::Picture picture;
  picture.width = canvas.Width();
  picture.height = canvas.Height();
  picture.stride = 3 * picture.width;
  picture.bgr.resize(static_cast<size_t>(picture.stride) * static_cast<size_t>(picture.height));
  const auto* bits = reinterpret_cast<const uint8_t*>(canvas.DIBSectionBitsPtr());
  const auto line = static_cast<size_t>(canvas.BytesPerScanLine());
  for (int y = 0; y < picture.height; ++y) {
    std::memcpy(picture.row(y), bits + line * static_cast<size_t>(picture.height - 1 - y),
                static_cast<size_t>(picture.stride));
  }
  return picture;
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
    // The display copy goes first: the thumbnails are stretched from its pixels, a quarter or
    // less of the decode's, when it is at least twice their size.
    std::vector<const JobOutput*> order;
    for (const auto& output : job.outputs) {
      order.push_back(&output);
    }
    std::stable_sort(order.begin(), order.end(), [](const JobOutput* a, const JobOutput* b) {
      return kindInfo(a->kind).view && !kindInfo(b->kind).view;
    });
    std::optional<imaging::LoadResult> view;
    for (const JobOutput* output : order) {
      const auto size = outputSize(*output, job, outcome);
      outcome.written.push_back({output->kind, size ? size->X : 0, size ? size->Y : 0});
      if (!size) {
        continue;
      }
      const bool fromView = view && view->picture.width >= 2 * size->X &&
                            view->picture.height >= 2 * size->Y && !kindInfo(output->kind).view;
      if (!writeOutput(fromView ? *view : loaded, job, *output, *size, record, canvas, outcome)) {
        return outcome;
      }
      if (output->kind == RenditionKind::View) {
        // Its pixels are no block means: its info is its own size.
        view.emplace();
        view->picture = pictureOf(canvas);
        view->info = {loaded.info.format, view->picture.width, view->picture.height};
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
