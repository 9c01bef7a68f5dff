#include "browse/preview.h"

#include <system_error>

#include "browse/file_size.h"
#include "common/numbers.h"

namespace vistrel::browse {
using common::decimalText;

std::string attributeLine(long long fileSize, int width, int height) {
  return FormatFileSize(fileSize) + " " + decimalText(width) + "x" + decimalText(height);
}

PreviewPicture loadPreview(const std::filesystem::path& folder, const std::string& name,
                           int areaWidth, int areaHeight, uint32_t gifBackground,
                           imaging::PictureTypes types) {
  PreviewPicture result;
  const std::filesystem::path file = folder / name;
  imaging::LoadResult loaded = imaging::load(file, areaWidth, areaHeight, gifBackground, types);
  if (!loaded.ok) {
    result.error = loaded.error;
    return result;
  }
  std::error_code ec;
  result.fileSize = std::filesystem::file_size(file, ec);
  if (ec) {
    result.error = {file.string(), ec.message()};
    return result;
  }
  result.picture = std::move(loaded.picture);
  result.width = loaded.info.width;
  result.height = loaded.info.height;
  result.ok = true;
  return result;
}

}  // namespace vistrel::browse
