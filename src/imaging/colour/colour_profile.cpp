#include "imaging/colour/colour_profile.h"

#include <lcms2.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace vistrel::imaging {

namespace {

enum class Input : char { Bgr = 'b', Grey = 'g', Cmyk = 'c', InvertedCmyk = 'i' };

// What a profile asks for, made once: nothing (sRGB already, or a profile that cannot be used),
// a transform, or for grey pictures a table of the 256 greys.
struct Conversion {
  enum class Kind { None, Transform, GreyTable };
  Kind kind = Kind::None;
  cmsHTRANSFORM transform = nullptr;
  std::array<uint8_t, 3 * 256> greyTable{};  // BGR of each grey level

  Conversion() = default;
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;
  ~Conversion() {
    if (transform != nullptr) {
      cmsDeleteTransform(transform);
    }
  }
};

struct ProfileCloser {
  void operator()(void* p) const { cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

bool nearlyEqual(const uint8_t* a, const uint8_t* b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (std::abs(a[i] - b[i]) > 1) {
      return false;
    }
  }
  return true;
}

// Whether the transform leaves every colour of a lattice over the cube where it was: a profile
// that is sRGB under another name (there are many) then costs nothing per picture.
bool keepsColours(cmsHTRANSFORM transform) {
  std::vector<uint8_t> in, out;
  for (int b = 0; b < 256; b += 17) {
    for (int g = 0; g < 256; g += 17) {
      for (int r = 0; r < 256; r += 17) {
        in.insert(in.end(),
                  {static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r)});
      }
    }
  }
  out.resize(in.size());
  cmsDoTransform(transform, in.data(), out.data(), static_cast<cmsUInt32Number>(in.size() / 3));
  return nearlyEqual(in.data(), out.data(), in.size());
}

std::shared_ptr<const Conversion> makeConversion(Input input, std::string_view bytes) {
  auto c = std::make_shared<Conversion>();
  // A profile that cannot be opened or used leaves the pixels as they are: the picture still
  // shows, as it would in a program that ignores profiles.
  Profile profile(cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size())));
  if (!profile) {
    return c;
  }
  const cmsProfileClassSignature cls = cmsGetDeviceClass(profile.get());
  if (cls == cmsSigLinkClass || cls == cmsSigAbstractClass || cls == cmsSigNamedColorClass) {
    return c;
  }
  const cmsColorSpaceSignature space = cmsGetColorSpace(profile.get());
  cmsUInt32Number format = 0;
  if ((input == Input::Bgr || input == Input::Grey) && space == cmsSigRgbData) {
    format = TYPE_BGR_8;  // a grey picture is three equal bytes, which an RGB profile reads too
  } else if (input == Input::Grey && space == cmsSigGrayData) {
    format = TYPE_GRAY_8;
  } else if (input == Input::Cmyk && space == cmsSigCmykData) {
    format = TYPE_CMYK_8;
  } else if (input == Input::InvertedCmyk && space == cmsSigCmykData) {
    format = TYPE_CMYK_8_REV;
  } else {
    return c;
  }
  Profile srgb(cmsCreate_sRGBProfile());
  if (!srgb) {
    return c;
  }
  // Perceptual: the profile's own mapping of colours sRGB cannot show, where it has one (matrix
  // profiles fall back to relative colorimetric). No one-pixel cache: the transform is shared by
  // threads and then holds no state that changes.
  cmsHTRANSFORM transform = cmsCreateTransform(profile.get(), format, srgb.get(), TYPE_BGR_8,
                                               INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
  if (transform == nullptr) {
    return c;
  }
  if (format == TYPE_GRAY_8) {
    std::array<uint8_t, 256> levels;
    for (int i = 0; i < 256; ++i) {
      levels[i] = static_cast<uint8_t>(i);
    }
    cmsDoTransform(transform, levels.data(), c->greyTable.data(), 256);
    cmsDeleteTransform(transform);
    std::array<uint8_t, 3 * 256> same;
    for (int i = 0; i < 3 * 256; ++i) {
      same[i] = static_cast<uint8_t>(i / 3);
    }
    if (!nearlyEqual(same.data(), c->greyTable.data(), same.size())) {
      c->kind = Conversion::Kind::GreyTable;
    }
    return c;
  }
  if (format == TYPE_BGR_8 && keepsColours(transform)) {
    cmsDeleteTransform(transform);
    return c;
  }
  c->transform = transform;
  c->kind = Conversion::Kind::Transform;
  return c;
}

// One conversion per (pixel kind, profile bytes), shared by every thread. Made outside the lock:
// a transform can take milliseconds to build, and other threads' pictures should not wait.
std::shared_ptr<const Conversion> conversionFor(Input input, std::string_view profile) {
  // A folder holds a handful of distinct profiles; a flood of different or huge ones (a profile
  // may run to megabytes) starts the cache afresh rather than pile up.
  constexpr size_t kMaxEntries = 32;
  constexpr size_t kMaxKeyBytes = 8 << 20;
  static std::mutex mutex;
  static std::unordered_map<std::string, std::shared_ptr<const Conversion>> cache;
  static size_t keyBytes = 0;
  std::string key;
  key.reserve(profile.size() + 1);
  key.push_back(static_cast<char>(input));
  key.append(profile);
  {
    std::lock_guard lock(mutex);
    if (auto found = cache.find(key); found != cache.end()) {
      return found->second;
    }
  }
  auto made = makeConversion(input, profile);
  if (key.size() > kMaxKeyBytes) {
    return made;
  }
  std::lock_guard lock(mutex);
  if (cache.size() >= kMaxEntries || keyBytes + key.size() > kMaxKeyBytes) {
    cache.clear();
    keyBytes = 0;
  }
  const auto [entry, added] = cache.try_emplace(std::move(key), std::move(made));
  if (added) {
    keyBytes += entry->first.size();
  }
  return entry->second;
}

}  // namespace

bool convertToSrgb(Picture& picture, bool grey, std::string_view profile) {
  if (profile.empty() || picture.empty()) {
    return false;
  }
  const auto c = conversionFor(grey ? Input::Grey : Input::Bgr, profile);
  switch (c->kind) {
    case Conversion::Kind::None:
      return false;
    case Conversion::Kind::GreyTable:
      for (int y = 0; y < picture.height; ++y) {
        uint8_t* p = picture.row(y);
        for (int x = 0; x < picture.width; ++x, p += 3) {
          const uint8_t* to = &c->greyTable[3 * p[0]];
          p[0] = to[0];
          p[1] = to[1];
          p[2] = to[2];
        }
      }
      return true;
    case Conversion::Kind::Transform:
      // In place: input and output have the same layout.
      cmsDoTransformLineStride(c->transform, picture.bgr.data(), picture.bgr.data(),
                               static_cast<cmsUInt32Number>(picture.width),
                               static_cast<cmsUInt32Number>(picture.height),
                               static_cast<cmsUInt32Number>(picture.stride),
                               static_cast<cmsUInt32Number>(picture.stride), 0, 0);
      return true;
  }
  return false;
}

bool cmykToSrgb(const uint8_t* cmyk, bool inverted, std::string_view profile, Picture& out) {
  if (profile.empty() || out.empty()) {
    return false;
  }
  const auto c = conversionFor(inverted ? Input::InvertedCmyk : Input::Cmyk, profile);
  if (c->kind != Conversion::Kind::Transform) {
    return false;
  }
  cmsDoTransformLineStride(
      c->transform, cmyk, out.bgr.data(), static_cast<cmsUInt32Number>(out.width),
      static_cast<cmsUInt32Number>(out.height), static_cast<cmsUInt32Number>(4 * out.width),
      static_cast<cmsUInt32Number>(out.stride), 0, 0);
  return true;
}

}  // namespace vistrel::imaging
