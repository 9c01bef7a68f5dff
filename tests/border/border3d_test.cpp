// The border painter against a recording canvas: which canvas it picks, every style's lines in
// twips, its errors and the 16-bit overflow, and the scale mode always put back.
#include "border/border3d.h"

#include <gtest/gtest.h>

#include <functional>
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
const std::vector<DrawCall> kLowered = {
    ln(1455, 3030, 4530, 3030, H), ln(4530, 1455, 4530, 3045, H), ln(1455, 1455, 4530, 1455, S),
    ln(1455, 1455, 1455, 3030, S), ln(1470, 3015, 4515, 3015, H), ln(4515, 1470, 4515, 3030, H),
    ln(1470, 1470, 4515, 1470, S), ln(1470, 1470, 1470, 3015, S), ln(1485, 3000, 4500, 3000, H),
    ln(4500, 1485, 4500, 3015, H), ln(1485, 1485, 4500, 1485, S), ln(1485, 1485, 1485, 3000, S),
};
// A border around the client of the worked examples (1500, 1500, 3000 x 1500 twips) on a
// container that starts in pixels, or around the same rectangle given as Left/Top/Width/Height.
struct Scene {
  RecordingCanvas canvas{kScalePixels};
  RecordingCanvas inside{kScalePixels};
  FixedClient client{1500, 1500, 3000, 1500, &canvas};
  FixedClient far{9000, 9000, 100, 100, &canvas};
  CBorder3D border{k15};
  Scene() {
    client.surface = &inside;
    border.setClient(&client);
  }
  void ownRectangle() {
    border.setLeft(1500);
    border.setTop(1500);
    border.setWidth(3000);
    border.setHeight(1500);
  }
};

TEST(CBorder3D, NewObjectHasTheDocumentedDefaults) {
  const CBorder3D b(k15);
  EXPECT_EQ(std::tuple(b.Client(), b.Canvas(), b.Style3D(), b.BevelInner(), b.BevelOuter(),
                       b.BevelWidth(), b.BorderWidth(), b.Left(), b.Top(), b.Width(), b.Height()),
            std::tuple(nullptr, nullptr, 0, 0, 2, 3, 2, 0, 0, 0, 0));
  EXPECT_EQ(std::tuple(b.Highlight(), b.Shadow(), b.Background(), b.ActOnNone()),
            std::tuple(H, S, 0x8000000Fu, false));
}

TEST(CBorder3D, EachStyleDrawsItsLinesInTwipsAndPutsTheScaleModeBack) {
  struct Case {
    const char* what;
    std::function<void(Scene&)> setUp;
    std::vector<DrawCall> onCanvas;
  };
  const Case cases[] = {
      {"0 without erasing", [](Scene& s) { s.border.setStyle3D(0); }, {}},
      {"0 erasing",
       [](Scene& s) {
         s.border.setActOnNone(true);
         s.border.setBackground(0x123456u);
       },
       {box(1485, 1485, 4500, 3000, 0x123456u)}},
      {"4 without an outer bevel hugs the client",
       [](Scene& s) {
         s.border.setCanvas(&s.canvas);
         s.border.setStyle3D(4);
         s.border.setBevelOuter(0);
         s.border.setBevelInner(1);
       },
       kLowered},
      {"4 with no bevels",
       [](Scene& s) {
         s.border.setCanvas(&s.canvas);
         s.border.setStyle3D(4);
         s.border.setBevelOuter(0);
       },
       {}},
      {"6 etched around its own rectangle, not the client's",
       [](Scene& s) {
         s.border.setClient(&s.far);
         s.border.setCanvas(&s.canvas);
         s.ownRectangle();
         s.border.setStyle3D(6);
       },
       {box(1470, 1470, 4500, 3000, S), box(1485, 1485, 4515, 3015, H)}},
      {"7 lowered bevel around its own rectangle, no client",
       [](Scene& s) {
         s.border.setClient(nullptr);
         s.border.setCanvas(&s.canvas);
         s.ownRectangle();
         s.border.setStyle3D(7);
         s.border.setBevelOuter(0);
         s.border.setBevelInner(1);
       },
       kLowered},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene s;
    c.setUp(s);
    s.border.Refresh();
    EXPECT_EQ(s.canvas.calls, c.onCanvas);
    EXPECT_TRUE(s.inside.calls.empty());
    for (const RecordingCanvas* used : {&s.canvas, &s.inside}) {
      for (const DrawCall& call : used->calls) {
        EXPECT_EQ(call.scaleMode, kScaleTwips) << call;
      }
      EXPECT_EQ(used->ScaleMode(), kScalePixels);
    }
    EXPECT_EQ(s.border.Canvas(), &s.canvas);  // a canvas found stays set
    EXPECT_EQ(s.canvas.scaleModeWrites, (std::vector<int16_t>{kScaleTwips, kScalePixels}));
  }
}

TEST(CBorder3D, ThinRaisedKeepsHorizontalAndVerticalPixelSizesApart) {
  RecordingCanvas canvas;
  FixedClient client(1200, 1000, 2400, 600, &canvas);
  CBorder3D border(TwipsPerPixel{12, 10});
  border.setClient(&client);
  border.setStyle3D(2);
  border.Refresh();
  EXPECT_EQ(canvas.calls,
            (std::vector<DrawCall>{box(1188, 990, 3600, 1600, S), ln(1188, 990, 3612, 990, H),
                                   ln(1188, 990, 1188, 1610, H)}));
  const CBorder3D degenerate(TwipsPerPixel{0, -3});
  EXPECT_EQ(degenerate.twipsPerPixelX(), 1);
  EXPECT_EQ(degenerate.twipsPerPixelY(), 1);
  const CBorder3D fromScreen;
  EXPECT_EQ(fromScreen.twipsPerPixelX(), screenTwipsPerPixel().x);
  EXPECT_GE(fromScreen.twipsPerPixelY(), 1);
}

TEST(CBorder3D, WhenItCannotTellWhereToPaintItRaisesAndTouchesNothing) {
  enum Setup { kNothing, kClientInContainer, kClientAlone, kCanvasOnly, kCanvasErasing };
  struct Case {
    Setup setup;
    std::vector<int16_t> styles;
    int32_t number;
  };
  const Case cases[] = {
      {kNothing, {0, 1, 2, 3, 4, 5, 6, 7, 8}, BorderError::kNotSet},
      // Styles 4, 6, 7, 8 do not say whether the client or its container is meant.
      {kClientInContainer, {4, 6, 7, 8}, BorderError::kAmbiguous},
      {kClientAlone, {1, 5}, BorderError::kNotSet},          // no container, cannot be drawn on
      {kCanvasOnly, {1, 2, 3, 4, 5}, BorderError::kNotSet},  // these frame a client
      {kCanvasErasing, {0}, BorderError::kNotSet},
  };
  EXPECT_EQ(BorderError::kNotSet, -2147220480);
  EXPECT_EQ(BorderError::kAmbiguous, -2147220479);
  for (const Case& c : cases) {
    for (int16_t style : c.styles) {
      SCOPED_TRACE(::testing::Message() << "setup " << c.setup << ", style " << style);
      RecordingCanvas canvas(kScalePixels);
      RecordingCanvas inside(kScalePixels);
      FixedClient client(1500, 1500, 3000, 1500, c.setup == kClientAlone ? nullptr : &canvas);
      client.surface = c.setup == kClientAlone ? nullptr : &inside;
      CBorder3D border(k15);
      if (c.setup == kClientInContainer || c.setup == kClientAlone) {
        border.setClient(&client);
      }
      if (c.setup == kCanvasOnly || c.setup == kCanvasErasing) {
        border.setCanvas(&canvas);
      }
      border.setActOnNone(c.setup == kCanvasErasing);
      border.setStyle3D(style);
      try {
        border.Refresh();
        ADD_FAILURE() << "Refresh did not throw";
      } catch (const BorderError& e) {
        EXPECT_EQ(e.number(), c.number);
        EXPECT_EQ(e.source(), "CBorder3D");
        EXPECT_EQ(e.description(), c.number == BorderError::kNotSet
                                       ? "Canvas and/or Client Properties not set."
                                       : "Canvas Property ambiguous.");
      }
      EXPECT_TRUE(canvas.untouched());
      EXPECT_TRUE(inside.untouched());
      if (c.setup != kCanvasOnly && c.setup != kCanvasErasing) {
        EXPECT_EQ(border.Canvas(), nullptr);
      }
    }
  }
}

TEST(CBorder3D, LeavingTheSixteenBitRangeStopsWhereItIsAndRestoresTheScaleMode) {
  struct Case {
    const char* what;
    std::function<void(Scene&)> setUp;
    std::vector<DrawCall> kept;  // empty: only the count below is checked
    size_t count;
    bool throws;
  };
  const Case cases[] = {
      // x2 = 31000 + 1753 = 32753 fits, but the bottom line's end x2 + 15 = 32768 does not.
      {"thin sunken at the edge",
       [](Scene& s) {
         s.client = FixedClient(31000, 1500, 1753, 1500, &s.canvas);
         s.border.setStyle3D(1);
       },
       {box(30985, 1485, 32753, 3000, S), ln(32753, 1485, 32753, 3015, H)},
       2,
       true},
      {"one pixel less fits",
       [](Scene& s) {
         s.client = FixedClient(31000, 1500, 1752, 1500, &s.canvas);
         s.border.setStyle3D(1);
       },
       {box(30985, 1485, 32752, 3000, S), ln(32752, 1485, 32752, 3015, H),
        ln(30985, 3000, 32767, 3000, H)},
       3,
       false},
      // y2 = 30000 + 2725 - 15 + 3 * 15 = 32755; the right side ends at 32770.
      {"inside a bevel the rings drawn stay",
       [](Scene& s) {
         s.border.setClient(nullptr);
         s.border.setCanvas(&s.canvas);
         s.border.setStyle3D(7);
         s.border.setTop(30000);
         s.border.setHeight(2725);
         s.border.setWidth(300);
       },
       {ln(-45, 29955, 330, 29955, H), ln(-45, 29955, -45, 32755, H),
        ln(-45, 32755, 330, 32755, S)},
       3,
       true},
      {"a client beyond the range",
       [](Scene& s) {
         s.client = FixedClient(40000, 1500, 300, 300, &s.canvas);
         s.border.setStyle3D(2);
       },
       {},
       0,
       true},
      // n = 2 * 16000 + 2 = 32002 still fits; n * 15 does not; at 16383 n itself does not.
      {"wide bevels",
       [](Scene& s) {
         s.border.setCanvas(&s.canvas);
         s.border.setStyle3D(4);
         s.border.setBevelInner(1);
         s.border.setBevelWidth(16000);
       },
       {},
       0,
       true},
      {"wider bevels",
       [](Scene& s) {
         s.border.setCanvas(&s.canvas);
         s.border.setStyle3D(4);
         s.border.setBevelWidth(16383);
       },
       {},
       0,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene s;
    c.setUp(s);
    if (c.throws) {
      try {
        s.border.Refresh();
        ADD_FAILURE() << "no overflow";
      } catch (const OverflowError& e) {
        EXPECT_NE(std::string(e.what()).find("CBorder3D"), std::string::npos) << e.what();
      }
    } else {
      s.border.Refresh();
    }
    EXPECT_EQ(s.canvas.calls.size(), c.count);
    if (!c.kept.empty()) {
      EXPECT_EQ(s.canvas.calls, c.kept);
    }
    EXPECT_EQ(s.canvas.ScaleMode(), kScalePixels);
  }
}

TEST(CBorder3D, SettingsOutOfRangeAreIgnored) {
  struct Case {
    void (CBorder3D::*set)(int16_t);
    int16_t (CBorder3D::*get)() const;
    std::vector<int16_t> kept, ignored;
  };
  const Case cases[] = {
      {&CBorder3D::setStyle3D, &CBorder3D::Style3D, {8, 0}, {9, -1}},
      {&CBorder3D::setBevelInner, &CBorder3D::BevelInner, {2, 0}, {3, -1}},
      {&CBorder3D::setBevelOuter, &CBorder3D::BevelOuter, {0, 1}, {3, -1}},
      {&CBorder3D::setBevelWidth, &CBorder3D::BevelWidth, {1, 300}, {0, -4}},
      {&CBorder3D::setBorderWidth, &CBorder3D::BorderWidth, {0, 7}, {-1}},
  };
  for (const Case& c : cases) {
    CBorder3D border(k15);
    for (int16_t value : c.kept) {
      (border.*c.set)(value);
      EXPECT_EQ((border.*c.get)(), value);
    }
    const int16_t last = c.kept.back();
    for (int16_t value : c.ignored) {
      (border.*c.set)(value);
      EXPECT_EQ((border.*c.get)(), last) << "after " << value;
    }
  }
}

}  // namespace
}  // namespace vistrel::border
