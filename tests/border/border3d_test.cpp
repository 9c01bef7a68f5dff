// The border painter against a recording canvas: which canvas it picks, every style's lines in
// twips, its errors and the 16-bit overflow, and the scale mode always put back.
#include "border/border3d.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>

#include "border/border_error.h"
#include "border/recording_canvas.h"
#include "common/numbers.h"

namespace vistrel::border {
using common::OverflowError;
namespace {

using testing::DrawCall;
using testing::FixedClient;
using testing::RecordingCanvas;
using Calls = std::vector<DrawCall>;

constexpr Colour H = 0x80000014u;  // default highlight
constexpr Colour S = 0x80000010u;  // default shadow
constexpr TwipsPerPixel k15{15, 15};

DrawCall ln(double x1, double y1, double x2, double y2, Colour c) {
  return testing::lineCall(x1, y1, x2, y2, c);
}
DrawCall box(double x1, double y1, double x2, double y2, Colour c) {
  return testing::outlineCall(x1, y1, x2, y2, c);
}

// The lowered bevel, 3 pixels, on (1455, 1455)-(4530, 3030): rings i = 0, 1, 2.
const Calls kLowered = {
    ln(1455, 3030, 4530, 3030, H), ln(4530, 1455, 4530, 3045, H), ln(1455, 1455, 4530, 1455, S),
    ln(1455, 1455, 1455, 3030, S), ln(1470, 3015, 4515, 3015, H), ln(4515, 1470, 4515, 3030, H),
    ln(1470, 1470, 4515, 1470, S), ln(1470, 1470, 1470, 3015, S), ln(1485, 3000, 4500, 3000, H),
    ln(4500, 1485, 4500, 3015, H), ln(1485, 1485, 4500, 1485, S), ln(1485, 1485, 1485, 3000, S),
};

// A border set up for Refresh. By default it frames a client at (1500, 1500), 3000 x 1500
// twips, on a container that starts in pixels, and finds its canvas through the client.
struct Config {
  int16_t style = 0, outer = 2, inner = 0, bevelWidth = 3;
  bool canvas = false;                                   // the container given as the canvas
  std::array<double, 4> client{1500, 1500, 3000, 1500};  // width 0: no client
  bool alone = false;                                    // a client with no container or surface
  std::array<int16_t, 4> own{};                          // the border's own Left/Top/Width/Height
  bool erase = false;                                    // ActOnNone, on background &H123456
};

struct Scene {
  explicit Scene(const Config& s)
      : client(s.client[0], s.client[1], s.client[2], s.client[3], s.alone ? nullptr : &canvas) {
    client.surface = s.alone ? nullptr : &inside;
    border.setClient(s.client[2] > 0 ? &client : nullptr);
    border.setCanvas(s.canvas ? &canvas : nullptr);
    border.setStyle3D(s.style);
    border.setBevelOuter(s.outer);
    border.setBevelInner(s.inner);
    border.setBevelWidth(s.bevelWidth);
    border.setLeft(s.own[0]);
    border.setTop(s.own[1]);
    border.setWidth(s.own[2]);
    border.setHeight(s.own[3]);
    border.setActOnNone(s.erase);
    border.setBackground(0x123456u);
  }
  RecordingCanvas canvas{kScalePixels};
  RecordingCanvas inside{kScalePixels};
  FixedClient client;
  CBorder3D border{k15};
};

TEST(CBorder3D, NewObjectHasTheDocumentedDefaults) {
  const CBorder3D b(k15);
  EXPECT_EQ(std::tuple(b.Client(), b.Canvas(), b.Style3D(), b.BevelInner(), b.BevelOuter(),
                       b.BevelWidth(), b.BorderWidth(), b.Left(), b.Top(), b.Width(), b.Height()),
            std::tuple(nullptr, nullptr, 0, 0, 2, 3, 2, 0, 0, 0, 0));
  EXPECT_EQ(std::tuple(b.Highlight(), b.Shadow(), b.Background(), b.ActOnNone()),
            std::tuple(H, S, 0x8000000Fu, false));
}

// Each case's lines in twips on the canvas, nothing on the client's own surface, and the
// canvas's scale mode put back, also when the border leaves the 16-bit range part-way.
TEST(CBorder3D, EachStyleDrawsItsLinesInTwipsAndPutsTheScaleModeBack) {
  const std::array<int16_t, 4> own{1500, 1500, 3000, 1500};
  const struct {
    const char* what;
    Config setup;
    Calls drawn;
    bool overflows = false;
  } cases[] = {
      {"0 without erasing", {}, {}},
      {"0 erasing", {.erase = true}, {box(1485, 1485, 4500, 3000, 0x123456u)}},
      {"4 without an outer bevel hugs the client",
       {.style = 4, .outer = 0, .inner = 1, .canvas = true},
       kLowered},
      {"4 with no bevels", {.style = 4, .outer = 0, .canvas = true}, {}},
      {"6 etched around its own rectangle, not the client's",
       {.style = 6, .canvas = true, .client = {9000, 9000, 100, 100}, .own = own},
       {box(1470, 1470, 4500, 3000, S), box(1485, 1485, 4515, 3015, H)}},
      {"7 lowered bevel around its own rectangle, no client",
       {.style = 7, .outer = 0, .inner = 1, .canvas = true, .client = {}, .own = own},
       kLowered},
      // x2 = 31000 + 1753 = 32753 fits, but the bottom line's end x2 + 15 = 32768 does not.
      {"thin sunken at the edge",
       {.style = 1, .client = {31000, 1500, 1753, 1500}},
       {box(30985, 1485, 32753, 3000, S), ln(32753, 1485, 32753, 3015, H)},
       true},
      {"one pixel less fits",
       {.style = 1, .client = {31000, 1500, 1752, 1500}},
       {box(30985, 1485, 32752, 3000, S), ln(32752, 1485, 32752, 3015, H),
        ln(30985, 3000, 32767, 3000, H)}},
      // y2 = 30000 + 2725 - 15 + 3 * 15 = 32755; the right side ends at 32770.
      {"inside a bevel the rings drawn stay",
       {.style = 7, .canvas = true, .client = {}, .own = {0, 30000, 300, 2725}},
       {ln(-45, 29955, 330, 29955, H), ln(-45, 29955, -45, 32755, H),
        ln(-45, 32755, 330, 32755, S)},
       true},
      {"a client beyond the range", {.style = 2, .client = {40000, 1500, 300, 300}}, {}, true},
      // n = 2 * 16000 + 2 = 32002 still fits; n * 15 does not; at 16383 n itself does not.
      {"wide bevels", {.style = 4, .inner = 1, .bevelWidth = 16000, .canvas = true}, {}, true},
      {"wider bevels", {.style = 4, .bevelWidth = 16383, .canvas = true}, {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Scene s(c.setup);
    try {
      s.border.Refresh();
      EXPECT_FALSE(c.overflows) << "no overflow";
      EXPECT_EQ(s.canvas.scaleModeWrites, (std::vector<int16_t>{kScaleTwips, kScalePixels}));
    } catch (const OverflowError& e) {
      EXPECT_TRUE(c.overflows) << e.what();
      EXPECT_NE(std::string(e.what()).find("CBorder3D"), std::string::npos) << e.what();
    }
    EXPECT_EQ(s.canvas.calls, c.drawn);
    EXPECT_TRUE(s.inside.calls.empty());
    for (const DrawCall& call : s.canvas.calls) {
      EXPECT_EQ(call.scaleMode, kScaleTwips) << call;
    }
    EXPECT_EQ(s.canvas.ScaleMode(), kScalePixels);
    EXPECT_EQ(s.inside.ScaleMode(), kScalePixels);
    EXPECT_EQ(s.border.Canvas(), &s.canvas);  // a canvas found stays set
  }
}

TEST(CBorder3D, ThinRaisedKeepsHorizontalAndVerticalPixelSizesApart) {
  RecordingCanvas canvas;
  FixedClient client(1200, 1000, 2400, 600, &canvas);
  CBorder3D border(TwipsPerPixel{12, 10});
  border.setClient(&client);
  border.setStyle3D(2);
  border.Refresh();
  EXPECT_EQ(canvas.calls, (Calls{box(1188, 990, 3600, 1600, S), ln(1188, 990, 3612, 990, H),
                                 ln(1188, 990, 1188, 1610, H)}));
  const CBorder3D degenerate(TwipsPerPixel{0, -3});
  EXPECT_EQ(std::tuple(degenerate.twipsPerPixelX(), degenerate.twipsPerPixelY()), std::tuple(1, 1));
  const CBorder3D fromScreen;
  EXPECT_EQ(fromScreen.twipsPerPixelX(), screenTwipsPerPixel().x);
  EXPECT_GE(fromScreen.twipsPerPixelY(), 1);
}

TEST(CBorder3D, WhenItCannotTellWhereToPaintItRaisesAndTouchesNothing) {
  const struct {
    Config setup;
    std::vector<int16_t> styles;
    int32_t number;
  } cases[] = {
      {{.client = {}}, {0, 1, 2, 3, 4, 5, 6, 7, 8}, BorderError::kNotSet},
      // Styles 4, 6, 7, 8 do not say whether the client or its container is meant.
      {{}, {4, 6, 7, 8}, BorderError::kAmbiguous},
      {{.alone = true}, {1, 5}, BorderError::kNotSet},  // nothing to draw on
      {{.canvas = true, .client = {}},
       {1, 2, 3, 4, 5},
       BorderError::kNotSet},  // these frame a client
      {{.canvas = true, .client = {}, .erase = true}, {0}, BorderError::kNotSet},
  };
  EXPECT_EQ(BorderError::kNotSet, -2147220480);
  EXPECT_EQ(BorderError::kAmbiguous, -2147220479);
  for (const auto& c : cases) {
    for (int16_t style : c.styles) {
      Config setup = c.setup;
      setup.style = style;
      Scene s(setup);
      SCOPED_TRACE(::testing::Message() << "style " << style << ", canvas " << setup.canvas);
      try {
        s.border.Refresh();
        ADD_FAILURE() << "Refresh did not throw";
      } catch (const BorderError& e) {
        EXPECT_EQ(
            std::tuple(e.number(), e.source(), e.description()),
            std::tuple(c.number, "CBorder3D",
                       c.number == BorderError::kNotSet ? "Canvas and/or Client Properties not set."
                                                        : "Canvas Property ambiguous."));
      }
      EXPECT_TRUE(s.canvas.untouched() && s.inside.untouched());
      EXPECT_EQ(s.border.Canvas(), setup.canvas ? &s.canvas : nullptr);
    }
  }
}

TEST(CBorder3D, SettingsOutOfRangeAreIgnored) {
  const struct {
    void (CBorder3D::*set)(int16_t);
    int16_t (CBorder3D::*get)() const;
    std::vector<int16_t> kept, ignored;
  } cases[] = {
      {&CBorder3D::setStyle3D, &CBorder3D::Style3D, {8, 0}, {9, -1}},
      {&CBorder3D::setBevelInner, &CBorder3D::BevelInner, {2, 0}, {3, -1}},
      {&CBorder3D::setBevelOuter, &CBorder3D::BevelOuter, {0, 1}, {3, -1}},
      {&CBorder3D::setBevelWidth, &CBorder3D::BevelWidth, {1, 300}, {0, -4}},
      {&CBorder3D::setBorderWidth, &CBorder3D::BorderWidth, {0, 7}, {-1}},
  };
  for (const auto& c : cases) {
    CBorder3D border(k15);
    for (int16_t value : c.kept) {
      (border.*c.set)(value);
      EXPECT_EQ((border.*c.get)(), value);
    }
    for (int16_t value : c.ignored) {
      (border.*c.set)(value);
      EXPECT_EQ((border.*c.get)(), c.kept.back()) << "after " << value;
    }
  }
}

}  // namespace
}  // namespace vistrel::border
