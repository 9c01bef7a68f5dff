#include "browse/folder_read.h"

#include <QString>
#include <algorithm>
#include <system_error>
#include <thread>
#include <unordered_set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "imaging/record/thumb_record.h"

namespace vistrel::browse {

namespace {

constexpr std::string_view kOtherExtensions[] = {".heic", ".heif", ".avif", ".webp", ".png"};

bool endsWithIgnoringCase(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) {
    return false;
  }
  const auto tail = name.substr(name.size() - suffix.size());
  return std::equal(tail.begin(), tail.end(), suffix.begin(),
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

// A thumbnail the program wrote is output, never a picture, whatever prefix named it; a copy
// under another name, or a file with only our signature, is the user's picture. Only
// JPEG files can be one, and the mark sits in the first few kilobytes. A folder of thousands of
// pictures is looked at on every core: it is most of the time a Create on an unchanged gallery
// takes.
void dropThumbnailsOfOurs(int folderFd, std::vector<std::string>& names,
                          imaging::FolderMarks* marks) {
  std::vector<char> ours(names.size(), 0);
  std::vector<imaging::ThumbMarkResult> looks(marks != nullptr ? names.size() : 0);
  std::vector<imaging::MetaRead> heads(looks.size());
  auto look = [&](size_t first, size_t step) {
    for (size_t i = first; i < names.size(); i += step) {
      if (!endsWithIgnoringCase(names[i], ".jpg")) {
        continue;
      }
      auto mark = imaging::readThumbMarkAt(folderFd, names[i].c_str(), marks != nullptr,
                                           marks != nullptr ? &heads[i] : nullptr);
      ours[i] = mark.oursAt(names[i]);
      if (marks != nullptr) {
        looks[i] = std::move(mark);
      }
    }
  };
  const size_t threads =
      names.size() < 512 ? 1 : std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
  std::vector<std::thread> helpers;
  for (size_t t = 1; t < threads; ++t) {
    helpers.emplace_back(look, t, threads);
  }
  look(0, threads);
  for (auto& helper : helpers) {
    helper.join();
  }
  std::vector<std::string> pictures;
  pictures.reserve(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    if (marks != nullptr && looks[i].exists) {
      if (looks[i].opened && !ours[i]) {
        marks->heads.emplace(names[i], std::move(heads[i]));
      }
      marks->files.emplace(names[i], std::move(looks[i]));
    }
    if (!ours[i]) {
      pictures.push_back(std::move(names[i]));
    }
  }
  names = std::move(pictures);
}

// Keeps in `names` those not named like a file of ours for another of them under `prefix`, when
// any name proves to be a picture; none otherwise. Reads only until one proves to be.
void keepLikelyPictures(int folderFd, std::vector<std::string>& names, std::string_view prefix) {
  // The other renditions' names are the thumbnail's, tagged.
  std::unordered_set<std::string> thumbnails;
  for (const auto& name : names) {
    thumbnails.insert(imaging::thumbnailName(prefix, name));
  }
  auto ownNamed = [&](const std::string& name) {
    return thumbnails.contains(name) || thumbnails.contains(imaging::untaggedName(name));
  };
  const auto likely = static_cast<size_t>(
      std::stable_partition(names.begin(), names.end(),
                            [&](const std::string& name) { return !ownNamed(name); }) -
      names.begin());
  for (size_t i = 0; i < names.size(); ++i) {
    if (!endsWithIgnoringCase(names[i], ".jpg") ||
        !imaging::readThumbMarkAt(folderFd, names[i].c_str()).oursAt(names[i])) {
      names.resize(std::max(likely, size_t{1}));
      return;
    }
  }
  names.clear();
}

// The order of lessIgnoringCase, with each name folded once (character by character, as
// comparing ignoring case folds them) rather than at every comparison: a folder of 20,000 files
// spent most of its listing time there.
void sortNames(std::vector<std::string>& names) {
  std::vector<std::pair<std::u16string, std::string>> keyed;
  keyed.reserve(names.size());
  for (auto& name : names) {
    std::u16string key;
    if (std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; })) {
      key.assign(name.begin(), name.end());
      for (char16_t& c : key) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c - 'A' + 'a') : c;
      }
    } else {
      std::u32string folded = QString::fromStdString(name).toStdU32String();
      for (char32_t& c : folded) {
        c = QChar::toCaseFolded(c);
      }
      key = QString::fromStdU32String(folded).toStdU16String();
    }
    keyed.emplace_back(std::move(key), std::move(name));
  }
  std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second < b.second;
  });
  for (size_t i = 0; i < names.size(); ++i) {
    names[i] = std::move(keyed[i].second);
  }
}

std::string notRegularReason(unsigned char type, bool link) {
  const char* what = type == DT_FIFO                    ? "a FIFO"
                     : type == DT_CHR || type == DT_BLK ? "a device"
                     : type == DT_SOCK                  ? "a socket"
                                                        : "an unknown kind of file";
  return std::string("not a regular file (") + (link ? "a link to " : "") + what + ")";
}

}  // namespace

bool isPictureName(std::string_view name, imaging::PictureTypes types) {
  if (endsWithIgnoringCase(name, ".jpg") || endsWithIgnoringCase(name, ".gif")) {
    return true;
  }
  return types == imaging::PictureTypes::All &&
         std::any_of(std::begin(kOtherExtensions), std::end(kOtherExtensions),
                     [&](std::string_view e) { return endsWithIgnoringCase(name, e); });
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

namespace {

enum class Look {
  Every,         // each JPEG's mark, to know which are pictures
  UntilPicture,  // only whether any is a picture
};

// Files `entry` (not hidden) in `contents`: a subfolder, a picture, or a picture's name on what
// cannot be read as one. A link counts as what it points to; an entry that vanished is skipped.
void addEntry(int fd, const dirent& entry, imaging::PictureTypes types, std::string_view marker,
              FolderContents& contents) {
  const std::string_view name(entry.d_name);
  unsigned char type = entry.d_type;
  bool link = type == DT_LNK;
  if (type == DT_LNK || type == DT_UNKNOWN) {
    struct stat st {};
    if (::fstatat(fd, entry.d_name, &st, 0) != 0) {
      const int followError = errno;
      // Only a file system without entry types leaves the looking to a second call.
      link = link ||
             (::fstatat(fd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode));
      if (link && isPictureName(name, types)) {
        contents.notPictures.emplace_back(
            name, followError == ENOENT ? "a link to nothing"
                                        : "a link that cannot be followed (" +
                                              std::system_category().message(followError) + ")");
      }
      return;
    }
    type = IFTODT(st.st_mode);
  }
  contents.marked = contents.marked || (!marker.empty() && name == marker);
  if (type == DT_DIR) {
    contents.subfolders.emplace_back(name);
  } else if (!isPictureName(name, types)) {
    return;
  } else if (type == DT_REG) {
    contents.pictures.emplace_back(name);
  } else {
    contents.notPictures.emplace_back(name, notRegularReason(type, link));
  }
}

FolderContents readFolderAs(const std::filesystem::path& folder, imaging::PictureTypes types,
                            Look how, std::string_view prefix, std::string_view marker,
                            imaging::FolderMarks* marks) {
  FolderContents contents;
  // The folder's own entries and their types, without a path object or a stat for each: a
  // folder of 20,000 files is read again on every Create.
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    contents.reason = std::system_category().message(errno);
    return contents;
  }
  const int fd = ::dirfd(dir);
  int error = 0;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      error = errno;
      break;
    }
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") {
      continue;
    }
    if (marks != nullptr) {
      marks->names.emplace(name);
    }
    if (!isHiddenName(name)) {
      addEntry(fd, *entry, types, marker, contents);
    }
  }
  if (error == 0 && how == Look::Every) {
    dropThumbnailsOfOurs(fd, contents.pictures, marks);
  } else if (error == 0) {
    keepLikelyPictures(fd, contents.pictures, prefix);
  }
  ::closedir(dir);
  if (error != 0) {
    contents.subfolders.clear();
    contents.pictures.clear();
    contents.notPictures.clear();
    contents.reason = std::system_category().message(error);
    return contents;
  }
  sortNames(contents.subfolders);
  sortNames(contents.pictures);
  std::sort(contents.notPictures.begin(), contents.notPictures.end(),
            [](const auto& a, const auto& b) { return lessIgnoringCase(a.first, b.first); });
  contents.ok = true;
  return contents;
}

}  // namespace

FolderContents readFolder(const std::filesystem::path& folder, imaging::PictureTypes types,
                          imaging::FolderMarks* marks) {
  return readFolderAs(folder, types, Look::Every, {}, {}, marks);
}

FolderContents glanceAtFolder(const std::filesystem::path& folder, imaging::PictureTypes types,
                              std::string_view prefix, std::string_view marker) {
  return readFolderAs(folder, types, Look::UntilPicture, prefix, marker, nullptr);
}

}  // namespace vistrel::browse
