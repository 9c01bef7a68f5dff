#pragma once
// cDIBSection: one 24-bit device-independent bitmap whose pixel memory can be addressed
// directly, together with a memory surface (device_context.h) in which it stays selected, so
// that the same pixels can be blitted and read or written byte by byte.
//
// Pixel layout: bottom-up rows (the first row in memory is the bottom row of the picture),
// blue-green-red bytes, each row padded to a multiple of 4 bytes (BytesPerScanLine). Row r
// starts at DIBSectionBitsPtr() + r * BytesPerScanLine(); pixel x of it at offset 3 * x.
//
// One object is used on one thread at a time; different objects may be used on different
// threads at once (CopyToClipboard only where a clipboard is: see there).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "imaging/picture.h"
#include "imaging/surface/device_context.h"

namespace vistrel::imaging {

// How the imaging classes show a message to the person using the program. The application
// supplies one (a message box); tests supply a recorder. A library never opens a dialog itself.
class MessageNotifier {
 public:
  virtual ~MessageNotifier() = default;
  virtual void ShowMessage(const std::string& text) = 0;
};

// A uniform random number in [0, 1) each call.
using UniformRandom = std::function<double()>;

class cDIBSection {
 public:
  // Opaque bitmap handle: non-zero for a bitmap that exists, 0 for none.
  using Handle = uint32_t;

  // `notifier` (not owned, may be null: messages then go to the Qt log) must outlive the object.
  explicit cDIBSection(MessageNotifier* notifier = nullptr);
  ~cDIBSection();  // ClearUp
  cDIBSection(const cDIBSection&) = delete;
  cDIBSection& operator=(const cDIBSection&) = delete;
  // Moving keeps the pixels at their address; the moved-from object is empty.
  cDIBSection(cDIBSection&& other) noexcept;
  cDIBSection& operator=(cDIBSection&& other) noexcept;

  // Puts a copy of the picture on the system clipboard as a bitmap of Width() x Height().
  // With bAsDIB true (the default) it shows "I don't know how to put a DIB on the clipboard!
  // Copy as bitmap instead!!!" through the notifier and returns false. False as well when
  // there is no bitmap or the clipboard does not take the picture. Only a program with a window
  // system has a clipboard, on its GUI thread: the caller calls it there, as it would any widget.
  bool CopyToClipboard(bool bAsDIB = true);

  // Makes the pixel buffer (zeroed) of lWidth x lHeight for this object and returns its handle
  // in hDib (0 on failure). False for a size that is not positive or memory that cannot be had;
  // false too when the object already holds pixels (Create releases them first). `lhDC` may be
  // null: a 24-bit bitmap takes no palette from it. Throws OverflowError (common/numbers.h)
  // when a row or the whole image would not fit in 32 bits.
  bool CreateDIB(const DeviceContext* lhDC, int32_t lWidth, int32_t lHeight, Handle& hDib);

  // Sizes the bitmap to the picture and copies it in, top row on top. An empty or inconsistent
  // picture leaves the object empty. Callers that must know read hDib() or DIBSectionBitsPtr().
  void CreateFromPicture(const Picture& picThis);

  // Releases what is held, then makes a zeroed lWidth x lHeight bitmap selected in its own
  // memory surface. False (object empty: every handle 0, Width() and Height() 0) for a size that
  // is not positive or memory that cannot be had. Throws OverflowError as CreateDIB does.
  bool Create(int32_t lWidth, int32_t lHeight);

  // Bytes per row in memory: 3 * Width() rounded up to a multiple of 4. Throws OverflowError
  // when that does not fit in 32 bits.
  int32_t BytesPerScanLine() const;
  // Size in pixels of the bitmap held; 0 when there is none.
  int32_t Width() const;
  int32_t Height() const;

  // Copies into this bitmap, at its top left corner, the rectangle of `lhDC` at (lSrcLeft,
  // lSrcTop); a negative width or height means this bitmap's own. No scaling.
  void LoadPictureBlt(const DeviceContext& lhDC, int32_t lSrcLeft = 0, int32_t lSrcTop = 0,
                      int32_t lSrcWidth = -1, int32_t lSrcHeight = -1, uint32_t eRop = SRCCOPY);
  // Copies the rectangle of this bitmap at (lSrcLeft, lSrcTop) to (lDestLeft, lDestTop) of
  // `lhDC`; a negative width or height means this bitmap's own. No scaling: a different size
  // only crops or leaves parts uncovered.
  void PaintPicture(DeviceContext& lhDC, int32_t lDestLeft = 0, int32_t lDestTop = 0,
                    int32_t lDestWidth = -1, int32_t lDestHeight = -1, int32_t lSrcLeft = 0,
                    int32_t lSrcTop = 0, uint32_t eRop = SRCCOPY) const;

  // The memory surface the bitmap is selected in; null when there is none.
  DeviceContext* hdc() const { return memoryDc_.get(); }
  // The bitmap's handle; 0 when there is none.
  Handle hDib() const { return dibHandle_; }
  // First pixel byte (bottom row); nullptr when there is none. Stays at one address until
  // ClearUp (or Create, which starts with it).
  uint8_t* DIBSectionBitsPtr() const { return bits_.get(); }

  // Fills every pixel with random colours (blue 0, random green and red) or, with bGray, random
  // greys, from a generator seeded from the time of day. Padding bytes are left alone; an
  // object without a bitmap is left alone.
  void RandomiseBits(bool bGray = false);
  // The same with the caller's generator (numbers outside [0, 1) are clamped to 0..255).
  void RandomiseBits(bool bGray, const UniformRandom& random);

  // Releases the bitmap and the memory surface; every handle becomes 0, the size 0.
  void ClearUp();

  // A new bitmap of lNewWidth x lNewHeight (note: height first) made from this one by bilinear
  // interpolation, or an exact copy when the size is the same. Null when it cannot be made (a
  // size that is not positive) or this object holds no bitmap. Throws std::out_of_range when
  // this bitmap is 1 pixel wide or high and the size differs (there is no neighbour to
  // interpolate with).
  std::unique_ptr<cDIBSection> Resample(int32_t lNewHeight, int32_t lNewWidth) const;

 private:
  // Fills `dest` (already created at its final size) from this bitmap. Always false.
  bool BilinearResampleInto(cDIBSection& dest) const;

  BitmapBits bitmap() const;

  MessageNotifier* notifier_ = nullptr;
  Handle dibHandle_ = 0;
  BitmapBits savedBitmap_;
  std::unique_ptr<DeviceContext> memoryDc_;
  std::unique_ptr<uint8_t[]> bits_;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

}  // namespace vistrel::imaging
