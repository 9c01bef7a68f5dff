#pragma once
// The lines vistrel-batch prints when the run is over.

#include <string>

#include "run/create_run.h"

namespace vistrel::cli {

struct RunCounts {
  int thumbnailsMade = 0;
  int thumbnailsKept = 0;
  int pagesWritten = 0;     // pages whose text changed
  int filesRemoved = 0;     // leftovers of an earlier gallery
  int picturesLeftOut = 0;  // pictures without a thumbnail: the run had them to make
};

// "12 thumbnails made, 3 kept, 2 pages written, 1 file removed, 0.84 seconds, 14.3 pictures
// per second" (singular for 1; a full stop for the decimals whatever the locale; no newline).
// The rate counts the thumbnails made; a run that had none to make says "nothing to make"
// instead. `seconds` leave out the wait for another Create, told after them when there was one:
// "0.84 seconds (after waiting 3.10 seconds for another Create)".
std::string summaryLine(const RunCounts& counts, double seconds, double waitedSeconds = 0);

// "skipped broken.jpg: <reason>" for a picture left out of the gallery (no newline).
std::string skippedLine(const std::string& file, const std::string& reason);
// "warning cut.jpg: <reason>" for a damaged picture that is in the gallery (no newline).
std::string warningLine(const std::string& file, const std::string& reason);

// "removed th_old.jpg (left by an earlier gallery)" for each file the run removed.
std::string removedLine(const std::string& file);

// The lines below take the run's data and escape what the user's files put in them.

// Why the run would not start (no newline).
std::string refusalLine(const run::Refusal& refusal);
// A problem of the run: skippedLine for a picture left out, warningLine for a damaged one,
// "NAME: reason" for the rest (no newline).
std::string problemLine(const thumbs::RunProblem& problem);
// "removed .vistrel-thumb-4242-3.tmp, a temporary file of an interrupted run".
std::string temporaryRemovedLine(const std::string& file);
// What a run stopped by a signal left, instead of the summary.
std::string stoppedLine(bool pagesInPlace, int thumbnailsMade);

}  // namespace vistrel::cli
