#include "thumbs/create_thumb.h"

#include <malloc.h>
#include <algorithm>

#include <exception>
#include <system_error>
#include <utility>

#include "imaging/jpeg_writer.h"
#include "imaging/stretch.h"

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

// Decodes this large are rare (photos of 40 megapixels and more) and take far longer than the
// trim does.
constexpr int64_t kTrimAfter = int64_t{64} << 20;

imaging::ThumbRecord settingsRecord(const ThumbJob& job) {
  imaging::ThumbRecord record = job.record;
  record.largestWidth = job.largestWidth;
  record.largestHeight = job.largestHeight;
  record.quality = job.quality;
  record.twipsPerPixelX = job.twipsPerPixelX;
  record.twipsPerPixelY = job.twipsPerPixelY;
  return record;
}

ThumbOutcome renderThumbnail(const ThumbJob& job, imaging::cDIBSection& canvas) {
  ThumbOutcome outcome;
  // The decode's share of the run's memory is held until the thumbnail is written.
  struct Share {
    MemoryBudget* budget = nullptr;
    int64_t bytes = 0;
    ~Share() {
      if (budget != nullptr && bytes > 0) {
        // Each worker frees into an allocator arena of its own, which keeps what it got back
        // for the thread's next picture; after a large decode that memory would stay counted
        // against the machine but not against the budget, so it is handed back.
        if (bytes >= kTrimAfter) {
          malloc_trim(0);
        }
        budget->release(bytes);
      }
    }
  } share{job.budget};
  imaging::TakeMemory takeShare;
  if (job.budget != nullptr) {
    takeShare = [&share](int64_t bytes) {
      // The loader asks again as it learns more, holding nothing it read.
      if (share.bytes > 0) {
        share.budget->release(std::exchange(share.bytes, 0));
      }
      std::string refusal = share.budget->reserve(bytes);
      if (refusal.empty()) {
        share.bytes = bytes;
      }
      return refusal;
    };
  }
  try {
    // One read of the file: the fit comes from the headers, then the least size lets a JPEG
    // shrink while it decodes yet keep enough pixels for a clean final stretch.
    const auto loaded = imaging::loadFitted(
        job.source,
        [&](const imaging::PictureInfo& info) {
          outcome.pictureWidth = info.width;
          outcome.pictureHeight = info.height;
          outcome.size = fitThumbnail(info.width, info.height, job.largestWidth, job.largestHeight,
                                      job.twipsPerPixelX, job.twipsPerPixelY);
          // Also with a 2x copy: the decode keeps at least twice the asked size, which is the 2x
          // size, and the 1x thumbnail comes out byte for byte as it does without the copy.
          return std::pair<int, int>(outcome.size.X, outcome.size.Y);
        },
        takeShare, job.gifBackground);
    outcome.stamp = loaded.stamp;
    if (!loaded.ok) {
      outcome.reason = loaded.error.reason;
      outcome.osError = loaded.error.osError;
      // Memory the decode could not have now says nothing about the picture.
      outcome.problem = loaded.error.kind == imaging::LoadErrorKind::Refused
                            ? ProblemKind::ThumbnailNotWritten
                            : ProblemKind::PictureUnreadable;
      return outcome;
    }
    outcome.warning = loaded.warning;
    outcome.problem = ProblemKind::ThumbnailNotWritten;
    // Only a 1/8 decode shrinks by 6 or more: its pixels are block means.
    const bool blockMeans = loaded.info.width >= 6 * loaded.picture.width;
    if (!CreateThumb(loaded.picture, outcome.size, canvas, blockMeans)) {
      outcome.reason = "there is not enough memory for a thumbnail of " +
                       std::to_string(outcome.size.X) + " x " + std::to_string(outcome.size.Y) +
                       " pixels";
      return outcome;
    }
    imaging::ThumbRecord record = settingsRecord(job);
    record.sourceSize = loaded.stamp.size;
    record.sourceMtimeNs = loaded.stamp.mtimeNs;
    record.width = outcome.size.X;
    record.height = outcome.size.Y;
    record.pictureWidth = static_cast<uint32_t>(std::max(outcome.pictureWidth, 0));
    record.pictureHeight = static_cast<uint32_t>(std::max(outcome.pictureHeight, 0));
    if (!imaging::WriteJpegFile(canvas, job.output.string(), job.quality,
                                imaging::encodeThumbRecord(record), &outcome.osError)) {
      outcome.reason = "the thumbnail could not be written in " + job.output.parent_path().string();
      if (outcome.osError != 0) {
        outcome.reason += ": " + std::system_category().message(outcome.osError);
      }
      return outcome;
    }
    if (!job.output2x.empty()) {
      // Exactly twice the 1x size, so that the page's "2x" density is true to the pixel.
      const FitSize doubled{static_cast<int16_t>(outcome.size.X * 2),
                            static_cast<int16_t>(outcome.size.Y * 2)};
      if (!CreateThumb(loaded.picture, doubled, canvas, blockMeans)) {
        outcome.reason = "there is not enough memory for a double-density thumbnail of " +
                         std::to_string(doubled.X) + " x " + std::to_string(doubled.Y) + " pixels";
        return outcome;
      }
      record.scale = 2;
      record.width = doubled.X;
      record.height = doubled.Y;
      if (!imaging::WriteJpegFile(canvas, job.output2x.string(), job.quality,
                                  imaging::encodeThumbRecord(record), &outcome.osError)) {
        outcome.reason = "the double-density thumbnail could not be written in " +
                         job.output2x.parent_path().string();
        if (outcome.osError != 0) {
          outcome.reason += ": " + std::system_category().message(outcome.osError);
        }
        return outcome;
      }
    }
    outcome.ok = true;
  } catch (const std::exception& e) {
    // A size that does not fit the fit's 16 bits, or a failed allocation: this picture only.
    outcome.ok = false;
    outcome.reason = e.what();
    outcome.problem = ProblemKind::ThumbnailNotWritten;
  }
  return outcome;
}

}  // namespace vistrel::thumbs
