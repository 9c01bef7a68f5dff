#include "cli/picture_list.h"

#include <QString>
#include <algorithm>
#include <system_error>

namespace vistrel::cli {

namespace {

bool endsWithIgnoringCase(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) {
    return false;
  }
  const auto tail = name.substr(name.size() - suffix.size());
  return std::equal(tail.begin(), tail.end(), suffix.begin(),
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
  const int c = QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive);
  return c != 0 ? c < 0 : a < b;
}

}  // namespace

PictureList listPictures(const std::filesystem::path& folder) {
  PictureList list;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.front() == '.' ||
        !(endsWithIgnoringCase(name, ".jpg") || endsWithIgnoringCase(name, ".gif"))) {
      continue;
    }
    std::error_code statError;
    if (std::filesystem::is_regular_file(it->status(statError)) && !statError) {
      list.pictures.push_back(name);
    }
  }
  if (ec) {
    list.pictures.clear();
    list.reason = ec.message();
    return list;
  }
  std::sort(list.pictures.begin(), list.pictures.end(), lessIgnoringCase);
  list.ok = true;
  return list;
}

}  // namespace vistrel::cli
