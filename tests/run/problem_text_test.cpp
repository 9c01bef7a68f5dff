#include "run/problem_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace vistrel {
namespace {
using thumbs::Cause;
using thumbs::ProblemKind;
using thumbs::RenditionKind;
using thumbs::RunProblem;

RunProblem tooLong(RenditionKind rendition) {
  RunProblem problem{"a.jpg", ProblemKind::ThumbnailNotWritten, {}, Cause::NameTooLong};
  problem.rendition = rendition;
  problem.other = std::string(258, 'x');
  problem.limit = 255;
  return problem;
}

// The words that name a rendition or tell the page from the style sheet come from the data.
TEST(ProblemText, WordsFollowTheRenditionAndTheFile) {
  const std::string tail =
      " name would be 258 bytes long, more than the 255 a file name can have here; shorten the "
      "picture's name or the prefix";
  const std::error_code denied(EACCES, std::system_category());
  const struct {
    RunProblem problem;
    std::string reason;
  } cases[] = {
      {tooLong(RenditionKind::Thumbnail), "its thumbnail's" + tail},
      {tooLong(RenditionKind::Thumbnail2x), "its double-density thumbnail's" + tail},
      {{"th_a.jpg", ProblemKind::NotRemoved, denied, Cause::LeftoverThumbnail},
       "this leftover thumbnail could not be removed: " + denied.message()},
      {{"Thumb004.html", ProblemKind::NotRemoved, denied},
       "this leftover page could not be removed: " + denied.message()},
      {{"vistrel.js", ProblemKind::NotRemoved, denied},
       "this leftover script could not be removed: " + denied.message()},
      {{"a.jpg.html",
        ProblemKind::PageNotWritten,
        {},
        Cause::TakenByOther,
        {},
        RenditionKind::Thumbnail,
        "a.jpg"},
       "the page of a.jpg was not written: a file of that name is not a page of Vistrel's, so it "
       "was left as it is and the picture goes without a page; move it away and create again"},
      {{"vistrel.css", ProblemKind::PageNotWritten, {}, Cause::NotOurs},
       "the style sheet could not be written: a file of that name is not Vistrel's style sheet, "
       "so it was left as it is and no page was changed; move it away and create again"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run::problemReason(c.problem), c.reason);
  }
}

}  // namespace
}  // namespace vistrel
