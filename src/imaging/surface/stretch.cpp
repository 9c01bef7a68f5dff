#include "imaging/surface/stretch.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace vistrel::imaging {

namespace {

constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;

// Catmull-Rom (a = -0.5), radius 2.
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

double sinc(double x) {
  constexpr double pi = 3.14159265358979323846;
  return x == 0.0 ? 1.0 : std::sin(pi * x) / (pi * x);
}

double lanczos(double x, double radius) {
  return std::fabs(x) < radius ? sinc(x) * sinc(x / radius) : 0.0;
}

double radiusOf(StretchFilter filter) {
  return filter == StretchFilter::Lanczos3 ? 3.0 : 2.0;
}

double kernel(StretchFilter filter, double x) {
  switch (filter) {
    case StretchFilter::Lanczos3:
      return lanczos(x, 3.0);
    case StretchFilter::Lanczos2:
      return lanczos(x, 2.0);
    case StretchFilter::CatmullRom:
      break;
  }
  return catmullRom(x);
}

// For every destination pixel along one axis: the first source pixel it reads and its non-zero
// integer weights, which sum to exactly kWeightOne so a flat area stays flat. The kernels peak at
// 1 and their negative lobes are small, so even a kernel cut at the picture's edge and
// renormalised keeps weights well within +-1.5 * kWeightOne: int16 weights, int32 sums.
struct AxisFilter {
  StretchFilter filter = StretchFilter::Lanczos3;
  bool blockMeans = false;
  int sourceSize = 0;
  int destSize = 0;
  std::vector<int> first;
  std::vector<int> count;  // weights of destination pixel i: weights[offset[i]...+count[i]]
  std::vector<int> offset;
  std::vector<int16_t> weights;
};

// A 1/8 DCT-scaled decode makes each pixel the mean of its 8 x 8 block: a box filter, whose
// response sinc(u) (u in cycles per decoded pixel) dulls what the thumbnail keeps of the picture.
// [-a, 1 + 2a, -a] has the response 1 + 4 pi^2 a u^2 near 0, and 1 / sinc(u) is 1 + pi^2 u^2 / 6,
// so a = 1/24 undoes it. Measured by bench/quality.sh on the wallpaper photos (PSNR of luma
// against a Lanczos-3 downscale of the full decode), 0.045 came closest unencoded (51.4 to
// 52.6 dB) and at quality 65 lifted the mean from 36.39 to 36.43 dB for 1% more bytes (0.06 gave
// 36.43 too, 0.035 and 0.08 36.42); the double-density copies, from the same decodes, went from
// 36.89 to 37.00 dB. The 1/4 and 1/2 decodes are no box means: compensated, tiles with sharp
// edges lost up to 2 dB, so they are left as they are.
constexpr double kBoxCompensation = 0.045;

void makeFilter(AxisFilter& f, int sourceSize, int destSize, StretchFilter filter,
                bool blockMeans) {
  const double scale = static_cast<double>(sourceSize) / destSize;
  // Widening the kernel by the reduction makes every source pixel count when shrinking.
  const double filterScale = std::max(scale, 1.0);
  const double support = radiusOf(filter) * filterScale;
  const int taps = static_cast<int>(std::ceil(support)) * 2 + 3;
  // Marked unusable until complete, so a failed allocation leaves no half-made filter cached.
  f.sourceSize = 0;
  f.destSize = 0;
  f.first.assign(destSize, 0);
  f.count.assign(destSize, 0);
  f.offset.assign(destSize, 0);
  f.weights.clear();
  f.weights.reserve(static_cast<size_t>(destSize) * taps);
  std::vector<double> w(taps);
  std::vector<int32_t> q(taps);
  const double a = blockMeans ? kBoxCompensation : 0.0;
  for (int i = 0; i < destSize; ++i) {
    const double center = (i + 0.5) * scale;
    const int reach = blockMeans ? 1 : 0;  // the compensation's extra tap on either side
    const int lo = std::max(0, static_cast<int>(center - support + 0.5) - reach);
    const int hi = std::min(sourceSize, static_cast<int>(center + support + 0.5) + reach);
    const int n = std::min(hi - lo, taps);
    // The kernel's weight of source pixel p, convolved with the compensation (the picture's edge
    // pixels repeated beyond it).
    auto at = [&](int p) {
      return p < 0 || p >= sourceSize ? 0.0 : kernel(filter, (p - center + 0.5) / filterScale);
    };
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
      const int p = lo + k;
      w[k] = a == 0.0 ? at(p) : (1 + 2 * a) * at(p) - a * (at(p - 1) + at(p + 1));
      if (a != 0.0) {
        // An edge pixel also stands in for its missing neighbour.
        w[k] -= a * ((p == 0 ? at(p) : 0.0) + (p == sourceSize - 1 ? at(p) : 0.0));
      }
      sum += w[k];
    }
    f.offset[i] = static_cast<int>(f.weights.size());
    if (n <= 0 || sum == 0.0) {
      f.first[i] = std::clamp(static_cast<int>(center), 0, sourceSize - 1);
      f.count[i] = 1;
      f.weights.push_back(kWeightOne);
      continue;
    }
    int total = 0;
    int largest = 0;
    for (int k = 0; k < n; ++k) {
      q[k] = static_cast<int32_t>(std::lround(w[k] / sum * kWeightOne));
      total += q[k];
      if (q[k] > q[largest]) {
        largest = k;
      }
    }
    q[largest] += kWeightOne - total;
    // Zero weights at either end cost a multiply each and change nothing.
    int begin = 0;
    int end = n;
    while (q[begin] == 0) {
      ++begin;
    }
    while (q[end - 1] == 0) {
      --end;
    }
    f.first[i] = lo + begin;
    f.count[i] = end - begin;
    for (int k = begin; k < end; ++k) {
      f.weights.push_back(static_cast<int16_t>(q[k]));
    }
  }
  f.filter = filter;
  f.blockMeans = blockMeans;
  f.sourceSize = sourceSize;
  f.destSize = destSize;
}

// Both axes of one stretch. Consecutive pictures of a folder mostly share their sizes, so each
// thread keeps the last few plans it made (whole plans: a hit on one axis must not let the other
// axis's rebuild overwrite it mid-call).
struct Plan {
  AxisFilter x;
  AxisFilter y;
};

const Plan& cachedPlan(int sourceWidth, int sourceHeight, int destWidth, int destHeight,
                       StretchFilter filter, bool blockMeans) {
  constexpr int kEntries = 4;
  thread_local Plan cache[kEntries];
  thread_local int next = 0;
  for (const Plan& p : cache) {
    if (p.x.filter == filter && p.x.blockMeans == blockMeans && p.x.sourceSize == sourceWidth &&
        p.x.destSize == destWidth && p.y.sourceSize == sourceHeight && p.y.destSize == destHeight) {
      return p;
    }
  }
  Plan& p = cache[next];
  next = (next + 1) % kEntries;
  makeFilter(p.x, sourceWidth, destWidth, filter, blockMeans);
  makeFilter(p.y, sourceHeight, destHeight, filter, blockMeans);
  return p;
}

inline uint8_t clampByte(int32_t acc) {
  const int32_t v = (acc + (kWeightOne >> 1)) >> kWeightBits;
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// out[i] = the weighted sum of src[i + k * inStride] over the count weights, rounded and clamped
// to a byte, for i in [begin, end). The plain reference for what filterRow computes.
void filterBytes(const int16_t* w, int count, const uint8_t* src, ptrdiff_t inStride, int begin,
                 int end, uint8_t* out) {
  for (int i = begin; i < end; ++i) {
    int32_t sum = 0;
    for (int k = 0; k < count; ++k) {
      sum += w[k] * src[i + k * inStride];
    }
    out[i] = clampByte(sum);
  }
}

// Two weights as one 32-bit lane: the low 16 bits multiply the first row, the high the second.
inline int32_t weightPair(const int16_t* w, int k, int count) {
  const int w1 = k + 1 < count ? w[k + 1] : 0;
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(w1)) << 16) |
                              static_cast<uint16_t>(w[k]));
}

#if defined(__x86_64__)
// The SSE2 loop below on 32 bytes at a time: every step stays within its 128-bit half, so each
// half computes exactly what the SSE2 loop does for its 16 bytes (the same bytes out). Halves the
// instructions of the stretch, the largest share of the processor time on small pictures.
// Returns how many bytes it did.
__attribute__((target("avx2"))) int filterRowAvx2(const int16_t* w, int count, const uint8_t* src,
                                                  ptrdiff_t inStride, int lineBytes, uint8_t* out) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i half = _mm256_set1_epi32(kWeightOne >> 1);
  int i = 0;
  for (; i + 32 <= lineBytes; i += 32) {
    __m256i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
    for (int k = 0; k < count; k += 2) {
      const uint8_t* p = src + i + k * inStride;
      const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
      const __m256i b =
          k + 1 < count ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + inStride)) : zero;
      const __m256i weights = _mm256_set1_epi32(weightPair(w, k, count));
      const __m256i lo = _mm256_unpacklo_epi8(a, b);
      const __m256i hi = _mm256_unpackhi_epi8(a, b);
      s0 = _mm256_add_epi32(s0, _mm256_madd_epi16(_mm256_unpacklo_epi8(lo, zero), weights));
      s1 = _mm256_add_epi32(s1, _mm256_madd_epi16(_mm256_unpackhi_epi8(lo, zero), weights));
      s2 = _mm256_add_epi32(s2, _mm256_madd_epi16(_mm256_unpacklo_epi8(hi, zero), weights));
      s3 = _mm256_add_epi32(s3, _mm256_madd_epi16(_mm256_unpackhi_epi8(hi, zero), weights));
    }
    s0 = _mm256_srai_epi32(_mm256_add_epi32(s0, half), kWeightBits);
    s1 = _mm256_srai_epi32(_mm256_add_epi32(s1, half), kWeightBits);
    s2 = _mm256_srai_epi32(_mm256_add_epi32(s2, half), kWeightBits);
    s3 = _mm256_srai_epi32(_mm256_add_epi32(s3, half), kWeightBits);
    const __m256i bytes =
        _mm256_packus_epi16(_mm256_packs_epi32(s0, s1), _mm256_packs_epi32(s2, s3));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), bytes);
  }
  return i;
}

// Initialised before main, possibly before the compiler's own detection has run: it asks itself.
const bool kHaveAvx2 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();
#endif

// One output row of a pass: `count` input rows, `inStride` apart, weighted and summed bytewise.
void filterRow(const int16_t* w, int count, const uint8_t* src, ptrdiff_t inStride, int lineBytes,
               uint8_t* out) {
  int i = 0;
#if defined(__x86_64__)
  if (kHaveAvx2) {
    i = filterRowAvx2(w, count, src, inStride, lineBytes, out);
  }
#endif
#if defined(__SSE2__)
  // Two rows at a time: their bytes interleaved as 16-bit pairs, so one pmaddwd does two
  // multiply-adds per lane into 32 bits. Integer sums, so the same bytes as filterBytes.
  const __m128i zero = _mm_setzero_si128();
  const __m128i half = _mm_set1_epi32(kWeightOne >> 1);
  for (; i + 16 <= lineBytes; i += 16) {
    __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
    for (int k = 0; k < count; k += 2) {
      const uint8_t* p = src + i + k * inStride;
      const bool pair = k + 1 < count;
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i b =
          pair ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + inStride)) : zero;
      const __m128i weights = _mm_set1_epi32(weightPair(w, k, count));
      const __m128i lo = _mm_unpacklo_epi8(a, b);
      const __m128i hi = _mm_unpackhi_epi8(a, b);
      s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), weights));
      s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), weights));
      s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), weights));
      s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), weights));
    }
    s0 = _mm_srai_epi32(_mm_add_epi32(s0, half), kWeightBits);
    s1 = _mm_srai_epi32(_mm_add_epi32(s1, half), kWeightBits);
    s2 = _mm_srai_epi32(_mm_add_epi32(s2, half), kWeightBits);
    s3 = _mm_srai_epi32(_mm_add_epi32(s3, half), kWeightBits);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(s0, s1), _mm_packs_epi32(s2, s3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
  }
#endif
  filterBytes(w, count, src, inStride, i, lineBytes, out);
}

// One filter pass down the columns of `in` (lines of `lineBytes` bytes, `inStride` apart): whole
// rows of bytes, so the multiply-adds vectorise. Output line j is written transposed: its pixel p
// goes to out + 3 * j + p * pixelStep, so the next pass (or the caller) again reads rows.
void filterLines(const AxisFilter& f, const uint8_t* in, ptrdiff_t inStride, int lineBytes,
                 uint8_t* out, ptrdiff_t pixelStep, std::vector<uint8_t>& line) {
  // Four lines at a time: their pixel p lies in 12 adjacent output bytes, written as two stores
  // rather than four 3-byte copies. Writing the transposed pixels otherwise took as long as all
  // the multiply-adds. Each line has a spare byte, so a 4-byte load of its last pixel stays inside.
  constexpr int kGroup = 4;
  const ptrdiff_t lineStep = lineBytes + 1;
  line.resize(static_cast<size_t>(kGroup * lineStep));
  int j = 0;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  for (; j + kGroup <= f.destSize; j += kGroup) {
    for (int g = 0; g < kGroup; ++g) {
      filterRow(&f.weights[f.offset[j + g]], f.count[j + g], in + f.first[j + g] * inStride,
                inStride, lineBytes, line.data() + g * lineStep);
    }
    const uint8_t* l = line.data();
    uint8_t* o = out + 3 * static_cast<ptrdiff_t>(j);
    for (int i = 0; i < lineBytes; i += 3, o += pixelStep) {
      uint32_t a, b, c, d;
      std::memcpy(&a, l + i, 4);
      std::memcpy(&b, l + lineStep + i, 4);
      std::memcpy(&c, l + 2 * lineStep + i, 4);
      std::memcpy(&d, l + 3 * lineStep + i, 4);
      const uint64_t first8 = (a & 0xFFFFFFu) | (static_cast<uint64_t>(b & 0xFFFFFFu) << 24) |
                              (static_cast<uint64_t>(c) << 48);
      const uint32_t last4 = ((c >> 16) & 0xFFu) | (d << 8);
      std::memcpy(o, &first8, 8);
      std::memcpy(o + 8, &last4, 4);
    }
  }
#endif
  for (; j < f.destSize; ++j) {
    filterRow(&f.weights[f.offset[j]], f.count[j], in + f.first[j] * inStride, inStride, lineBytes,
              line.data());
    const uint8_t* l = line.data();
    uint8_t* o = out + 3 * static_cast<ptrdiff_t>(j);
    for (int i = 0; i < lineBytes; i += 3, o += pixelStep) {
      std::memcpy(o, l + i, 3);
    }
  }
}

}  // namespace

void stretchInto(const Picture& source, uint8_t* dest, int destWidth, int destHeight,
                 int destStride, bool destBottomUp, StretchFilter filter, bool blockMeans) {
  if (source.empty() || source.stride < 3 * source.width ||
      source.bgr.size() < static_cast<size_t>(source.stride) * (source.height - 1) +
                              3 * static_cast<size_t>(source.width)) {
    throw std::invalid_argument("stretchInto: the source picture has no pixels");
  }
  if (dest == nullptr || destWidth < 1 || destHeight < 1 || destStride / 3 < destWidth) {
    throw std::invalid_argument("stretchInto: the destination size or stride is invalid");
  }
  const Plan& plan =
      cachedPlan(source.width, source.height, destWidth, destHeight, filter, blockMeans);
  const AxisFilter& fx = plan.x;
  const AxisFilter& fy = plan.y;

  // Scratch kept per thread: no allocation per picture once a thread has seen the sizes.
  thread_local std::vector<uint8_t> line;
  thread_local std::vector<uint8_t> columns;

  // Vertical pass first, into `columns`: the picture transposed, one row per source column.
  const int columnBytes = 3 * destHeight;
  columns.resize(static_cast<size_t>(columnBytes) * source.width);
  filterLines(fy, source.bgr.data(), source.stride, 3 * source.width, columns.data(), columnBytes,
              line);
  // Then the horizontal pass down those rows, transposed back into place.
  uint8_t* top = destBottomUp ? dest + static_cast<ptrdiff_t>(destHeight - 1) * destStride : dest;
  filterLines(fx, columns.data(), columnBytes, columnBytes, top,
              destBottomUp ? -static_cast<ptrdiff_t>(destStride) : destStride, line);

  // A huge source would otherwise pin its scratch for the thread's lifetime.
  constexpr size_t kKeepBytes = 4 << 20;
  if (columns.capacity() > kKeepBytes) {
    std::vector<uint8_t>().swap(columns);
  }
}

Picture stretch(const Picture& source, int width, int height, StretchFilter filter,
                bool blockMeans) {
  Picture p;
  if (width < 1 || height < 1) {
    throw std::invalid_argument("stretch: the size must be at least 1 x 1");
  }
  p.width = width;
  p.height = height;
  p.stride = 3 * width;
  p.bgr.resize(static_cast<size_t>(p.stride) * height);
  stretchInto(source, p.bgr.data(), width, height, p.stride, false, filter, blockMeans);
  return p;
}

}  // namespace vistrel::imaging
