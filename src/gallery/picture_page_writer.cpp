#include "gallery/picture_page_writer.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <unordered_set>

#include "gallery/page_writer.h"
#include "gallery/picture_page.h"

namespace vistrel::gallery {
using thumbs::ThumbInfo;

namespace {

// Each picture's page name, or "" when it can have none: the name is too long for the folder,
// or a file that is not a page of ours holds it (then `problems` hears of it).
std::vector<std::string> planPicturePages(const std::filesystem::path& folder,
                                          const std::vector<ThumbInfo>& thumbs,
                                          std::vector<thumbs::RunProblem>* problems) {
  long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  limit = limit > 0 ? limit : 255;
  std::vector<std::string> pages;
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
      pages.push_back(std::move(name));
      continue;
    }
    if (problems != nullptr) {
      problems->push_back(std::move(problem));
    }
    pages.emplace_back();
  }
  return pages;
}

// The picture pages of `thumbs` (those `pages` names), staged unless unchanged. Previous and Next
// step over the pictures that have no page; Back leads to the gallery page holding the picture.
void stagePicturePages(const std::filesystem::path& folder, const std::vector<ThumbInfo>& thumbs,
                       const std::vector<std::string>& pages, int perPage,
                       const PicturePageOptions& options, const common::StopRequest* stop,
                       StagedFiles& staged) {
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
      page = placedInAlbum(std::move(page), *options.album, AlbumPage::Picture);
    }
    stagePage(folder / pages[i], page, staged);
  }
}

}  // namespace

std::vector<std::string> stagePictureFiles(const std::filesystem::path& folder,
                                           const std::vector<ThumbInfo>& thumbs, int perPage,
                                           const PicturePageOptions& options,
                                           const common::StopRequest* stop, StagedFiles& staged) {
  const std::vector<std::string> pages = planPicturePages(folder, thumbs, options.problems);
  std::vector<std::string> targets;
  for (size_t i = 0; i < thumbs.size(); ++i) {
    targets.push_back(pages[i].empty() ? pagelessTarget(thumbs[i], options.originals) : pages[i]);
  }
  if (std::any_of(pages.begin(), pages.end(), [](auto& page) { return !page.empty(); })) {
    stageOwnFile(folder / kScriptName, PictureScript(), isOurScript, staged);
  }
  stagePicturePages(folder, thumbs, pages, perPage, options, stop, staged);
  return targets;
}

void removeLeftoverPicturePages(const std::filesystem::path& folder,
                                const std::vector<ThumbInfo>& shown,
                                std::vector<std::string>& removed,
                                std::vector<thumbs::RunProblem>& problems) {
  std::unordered_set<std::string> current;
  for (const auto& thumb : shown) {
    current.insert(picturePageName(thumb.FileName));
  }
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return;
  }
  bool pagesLeft = false;
  std::vector<std::string> leftovers;
  std::string existing;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name(entry->d_name);
    int error = 0;
    if (!isPicturePageName(name) ||
        readExisting(folder / name, existing, error) != Existing::Page ||
        !isOurModernPage(existing)) {
      continue;
    }
    if (current.contains(name)) {
      pagesLeft = true;
    } else {
      leftovers.push_back(name);
    }
  }
  ::closedir(dir);
  std::sort(leftovers.begin(), leftovers.end());
  for (const auto& name : leftovers) {
    removeFile(folder, name, removed, problems);
  }
  int error = 0;
  if (!pagesLeft && readExisting(folder / kScriptName, existing, error) == Existing::Page &&
      isOurScript(existing)) {
    removeFile(folder, kScriptName, removed, problems);
  }
}

}  // namespace vistrel::gallery
