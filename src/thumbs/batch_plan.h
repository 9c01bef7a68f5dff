#pragma once
// Planning a thumbnail batch: for every picture, before any decode, which renditions it gets
// under which names, and whether each is kept, made or replaced, or why the picture is skipped.

#include <optional>
#include <string>
#include <vector>

#include "thumbs/make_thumbnails.h"
#include "thumbs/rendition.h"
#include "thumbs/run_problem.h"

namespace vistrel::thumbs {

struct PicturePlan {
  std::string name;  // the picture's file name
  // What its renditions record: the picture's name, size and time, and the settings.
  imaging::ThumbRecord wanted;
  std::vector<Rendition> renditions;  // in the order of renditionKinds()
  std::optional<RunProblem> problem;  // set when the picture is skipped
  imaging::ThumbRecord kept;          // when the 1x thumbnail is kept: its record
  // Files of ours at the names of renditions this picture no longer has (a dense-screen copy of
  // a picture no larger than the view size), for the leftover step to remove.
  std::vector<std::string> obsolete;
  // What the user should know though the picture is on the pages (a display copy whose name a
  // user's file holds).
  std::vector<RunProblem> notes;

  bool skipped() const { return problem.has_value(); }
  bool keptWhole() const;  // every rendition is up to date
  bool needsRender() const { return !skipped() && !keptWhole(); }
  // The rendition of `kind`, or null when the picture has none of it.
  const Rendition* find(RenditionKind kind) const;
};

// The plans of settings.pictureNames[0 .. count-1], in list order, looked at on up to `workers`
// threads. Names: each rendition's name comes from its kind's rule. A double-density (or later)
// name that is a picture's or a 1x thumbnail's, or another picture's of the same kind, is left
// out, since writing it would replace that file. A 1x name claimed by an earlier picture (x.gif
// and x.jpg), a name longer than the folder allows, or a name held by a file that is not ours
// skips the picture with its problem.
std::vector<PicturePlan> planBatch(const BatchSettings& settings, int count, int workers);

// Case-blind key for names that may be the same file on a file system that ignores case.
std::string foldedName(std::string_view name);
// The problem of `picture` when a file that is not ours holds its rendition's name `target`.
RunProblem nameTaken(const std::string& picture, const std::string& target);

}  // namespace vistrel::thumbs
