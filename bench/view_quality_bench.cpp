// Detail and bytes of a picture page's display copies at each JPEG quality, for
// bench/view_quality.sh:
//   view_quality_bench OUTDIR FILE...
// For each picture and each longest edge of 1280 and 2560 that is smaller than the picture's
// (a copy at its own size would only re-encode the source's decode, which says little), one decode
// at the least DCT scale that keeps that size, a Lanczos-3 stretch to it, then our writer at
// qualities 60 to 95. Each file is decoded again and its luma (Y of BT.601, as JPEG uses) compared
// with the stretched pixels before encoding: PSNR, and SSIM over 11 x 11 Gaussian windows
// (sigma 1.5, the usual constants, valid windows only), and SSIM at CSS pixel size (C): the same
// for 1280; for the 2x copy both sides' 2 x 2 means first. Prints per size the count of pictures
// scaled to it, then one line a quality with the means over them:
//   edge=E q=Q psnrY=P ssimY=S ssimCss=C bytes=B vsQ95=R
// (R = mean bytes / mean bytes at quality 95), and last the knees (a size with no pictures: 0):
//   knee edge1280=Q1 edge2560=Q2
// each the lowest quality whose mean C is within 0.01 of that size's at quality 95.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "imaging/jpeg/jpeg_writer.h"
#include "imaging/picture.h"
#include "imaging/surface/dib_section.h"
#include "imaging/surface/stretch.h"

using namespace vistrel::imaging;
namespace fs = std::filesystem;

namespace {

constexpr std::array kEdges{1280, 2560};
constexpr std::array kQualities{60, 65, 70, 75, 80, 85, 90, 95};
constexpr double kKneeSsim = 0.01;

struct Luma {
  int width = 0, height = 0;
  std::vector<float> y;  // top-down
};

Luma lumaOf(const uint8_t* bgr, int width, int height, int stride, bool bottomUp) {
  Luma l{width, height, std::vector<float>(static_cast<size_t>(width) * height)};
  for (int r = 0; r < height; ++r) {
    const uint8_t* p = bgr + static_cast<size_t>(bottomUp ? height - 1 - r : r) * stride;
    for (int x = 0; x < width; ++x, p += 3) {
      l.y[static_cast<size_t>(r) * width + x] = 0.114f * p[0] + 0.587f * p[1] + 0.299f * p[2];
    }
  }
  return l;
}

double psnr(const Luma& a, const Luma& b) {
  double sum = 0;
  for (size_t i = 0; i < a.y.size(); ++i) {
    const double d = a.y[i] - b.y[i];
    sum += d * d;
  }
  const double mse = sum / static_cast<double>(a.y.size());
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Gaussian-weighted means over every 11 x 11 window that lies inside the picture: the filter
// runs along rows, then down the columns, so a W x H picture gives (W - 10) x (H - 10) means.
std::vector<double> windowMeans(const std::vector<double>& v, int width, int height) {
  constexpr int kRadius = 5;
  std::array<double, 2 * kRadius + 1> k{};
  double total = 0;
  for (int i = -kRadius; i <= kRadius; ++i) {
    total += k[i + kRadius] = std::exp(-i * i / (2 * 1.5 * 1.5));
  }
  for (double& w : k)
    w /= total;
  const int w = width - 2 * kRadius, h = height - 2 * kRadius;
  std::vector<double> rows(static_cast<size_t>(w) * height), out(static_cast<size_t>(w) * h);
  for (int r = 0; r < height; ++r) {
    for (int x = 0; x < w; ++x) {
      double s = 0;
      for (int i = 0; i < 2 * kRadius + 1; ++i)
        s += k[i] * v[static_cast<size_t>(r) * width + x + i];
      rows[static_cast<size_t>(r) * w + x] = s;
    }
  }
  for (int r = 0; r < h; ++r) {
    for (int x = 0; x < w; ++x) {
      double s = 0;
      for (int i = 0; i < 2 * kRadius + 1; ++i)
        s += k[i] * rows[static_cast<size_t>(r + i) * w + x];
      out[static_cast<size_t>(r) * w + x] = s;
    }
  }
  return out;
}

// Mean SSIM of luma; 1 for a picture too small to hold one window.
double ssim(const Luma& a, const Luma& b) {
  if (a.width < 11 || a.height < 11)
    return 1.0;
  const size_t n = a.y.size();
  std::vector<double> x(n), y(n), xx(n), yy(n), xy(n);
  for (size_t i = 0; i < n; ++i) {
    x[i] = a.y[i], y[i] = b.y[i];
    xx[i] = x[i] * x[i], yy[i] = y[i] * y[i], xy[i] = x[i] * y[i];
  }
  const auto mx = windowMeans(x, a.width, a.height), my = windowMeans(y, a.width, a.height);
  const auto sxx = windowMeans(xx, a.width, a.height), syy = windowMeans(yy, a.width, a.height);
  const auto sxy = windowMeans(xy, a.width, a.height);
  const double c1 = std::pow(0.01 * 255, 2), c2 = std::pow(0.03 * 255, 2);
  double sum = 0;
  for (size_t i = 0; i < mx.size(); ++i) {
    const double vx = sxx[i] - mx[i] * mx[i], vy = syy[i] - my[i] * my[i];
    const double cov = sxy[i] - mx[i] * my[i];
    sum += (2 * mx[i] * my[i] + c1) * (2 * cov + c2) /
           ((mx[i] * mx[i] + my[i] * my[i] + c1) * (vx + vy + c2));
  }
  return sum / static_cast<double>(mx.size());
}

// Each 2 x 2 block's mean: a 2x copy as large as the eye takes it in at its CSS size.
Luma halved(const Luma& l) {
  Luma h{l.width / 2, l.height / 2, {}};
  h.y.resize(static_cast<size_t>(h.width) * h.height);
  for (int r = 0; r < h.height; ++r) {
    const float* top = l.y.data() + static_cast<size_t>(2 * r) * l.width;
    for (int x = 0; x < h.width; ++x) {
      h.y[static_cast<size_t>(r) * h.width + x] =
          (top[2 * x] + top[2 * x + 1] + top[l.width + 2 * x] + top[l.width + 2 * x + 1]) / 4;
    }
  }
  return h;
}

// The longer side meets `edge`, or stays as it is when the picture is smaller: never enlarged.
std::pair<int, int> fit(int width, int height, int edge) {
  const int longest = std::max(width, height);
  if (longest <= edge)
    return {width, height};
  const auto scaled = [&](int side) {
    return std::max(1, static_cast<int>(std::lround(static_cast<double>(side) * edge / longest)));
  };
  return {scaled(width), scaled(height)};
}

struct Sums {
  double psnr = 0, ssim = 0, ssimCss = 0, bytes = 0;
  int pictures = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: view_quality_bench OUTDIR FILE...\n");
    return 2;
  }
  const fs::path outDir = argv[1];
  fs::create_directories(outDir);
  const fs::path encoded = outDir / "view.jpg";
  std::array<std::array<Sums, kQualities.size()>, kEdges.size()> sums{};
  std::array<int, kEdges.size()> ownSize{};
  cDIBSection dib;
  for (int a = 2; a < argc; ++a) {
    const std::string file = argv[a];
    const ProbeResult probed = probe(file);
    if (!probed.ok) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(), probed.error.reason.c_str());
      continue;
    }
    for (size_t e = 0; e < kEdges.size(); ++e) {
      // A copy at the picture's own size only re-encodes its decode: when the source was written
      // with the same tables that comes back almost exactly and flatters that quality.
      if (std::max(probed.info.width, probed.info.height) <= kEdges[e]) {
        ++ownSize[e];
        continue;
      }
      int x = 0, y = 0;
      // The loader keeps kShrinkMargin times what it is asked for: ask for half the target.
      const LoadResult loaded = loadFitted(file, [&](const PictureInfo& info) {
        std::tie(x, y) = fit(info.width, info.height, kEdges[e]);
        return std::pair<int, int>((x + 1) / 2, (y + 1) / 2);
      });
      if (!loaded.ok || !dib.Create(x, y)) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), loaded.error.reason.c_str());
        return 1;
      }
      stretchInto(loaded.picture, dib.DIBSectionBitsPtr(), x, y, dib.BytesPerScanLine(), true,
                  StretchFilter::Lanczos3, loaded.info.width >= 6 * loaded.picture.width);
      const Luma reference = lumaOf(dib.DIBSectionBitsPtr(), x, y, dib.BytesPerScanLine(), true);
      for (size_t q = 0; q < kQualities.size(); ++q) {
        const LoadResult back =
            WriteJpegFile(dib, encoded.string(), kQualities[q]) ? load(encoded) : LoadResult{};
        if (!back.ok || back.picture.width != x || back.picture.height != y) {
          std::fprintf(stderr, "%s: quality %d not written or not read back\n", file.c_str(),
                       kQualities[q]);
          return 1;
        }
        const Luma decoded = lumaOf(back.picture.bgr.data(), x, y, back.picture.stride, false);
        Sums& s = sums[e][q];
        s.psnr += psnr(reference, decoded);
        s.ssim += ssim(reference, decoded);
        s.ssimCss += kEdges[e] > kEdges[0] ? ssim(halved(reference), halved(decoded))
                                           : ssim(reference, decoded);
        s.bytes += static_cast<double>(fs::file_size(encoded));
        ++s.pictures;
      }
    }
  }
  fs::remove(encoded);
  std::string kneeLine = "knee";
  for (size_t e = 0; e < kEdges.size(); ++e) {
    const Sums& top = sums[e].back();
    std::printf("edge=%d pictures=%d skipped=%d (not larger)\n", kEdges[e], top.pictures,
                ownSize[e]);
    const double n = top.pictures;
    int knee = top.pictures == 0 ? 0 : kQualities.back();
    for (size_t q = 0; q < kQualities.size() && top.pictures > 0; ++q) {
      const Sums& s = sums[e][q];
      std::printf("edge=%d q=%d psnrY=%.3f ssimY=%.5f ssimCss=%.5f bytes=%.0f vsQ95=%.3f\n",
                  kEdges[e], kQualities[q], s.psnr / n, s.ssim / n, s.ssimCss / n, s.bytes / n,
                  s.bytes / top.bytes);
      if (knee == kQualities.back() && (top.ssimCss - s.ssimCss) / n <= kKneeSsim)
        knee = kQualities[q];
    }
    kneeLine += " edge" + std::to_string(kEdges[e]) + "=" + std::to_string(knee);
  }
  std::printf("%s\n", kneeLine.c_str());
  return 0;
}
