#pragma once
// The words both front ends give a run's problems and refusals. Each front end adds its own
// framing ("skipped NAME: ", "Nothing was created:"), escaping and shortening around them.

#include <string>

#include "browse/album_tree.h"
#include "run/create_run.h"

namespace vistrel::run {

// Why the problem happened, without the file's name: "its thumbnail th_x.jpg is the thumbnail
// of x.gif; rename one of the two pictures".
std::string problemReason(const thumbs::RunProblem& problem);

// Why an albums run left a folder of the tree out.
std::string treeProblemReason(const browse::TreeProblem& problem);

// Why the run would not start, as one sentence.
std::string refusalReason(const Refusal& refusal);

// "3 linked originals carry a location (GPS)" (singular for 1), "" for none: what a run that
// links its originals publishes beyond the pictures themselves.
std::string locationText(int linkedWithLocation);

}  // namespace vistrel::run
