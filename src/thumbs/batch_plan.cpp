#include "thumbs/batch_plan.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "common/read_file.h"

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
        return kind.scale != 1 && isMade(kind, settings.make2x);
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
      if (!isMade(kind, settings.make2x)) {
        continue;
      }
      std::string name = kind.name(settings.prefix, plan.name);
      if (kind.scale == 1 || taken.insert(foldedName(name)).second) {
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

// `wanted` is the record a rendition made now would carry, less the sizes only the decode
// gives; for the 1x thumbnail they are taken from the file's own record.
NameLook lookAt(int folderFd, const std::string& target, imaging::ThumbRecord wanted, int scale,
                bool rebuild) {
  NameLook look;
  const auto mark = imaging::readThumbMarkAt(folderFd, target.c_str(), true);
  if (!mark.exists) {
    return look;
  }
  if (!mark.oursAt(target)) {
    look.taken = true;
    return look;
  }
  look.exists = true;
  if (mark.whole && !rebuild) {
    wanted.scale = scale;
    if (scale == 1) {
      wanted.width = mark.record.width;
      wanted.height = mark.record.height;
      wanted.pictureWidth = mark.record.pictureWidth;
      wanted.pictureHeight = mark.record.pictureHeight;
    }
    look.keep = mark.record == wanted && wanted.width > 0 && wanted.height > 0;
    look.record = mark.record;
  }
  return look;
}

// The picture's size and time, and what stands at each rendition's name. The larger renditions
// are checked against the 1x one: same picture and settings, `scale` times its size.
void lookAtPicture(int folderFd, int folderError, bool rebuild, PicturePlan& plan) {
  struct stat source {};
  const int error = folderFd < 0                                              ? folderError
                    : ::fstatat(folderFd, plan.name.c_str(), &source, 0) != 0 ? errno
                                                                              : 0;
  if (error != 0) {
    plan.problem = RunProblem{plan.name, ProblemKind::PictureUnreadable, systemError(error),
                              Cause::SystemError};
    return;
  }
  if (!S_ISREG(source.st_mode)) {
    plan.problem = RunProblem{plan.name, ProblemKind::PictureUnreadable, {}, Cause::NotRegularFile};
    return;
  }
  plan.wanted.sourceSize = static_cast<uint64_t>(source.st_size);
  plan.wanted.sourceMtimeNs = common::mtimeNsOf(source);

  std::vector<NameLook> looks;
  for (const auto& r : plan.renditions) {
    const int scale = kindInfo(r.kind).scale;
    imaging::ThumbRecord wanted = plan.wanted;
    if (scale != 1 && looks.front().keep) {
      const auto& first = looks.front().record;
      wanted.width = first.width * scale;
      wanted.height = first.height * scale;
      wanted.pictureWidth = first.pictureWidth;
      wanted.pictureHeight = first.pictureHeight;
    }
    looks.push_back(lookAt(folderFd, r.fileName, wanted, scale, rebuild));
    if (looks.back().taken) {
      plan.problem = nameTaken(plan.name, r.fileName);
      return;
    }
  }
  const bool keepAll = std::all_of(looks.begin(), looks.end(), [](auto& l) { return l.keep; });
  for (size_t k = 0; k < looks.size(); ++k) {
    plan.renditions[k].decision = keepAll           ? Decision::Keep
                                  : looks[k].exists ? Decision::Replace
                                                    : Decision::Make;
  }
  if (keepAll) {
    plan.kept = looks.front().record;
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
  std::vector<std::thread> lookers;
  for (int t = 0; t < workers; ++t) {
    lookers.emplace_back([&, t] {
      for (int i = t; i < count; i += workers) {
        if (!plans[static_cast<size_t>(i)].skipped()) {
          lookAtPicture(folderFd, folderError, settings.rebuild, plans[static_cast<size_t>(i)]);
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
