#pragma once
// Test doubles for the border painter: a canvas that records what it is asked to draw and a
// client with fixed geometry.

#include <cstdint>
#include <ostream>
#include <vector>

#include "border/border_canvas.h"

namespace vistrel::border::testing {

struct DrawCall {
  double x1, y1, x2, y2;
  Colour colour;
  LineForm form;
  int16_t scaleMode = kScaleTwips;  // the canvas's mode when the call came

  bool operator==(const DrawCall&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const DrawCall& c) {
  return out << (c.form == LineForm::kOutline ? "outline (" : "line (") << c.x1 << ", " << c.y1
             << ")-(" << c.x2 << ", " << c.y2 << ") &H" << std::hex << c.colour << std::dec
             << " in mode " << c.scaleMode;
}

inline DrawCall lineCall(double x1, double y1, double x2, double y2, Colour colour) {
  return {x1, y1, x2, y2, colour, LineForm::kLine};
}
inline DrawCall outlineCall(double x1, double y1, double x2, double y2, Colour colour) {
  return {x1, y1, x2, y2, colour, LineForm::kOutline};
}

class RecordingCanvas : public BorderCanvas {
 public:
  explicit RecordingCanvas(int16_t scaleMode = kScaleTwips) : scaleMode_(scaleMode) {}

  int16_t ScaleMode() const override {
    ++scaleModeReads;
    return scaleMode_;
  }
  void setScaleMode(int16_t mode) override {
    scaleModeWrites.push_back(mode);
    scaleMode_ = mode;
  }
  void Line(double x1, double y1, double x2, double y2, Colour colour, LineForm form) override {
    calls.push_back({x1, y1, x2, y2, colour, form, scaleMode_});
  }

  bool untouched() const { return scaleModeReads == 0 && scaleModeWrites.empty() && calls.empty(); }

  std::vector<DrawCall> calls;
  std::vector<int16_t> scaleModeWrites;
  mutable int scaleModeReads = 0;

 private:
  int16_t scaleMode_;
};

// A control at a fixed place, in twips, on an optional container; it can be drawn on itself.
class FixedClient : public BorderClient {
 public:
  FixedClient(double left, double top, double width, double height, BorderCanvas* parent = nullptr)
      : left_(left), top_(top), width_(width), height_(height), parent_(parent) {}

  double Left() const override { return left_; }
  double Top() const override { return top_; }
  double Width() const override { return width_; }
  double Height() const override { return height_; }
  BorderCanvas* Parent() const override { return parent_; }
  double ScaleWidth() const override { return width_; }
  double ScaleHeight() const override { return height_; }
  BorderCanvas* asCanvas() override { return surface; }

  BorderCanvas* surface = nullptr;

 private:
  double left_, top_, width_, height_;
  BorderCanvas* parent_;
};

}  // namespace vistrel::border::testing
