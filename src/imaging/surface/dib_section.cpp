#include "imaging/surface/dib_section.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QtGlobal>
#include <atomic>
#include <limits>
#include <new>
#include <utility>

#include "common/numbers.h"

namespace vistrel::imaging {
using common::decimalText;
using common::OverflowError;

namespace {

std::atomic<uint32_t> lastDibHandle{0};

cDIBSection::Handle newDibHandle() {
  cDIBSection::Handle h = 0;
  while (h == 0) {  // 0 means "none"; skip it when the counter wraps
    h = ++lastDibHandle;
  }
  return h;
}

constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

int32_t strideFor(int32_t width) {
  const int64_t stride = (static_cast<int64_t>(width) * 3 + 3) & ~int64_t{3};
  if (stride > kInt32Max || stride < 0) {
    throw OverflowError("overflow: a bitmap row of " + decimalText(width) +
                        " pixels does not fit in 32 bits");
  }
  return static_cast<int32_t>(stride);
}

// The picture's pixels as a surface can read them, or an empty view when the picture's fields do
// not describe a buffer that holds them.
BitmapBits pictureBits(const Picture& picture) {
  if (picture.empty() || picture.stride < 3 * static_cast<int64_t>(picture.width) ||
      static_cast<uint64_t>(picture.stride) * static_cast<uint64_t>(picture.height - 1) +
              3 * static_cast<uint64_t>(picture.width) >
          picture.bgr.size()) {
    return {};
  }
  // A surface only reads from its source, so the const_cast never leads to a write.
  return BitmapBits{const_cast<uint8_t*>(picture.bgr.data()), picture.width, picture.height,
                    picture.stride, false};
}

}  // namespace

cDIBSection::cDIBSection(MessageNotifier* notifier) : notifier_(notifier) {}

cDIBSection::~cDIBSection() {
  ClearUp();
}

cDIBSection::cDIBSection(cDIBSection&& other) noexcept {
  *this = std::move(other);
}

cDIBSection& cDIBSection::operator=(cDIBSection&& other) noexcept {
  if (this != &other) {
    ClearUp();
    notifier_ = other.notifier_;
    dibHandle_ = std::exchange(other.dibHandle_, 0);
    savedBitmap_ = std::exchange(other.savedBitmap_, BitmapBits{});
    memoryDc_ = std::move(other.memoryDc_);
    bits_ = std::move(other.bits_);
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
  }
  return *this;
}

BitmapBits cDIBSection::bitmap() const {
  if (!bits_) {
    return {};
  }
  return BitmapBits{bits_.get(), width_, height_, BytesPerScanLine(), true};
}

bool cDIBSection::CopyToClipboard(bool bAsDIB) {
  if (bAsDIB) {
    const std::string message =
        "I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!";
    if (notifier_ != nullptr) {
      notifier_->ShowMessage(message);
    } else {
      qWarning("%s", message.c_str());
    }
    return false;
  }
  if (!memoryDc_) {
    return false;
  }
  QImage image(width_, height_, QImage::Format_BGR888);
  if (image.isNull()) {
    return false;
  }
  DeviceContext screenCopy;
  const BitmapBits previous = screenCopy.SelectObject(
      BitmapBits{image.bits(), width_, height_, static_cast<int32_t>(image.bytesPerLine()), false});
  PaintPicture(screenCopy, 0, 0, -1, -1, 0, 0, SRCCOPY);
  screenCopy.SelectObject(previous);

  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setImage(image);
  const QMimeData* data = clipboard->mimeData();
  return data != nullptr && data->hasImage();
}

bool cDIBSection::CreateDIB(const DeviceContext* /*lhDC*/, int32_t lWidth, int32_t lHeight,
                            Handle& hDib) {
  hDib = 0;
  if (bits_ || lWidth <= 0 || lHeight <= 0) {
    return false;
  }
  const int64_t imageSize = static_cast<int64_t>(strideFor(lWidth)) * lHeight;
  if (imageSize > kInt32Max) {
    throw OverflowError("overflow: a bitmap of " + decimalText(lWidth) + " x " +
                        decimalText(lHeight) + " pixels does not fit in 32 bits");
  }
  // Zeroed, so that the padding at the end of each row is always 0.
  bits_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(imageSize)]());
  if (!bits_) {
    return false;
  }
  width_ = lWidth;
  height_ = lHeight;
  dibHandle_ = newDibHandle();
  hDib = dibHandle_;
  return true;
}

void cDIBSection::CreateFromPicture(const Picture& picThis) {
  const BitmapBits source = pictureBits(picThis);
  if (!Create(source.width, source.height)) {
    return;
  }
  DeviceContext pictureDc;
  const BitmapBits previous = pictureDc.SelectObject(source);
  LoadPictureBlt(pictureDc, 0, 0, -1, -1, SRCCOPY);
  pictureDc.SelectObject(previous);
}

bool cDIBSection::Create(int32_t lWidth, int32_t lHeight) {
  ClearUp();
  auto dc = std::make_unique<DeviceContext>();
  Handle handle = 0;
  if (!CreateDIB(dc.get(), lWidth, lHeight, handle)) {
    return false;
  }
  memoryDc_ = std::move(dc);
  savedBitmap_ = memoryDc_->SelectObject(bitmap());
  return true;
}

int32_t cDIBSection::BytesPerScanLine() const {
  return strideFor(width_);
}

int32_t cDIBSection::Width() const {
  return width_;
}

int32_t cDIBSection::Height() const {
  return height_;
}

void cDIBSection::LoadPictureBlt(const DeviceContext& lhDC, int32_t lSrcLeft, int32_t lSrcTop,
                                 int32_t lSrcWidth, int32_t lSrcHeight, uint32_t eRop) {
  if (!memoryDc_) {
    return;
  }
  BitBlt(*memoryDc_, 0, 0, lSrcWidth < 0 ? width_ : lSrcWidth,
         lSrcHeight < 0 ? height_ : lSrcHeight, &lhDC, lSrcLeft, lSrcTop, eRop);
}

void cDIBSection::PaintPicture(DeviceContext& lhDC, int32_t lDestLeft, int32_t lDestTop,
                               int32_t lDestWidth, int32_t lDestHeight, int32_t lSrcLeft,
                               int32_t lSrcTop, uint32_t eRop) const {
  if (!memoryDc_) {
    return;
  }
  BitBlt(lhDC, lDestLeft, lDestTop, lDestWidth < 0 ? width_ : lDestWidth,
         lDestHeight < 0 ? height_ : lDestHeight, memoryDc_.get(), lSrcLeft, lSrcTop, eRop);
}

void cDIBSection::ClearUp() {
  if (memoryDc_) {
    if (dibHandle_ != 0) {
      memoryDc_->SelectObject(savedBitmap_);
    }
    memoryDc_.reset();
  }
  bits_.reset();
  dibHandle_ = 0;
  savedBitmap_ = BitmapBits{};
  width_ = 0;
  height_ = 0;
}

}  // namespace vistrel::imaging
