#pragma once
// The per-picture work of the thumbnail batch: decode, fit, stretch and encode one picture.
// Everything here is safe to run on several threads at once, each with its own canvas.

#include <cstdint>
#include <filesystem>
#include <string>

#include "browse/fit.h"
#include "common/defaults.h"
#include "imaging/dib_section.h"
#include "imaging/picture.h"
#include "imaging/thumb_record.h"
#include "thumbs/memory_budget.h"
#include "thumbs/run_problem.h"

namespace vistrel::thumbs {

// Draws the whole of `source` stretched onto `dest`, which is re-created at size.X x size.Y
// pixels (24-bit, bottom-up). False when the bitmap cannot be made; `dest` is then empty.
// `blockMeans`: `source` is a 1/8 decode (see imaging::stretchInto).
bool CreateThumb(const imaging::Picture& source, browse::FitSize size, imaging::cDIBSection& dest,
                 bool blockMeans = false);

struct ThumbJob {
  std::filesystem::path source;  // the picture
  std::filesystem::path output;  // where the JPEG goes (the batch passes a temporary name)
  // Where the double-density thumbnail goes (twice the fitted size), or empty for none.
  std::filesystem::path output2x;
  int16_t largestWidth = common::kThumbnailInitial;   // pixels
  int16_t largestHeight = common::kThumbnailInitial;  // pixels
  int32_t quality = common::kQualityInitial;          // JPEG quality, 1 to 100
  float twipsPerPixelX = 15;
  float twipsPerPixelY = 15;
  uint32_t gifBackground = imaging::kPlainBackground;  // 0xRRGGBB under see-through GIF pixels
  // The mark the file carries: the picture's name, size and time as read before the decode.
  // Its settings and thumbnail size are filled in from the fields above and the fit.
  imaging::ThumbRecord record;
  // Shared by the run's workers: the decode takes its memory from here first (none: no limit
  // but the loader's own).
  MemoryBudget* budget = nullptr;
};

struct ThumbOutcome {
  bool ok = false;
  browse::FitSize size;  // the fitted size (X, Y), also the thumbnail's size in pixels
  int pictureWidth = 0;  // the picture's natural size, once its headers were read
  int pictureHeight = 0;
  std::string reason;                                    // when !ok: why, for a person
  ProblemKind problem = ProblemKind::PictureUnreadable;  // when !ok
  int osError = 0;           // when the system failed (a read or a write): its error number
  imaging::FileStamp stamp;  // the picture's length and time, read with its bytes
  std::string warning;       // what the decode of a damaged picture had to say, when ok
};

// Probes the picture for its natural size, fits it, decodes it shrunk no further than the
// fitted size allows, stretches it onto `canvas` and writes it to job.output as a JPEG file.
// With job.output2x it also writes the double-density thumbnail from the same decode; the
// outcome is ok only when both files were written.
// Never throws for a bad picture or an unwritable file: that comes back as a reason.
ThumbOutcome renderThumbnail(const ThumbJob& job, imaging::cDIBSection& canvas);

// job.record with the job's settings filled in: what a thumbnail made for `job` records, but for
// the sizes only the decode gives.
imaging::ThumbRecord settingsRecord(const ThumbJob& job);

}  // namespace vistrel::thumbs
