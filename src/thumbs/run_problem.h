#pragma once
// What went wrong in a Create run, as data: the front ends choose words, order and exit status
// by the kind and the cause, never by text (run/problem_text.h words them). Only accounts that
// are not the run's own travel as text, in `detail`: the loader's of a bad picture, the folder
// reader's of an entry that is no file, a failure's own message.

#include <string>
#include <system_error>

#include "thumbs/rendition.h"

namespace vistrel::thumbs {

enum class ProblemKind {
  PictureUnreadable,    // the picture could not be read or decoded; it is left out of the pages
  ThumbnailNotWritten,  // the picture was read, but its thumbnail could not be made or put in place
  NameTaken,            // the thumbnail's name belongs to a file that is not ours, or to the
                        // thumbnail of another picture; that file was left as it is
  PageNotWritten,       // the pages were not put in place
  PagesHeldBack,        // no page was written, since the disk took no more thumbnails
  PageNotOpened,        // everything was written, but no program showed the first page
  NotRemoved,           // a leftover of an earlier run could not be removed
  PictureDamaged,       // the picture's data is damaged or ends early; its thumbnail shows what
                        // could be read (detail: the decoder's account), and it is on the pages
  CopyNotMade,          // the picture is on the pages, but a display copy's name belongs to a
                        // file that is not ours (TakenByOther), left as it is
  WordsNotRead,         // the folder's captions.txt or introduction.txt is there but could not
                        // be read (`error`; none: not a regular file); the pages go without it
  AlbumSkipped,         // an albums run left this folder out (detail: why); file ends in "/"
};

// Finer than the kind, for the words; the kind alone decides exit status and what is left out.
enum class Cause {
  None,            // the kind, the file and `error` say it all
  Described,       // `detail` is the whole account (the loader's, the folder reader's, a failure's)
  SystemError,     // the picture could not be looked at: `error`
  NotRegularFile,  // the picture is no longer a regular file
  NameTooLong,     // the `rendition`'s name `other` is longer than the folder's `limit` bytes
  ClaimedFirst,    // its thumbnail's name `other` is already the thumbnail of the picture `owner`
  TakenByOther,    // a file that is not ours holds the rendition's name `other`
  NotPlaced,       // the thumbnail `other` could not be put in place: `error`
  NoMemory,        // no memory for the `rendition` of `width` x `height` pixels
  NotWritten,      // the `rendition` could not be written in the folder `other` (`error`, if any)
  Unexpected,      // the render stopped by a throw that is no std::exception
  NotOurs,         // PageNotWritten: a file of that name is not a page (or style sheet) of ours
  LeftoverThumbnail,  // NotRemoved: the file is a thumbnail, not a page
};

// A picture or page the run could not make.
struct RunProblem {
  std::string file;  // a name in the folder (UTF-8)
  ProblemKind kind = ProblemKind::PictureUnreadable;
  std::error_code error{};  // the system's reason, where the system failed
  Cause cause = Cause::None;
  std::string detail{};  // see Cause::Described and ProblemKind::PictureDamaged
  RenditionKind rendition = RenditionKind::Thumbnail;
  std::string other{};  // the other file named: a rendition's name, or the folder
  std::string owner{};  // the picture that claimed the thumbnail's name first
  long limit = 0;       // bytes a file name can have in the folder
  int width = 0;        // pixels
  int height = 0;

  // The picture has no thumbnail and is not on the pages.
  bool pictureLeftOut() const {
    return kind == ProblemKind::PictureUnreadable || kind == ProblemKind::ThumbnailNotWritten ||
           kind == ProblemKind::NameTaken;
  }
  // The gallery is not all there: a picture or a page is missing, or a leftover stays.
  bool isFailure() const { return kind != ProblemKind::PageNotOpened; }
  // The picture is on the pages, with something the user should know.
  bool isWarning() const {
    return kind == ProblemKind::PictureDamaged || kind == ProblemKind::CopyNotMade ||
           kind == ProblemKind::WordsNotRead;
  }
  bool operator==(const RunProblem&) const = default;
};

}  // namespace vistrel::thumbs
