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

// As lessIgnoringCase, with each name turned into text once rather than at every comparison
// (a folder of 20,000 files spent most of its listing time there).
void sortNames(std::vector<std::string>& names) {
  std::vector<std::pair<QString, std::string>> keyed;
  keyed.reserve(names.size());
  for (auto& name : names) {
    keyed.emplace_back(QString::fromStdString(name), std::move(name));
  }
  std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    const int c = a.first.compare(b.first, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a.second < b.second;
  });
  for (size_t i = 0; i < names.size(); ++i) {
    names[i] = std::move(keyed[i].second);
  }
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
    // The entry's own type is used where the folder gives it, so most files cost no stat.
    std::error_code typeError;
    if (it->is_directory(typeError)) {
      contents.subfolders.push_back(name);
    } else if (!typeError && isPictureName(name) && it->is_regular_file(typeError) && !typeError &&
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
