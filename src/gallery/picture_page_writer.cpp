#include "gallery/picture_page_writer.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "common/folder_names.h"
#include "gallery/page_writer.h"
#include "gallery/picture_page.h"

namespace vistrel::gallery {
using thumbs::ThumbInfo;

namespace {

// What a page of ours already says, told without keeping its text: a folder of thousands of
// pictures would otherwise hold every page twice.
struct Digest {
  size_t size = 0;
  size_t hash = 0;
  bool operator==(const Digest&) const = default;
};

Digest digestOf(std::string_view text) {
  return {text.size(), std::hash<std::string_view>{}(text)};
}

struct PlannedPages {
  std::vector<std::string> names;           // "" where a picture has no page
  std::vector<std::optional<Digest>> said;  // a page of ours already at the name
};

// Each picture's page name, or "" when it can have none: the name is too long for the folder,
// or a file that is not a page of ours holds it (then `problems` hears of it).
PlannedPages planPicturePages(const std::filesystem::path& folder,
                              const std::vector<ThumbInfo>& thumbs,
                              std::vector<thumbs::RunProblem>* problems) {
  long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  limit = limit > 0 ? limit : 255;
  PlannedPages planned;
  std::vector<std::string>& pages = planned.names;
  std::string existing;
  for (const auto& thumb : thumbs) {
    std::string name = picturePageName(thumb.FileName);
    thumbs::RunProblem problem{name, thumbs::ProblemKind::PageNotWritten};
    problem.other = thumb.FileName;
    int error = 0;
    if (name.size() > static_cast<size_t>(limit)) {
      problem.cause = thumbs::Cause::NameTooLong;
      problem.limit = limit;
    } else if (const Existing found = readExisting(folder / name, existing, error);
               found == Existing::Other ||
               (found == Existing::Page && !isOurModernPage(existing))) {
      problem.cause = thumbs::Cause::TakenByOther;
    } else {
      planned.said.push_back(found == Existing::Page ? std::optional(digestOf(existing))
                                                     : std::nullopt);
      pages.push_back(std::move(name));
      continue;
    }
    if (problems != nullptr) {
      problems->push_back(std::move(problem));
    }
    pages.emplace_back();
    planned.said.emplace_back();
  }
  return planned;
}

// The picture pages of `thumbs` (those `pages` names), staged unless unchanged. Previous and Next
// step over the pictures that have no page; Back leads to the gallery page holding the picture.
void stagePicturePages(const std::filesystem::path& folder, const std::vector<ThumbInfo>& thumbs,
                       const PlannedPages& planned, int perPage, const PicturePageOptions& options,
                       const common::StopRequest* stop, StagedFiles& staged) {
  const std::vector<std::string>& pages = planned.names;
  const std::string bar = options.album != nullptr ? breadcrumbBar(*options.album, false) : "";
  std::vector<size_t> withPage;
  for (size_t i = 0; i < pages.size(); ++i) {
    if (!pages[i].empty()) {
      withPage.push_back(i);
    }
  }
  for (size_t k = 0; k < withPage.size(); ++k) {
    if (common::stopRequested(stop)) {
      throw common::RunStopped();
    }
    const size_t i = withPage[k];
    PictureLinks links;
    if (k > 0) {
      links.previous = pages[withPage[k - 1]];
    }
    if (k + 1 < withPage.size()) {
      links.next = pages[withPage[k + 1]];
      const ThumbInfo& next = thumbs[withPage[k + 1]];
      links.nextCopy = next.ViewFile.empty() ? next.View2xFile : next.ViewFile;
    }
    links.number = static_cast<int>(i) + 1;
    links.count = static_cast<int>(thumbs.size());
    links.page = static_cast<int>(i / static_cast<size_t>(perPage)) + 1;
    links.back = pageName(links.page);
    std::string page = PicturePage(thumbs[i], links, options.originals, options.words.title);
    if (options.album != nullptr) {
      page = placedInAlbum(std::move(page), *options.album, AlbumPage::Picture, bar);
    }
    if (planned.said[i] != digestOf(page)) {
      staged.stage(folder / pages[i], page);
    }
  }
}

}  // namespace

std::vector<std::string> stagePictureFiles(const std::filesystem::path& folder,
                                           const std::vector<ThumbInfo>& thumbs, int perPage,
                                           const PicturePageOptions& options,
                                           const common::StopRequest* stop, StagedFiles& staged) {
  const PlannedPages planned = planPicturePages(folder, thumbs, options.problems);
  const std::vector<std::string>& pages = planned.names;
  std::vector<std::string> targets;
  for (size_t i = 0; i < thumbs.size(); ++i) {
    targets.push_back(pages[i].empty() ? pagelessTarget(thumbs[i], options.originals) : pages[i]);
  }
  if (std::any_of(pages.begin(), pages.end(), [](auto& page) { return !page.empty(); })) {
    stageOwnFile(folder / kScriptName, PictureScript(), isOurScript, staged);
  }
  stagePicturePages(folder, thumbs, planned, perPage, options, stop, staged);
  return targets;
}

void removeLeftoverPicturePages(const std::filesystem::path& folder,
                                const std::vector<ThumbInfo>& shown,
                                std::vector<std::string>& removed,
                                std::vector<thumbs::RunProblem>& problems,
                                const std::unordered_set<std::string>* listed) {
  std::unordered_set<std::string> current;
  for (const auto& thumb : shown) {
    current.insert(picturePageName(thumb.FileName));
  }
  std::vector<std::string> leftovers;
  std::string existing;
  common::forEachName(folder, listed, [&](const char* entry) {
    const std::string name(entry);
    // A shown picture's page was just written or kept as ours: it need not be read again.
    int error = 0;
    if (isPicturePageName(name) && !current.contains(name) &&
        readExisting(folder / name, existing, error) == Existing::Page &&
        isOurModernPage(existing)) {
      leftovers.push_back(name);
    }
  });
  std::sort(leftovers.begin(), leftovers.end());
  for (const auto& name : leftovers) {
    removeFile(folder, name, removed, problems);
  }
  // Pictures shown have their pages, which load the script.
  int error = 0;
  if (shown.empty() && readExisting(folder / kScriptName, existing, error) == Existing::Page &&
      isOurScript(existing)) {
    removeFile(folder, kScriptName, removed, problems);
  }
}

}  // namespace vistrel::gallery
