#include "run/gallery_words.h"

#include "common/read_file.h"
#include "imaging/meta/caption.h"

namespace vistrel::run {
using imaging::cleanCaption;

std::vector<std::string> introductionParagraphs(std::string_view text) {
  std::vector<std::string> paragraphs;
  std::string paragraph;
  const auto flush = [&] {
    std::string cleaned = cleanCaption(paragraph, kParagraphMostBytes);
    if (!cleaned.empty()) {
      paragraphs.push_back(std::move(cleaned));
    }
    paragraph.clear();
  };
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    // A line of blanks parts paragraphs as an empty one does.
    if (cleanCaption(line).empty()) {
      flush();
    } else {
      paragraph.append(line).push_back('\n');
    }
  }
  flush();
  return paragraphs;
}

namespace {

// The folder's own name, also when the path ends in a separator or a dot.
std::string folderName(const std::filesystem::path& folder) {
  std::filesystem::path normal = folder.lexically_normal();
  if (!normal.has_filename()) {
    normal = normal.parent_path();
  }
  return normal.filename().string();
}

}  // namespace

gallery::GalleryWords galleryWords(const std::filesystem::path& folder, std::string_view title,
                                   common::ReadError* introductionError) {
  gallery::GalleryWords words;
  std::string cleaned = cleanCaption(title);
  if (cleaned.empty()) {
    cleaned = cleanCaption(folderName(folder));
  }
  if (!cleaned.empty()) {
    words.title = std::move(cleaned);
  }
  const common::RegularFile file(folder / kIntroductionFileName);
  std::string text;
  if (const common::ReadError error = file.append(text, kIntroductionMostBytes)) {
    if (introductionError != nullptr && error.notMissing()) {
      *introductionError = error;
    }
    return words;
  }
  // A byte-order mark is no part of the text.
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.erase(0, 3);
  }
  words.introduction = introductionParagraphs(text);
  return words;
}

}  // namespace vistrel::run
