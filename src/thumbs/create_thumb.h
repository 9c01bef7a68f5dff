#pragma once
// The per-picture work of the thumbnail batch: decode, fit, stretch and encode one picture.
// Everything here is safe to run on several threads at once, each with its own canvas.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "browse/fit.h"
#include "common/defaults.h"
#include "imaging/picture.h"
#include "imaging/record/thumb_record.h"
#include "imaging/surface/dib_section.h"
#include "thumbs/memory_budget.h"
#include "thumbs/rendition.h"
#include "thumbs/run_problem.h"

namespace vistrel::thumbs {

// Draws the whole of `source` stretched onto `dest`, which is re-created at size.X x size.Y
// pixels (24-bit, bottom-up). False when the bitmap cannot be made; `dest` is then empty.
// `blockMeans`: `source` is a 1/8 decode (see imaging::stretchInto).
bool CreateThumb(const imaging::Picture& source, browse::FitSize size, imaging::cDIBSection& dest,
                 bool blockMeans = false);

// One rendition a job writes: its kind (its size is the kind's scale times the fit) and where.
struct JobOutput {
  RenditionKind kind = RenditionKind::Thumbnail;
  std::filesystem::path path;  // the batch passes a temporary name
};

struct ThumbJob {
  std::filesystem::path source;    // the picture
  std::vector<JobOutput> outputs;  // written in this order, all from one decode
  ThumbSettings settings;
  // The mark the files carry: the picture's name, size and time as read before the decode. The
  // size and time read with the bytes, each output's kind and settings (kindRecord) and the
  // sizes from the fit replace the rest.
  imaging::ThumbRecord record;
  // Shared by the run's workers: the decode takes its memory from here first (none: no limit
  // but the loader's own).
  MemoryBudget* budget = nullptr;
};

// What became of one output: its size in pixels, or 0 x 0 when it was not needed (a dense-screen
// copy the same size as the view-size one) and no file was written.
struct WrittenOutput {
  RenditionKind kind = RenditionKind::Thumbnail;
  int width = 0;
  int height = 0;
};

struct ThumbOutcome {
  bool ok = false;
  browse::FitSize size;  // the fitted size (X, Y), also the thumbnail's size in pixels
  int pictureWidth = 0;  // the picture's natural size, once its headers were read
  int pictureHeight = 0;
  // When !ok: why, less the picture's name, which the batch adds; error is the system's, where
  // a read or a write failed.
  RunProblem problem;
  std::vector<WrittenOutput> written;  // one per output tried, in job.outputs' order
  imaging::FileStamp stamp;            // the picture's length and time, read with its bytes
  std::string warning;                 // what the decode of a damaged picture had to say, when ok
};

// Probes the picture for its natural size, fits it, decodes it shrunk no further than the
// largest output allows, and writes each of job.outputs as a JPEG file from that one decode,
// stretched onto `canvas`. The outcome is ok only when every output was written.
// Never throws for a bad picture or an unwritable file: that comes back as the problem.
ThumbOutcome renderThumbnail(const ThumbJob& job, imaging::cDIBSection& canvas);

}  // namespace vistrel::thumbs
