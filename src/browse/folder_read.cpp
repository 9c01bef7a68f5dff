#include "browse/folder_read.h"

#include <QString>
#include <algorithm>
#include <system_error>

#include "imaging/thumb_record.h"

namespace vistrel::browse {

namespace {

bool endsWithIgnoringCase(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) {
    return false;
  }
  const auto tail = name.substr(name.size() - suffix.size());
  return std::equal(tail.begin(), tail.end(), suffix.begin(),
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

// A thumbnail the program wrote is output, never a picture, whatever prefix named it. Only
// JPEG files can be one, and the mark sits in the first few kilobytes.
bool isThumbnailOfOurs(const std::filesystem::path& path, std::string_view name) {
  return endsWithIgnoringCase(name, ".jpg") &&
         imaging::readThumbMark(path).mark != imaging::ThumbMark::None;
}

void sortNames(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end(), lessIgnoringCase);
}

}  // namespace

bool isPictureName(std::string_view name) {
  return endsWithIgnoringCase(name, ".jpg") || endsWithIgnoringCase(name, ".gif");
}

bool isHiddenName(std::string_view name) {
  return !name.empty() && name.front() == '.';
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
  const int c = QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive);
  return c != 0 ? c < 0 : a < b;
}

std::filesystem::path normalFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(folder, ec);
  if (ec) {
    p = folder;
  }
  p = p.lexically_normal();
  if (p.has_relative_path() && !p.has_filename()) {
    p = p.parent_path();
  }
  return p;
}

std::vector<std::filesystem::path> folderChain(const std::filesystem::path& folder) {
  const std::filesystem::path p = normalFolder(folder);
  std::vector<std::filesystem::path> chain;
  std::filesystem::path at = p.root_path();
  chain.push_back(at);
  for (const auto& part : p.relative_path()) {
    if (part.empty()) {
      continue;
    }
    at /= part;
    chain.push_back(at);
  }
  return chain;
}

FolderContents readFolder(const std::filesystem::path& folder) {
  FolderContents contents;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) {
    contents.reason = ec.message();
    return contents;
  }
  for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
    if (ec) {
      break;
    }
    const std::string name = it->path().filename().string();
    if (isHiddenName(name)) {
      continue;
    }
    // A link counts as what it points to; a broken link or an entry that vanished is skipped.
    std::error_code statError;
    const auto status = it->status(statError);
    if (statError) {
      continue;
    }
    if (std::filesystem::is_directory(status)) {
      contents.subfolders.push_back(name);
    } else if (std::filesystem::is_regular_file(status) && isPictureName(name) &&
               !isThumbnailOfOurs(it->path(), name)) {
      contents.pictures.push_back(name);
    }
  }
  if (ec) {
    contents.subfolders.clear();
    contents.pictures.clear();
    contents.reason = ec.message();
    return contents;
  }
  sortNames(contents.subfolders);
  sortNames(contents.pictures);
  contents.ok = true;
  return contents;
}

}  // namespace vistrel::browse
