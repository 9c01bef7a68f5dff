#include "thumbs/batch_plan.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "common/read_file.h"
#include "imaging/record/thumb_record.h"

namespace vistrel::thumbs {

namespace fs = std::filesystem;

std::string foldedName(std::string_view name) {
  std::string key(name);
  std::transform(key.begin(), key.end(), key.begin(), [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return key;
}

RunProblem nameTaken(const std::string& picture, const std::string& target) {
  RunProblem problem{picture, ProblemKind::NameTaken};
  problem.cause = Cause::TakenByOther;
  problem.other = target;
  return problem;
}

bool PicturePlan::keptWhole() const {
  return !renditions.empty() && std::all_of(renditions.begin(), renditions.end(),
                                            [](auto& r) { return r.decision == Decision::Keep; });
}

const Rendition* PicturePlan::find(RenditionKind kind) const {
  for (const auto& r : renditions) {
    if (r.kind == kind) {
      return &r;
    }
  }
  return nullptr;
}

namespace {

std::error_code systemError(int error) {
  return {error, std::system_category()};
}

// Looking such a name up fails with ENAMETOOLONG, which must not pass for a file standing there.
RunProblem nameTooLong(const std::string& picture, const Rendition& rendition, long limit) {
  RunProblem problem{picture, ProblemKind::ThumbnailNotWritten, systemError(ENAMETOOLONG)};
  problem.cause = Cause::NameTooLong;
  problem.rendition = rendition.kind;
  problem.other = rendition.fileName;
  problem.limit = limit;
  return problem;
}

// Each picture's renditions and their names, in list order: a name of a kind beyond the 1x
// thumbnail that is a picture's, a 1x thumbnail's or an earlier picture's ("a@2x.jpg" beside
// "a.jpg") would overwrite that file, so that rendition is left out.
void nameRenditions(const BatchSettings& settings, std::vector<PicturePlan>& plans) {
  // Only a run that makes a larger kind needs the names it must not take.
  std::unordered_set<std::string> taken;
  const auto kinds = renditionKinds();
  if (std::any_of(kinds.begin(), kinds.end(), [&](const RenditionKindInfo& kind) {
        return kind.kind != RenditionKind::Thumbnail && isMade(kind, settings.modern);
      })) {
    for (const auto& name : settings.pictureNames) {
      taken.insert(foldedName(name));
      taken.insert(foldedName(thumbnailName(settings.prefix, name)));
    }
  }
  for (size_t i = 0; i < plans.size(); ++i) {
    auto& plan = plans[i];
    plan.name = settings.pictureNames[i];
    plan.wanted = settingsRecord(settings);
    plan.wanted.sourceName = plan.name;
    for (const auto& kind : kinds) {
      if (!isMade(kind, settings.modern)) {
        continue;
      }
      std::string name = kind.name(settings.prefix, plan.name);
      if (kind.kind == RenditionKind::Thumbnail || taken.insert(foldedName(name)).second) {
        plan.renditions.push_back({kind.kind, std::move(name), Decision::Make, {}});
      }
    }
  }
}

// Skips a picture with a name longer than the folder allows, and the second of two pictures
// that would share one thumbnail (x.gif and x.jpg): the first in the list keeps it.
void refuseNames(const BatchSettings& settings, std::vector<PicturePlan>& plans) {
  const long pathLimit = ::pathconf(settings.folder.c_str(), _PC_NAME_MAX);
  const long nameLimit = pathLimit > 0 ? pathLimit : NAME_MAX;
  std::unordered_map<std::string, size_t> claimedBy;
  for (size_t i = 0; i < plans.size(); ++i) {
    auto& plan = plans[i];
    for (const auto& r : plan.renditions) {
      if (static_cast<long>(r.fileName.size()) > nameLimit) {
        plan.problem = nameTooLong(plan.name, r, nameLimit);
        break;
      }
    }
    if (plan.skipped()) {
      continue;
    }
    const std::string& thumbnail = plan.renditions.front().fileName;
    const auto [claim, first] = claimedBy.emplace(foldedName(thumbnail), i);
    if (!first) {
      plan.problem = RunProblem{plan.name, ProblemKind::NameTaken};
      plan.problem->cause = Cause::ClaimedFirst;
      plan.problem->other = thumbnail;
      plan.problem->owner = plans[claim->second].name;
    }
  }
}

// What stands at a rendition's name and what the batch may do with it.
struct NameLook {
  bool exists = false;  // a file of ours is there (else: nothing)
  bool taken = false;   // a file that is not ours is there: never touch it
  bool keep = false;    // ours, whole, and made from the same picture with the same settings
  imaging::ThumbRecord record;  // when keep
};

// `wanted` is the record a rendition made now would carry. `sizesFrom`, when set, gives the
// sizes only the decode gives (the rendition's own record, or the 1x thumbnail's scaled).
// The mark at `name`, from the listing's when it read one (nothing there when it saw no such name).
imaging::ThumbMarkResult markAt(int folderFd, const imaging::FolderMarks* marks,
                                const std::string& name) {
  if (marks != nullptr) {
    if (const auto found = marks->files.find(name); found != marks->files.end()) {
      return found->second;
    }
    if (!marks->names.contains(name)) {
      return {};
    }
  }
  return imaging::readThumbMarkAt(folderFd, name.c_str(), true);
}

NameLook lookAt(
    int folderFd, const imaging::FolderMarks* marks, const std::string& target,
    const imaging::ThumbRecord& wanted,
    const std::function<void(const imaging::ThumbRecord&, imaging::ThumbRecord&)>& sizesFrom,
    bool rebuild) {
  NameLook look;
  const auto mark = markAt(folderFd, marks, target);
  if (!mark.exists) {
    return look;
  }
  if (!mark.oursAt(target)) {
    look.taken = true;
    return look;
  }
  look.exists = true;
  if (mark.whole && !rebuild) {
    imaging::ThumbRecord expected = wanted;
    sizesFrom(mark.record, expected);
    look.keep = mark.record == expected && expected.width > 0 && expected.height > 0;
    look.record = mark.record;
  }
  return look;
}

// Takes the sizes the decode gave from the file's own record.
void ownSizes(const imaging::ThumbRecord& found, imaging::ThumbRecord& expected) {
  expected.width = found.width;
  expected.height = found.height;
  expected.pictureWidth = found.pictureWidth;
  expected.pictureHeight = found.pictureHeight;
}

// A picture no larger than the view size has one display copy: its dense-screen copy would be
// the same. One of ours standing at that name is obsolete.
void dropUnneededView2x(const BatchSettings& settings, const std::vector<NameLook>& looks,
                        PicturePlan& plan) {
  size_t view = plan.renditions.size();
  for (size_t k = 0; k < plan.renditions.size(); ++k) {
    if (plan.renditions[k].kind == RenditionKind::View) {
      view = k;
    }
  }
  if (view == plan.renditions.size() || !looks[view].keep ||
      std::max(looks[view].record.pictureWidth, looks[view].record.pictureHeight) >
          static_cast<uint32_t>(settings.viewSize)) {
    return;
  }
  for (size_t k = 0; k < plan.renditions.size(); ++k) {
    if (plan.renditions[k].kind == RenditionKind::View2x) {
      if (looks[k].exists) {
        plan.obsolete.push_back(plan.renditions[k].fileName);
      }
      plan.renditions.erase(plan.renditions.begin() + static_cast<std::ptrdiff_t>(k));
      return;
    }
  }
}

// The picture's size and time, and what stands at each rendition's name. A double-density
// thumbnail is checked against the 1x one: same picture and settings, twice its size. Each
// rendition is kept or made on its own, so a view setting leaves the thumbnails be.
void lookAtPicture(int folderFd, int folderError, const BatchSettings& settings,
                   PicturePlan& plan) {
  const imaging::ThumbMarkResult* listed = nullptr;
  if (settings.marks != nullptr) {
    const auto found = settings.marks->files.find(plan.name);
    listed =
        found != settings.marks->files.end() && found->second.opened ? &found->second : nullptr;
  }
  struct stat source {};
  const int error = listed != nullptr                                         ? 0
                    : folderFd < 0                                            ? folderError
                    : ::fstatat(folderFd, plan.name.c_str(), &source, 0) != 0 ? errno
                                                                              : 0;
  if (error != 0) {
    plan.problem = RunProblem{plan.name, ProblemKind::PictureUnreadable, systemError(error),
                              Cause::SystemError};
    return;
  }
  if (listed == nullptr && !S_ISREG(source.st_mode)) {
    plan.problem = RunProblem{plan.name, ProblemKind::PictureUnreadable, {}, Cause::NotRegularFile};
    return;
  }
  plan.wanted.sourceSize = static_cast<uint64_t>(listed != nullptr ? listed->size : source.st_size);
  plan.wanted.sourceMtimeNs = listed != nullptr ? listed->mtimeNs : common::mtimeNsOf(source);

  std::vector<NameLook> looks;
  for (const auto& r : plan.renditions) {
    const RenditionKindInfo& kind = kindInfo(r.kind);
    imaging::ThumbRecord wanted = kindRecord(kind, settings);
    wanted.sourceName = plan.wanted.sourceName;
    wanted.sourceSize = plan.wanted.sourceSize;
    wanted.sourceMtimeNs = plan.wanted.sourceMtimeNs;
    const NameLook* first = looks.empty() ? nullptr : &looks.front();
    looks.push_back(lookAt(
        folderFd, settings.marks, r.fileName, wanted,
        [&](const imaging::ThumbRecord& found, imaging::ThumbRecord& expected) {
          if (kind.view || kind.scale == 1) {
            ownSizes(found, expected);
          } else if (first != nullptr && first->keep) {
            ownSizes(first->record, expected);
            expected.width *= kind.scale;
            expected.height *= kind.scale;
          }
        },
        settings.rebuild));
    if (looks.back().taken && !kind.view) {
      plan.problem = nameTaken(plan.name, r.fileName);
      return;
    }
  }
  for (size_t k = 0; k < looks.size(); ++k) {
    auto& r = plan.renditions[k];
    r.decision = looks[k].keep     ? Decision::Keep
                 : looks[k].exists ? Decision::Replace
                                   : Decision::Make;
    if (looks[k].keep) {
      r.width = looks[k].record.width;
      r.height = looks[k].record.height;
    }
  }
  if (looks.front().keep) {
    plan.kept = looks.front().record;
  }
  dropUnneededView2x(settings, looks, plan);
  // A display copy gives way to a user's file: the picture stays on the pages without it.
  for (size_t k = looks.size(); k-- > 0;) {
    if (looks[k].taken && k < plan.renditions.size()) {
      RunProblem note{plan.name, ProblemKind::CopyNotMade, {}, Cause::TakenByOther};
      note.rendition = plan.renditions[k].kind;
      note.other = plan.renditions[k].fileName;
      plan.notes.insert(plan.notes.begin(), std::move(note));
      plan.renditions.erase(plan.renditions.begin() + static_cast<std::ptrdiff_t>(k));
    }
  }
}

}  // namespace

std::vector<PicturePlan> planBatch(const BatchSettings& settings, int count, int workers) {
  std::vector<PicturePlan> plans(static_cast<size_t>(count));
  nameRenditions(settings, plans);
  refuseNames(settings, plans);
  // Looking at the pictures and the files already there is a few system calls a picture, most
  // of the time of a run that finds everything up to date, so it is shared out too. Names are
  // looked up in the open folder: building a path for each would cost more than the calls.
  const int folderFd = ::open(settings.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int folderError = errno;
  // What the listing read leaves little to look at: a thread each would cost more.
  const int threads = settings.marks != nullptr ? std::min(workers, 1 + count / 256) : workers;
  std::vector<std::thread> lookers;
  for (int t = 0; t < threads; ++t) {
    lookers.emplace_back([&, t] {
      for (int i = t; i < count; i += threads) {
        if (!plans[static_cast<size_t>(i)].skipped()) {
          lookAtPicture(folderFd, folderError, settings, plans[static_cast<size_t>(i)]);
        }
      }
    });
  }
  for (auto& looker : lookers) {
    looker.join();
  }
  if (folderFd >= 0) {
    ::close(folderFd);
  }
  return plans;
}

}  // namespace vistrel::thumbs
