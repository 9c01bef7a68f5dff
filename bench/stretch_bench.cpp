// The thumbnail stretch alone, on the sizes the Create run meets: a small picture decoded full
// size, a larger one shrunk further, and an enlargement. Each case is timed as the best of
// several runs (the machine is shared, so the best run is the least disturbed one).
//   stretch_bench [RUNS]
//       prints one line per case: "case=WxH->WxH us=T checksum=C" (T = microseconds per call)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "imaging/picture.h"
#include "imaging/surface/stretch.h"

using namespace vistrel::imaging;
using Clock = std::chrono::steady_clock;

namespace {

// Smooth gradients with some noise: what a photo looks like to a filter.
Picture photo(int width, int height) {
  Picture p;
  p.width = width;
  p.height = height;
  p.stride = 3 * width;
  p.bgr.resize(static_cast<size_t>(p.stride) * height);
  uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>(seed >> 28) - 8;
      uint8_t* px = p.row(y) + 3 * x;
      px[0] = static_cast<uint8_t>(std::clamp(x * 255 / width + noise, 0, 255));
      px[1] = static_cast<uint8_t>(std::clamp(y * 255 / height + noise, 0, 255));
      px[2] = static_cast<uint8_t>(std::clamp((x + y) * 127 / (width + height) + noise, 0, 255));
    }
  }
  return p;
}

struct Case {
  int width, height, destWidth, destHeight;
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 7;
  const Case cases[] = {{320, 240, 150, 112}, {640, 360, 150, 84}, {60, 40, 150, 100}};
  for (const Case& c : cases) {
    const Picture source = photo(c.width, c.height);
    // A bottom-up cDIBSection row: padded to a multiple of 4 bytes.
    const int stride = (3 * c.destWidth + 3) & ~3;
    std::vector<uint8_t> bits(static_cast<size_t>(stride) * c.destHeight);
    // Enough calls for about 0.2 s per run on this machine.
    int calls = 1;
    for (;;) {
      const auto start = Clock::now();
      for (int i = 0; i < calls; ++i) {
        stretchInto(source, bits.data(), c.destWidth, c.destHeight, stride, true);
      }
      if (std::chrono::duration<double>(Clock::now() - start).count() > 0.05) {
        calls *= 4;
        break;
      }
      calls *= 2;
    }
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
      const auto start = Clock::now();
      for (int i = 0; i < calls; ++i) {
        stretchInto(source, bits.data(), c.destWidth, c.destHeight, stride, true);
      }
      best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count() / calls);
    }
    uint64_t checksum = 1469598103934665603ull;
    for (const uint8_t b : bits) {
      checksum = (checksum ^ b) * 1099511628211ull;
    }
    std::printf("case=%dx%d->%dx%d us=%.2f checksum=%016llx\n", c.width, c.height, c.destWidth,
                c.destHeight, best * 1e6, static_cast<unsigned long long>(checksum));
  }
  return 0;
}
