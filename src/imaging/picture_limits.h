#pragma once
// How large a picture the loader attempts. Every size read from a file passes through here
// before it sizes an allocation, so a damaged or hostile header cannot exhaust memory.

#include <cstdint>
#include <string>

namespace vistrel::imaging {

inline constexpr int64_t kMaxPicturePixels = int64_t{256} << 20;  // 256 megapixels
inline constexpr int64_t kMaxDecodeBytes = int64_t{1} << 30;      // 1 GiB

// Why a picture of width x height pixels whose decode needs `decodeBytes` bytes is refused,
// or "" when it may be decoded. Sizes below 1 are refused too.
std::string sizeRefusal(int64_t width, int64_t height, int64_t decodeBytes);

}  // namespace vistrel::imaging
