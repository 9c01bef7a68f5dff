#pragma once
// The page writer's file handling, shared by the gallery and the picture pages: what stands at
// a name, the files staged under temporary names until all are written, and leftovers removed.

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "thumbs/run_problem.h"

namespace vistrel::gallery {

std::string utf8Path(const std::filesystem::path& path);

enum class Existing { Absent, Page, Other };

// What stands at a page's name: nothing, a regular file (read into `bytes`), or something else
// (`error` says what: a folder, a file that cannot be read).
Existing readExisting(const std::filesystem::path& file, std::string& bytes, int& error);

// Written files wait under temporary names until all are written; whatever is still here when
// the writer leaves (by a failure) is removed. Failures throw PageWriteError.
class StagedFiles {
 public:
  StagedFiles() = default;
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  ~StagedFiles();

  // `page` false for the style sheet and the script, which are not counted as pages.
  void stage(const std::filesystem::path& file, const std::string& text, bool page = true);
  size_t pages() const { return pages_; }
  // Once the renames start, they all go through.
  void putAllInPlace();

 private:
  std::vector<std::pair<std::filesystem::path, std::filesystem::path>> files_;
  size_t tried_ = 0;  // files before this one were put in place (or removed on failure)
  size_t pages_ = 0;
};

// Stages a sheet or script of ours unless the file already holds `text`; a file of its name
// that `ours` does not recognise stops the writer before anything is put in place.
void stageOwnFile(const std::filesystem::path& file, const std::string& text,
                  bool (*ours)(std::string_view), StagedFiles& staged);

// Stages `page` unless the file already holds it; a file that is not a page of ours stops the
// writer before anything is put in place.
void stagePage(const std::filesystem::path& file, const std::string& page, StagedFiles& staged);

// Removes `name` from `folder`, adding it to `removed`, or to `problems` when it stays.
void removeFile(const std::filesystem::path& folder, std::string_view name,
                std::vector<std::string>& removed, std::vector<thumbs::RunProblem>& problems);

}  // namespace vistrel::gallery
