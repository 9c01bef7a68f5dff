// The imaging pipeline of one thumbnail, timed over a set of pictures on one thread:
// probe, shrink-on-load, stretch into a cDIBSection, WriteJpegFile.
//   imaging_bench thumbs OUTDIR SIZE QUALITY FILE...
//       prints "pictures=N seconds=S cpu=C peakMB=M" (wall and processor seconds)
//   imaging_bench dc FILE...   progressive JPEGs shrunk to 1/8: the DC-scan decode against
//                              decoding every scan, both at 1/8
#include <sys/resource.h>
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/jpeg/jpeg_decode.h"
#include "imaging/jpeg/jpeg_stream.h"
#include "imaging/jpeg/jpeg_writer.h"
#include "imaging/picture.h"
#include "imaging/surface/dib_section.h"
#include "imaging/surface/stretch.h"

using namespace vistrel::imaging;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time used so far (user and system), in seconds.
double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// The longer side meets `box`; the other keeps the aspect ratio, at least 1 pixel.
void fit(int width, int height, int box, int& x, int& y) {
  if (width >= height) {
    x = box;
    y = std::max(1, static_cast<int>(std::lround(static_cast<double>(height) * box / width)));
  } else {
    y = box;
    x = std::max(1, static_cast<int>(std::lround(static_cast<double>(width) * box / height)));
  }
}

int thumbs(const std::filesystem::path& outDir, int box, int quality,
           const std::vector<std::string>& files) {
  std::filesystem::create_directories(outDir);
  cDIBSection dib;
  int done = 0;
  const auto start = Clock::now();
  const double cpuStart = cpuSeconds();
  for (const std::string& file : files) {
    const ProbeResult probed = probe(file);
    if (!probed.ok) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(), probed.error.reason.c_str());
      continue;
    }
    int x = 0, y = 0;
    fit(probed.info.width, probed.info.height, box, x, y);
    const LoadResult loaded = load(file, x, y);
    if (!loaded.ok) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(), loaded.error.reason.c_str());
      continue;
    }
    if (!dib.Create(x, y)) {
      std::fprintf(stderr, "%s: no bitmap\n", file.c_str());
      return 1;
    }
    stretchInto(loaded.picture, dib.DIBSectionBitsPtr(), x, y, dib.BytesPerScanLine(), true);
    const auto name = outDir / ("th_" + std::filesystem::path(file).stem().string() + ".jpg");
    if (!WriteJpegFile(dib, name.string(), quality)) {
      std::fprintf(stderr, "%s: not written\n", name.c_str());
      return 1;
    }
    ++done;
  }
  std::printf("pictures=%d seconds=%.3f cpu=%.3f peakMB=%ld\n", done, secondsSince(start),
              cpuSeconds() - cpuStart, peakMegabytes());
  return 0;
}

std::vector<uint8_t> readAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int dcScans(const std::vector<std::string>& files) {
  double ours = 0, everyScan = 0;
  size_t bytes = 0, keptBytes = 0;
  int count = 0;
  tjhandle tj = tjInitDecompress();
  for (const std::string& file : files) {
    const std::vector<uint8_t> data = readAll(file);
    std::vector<uint8_t> kept;
    if (!keepDcScans(data.data(), data.size(), kept)) {
      continue;
    }
    int w = 0, h = 0, sub = 0, cs = 0;
    tjDecompressHeader3(tj, data.data(), data.size(), &w, &h, &sub, &cs);
    // The least size that makes the loader pick 1/8.
    const int leastW = (w + 7) / 8 / 2, leastH = (h + 7) / 8 / 2;
    if (chooseShrink(w, h, leastW, leastH).den != 8) {
      continue;
    }
    std::vector<uint8_t> out(static_cast<size_t>((w + 7) / 8) * ((h + 7) / 8) * 4);
    for (int round = 0; round < 3; ++round) {
      auto start = Clock::now();
      tjDecompress2(tj, data.data(), data.size(), out.data(), (w + 7) / 8, 0, (h + 7) / 8, TJPF_BGR,
                    0);
      everyScan += secondsSince(start);
      start = Clock::now();
      const LoadResult r = load(file, leastW, leastH);
      ours += secondsSince(start);
      if (!r.ok) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), r.error.reason.c_str());
      }
    }
    bytes += data.size();
    keptBytes += kept.size();
    ++count;
  }
  tjDestroy(tj);
  std::printf(
      "progressive=%d kept=%.0f%% of the bytes; at 1/8: every scan %.3f s, our load %.3f s "
      "(%.1fx)\n",
      count, bytes ? 100.0 * keptBytes / bytes : 0.0, everyScan / 3, ours / 3,
      ours > 0 ? everyScan / ours : 0.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "thumbs" && argc >= 5) {
    return thumbs(argv[2], std::atoi(argv[3]), std::atoi(argv[4]),
                  std::vector<std::string>(argv + 5, argv + argc));
  }
  if (mode == "dc") {
    return dcScans(std::vector<std::string>(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "usage: imaging_bench thumbs OUTDIR SIZE QUALITY FILE... | dc FILE...\n");
  return 2;
}
