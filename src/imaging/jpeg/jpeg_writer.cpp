#include "imaging/jpeg/jpeg_writer.h"

#include "common/whole_file.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

namespace vistrel::imaging {
using common::writeWholeFile;

namespace {

// libjpeg's own compression interface rather than TurboJPEG's: TurboJPEG 2.x reaches optimised
// Huffman tables only through a process-wide environment switch, while here each thread's encoder
// sets them per call. They make thumbnails of photos about 13% smaller at the same pixels, for a
// second pass over the coefficients that costs little at thumbnail sizes. 4:2:0 chroma: on
// 150-pixel thumbnails of photos its files are 16% smaller and 37% faster to encode than 4:4:4.
constexpr size_t kFirstCapacity = 64 * 1024;
// A buffer grown for one large picture is not kept for the thumbnails that follow.
constexpr size_t kKeptCapacity = 4 << 20;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void onError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void onMessage(j_common_ptr, int) {}

// The compressed file goes to one malloc'd buffer that grows by doubling and is kept between
// pictures, so a thread allocates nothing per thumbnail once it has seen the sizes.
struct Destination {
  jpeg_destination_mgr pub;
  unsigned char* buffer = nullptr;
  size_t capacity = 0;
};

bool grow(Destination& d, size_t capacity) {
  auto* bigger = static_cast<unsigned char*>(std::realloc(d.buffer, capacity));
  if (bigger == nullptr) {
    return false;
  }
  d.buffer = bigger;
  d.capacity = capacity;
  return true;
}

void initDestination(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<Destination*>(cinfo->dest);
  if (d->capacity < kFirstCapacity && !grow(*d, kFirstCapacity)) {
    ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
  }
  d->pub.next_output_byte = d->buffer;
  d->pub.free_in_buffer = d->capacity;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<Destination*>(cinfo->dest);
  const size_t used = d->capacity;  // called only when the whole buffer is full
  if (!grow(*d, 2 * d->capacity)) {
    ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
  }
  d->pub.next_output_byte = d->buffer + used;
  d->pub.free_in_buffer = d->capacity - used;
  return TRUE;
}

void termDestination(j_compress_ptr) {}

class Encoder {
 public:
  Encoder() {
    cinfo_.err = jpeg_std_error(&errors_.pub);
    errors_.pub.error_exit = onError;
    errors_.pub.emit_message = onMessage;
    if (setjmp(errors_.jump)) {
      return;  // out of memory: ready_ stays false
    }
    jpeg_create_compress(&cinfo_);
    destination_.pub.init_destination = initDestination;
    destination_.pub.empty_output_buffer = emptyOutputBuffer;
    destination_.pub.term_destination = termDestination;
    cinfo_.dest = &destination_.pub;
    ready_ = true;
  }
  ~Encoder() {
    if (ready_) {
      jpeg_destroy_compress(&cinfo_);
    }
    std::free(destination_.buffer);
  }
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  // Encodes bottom-up BGR rows `pitch` bytes apart. On success `data`/`size` hold the file until
  // the next call on this thread. Kept free of objects with destructors: errors leave by longjmp.
  bool encode(const uint8_t* bits, int width, int pitch, int height, int quality,
              std::string_view record, JpegTables tables, const uint8_t*& data, size_t& size) {
    if (!ready_) {
      return false;
    }
    if (setjmp(errors_.jump)) {
      jpeg_abort_compress(&cinfo_);
      return false;
    }
    cinfo_.image_width = static_cast<JDIMENSION>(width);
    cinfo_.image_height = static_cast<JDIMENSION>(height);
    cinfo_.input_components = 3;
    cinfo_.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo_);
    jpeg_set_quality(&cinfo_, quality, TRUE);
    cinfo_.optimize_coding = tables == JpegTables::Optimised ? TRUE : FALSE;
    cinfo_.dct_method = JDCT_ISLOW;
    cinfo_.comp_info[0].h_samp_factor = 2;
    cinfo_.comp_info[0].v_samp_factor = 2;
    for (int c = 1; c < 3; ++c) {
      cinfo_.comp_info[c].h_samp_factor = 1;
      cinfo_.comp_info[c].v_samp_factor = 1;
      // One pair of Huffman tables for all three components rather than a second pair for
      // chroma: at thumbnail sizes the second pair costs more bytes than it saves (the files of
      // bench/quality.sh came out 1.1% smaller, of 150-pixel thumbnails of small pictures 4.5%),
      // and building each optimal table costs about 0.1M instructions.
      cinfo_.comp_info[c].dc_tbl_no = 0;
      cinfo_.comp_info[c].ac_tbl_no = 0;
    }
    jpeg_start_compress(&cinfo_, TRUE);
    if (!record.empty()) {
      jpeg_write_marker(&cinfo_, JPEG_APP0 + 11, reinterpret_cast<const JOCTET*>(record.data()),
                        static_cast<unsigned>(record.size()));
    }
    constexpr int kRowsPerCall = 16;
    JSAMPROW rows[kRowsPerCall];
    while (cinfo_.next_scanline < cinfo_.image_height) {
      const int first = static_cast<int>(cinfo_.next_scanline);
      const int count = height - first < kRowsPerCall ? height - first : kRowsPerCall;
      for (int i = 0; i < count; ++i) {
        // The top row of the file is the last row in memory.
        rows[i] =
            const_cast<JSAMPROW>(bits + static_cast<ptrdiff_t>(height - 1 - first - i) * pitch);
      }
      jpeg_write_scanlines(&cinfo_, rows, static_cast<JDIMENSION>(count));
    }
    jpeg_finish_compress(&cinfo_);
    data = destination_.buffer;
    size = destination_.capacity - destination_.pub.free_in_buffer;
    return true;
  }

  void trim() {
    if (destination_.capacity > kKeptCapacity) {
      std::free(destination_.buffer);
      destination_.buffer = nullptr;
      destination_.capacity = 0;
    }
  }

 private:
  jpeg_compress_struct cinfo_{};
  ErrorManager errors_{};
  Destination destination_{};
  bool ready_ = false;
};

// True when the file is in place; otherwise `error` is the operating system's error number, or 0
// when the failure was not the system's (no memory for the name, for instance).
bool replaceFile(const std::string& fileName, const uint8_t* data, size_t size, int& error) {
  error = 0;
  try {
    writeWholeFile(std::filesystem::path(fileName),
                   std::string_view(reinterpret_cast<const char*>(data), size));
    return true;
  } catch (const std::system_error& e) {
    error = e.code().value();
  } catch (const std::exception&) {
  }
  return false;
}

}  // namespace

bool WriteJpegFile(cDIBSection& dib, const std::string& fileName, int32_t quality,
                   std::string_view record, int* osError, JpegTables tables) {
  if (osError != nullptr) {
    *osError = 0;
  }
  const uint8_t* bits = dib.DIBSectionBitsPtr();
  if (bits == nullptr || fileName.empty() || quality < 1 || quality > 100 ||
      record.size() > kMaxJpegRecordBytes) {
    return false;
  }
  // One encoder per kind of tables: the library keeps a table it finds set and builds an
  // optimised one in place, so an encoder that once optimised never writes standard tables again.
  thread_local Encoder encoders[2];
  Encoder& encoder = encoders[tables == JpegTables::Optimised ? 0 : 1];
  const uint8_t* jpeg = nullptr;
  size_t size = 0;
  bool ok = encoder.encode(bits, dib.Width(), dib.BytesPerScanLine(), dib.Height(), quality, record,
                           tables, jpeg, size);
  if (ok) {
    int error = 0;
    ok = replaceFile(fileName, jpeg, size, error);
    if (osError != nullptr) {
      *osError = error;
    }
  }
  encoder.trim();
  return ok;
}

}  // namespace vistrel::imaging
