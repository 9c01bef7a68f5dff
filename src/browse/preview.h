#pragma once
// The preview of the Directory panel without its widgets: loading the chosen picture with its
// file size, and the attribute line under the file list. Where the scaled picture goes is
// fitPreview's (fit.h).

#include <cstdint>
#include <filesystem>
#include <string>

#include "imaging/picture.h"

namespace vistrel::browse {

// The attribute line under the file list: the file size as FormatFileSize writes it, a blank,
// then width "x" height in pixels: "48,213 bytes 640x480".
std::string attributeLine(long long fileSize, int width, int height);

struct PreviewPicture {
  bool ok = false;
  imaging::Picture picture;  // top-down BGR, perhaps shrunk while decoding
  int width = 0;             // natural size in pixels (orientation applied)
  int height = 0;
  std::uintmax_t fileSize = 0;  // bytes
  imaging::LoadError error;     // when !ok
};

// Loads `folder`/`name` for the preview, with its length in bytes. The preview shows at most
// `areaWidth` x `areaHeight` pixels, so a large JPEG may be decoded smaller (never below twice
// that size); width and height stay the natural size. A GIF's see-through pixels are laid on
// `gifBackground` (0xRRGGBB). A file that is gone, damaged or not of `types` gives ok == false
// and the reason.
PreviewPicture loadPreview(const std::filesystem::path& folder, const std::string& name,
                           int areaWidth = 0, int areaHeight = 0,
                           uint32_t gifBackground = imaging::kPlainBackground,
                           imaging::PictureTypes types = imaging::PictureTypes::JpegGif);

}  // namespace vistrel::browse
