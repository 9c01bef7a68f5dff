// Our thumbnails of a set of pictures, one at a time and timed each, for bench/quality.sh:
//   quality_bench OUTDIR BOX QUALITY FILTER MARGIN FILE...
// FILTER: lanczos3, lanczos2 or catmullrom (the stretch's kernel); MARGIN: the decode keeps at
// least MARGIN times the thumbnail's size before the stretch (the program's own: 0). Writes
// OUTDIR/th_<stem>.jpg and prints one line a picture:
//   <file> TAB <seconds> TAB <bytes> TAB <bytes with the standard Huffman tables>
// The last number encodes the same thumbnail through TurboJPEG's standard tables (untimed).
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "imaging/jpeg/jpeg_decode.h"
#include "imaging/jpeg/jpeg_writer.h"
#include "imaging/picture.h"
#include "imaging/surface/dib_section.h"
#include "imaging/surface/stretch.h"

using namespace vistrel::imaging;
namespace fs = std::filesystem;

namespace {

// The longer side meets `box`; the other keeps the aspect ratio, at least 1 pixel.
std::pair<int, int> fit(int width, int height, int box) {
  if (width >= height) {
    return {box,
            std::max(1, static_cast<int>(std::lround(static_cast<double>(height) * box / width)))};
  }
  return {std::max(1, static_cast<int>(std::lround(static_cast<double>(width) * box / height))),
          box};
}

unsigned long standardTablesBytes(tjhandle tj, const cDIBSection& dib, int quality) {
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int failed =
      tjCompress2(tj, dib.DIBSectionBitsPtr(), dib.Width(), dib.BytesPerScanLine(), dib.Height(),
                  TJPF_BGR, &out, &size, TJSAMP_420, quality, TJFLAG_BOTTOMUP);
  tjFree(out);
  return failed ? 0 : size;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7) {
    std::fprintf(stderr, "usage: quality_bench OUTDIR BOX QUALITY FILTER MARGIN FILE...\n");
    return 2;
  }
  const fs::path outDir = argv[1];
  const int box = std::atoi(argv[2]), quality = std::atoi(argv[3]);
  const std::string filterName = argv[4];
  const double margin = std::atof(argv[5]);
  const StretchFilter filter = filterName == "lanczos2"     ? StretchFilter::Lanczos2
                               : filterName == "catmullrom" ? StretchFilter::CatmullRom
                                                            : StretchFilter::Lanczos3;
  fs::create_directories(outDir);
  tjhandle tj = tjInitCompress();
  cDIBSection dib;
  for (int i = 6; i < argc; ++i) {
    const std::string file = argv[i];
    const auto start = std::chrono::steady_clock::now();
    int x = 0, y = 0;
    const LoadResult loaded = loadFitted(file, [&](const PictureInfo& info) {
      std::tie(x, y) = fit(info.width, info.height, box);
      if (margin <= 0) {
        return std::pair<int, int>(x, y);
      }
      // The loader keeps kShrinkMargin times the least size: ask for MARGIN times the fit.
      const double scale = margin / kShrinkMargin;
      return std::pair<int, int>(static_cast<int>(std::ceil(x * scale)),
                                 static_cast<int>(std::ceil(y * scale)));
    });
    if (!loaded.ok || !dib.Create(x, y)) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(), loaded.error.reason.c_str());
      continue;
    }
    // As the program does: a 1/8 decode's block averaging is undone (no other scale shrinks by
    // 6 or more).
    stretchInto(loaded.picture, dib.DIBSectionBitsPtr(), x, y, dib.BytesPerScanLine(), true, filter,
                loaded.info.width >= 6 * loaded.picture.width);
    const fs::path name = outDir / ("th_" + fs::path(file).stem().string() + ".jpg");
    if (!WriteJpegFile(dib, name.string(), quality)) {
      std::fprintf(stderr, "%s: not written\n", name.c_str());
      continue;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s\t%.6f\t%ju\t%lu\n", file.c_str(), seconds, fs::file_size(name),
                standardTablesBytes(tj, dib, quality));
  }
  tjDestroy(tj);
  return 0;
}
