#pragma once
// The gallery settings every front end starts from, and the ranges they may take. The window's
// controls, vistrel-batch's options and the library's setting structs all start from these.

#include <string_view>

namespace vistrel::common {

// Largest thumbnail width and height, in pixels.
inline constexpr int kThumbnailMin = 1;
inline constexpr int kThumbnailMax = 1500;
inline constexpr int kThumbnailInitial = 150;

// JPEG quality of the thumbnails: 60 to 100 in steps of 5.
inline constexpr int kQualityMin = 60;
inline constexpr int kQualityMax = 100;
inline constexpr int kQualityStep = 5;
inline constexpr int kQualityInitial = 65;

// The thumbnail file-name prefix, at most kPrefixMaxLength characters (code points, counted the
// same way in both front ends).
inline constexpr std::string_view kPrefixInitial = "th_";
inline constexpr int kPrefixMaxLength = 10;
// Characters a prefix may not hold, besides control characters: folder separators, and those a
// file name cannot hold on every disk.
inline constexpr std::string_view kPrefixForbidden = "/\\<>:\"|?*";

// Rows and columns of the page table.
inline constexpr int kTableCountMin = 1;
inline constexpr int kTableCountMax = 100;
inline constexpr int kTableCountInitial = 1;
// Border size, cell padding and cell spacing of the page table, in pixels.
inline constexpr int kTableSpacingMin = 0;
inline constexpr int kTableSpacingMax = 20;
inline constexpr int kTableSpacingInitial = 2;

// The modern gallery's display copies: the longest edge of the one at the view size, in CSS
// pixels; the one for dense screens is twice that. Both are capped at the picture's own size.
inline constexpr int kViewSizeMin = 320;
inline constexpr int kViewSizeMax = 4096;
inline constexpr int kViewSizeInitial = 1280;
// Their JPEG qualities, measured on photos (bench/view_quality.sh): at 90 the view-size copy keeps
// SSIM 0.98 for two thirds of the bytes of 95; the dense-screen copy is seen at half its pixels,
// where 75 keeps SSIM 0.99 for a third of the bytes.
inline constexpr int kViewQuality = 90;
inline constexpr int kView2xQuality = 75;

}  // namespace vistrel::common
