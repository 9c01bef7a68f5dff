#pragma once
// Writing a modern gallery's picture pages: which pictures get one, the pages and the script
// staged with the gallery's other files.

#include <filesystem>
#include <string>
#include <vector>

#include "common/stop_request.h"
#include "gallery/staged_files.h"
#include "thumbs/thumb_info.h"

namespace vistrel::gallery {

struct PicturePageOptions;

// Stages the script (when any picture has a page) and each picture's page unless unchanged, and
// returns what each picture's gallery cell links: its page, or pagelessTarget when it has none
// (its name held by a file not ours, or too long: told to options.problems). `perPage` pictures
// fill a gallery page. `stop` is looked at before each page.
std::vector<std::string> stagePictureFiles(const std::filesystem::path& folder,
                                           const std::vector<thumbs::ThumbInfo>& thumbs,
                                           int perPage, const PicturePageOptions& options,
                                           const common::StopRequest* stop, StagedFiles& staged);

}  // namespace vistrel::gallery
