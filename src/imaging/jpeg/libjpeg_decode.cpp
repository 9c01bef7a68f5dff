#include "imaging/jpeg/libjpeg_decode.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <csetjmp>

namespace vistrel::imaging {

namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char error[JMSG_LENGTH_MAX];
  char warning[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, e->error);
  std::longjmp(e->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) {
    return;  // trace messages
  }
  auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (cinfo->err->num_warnings++ == 0) {
    (*cinfo->err->format_message)(cinfo, e->warning);
  }
}

// Thousands of tiny scans would keep the decoder busy for minutes: refused as TurboJPEG does.
constexpr int kMaxScans = 500;

void onProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (cinfo->is_decompressor && d->input_scan_number > kMaxScans) {
    auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::snprintf(e->error, sizeof e->error, "more than %d scans", kMaxScans);
    std::longjmp(e->jump, 1);
  }
}

// Kept free of C++ objects with destructors: the decoder's errors leave it through longjmp.
bool decode(const uint8_t* data, size_t size, int num, int den, bool blockSmoothing, bool cmyk,
            uint8_t* out, int width, int height, size_t pitch, ErrorManager& jerr) {
  jpeg_decompress_struct cinfo;
  cinfo.err = jpeg_std_error(&jerr.pub);
  jerr.pub.error_exit = onError;
  jerr.pub.emit_message = onMessage;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_progress_mgr progress{};
  progress.progress_monitor = onProgress;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.scale_num = static_cast<unsigned>(num);
  cinfo.scale_denom = static_cast<unsigned>(den);
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  cinfo.do_block_smoothing = blockSmoothing ? TRUE : FALSE;
  jpeg_start_decompress(&cinfo);
  if (static_cast<int>(cinfo.output_width) != width ||
      static_cast<int>(cinfo.output_height) != height ||
      cinfo.output_components != (cmyk ? 4 : 3)) {
    std::snprintf(jerr.error, sizeof jerr.error, "the scaled size is not the expected one");
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out + static_cast<size_t>(cinfo.output_scanline) * pitch;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

bool decodeWithLibjpeg(const uint8_t* data, size_t size, int num, int den, bool blockSmoothing,
                       bool cmyk, uint8_t* out, int width, int height, size_t pitch,
                       std::string& error, std::string& warning) {
  ErrorManager jerr{};
  const bool ok =
      decode(data, size, num, den, blockSmoothing, cmyk, out, width, height, pitch, jerr);
  if (!ok) {
    error = jerr.error;
  } else if (jerr.pub.num_warnings > 0) {
    warning = jerr.warning;
  }
  return ok;
}

}  // namespace vistrel::imaging
