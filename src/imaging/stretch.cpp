#include "imaging/stretch.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace vistrel::imaging {

namespace {

constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;

// Catmull-Rom (a = -0.5): sharp without ringing that shows on thumbnails.
double catmullRom(double x) {
  constexpr double a = -0.5;
  x = std::fabs(x);
  if (x < 1.0) {
    return ((a + 2.0) * x - (a + 3.0)) * x * x + 1.0;
  }
  if (x < 2.0) {
    return (((x - 5.0) * x + 8.0) * x - 4.0) * a;
  }
  return 0.0;
}

// For every destination pixel along one axis: the first source pixel it reads and its integer
// weights, which sum to exactly kWeightOne so a flat area stays flat.
struct AxisFilter {
  int taps = 0;  // weights per destination pixel (unused ones are 0)
  std::vector<int> first;
  std::vector<int32_t> weights;  // taps per destination pixel
};

AxisFilter makeFilter(int sourceSize, int destSize) {
  const double scale = static_cast<double>(sourceSize) / destSize;
  // Widening the kernel by the reduction makes every source pixel count when shrinking.
  const double filterScale = std::max(scale, 1.0);
  const double support = 2.0 * filterScale;
  AxisFilter f;
  f.taps = static_cast<int>(std::ceil(support)) * 2 + 1;
  f.first.resize(destSize);
  f.weights.assign(static_cast<size_t>(destSize) * f.taps, 0);
  std::vector<double> w(f.taps);
  for (int i = 0; i < destSize; ++i) {
    const double center = (i + 0.5) * scale;
    const int lo = std::max(0, static_cast<int>(center - support + 0.5));
    const int hi = std::min(sourceSize, static_cast<int>(center + support + 0.5));
    const int n = std::min(hi - lo, f.taps);
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
      w[k] = catmullRom((lo + k - center + 0.5) / filterScale);
      sum += w[k];
    }
    int32_t* out = &f.weights[static_cast<size_t>(i) * f.taps];
    f.first[i] = lo;
    if (n <= 0 || sum == 0.0) {
      f.first[i] = std::clamp(static_cast<int>(center), 0, sourceSize - 1);
      out[0] = kWeightOne;
      continue;
    }
    int total = 0;
    int largest = 0;
    for (int k = 0; k < n; ++k) {
      out[k] = static_cast<int32_t>(std::lround(w[k] / sum * kWeightOne));
      total += out[k];
      if (out[k] > out[largest]) {
        largest = k;
      }
    }
    out[largest] += kWeightOne - total;
  }
  return f;
}

inline uint8_t clampByte(int32_t acc) {
  const int32_t v = (acc + (kWeightOne >> 1)) >> kWeightBits;
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace

void stretchInto(const Picture& source, uint8_t* dest, int destWidth, int destHeight,
                 int destStride, bool destBottomUp) {
  if (source.empty() || source.stride < 3 * source.width ||
      source.bgr.size() < static_cast<size_t>(source.stride) * (source.height - 1) +
                              3 * static_cast<size_t>(source.width)) {
    throw std::invalid_argument("stretchInto: the source picture has no pixels");
  }
  if (dest == nullptr || destWidth < 1 || destHeight < 1 || destStride / 3 < destWidth) {
    throw std::invalid_argument("stretchInto: the destination size or stride is invalid");
  }
  const AxisFilter fx = makeFilter(source.width, destWidth);
  const AxisFilter fy = makeFilter(source.height, destHeight);

  // Only the source rows some destination row reads go through the horizontal pass.
  const int rowLo = fy.first.front();
  int rowHi = rowLo;
  for (int y = 0; y < destHeight; ++y) {
    const int32_t* w = &fy.weights[static_cast<size_t>(y) * fy.taps];
    for (int k = fy.taps - 1; k >= 0; --k) {
      if (w[k] != 0) {
        rowHi = std::max(rowHi, std::min(fy.first[y] + k + 1, source.height));
        break;
      }
    }
  }
  rowHi = std::max(rowHi, rowLo + 1);

  const size_t tempStride = 3 * static_cast<size_t>(destWidth);
  std::vector<uint8_t> temp(tempStride * (rowHi - rowLo));
  for (int sy = rowLo; sy < rowHi; ++sy) {
    const uint8_t* in = source.row(sy);
    uint8_t* out = &temp[(sy - rowLo) * tempStride];
    for (int x = 0; x < destWidth; ++x) {
      const int32_t* w = &fx.weights[static_cast<size_t>(x) * fx.taps];
      const uint8_t* p = in + 3 * static_cast<size_t>(fx.first[x]);
      const int n = std::min(fx.taps, source.width - fx.first[x]);
      int32_t b = 0, g = 0, r = 0;
      for (int k = 0; k < n; ++k, p += 3) {
        b += w[k] * p[0];
        g += w[k] * p[1];
        r += w[k] * p[2];
      }
      out[3 * x] = clampByte(b);
      out[3 * x + 1] = clampByte(g);
      out[3 * x + 2] = clampByte(r);
    }
  }

  std::vector<int32_t> acc(tempStride);
  for (int y = 0; y < destHeight; ++y) {
    std::fill(acc.begin(), acc.end(), 0);
    const int32_t* w = &fy.weights[static_cast<size_t>(y) * fy.taps];
    const int n = std::min(fy.taps, rowHi - fy.first[y]);
    for (int k = 0; k < n; ++k) {
      if (w[k] == 0) {
        continue;
      }
      const uint8_t* in = &temp[(fy.first[y] + k - rowLo) * tempStride];
      const int32_t weight = w[k];
      for (size_t i = 0; i < tempStride; ++i) {
        acc[i] += weight * in[i];
      }
    }
    const int destRow = destBottomUp ? destHeight - 1 - y : y;
    uint8_t* out = dest + static_cast<size_t>(destRow) * destStride;
    for (size_t i = 0; i < tempStride; ++i) {
      out[i] = clampByte(acc[i]);
    }
  }
}

Picture stretch(const Picture& source, int width, int height) {
  Picture p;
  if (width < 1 || height < 1) {
    throw std::invalid_argument("stretch: the size must be at least 1 x 1");
  }
  p.width = width;
  p.height = height;
  p.stride = 3 * width;
  p.bgr.resize(static_cast<size_t>(p.stride) * height);
  stretchInto(source, p.bgr.data(), width, height, p.stride, false);
  return p;
}

}  // namespace vistrel::imaging
