#pragma once
// What went wrong in a Create run, as data: the front ends choose words, order and exit status
// by the kind, never by the text. The batch words its pictures' problems where it meets them
// (reason); the run's own (pages, leftovers, the first page) are worded by each front end from
// the kind, the file and the system's error.

#include <string>
#include <system_error>

namespace vistrel::thumbs {

enum class ProblemKind {
  PictureUnreadable,    // the picture could not be read or decoded; it is left out of the pages
  ThumbnailNotWritten,  // the picture was read, but its thumbnail could not be made or put in place
  NameTaken,            // the thumbnail's name belongs to a file that is not ours, or to the
                        // thumbnail of another picture; that file was left as it is
  PageNotWritten,       // the pages were not put in place (reason: the page writer's why)
  PagesHeldBack,        // no page was written, since the disk took no more thumbnails
  PageNotOpened,        // everything was written, but no program showed the first page
  NotRemoved,           // a leftover of an earlier run could not be removed
  PictureDamaged,       // the picture's data is damaged or ends early; its thumbnail shows what
                        // could be read, and it is on the pages
};

// A picture or page the run could not make.
struct RunProblem {
  std::string file;  // a name in the folder (UTF-8)
  // For a person: the batch's whole reason, or the page writer's why for PageNotWritten; empty
  // for the run's own problems, which the front ends word.
  std::string reason;
  ProblemKind kind = ProblemKind::PictureUnreadable;
  std::error_code error{};  // the system's reason, where the system failed

  // The picture has no thumbnail and is not on the pages.
  bool pictureLeftOut() const {
    return kind == ProblemKind::PictureUnreadable || kind == ProblemKind::ThumbnailNotWritten ||
           kind == ProblemKind::NameTaken;
  }
  // The gallery is not all there: a picture or a page is missing, or a leftover stays.
  bool isFailure() const { return kind != ProblemKind::PageNotOpened; }
  bool operator==(const RunProblem&) const = default;
};

}  // namespace vistrel::thumbs
