#pragma once
// The thumbnail batch: one JPEG thumbnail per picture, beside the picture, and the records the
// page writer shows.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "browse/fit.h"
#include "common/defaults.h"
#include "common/progress.h"
#include "common/stop_request.h"
#include "imaging/record/thumb_record.h"
#include "thumbs/rendition.h"
#include "thumbs/run_problem.h"
#include "thumbs/thumb_info.h"

namespace vistrel::thumbs {

class MemoryBudget;

// What the batch reads, taken once when it starts: the settings that shape every rendition, and
// the run's own.
struct BatchSettings : ThumbSettings {
  std::filesystem::path folder;           // the pictures' folder, where thumbnails go
  std::vector<std::string> pictureNames;  // file names (UTF-8, no folder) in the list's order
  int ImageCount = 0;                     // pictures processed: the first ImageCount names
  int workers = 0;                        // threads for decoding and encoding; 0: one per core
  bool rebuild = false;                   // make every thumbnail again, even one that is up to date
  // Memory every decode of the run together may take, in bytes; 0: defaultMemoryBudget().
  int64_t memoryBudget = 0;
  // A budget batches running side by side share instead (memoryBudget then does not apply).
  MemoryBudget* sharedBudget = nullptr;
  // What the folder's listing read just before (under the run's lock), planned from instead of
  // reading each file again; a name it did not read is read as usual.
  const imaging::FolderMarks* marks = nullptr;
  // Test seam: called once every picture's plan is made, before the first decode.
  std::function<void()> afterPlanning;
  // Also make the renditions only the modern pages show (the double-density thumbnail and the
  // display copies), from the same decode.
  bool modern = false;
  // Looked at before each picture: once requested, no more thumbnails are put in place.
  const common::StopRequest* stop = nullptr;
};

struct BatchResult {
  // One record per picture that has its thumbnail, in the list's order. Pictures whose names
  // differ only in extension each keep a record (the later one's thumbnail is the file left).
  std::vector<ThumbInfo> thumbs;
  // Pictures left without a thumbnail, and damaged ones made as far as they could be read, in
  // the list's order.
  std::vector<RunProblem> problems;
  browse::FitSize last;  // the last fit (the window's X and Y)
  int made = 0;          // thumbnails written by this run
  int kept = 0;          // thumbnails already up to date, left as they were
  // The disk failed (full, over quota, read-only, I/O error): the batch stopped at that picture
  // and the caller must leave the pages as they are.
  bool stoppedByDisk = false;
  // settings.stop was requested: the batch ended before the pictures after the last one counted,
  // and the caller must leave the pages as they are.
  bool stopped = false;
  int64_t memoryPeak = 0;  // the most the decodes took of the memory budget at once
  // The renditions (file names) this run made or found up to date.
  std::vector<std::string> current;
  // Files of ours at the names of renditions their pictures no longer have (a dense-screen copy
  // of a picture no larger than the view size), for the leftover step to remove.
  std::vector<std::string> obsolete;
};

// Makes the thumbnails of settings.pictureNames[0 .. ImageCount-1] in list order. For picture i
// (1-based) the notice shows Phase::Thumbnails, i and ImageCount while it is worked on, and the
// fill grows by ProgressStep once it is done. Each thumbnail is named by thumbnailName and carries
// a record of its picture and settings (thumb_record.h). A file of that name replaces only a
// thumbnail of ours (ThumbMarkResult::oursAt): any other file (a user's photo that happens to
// have the name, a copy of a thumbnail, a file with a broken record) is left byte for byte and
// the picture is skipped as NameTaken. A thumbnail whose record matches the
// picture's name, size and modification time and the settings is kept without decoding (unless
// settings.rebuild). When two pictures would share one thumbnail name (x.gif and x.jpg), the first
// in the list has it and the other is skipped. A thumbnail that cannot be written because of the
// disk, not the picture, stops the batch (stoppedByDisk). Decoding and encoding run on worker
// threads, but files, records, notice and fill change in list order on the calling thread, so the
// result is exactly that of one picture at a time. A picture that cannot be made is reported and
// the run goes on. The caller does not get back to its event loop until the batch returns. A prefix
// that prefixProblem refuses throws std::invalid_argument before anything is written.
//
// Each picture's renditions follow the table of kinds (rendition.h) and the plan (batch_plan.h);
// each record names the files made or kept (ThumbFile, and Thumb2xFile with modern where the
// double-density name is free).
BatchResult MakeThumbnails(const BatchSettings& settings, common::ProgressDisplay& progress);

// Removes the renditions of ours in settings.folder (a whole record at a name a run writes for
// its picture, imaging::ThumbMarkResult::oursAt) that are not a rendition of one of the
// gallery's pictures (its picture is gone or renamed, the prefix changed, the style no longer
// has that kind) or that the batch found obsolete, and adds their names to `removed`. Any other
// file is never touched, whatever it holds. batch.current names the renditions the batch made
// or kept, which need no second look. A file that cannot be removed is added to `problems`.
void removeLeftoverThumbnails(const BatchSettings& settings, const BatchResult& batch,
                              std::vector<std::string>& removed, std::vector<RunProblem>& problems);

}  // namespace vistrel::thumbs
