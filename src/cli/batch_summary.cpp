#include "cli/batch_summary.h"

#include <algorithm>
#include <cmath>

#include "common/utf8.h"
#include "run/problem_text.h"

namespace vistrel::cli {
using common::escaped;
using run::problemReason;
using run::Refusal;
using run::refusalReason;
using thumbs::ProblemKind;
using thumbs::RunProblem;

namespace {

std::string counted(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Fixed decimals with a full stop: printf would follow LC_NUMERIC, which Qt sets from the
// user's locale.
std::string fixed(double value, int decimals) {
  const long long scale = decimals == 1 ? 10 : 100;
  const long long scaled = std::llround(std::max(0.0, value) * static_cast<double>(scale));
  std::string fraction = std::to_string(scaled % scale);
  fraction.insert(0, static_cast<size_t>(decimals) - fraction.size(), '0');
  return std::to_string(scaled / scale) + "." + fraction;
}

}  // namespace

std::string summaryLine(const RunCounts& counts, double seconds, double waitedSeconds) {
  // A run faster than the clock's resolution still gets a finite rate.
  const double rate = counts.thumbnailsMade / std::max(seconds, 0.001);
  return counted(counts.thumbnailsMade, "thumbnail", "thumbnails") + " made, " +
         std::to_string(counts.thumbnailsKept) + " kept, " +
         counted(counts.pagesWritten, "page", "pages") + " written, " +
         counted(counts.filesRemoved, "file", "files") + " removed, " + fixed(seconds, 2) +
         " seconds" +
         (waitedSeconds > 0
              ? " (after waiting " + fixed(waitedSeconds, 2) + " seconds for another Create)"
              : "") +
         (counts.thumbnailsMade + counts.picturesLeftOut == 0
              ? ", nothing to make"
              : ", " + fixed(rate, 1) + " pictures per second");
}

std::string skippedLine(const std::string& file, const std::string& reason) {
  return "skipped " + file + ": " + reason;
}

std::string removedLine(const std::string& file) {
  return "removed " + file + " (left by an earlier gallery)";
}

std::string warningLine(const std::string& file, const std::string& reason) {
  return "warning " + file + ": " + reason;
}

std::string refusalLine(const Refusal& refusal) {
  return escaped(refusalReason(refusal));
}

std::string problemLine(const RunProblem& problem) {
  const std::string file = escaped(problem.file);
  const std::string reason = escaped(problemReason(problem));
  const bool skipped = problem.pictureLeftOut() || problem.kind == ProblemKind::AlbumSkipped;
  return skipped               ? skippedLine(file, reason)
         : problem.isWarning() ? warningLine(file, reason)
                               : file + ": " + reason;
}

std::string temporaryRemovedLine(const std::string& file) {
  return "removed " + escaped(file) + ", a temporary file of an interrupted run";
}

std::string stoppedLine(bool pagesInPlace, int thumbnailsMade) {
  return pagesInPlace
             ? "stopped after the pages were in place; no leftover of the earlier "
               "gallery was removed"
             : "stopped; no page was changed and nothing was removed (" +
                   std::to_string(thumbnailsMade) +
                   (thumbnailsMade == 1 ? " thumbnail was" : " thumbnails were") + " made)";
}

}  // namespace vistrel::cli
