// cDIBSection's pixel operations: bilinear resampling and random fills, working on the DIB's
// bytes in place.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <random>
#include <stdexcept>
#include <vector>

#include "common/numbers.h"
#include "imaging/surface/dib_section.h"

namespace vistrel::imaging {
using common::decimalText;
using common::roundHalfEven;

namespace {

uint8_t toByte(double value) {
  const double v = roundHalfEven(value);
  if (!(v > 0)) {  // NaN too
    return 0;
  }
  return static_cast<uint8_t>(std::min(v, 255.0));
}

// Where each destination column (or row) samples the source: the lower neighbour and the
// fraction towards the next one, in single precision as the positions are defined.
struct Sample {
  int32_t low;
  float fraction;
};

std::vector<Sample> samplePositions(int32_t sourceSize, int32_t destSize) {
  // The scale divides by the destination size, not size - 1, so the last destination pixel
  // samples a little before the last source pixel.
  const float scale =
      static_cast<float>(static_cast<double>(sourceSize - 1) / static_cast<double>(destSize));
  std::vector<Sample> samples(static_cast<size_t>(destSize));
  for (int32_t i = 0; i < destSize; ++i) {
    const float position = static_cast<float>(static_cast<double>(scale) * i);
    if (!std::isfinite(position)) {
      throw std::overflow_error("Resample: sample position is not a number");
    }
    const double low = std::floor(position);
    if (low < 0 || low + 1 >= sourceSize) {
      throw std::out_of_range("Resample: a picture " + decimalText(sourceSize) +
                              " pixel(s) across has no neighbour at " +
                              decimalText(static_cast<long long>(low) + 1) +
                              " to interpolate with");
    }
    samples[static_cast<size_t>(i)] = {static_cast<int32_t>(low),
                                       static_cast<float>(position - low)};
  }
  return samples;
}

double secondsSinceMidnight() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  const auto subSecond = now - std::chrono::system_clock::from_time_t(t);
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
         std::chrono::duration<double>(subSecond).count();
}

}  // namespace

std::unique_ptr<cDIBSection> cDIBSection::Resample(int32_t lNewHeight, int32_t lNewWidth) const {
  if (!bits_) {
    return nullptr;
  }
  auto result = std::make_unique<cDIBSection>(notifier_);
  if (!result->Create(lNewWidth, lNewHeight)) {
    return nullptr;
  }
  if (lNewWidth == width_ && lNewHeight == height_) {
    DeviceContext own;
    own.SelectObject(bitmap());
    result->LoadPictureBlt(memoryDc_ ? *memoryDc_ : own, 0, 0, -1, -1, SRCCOPY);
  } else {
    BilinearResampleInto(*result);
  }
  return result;
}

bool cDIBSection::BilinearResampleInto(cDIBSection& dest) const {
  if (!bits_ || !dest.bits_) {
    return false;
  }
  const std::vector<Sample> columns = samplePositions(width_, dest.width_);
  const std::vector<Sample> rows = samplePositions(height_, dest.height_);
  const size_t stride = static_cast<size_t>(BytesPerScanLine());
  const size_t destStride = static_cast<size_t>(dest.BytesPerScanLine());

  for (int32_t y = 0; y < dest.height_; ++y) {
    const Sample& row = rows[static_cast<size_t>(y)];
    const uint8_t* below = bits_.get() + stride * static_cast<size_t>(row.low);
    const uint8_t* above = below + stride;
    const double fy = row.fraction;
    uint8_t* out = dest.bits_.get() + destStride * static_cast<size_t>(y);
    for (int32_t x = 0; x < dest.width_; ++x) {
      const Sample& column = columns[static_cast<size_t>(x)];
      const size_t at = static_cast<size_t>(column.low) * 3;
      const double fx = column.fraction;
      for (size_t c = 0; c < 3; ++c) {
        // Each vertical pass is rounded to a whole number before the horizontal one.
        const double left = roundHalfEven((1 - fy) * below[at + c] + fy * above[at + c]);
        const double right = roundHalfEven((1 - fy) * below[at + 3 + c] + fy * above[at + 3 + c]);
        out[3 * static_cast<size_t>(x) + c] = toByte((1 - fx) * left + fx * right);
      }
    }
  }
  return false;
}

void cDIBSection::RandomiseBits(bool bGray) {
  std::mt19937_64 engine(static_cast<uint64_t>(secondsSinceMidnight() * 1e6));
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  RandomiseBits(bGray, [&] { return uniform(engine); });
}

void cDIBSection::RandomiseBits(bool bGray, const UniformRandom& random) {
  if (!bits_) {
    return;
  }
  const size_t stride = static_cast<size_t>(BytesPerScanLine());
  auto pixel = [&](int32_t x, int32_t y) {
    return bits_.get() + stride * static_cast<size_t>(y) + 3 * static_cast<size_t>(x);
  };
  if (bGray) {
    for (int32_t y = 0; y < height_; ++y) {
      for (int32_t x = 0; x < width_; ++x) {
        const uint8_t g = toByte(random() * 255);
        uint8_t* p = pixel(x, y);
        p[0] = p[1] = p[2] = g;
      }
    }
  } else {
    // Column by column, green drawn before red: the order in which the numbers are used.
    for (int32_t x = 0; x < width_; ++x) {
      for (int32_t y = 0; y < height_; ++y) {
        uint8_t* p = pixel(x, y);
        p[0] = 0;
        p[1] = toByte(random() * 255);
        p[2] = toByte(random() * 255);
      }
    }
  }
}

}  // namespace vistrel::imaging
