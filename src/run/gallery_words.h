#pragma once
// The modern gallery's title and introduction: the title the user gave, else the folder's name;
// the introduction from a plain-text file the user keeps in the folder.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/read_file.h"
#include "gallery/modern_page.h"

namespace vistrel::run {

// The introduction's file, written by hand; the program reads it and never writes it. Its
// paragraphs are parted by blank lines; the lines of a paragraph run together.
inline constexpr char kIntroductionFileName[] = "introduction.txt";
// Only this much of it is read, and each paragraph is capped as a caption is, at this length.
inline constexpr size_t kIntroductionMostBytes = size_t{64} << 10;
inline constexpr size_t kParagraphMostBytes = size_t{8} << 10;

// The paragraphs of an introduction's text, each cleaned as a caption (imaging::cleanCaption).
std::vector<std::string> introductionParagraphs(std::string_view text);

// The words of the gallery in `folder`: `title` cleaned as a caption, or when that is empty the
// folder's name, and the introduction from kIntroductionFileName when the folder has one that
// can be read; why it could not, when it is there, goes to `introductionError`.
gallery::GalleryWords galleryWords(const std::filesystem::path& folder, std::string_view title,
                                   common::ReadError* introductionError = nullptr);

}  // namespace vistrel::run
