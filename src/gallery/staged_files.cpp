#include "gallery/staged_files.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "common/read_file.h"
#include "common/whole_file.h"
#include "gallery/page_writer.h"

namespace vistrel::gallery {

namespace {

// Pages are a few megabytes at the most (100 x 100 cells); anything larger is not one of ours.
constexpr off_t kLargestPage = 256 << 20;

}  // namespace

std::string utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

Existing readExisting(const std::filesystem::path& file, std::string& bytes, int& error) {
  // Never through a link: the page it points to is not ours to judge or replace.
  const common::RegularFile existing(file, common::Links::Refuse);
  const common::ReadError failure = existing.readWhole(bytes, kLargestPage);
  error = failure.code.value();
  switch (failure.kind) {
    case common::ReadErrorKind::None:
    case common::ReadErrorKind::Changed:  // cut short while read: judged by what was read
      return Existing::Page;
    case common::ReadErrorKind::Open:
      return error == ENOENT ? Existing::Absent : Existing::Other;
    default:
      return Existing::Other;
  }
}

StagedFiles::~StagedFiles() {
  for (size_t i = tried_; i < files_.size(); ++i) {
    ::unlink(files_[i].first.c_str());
  }
}

void StagedFiles::stage(const std::filesystem::path& file, const std::string& text, bool page) {
  try {
    files_.emplace_back(common::writeTemporaryFor(file, text), file);
  } catch (const std::system_error& e) {
    throw PageWriteError(utf8Path(file), e.code());
  }
  pages_ += page ? 1 : 0;
}

void StagedFiles::putAllInPlace() {
  while (tried_ < files_.size()) {
    const auto& [temporary, file] = files_[tried_++];
    try {
      common::putInPlace(temporary, file);
    } catch (const std::system_error& e) {
      throw PageWriteError(utf8Path(file), e.code());
    }
  }
}

void stageOwnFile(const std::filesystem::path& file, const std::string& text,
                  bool (*ours)(std::string_view), StagedFiles& staged) {
  std::string existing;
  int error = 0;
  const Existing found = readExisting(file, existing, error);
  if (found == Existing::Other || (found == Existing::Page && !ours(existing))) {
    throw PageWriteError(utf8Path(file), {});
  }
  if (found == Existing::Absent || existing != text) {
    staged.stage(file, text, false);
  }
}

void stagePage(const std::filesystem::path& file, const std::string& page, StagedFiles& staged) {
  std::string existing;
  int error = 0;
  switch (readExisting(file, existing, error)) {
    case Existing::Absent:
      break;
    case Existing::Page:
      if (existing == page) {
        return;
      }
      if (!isOurPage(existing)) {
        throw PageWriteError(utf8Path(file), {});
      }
      break;
    case Existing::Other:
      throw PageWriteError(utf8Path(file), error != 0
                                               ? std::error_code(error, std::generic_category())
                                               : std::error_code());
  }
  staged.stage(file, page);
}

void removeFile(const std::filesystem::path& folder, std::string_view name,
                std::vector<std::string>& removed, std::vector<thumbs::RunProblem>& problems) {
  const std::filesystem::path file = folder / std::string(name);
  if (::unlink(file.c_str()) == 0) {
    removed.emplace_back(name);
  } else if (errno != ENOENT) {
    problems.push_back({std::string(name), thumbs::ProblemKind::NotRemoved,
                        std::error_code(errno, std::generic_category())});
  }
}

}  // namespace vistrel::gallery
