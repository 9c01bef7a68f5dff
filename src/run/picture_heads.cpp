#include "run/picture_heads.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <unordered_map>

#include "imaging/meta/caption.h"
#include "imaging/meta/facts.h"

namespace vistrel::run {
using browse::DatedPicture;
using browse::PictureOrder;
using imaging::CaptionsFile;
using thumbs::ThumbInfo;

namespace {

// The folder open for reading the files in it; closed when it goes.
class OpenFolder {
 public:
  explicit OpenFolder(const std::filesystem::path& folder)
      : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  ~OpenFolder() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// `thumbs` in the order of `dated`, which names each of them once.
void reorder(std::vector<ThumbInfo>& thumbs, const std::vector<DatedPicture>& dated) {
  std::unordered_map<std::string, size_t> at;
  for (size_t i = 0; i < thumbs.size(); ++i) {
    at.emplace(thumbs[i].FileName, i);
  }
  std::vector<ThumbInfo> sorted;
  sorted.reserve(thumbs.size());
  for (const DatedPicture& picture : dated) {
    sorted.push_back(std::move(thumbs[at.at(picture.name)]));
  }
  thumbs = std::move(sorted);
}

}  // namespace

namespace {

// The picture's head as the run's listing read it, or read now.
imaging::MetaRead headOf(int folderFd, const std::string& name, const imaging::FolderMarks* marks) {
  if (marks != nullptr) {
    if (const auto listed = marks->heads.find(name); listed != marks->heads.end()) {
      return listed->second;
    }
  }
  return imaging::readPictureMetaAt(folderFd, name.c_str());
}

}  // namespace

HeadsRead readPictureHeads(const std::filesystem::path& folder, std::vector<ThumbInfo>& thumbs,
                           const HeadsWanted& wanted, PictureOrder order,
                           const common::StopRequest* stop, const imaging::FolderMarks* marks) {
  HeadsRead read;
  if (!wanted.any()) {
    return read;
  }
  const OpenFolder dir(folder);
  CaptionsFile captions;
  if (wanted.words) {
    captions = imaging::readCaptionsFile(dir.fd());
    if (captions.error.notMissing()) {
      read.captionsError = captions.error;
    }
  }
  std::vector<DatedPicture> dated;
  for (ThumbInfo& info : thumbs) {
    if (common::stopRequested(stop)) {
      return read;
    }
    const imaging::MetaRead head = headOf(dir.fd(), info.FileName, marks);
    if (wanted.words) {
      info.Caption =
          imaging::resolveCaption(captions.find(info.FileName), head.meta, info.FileName).text;
      info.Facts = imaging::pictureFacts(head.meta.exif, head.fileTimeNs).parts();
    }
    if (wanted.location) {
      info.HasLocation = head.hasLocation;
      read.located += head.hasLocation ? 1 : 0;
    }
    dated.push_back({info.FileName, imaging::takenNs(head.meta.exif), head.fileTimeNs});
  }
  if (wanted.dates && order != PictureOrder::Name) {
    browse::sortPictures(dated, order);
    reorder(thumbs, dated);
  }
  return read;
}

}  // namespace vistrel::run
