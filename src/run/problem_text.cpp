#include "run/problem_text.h"

#include "gallery/modern_page.h"
#include "gallery/picture_page.h"
#include "thumbs/prefix_check.h"

namespace vistrel::run {
using gallery::kScriptName;
using gallery::kStyleSheetName;
using thumbs::Cause;
using thumbs::ProblemKind;
using thumbs::RenditionKind;

namespace {

std::string renditionName(RenditionKind kind) {
  switch (kind) {
    case RenditionKind::Thumbnail:
      return "thumbnail";
    case RenditionKind::Thumbnail2x:
      return "double-density thumbnail";
    case RenditionKind::View:
      return "display copy";
    case RenditionKind::View2x:
      return "dense-screen display copy";
  }
  return "thumbnail";
}

// A picture page the gallery goes without; its thumbnail links on as it would without pages.
std::string picturePageReason(const RunProblem& problem) {
  const std::string lead = "the page of " + problem.other + " was not written: ";
  if (problem.cause == Cause::NameTooLong) {
    return lead + "its name would be " + std::to_string(problem.file.size()) +
           " bytes long, more than the " + std::to_string(problem.limit) +
           " a file name can have here, so the picture goes without a page; shorten its name";
  }
  return lead +
         "a file of that name is not a page of Vistrel's, so it was left as it is and the "
         "picture goes without a page; move it away and create again";
}

// What a gallery file of ours is called in a sentence, by its name.
std::string fileWord(const std::string& file) {
  return file == kStyleSheetName ? "style sheet" : file == kScriptName ? "script" : "page";
}

std::string notOurs(const std::string& file) {
  const std::string word = fileWord(file);
  return std::string("a file of that name is not ") +
         (word == "page" ? "a page of Vistrel's" : "Vistrel's " + word) +
         ", so it was left as it is and no page was changed; move it away and create again";
}

// A picture's problem, from its cause.
std::string pictureReason(const RunProblem& problem) {
  const std::string rendition = renditionName(problem.rendition);
  switch (problem.cause) {
    case Cause::SystemError:
      return problem.error.message();
    case Cause::NotRegularFile:
      return "not a regular file";
    case Cause::NameTooLong:
      return "its " + rendition + "'s name would be " + std::to_string(problem.other.size()) +
             " bytes long, more than the " + std::to_string(problem.limit) +
             " a file name can have here; shorten the picture's name or the prefix";
    case Cause::ClaimedFirst:
      return "its thumbnail " + problem.other + " is the thumbnail of " + problem.owner +
             "; rename one of the two pictures";
    case Cause::TakenByOther:
      return "its thumbnail's name " + problem.other +
             " is taken by a file that is not a thumbnail of Vistrel's, which was left as it is; "
             "choose another prefix";
    case Cause::NotPlaced:
      return "its thumbnail " + problem.other +
             " could not be put in place: " + problem.error.message();
    case Cause::NoMemory:
      return "there is not enough memory for a " + rendition + " of " +
             std::to_string(problem.width) + " x " + std::to_string(problem.height) + " pixels";
    case Cause::NotWritten:
      return "the " + rendition + " could not be written in " + problem.other +
             (problem.error ? ": " + problem.error.message() : "");
    case Cause::Unexpected:
      return "an unexpected error stopped its thumbnail";
    default:
      return problem.detail;
  }
}

}  // namespace

std::string problemReason(const RunProblem& problem) {
  switch (problem.kind) {
    case ProblemKind::PageNotWritten:
      if (problem.cause == Cause::TakenByOther || problem.cause == Cause::NameTooLong) {
        return picturePageReason(problem);
      }
      return "the " + fileWord(problem.file) + " could not be written: " +
             (problem.cause == Cause::NotOurs ? notOurs(problem.file) : problem.error.message());
    case ProblemKind::PagesHeldBack:
      return "no page was written, since the disk took no more thumbnails; the earlier pages "
             "were left as they were";
    case ProblemKind::PageNotOpened:
      return "no program could be started to show the page";
    case ProblemKind::NotRemoved:
      return std::string("this leftover ") +
             (problem.cause == Cause::LeftoverThumbnail ? "thumbnail" : fileWord(problem.file)) +
             " could not be removed: " + problem.error.message();
    case ProblemKind::PictureDamaged:
      return problem.detail + "; the gallery shows it as far as it could be read";
    case ProblemKind::CopyNotMade:
      return "its " + renditionName(problem.rendition) + "'s name " + problem.other +
             " is taken by a file that is not Vistrel's, which was left as it is; its page shows "
             "the picture without that copy";
    case ProblemKind::WordsNotRead:
      return "it could not be read (" +
             (problem.error ? problem.error.message() : std::string("not a regular file")) +
             "); the pages were made without it";
    default:
      return pictureReason(problem);
  }
}

std::string treeProblemReason(const browse::TreeProblem& problem) {
  using browse::TreeProblemKind;
  switch (problem.kind) {
    case TreeProblemKind::Unreadable:
      return "the folder cannot be read: " + problem.reason;
    case TreeProblemKind::LinkLoop:
      return "a link back to a folder it is in, so it was not followed";
    case TreeProblemKind::LinkOutside:
      return "a link to a folder outside the tree, so it was not followed";
    case TreeProblemKind::AlreadyShown:
      return "a link to a folder the gallery already shows, so it was not followed";
    case TreeProblemKind::TooDeep:
      return "more than " + std::to_string(browse::kMostAlbumLevels) +
             " folders deep, so it was left out";
  }
  return "";
}

std::string refusalReason(const Refusal& refusal) {
  switch (refusal.kind) {
    case RefusalKind::BadPrefix:
      // The prefix's own rule words it, as the prefix box's corrections and --prefix follow it.
      return thumbs::prefixProblem(refusal.detail).value_or("");
    case RefusalKind::FolderNotWritable:
      return "The folder " + refusal.file + " cannot be written: " + refusal.error.message();
    case RefusalKind::FolderNotReadable:
      return "the folder " + refusal.file + " cannot be read: " + refusal.error.message();
    case RefusalKind::FolderBusy:
      return "another Create is running in this folder";
  }
  return "";
}

std::string locationText(int linkedWithLocation) {
  if (linkedWithLocation <= 0) {
    return "";
  }
  return linkedWithLocation == 1
             ? "1 linked original carries a location (GPS)"
             : std::to_string(linkedWithLocation) + " linked originals carry a location (GPS)";
}

}  // namespace vistrel::run
