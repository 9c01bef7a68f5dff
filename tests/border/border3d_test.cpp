#include "border/border3d.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "border/border_error.h"
#include "border/recording_canvas.h"
#include "common/numbers.h"

namespace vistrel::border {
using common::OverflowError;
namespace {

using testing::DrawCall;
using testing::FixedClient;
using testing::lineCall;
using testing::outlineCall;
using testing::RecordingCanvas;

constexpr Colour kHighlight = 0x80000014u;
constexpr Colour kShadow = 0x80000010u;
constexpr Colour kBackground = 0x8000000Fu;
constexpr TwipsPerPixel k15{15, 15};

void expectCalls(const std::vector<DrawCall>& actual, const std::vector<DrawCall>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i], expected[i]) << "call " << i;
  }
}

TEST(CBorder3D, NewObjectHasTheDocumentedDefaults) {
  const CBorder3D border(k15);
  EXPECT_EQ(border.Client(), nullptr);
  EXPECT_EQ(border.Canvas(), nullptr);
  EXPECT_EQ(border.Style3D(), 0);
  EXPECT_EQ(border.BevelInner(), 0);
  EXPECT_EQ(border.BevelOuter(), 2);
  EXPECT_EQ(border.BevelWidth(), 3);
  EXPECT_EQ(border.BorderWidth(), 2);
  EXPECT_EQ(border.Left(), 0);
  EXPECT_EQ(border.Top(), 0);
  EXPECT_EQ(border.Width(), 0);
  EXPECT_EQ(border.Height(), 0);
  EXPECT_EQ(border.Highlight(), 0x80000014u);
  EXPECT_EQ(border.Shadow(), 0x80000010u);
  EXPECT_EQ(border.Background(), 0x8000000Fu);
  EXPECT_FALSE(border.ActOnNone());
}

TEST(CBorder3D, TakesTwipsPerPixelFromTheScreenUnlessGiven) {
  const TwipsPerPixel screen = screenTwipsPerPixel();
  EXPECT_GE(screen.x, 1);
  EXPECT_GE(screen.y, 1);
  const CBorder3D fromScreen;
  EXPECT_EQ(fromScreen.twipsPerPixelX(), screen.x);
  EXPECT_EQ(fromScreen.twipsPerPixelY(), screen.y);
  const CBorder3D given(TwipsPerPixel{12, 10});
  EXPECT_EQ(given.twipsPerPixelX(), 12);
  EXPECT_EQ(given.twipsPerPixelY(), 10);
  const CBorder3D degenerate(TwipsPerPixel{0, -3});
  EXPECT_EQ(degenerate.twipsPerPixelX(), 1);
  EXPECT_EQ(degenerate.twipsPerPixelY(), 1);
}

TEST(CBorder3D, WritersIgnoreOutOfRangeValues) {
  struct Case {
    const char* property;
    std::function<void(CBorder3D&, int16_t)> let;
    std::function<int16_t(const CBorder3D&)> get;
    int16_t value;
    bool stored;
  };
  const Case cases[] = {
      {"Style3D", &CBorder3D::setStyle3D, &CBorder3D::Style3D, 8, true},
      {"Style3D", &CBorder3D::setStyle3D, &CBorder3D::Style3D, 9, false},
      {"Style3D", &CBorder3D::setStyle3D, &CBorder3D::Style3D, -1, false},
      {"BevelInner", &CBorder3D::setBevelInner, &CBorder3D::BevelInner, 2, true},
      {"BevelInner", &CBorder3D::setBevelInner, &CBorder3D::BevelInner, 3, false},
      {"BevelInner", &CBorder3D::setBevelInner, &CBorder3D::BevelInner, -1, false},
      {"BevelOuter", &CBorder3D::setBevelOuter, &CBorder3D::BevelOuter, 0, true},
      {"BevelOuter", &CBorder3D::setBevelOuter, &CBorder3D::BevelOuter, 3, false},
      {"BevelWidth", &CBorder3D::setBevelWidth, &CBorder3D::BevelWidth, 1, true},
      {"BevelWidth", &CBorder3D::setBevelWidth, &CBorder3D::BevelWidth, 0, false},
      {"BevelWidth", &CBorder3D::setBevelWidth, &CBorder3D::BevelWidth, -4, false},
      {"BorderWidth", &CBorder3D::setBorderWidth, &CBorder3D::BorderWidth, 0, true},
      {"BorderWidth", &CBorder3D::setBorderWidth, &CBorder3D::BorderWidth, -1, false},
      {"Left", &CBorder3D::setLeft, &CBorder3D::Left, -32768, true},
      {"Top", &CBorder3D::setTop, &CBorder3D::Top, 32767, true},
      {"Width", &CBorder3D::setWidth, &CBorder3D::Width, -5, true},
      {"Height", &CBorder3D::setHeight, &CBorder3D::Height, 1234, true},
  };
  for (const Case& c : cases) {
    CBorder3D border(k15);
    const int16_t before = c.get(border);
    c.let(border, c.value);
    EXPECT_EQ(c.get(border), c.stored ? c.value : before) << c.property << " = " << c.value;
  }
}

TEST(CBorder3D, ColoursAndActOnNoneAreStoredUnchanged) {
  CBorder3D border(k15);
  border.setHighlight(0x00FFFFFFu);
  border.setShadow(0xFF000001u);
  border.setBackground(0u);
  border.setActOnNone(true);
  EXPECT_EQ(border.Highlight(), 0x00FFFFFFu);
  EXPECT_EQ(border.Shadow(), 0xFF000001u);
  EXPECT_EQ(border.Background(), 0u);
  EXPECT_TRUE(border.ActOnNone());
}

void expectBorderError(CBorder3D& border, int32_t number, const char* description) {
  try {
    border.Refresh();
    ADD_FAILURE() << "Refresh did not throw";
  } catch (const BorderError& e) {
    EXPECT_EQ(e.number(), number);
    EXPECT_EQ(e.source(), "CBorder3D");
    EXPECT_EQ(e.description(), description);
  }
}

TEST(CBorder3D, RefreshWithoutCanvasOrClientRaisesNotSet) {
  EXPECT_EQ(BorderError::kNotSet, -2147220480);
  EXPECT_EQ(BorderError::kAmbiguous, -2147220479);
  for (int16_t style = 0; style <= 8; ++style) {
    CBorder3D border(k15);
    border.setStyle3D(style);
    expectBorderError(border, BorderError::kNotSet, "Canvas and/or Client Properties not set.");
    EXPECT_EQ(border.Canvas(), nullptr);
  }
}

TEST(CBorder3D, RefreshWithOnlyAClientAndStyle4To8ExceptFiveIsAmbiguous) {
  for (int16_t style : {4, 6, 7, 8}) {
    RecordingCanvas parent(kScalePixels);
    RecordingCanvas inside(kScalePixels);
    FixedClient client(1500, 1500, 3000, 1500, &parent);
    client.surface = &inside;
    CBorder3D border(k15);
    border.setClient(&client);
    border.setStyle3D(style);
    expectBorderError(border, BorderError::kAmbiguous, "Canvas Property ambiguous.");
    EXPECT_EQ(border.Canvas(), nullptr) << style;
    EXPECT_TRUE(parent.untouched()) << style;
    EXPECT_TRUE(inside.untouched()) << style;
  }
}

TEST(CBorder3D, RefreshPicksTheClientsContainerForStyle3AndKeepsIt) {
  RecordingCanvas parent;
  RecordingCanvas inside;
  FixedClient client(1500, 1500, 3000, 1500, &parent);
  client.surface = &inside;
  CBorder3D border(k15);
  border.setClient(&client);
  border.setStyle3D(3);
  border.Refresh();
  EXPECT_EQ(border.Canvas(), &parent);
  EXPECT_EQ(parent.calls.size(), 2u);
  EXPECT_TRUE(inside.untouched());
  // The canvas stays set, so style 4 now needs no guessing.
  border.setStyle3D(4);
  border.Refresh();
  EXPECT_EQ(parent.calls.size(), 2u + 12u);
}

TEST(CBorder3D, RefreshPicksTheClientItselfForStyle5) {
  RecordingCanvas parent;
  RecordingCanvas inside(kScalePixels);
  FixedClient client(1500, 1500, 3000, 1500, &parent);
  client.surface = &inside;
  CBorder3D border(k15);
  border.setClient(&client);
  border.setStyle3D(5);
  border.Refresh();
  EXPECT_EQ(border.Canvas(), &inside);
  EXPECT_TRUE(parent.untouched());
  // A raised bevel on (0, 0)-(ScaleWidth - px, ScaleHeight - py); no inner bevel by default.
  ASSERT_EQ(inside.calls.size(), 12u);
  EXPECT_EQ(inside.calls[0], lineCall(0, 0, 2985, 0, kHighlight));
  EXPECT_EQ(inside.calls[3], lineCall(2985, 0, 2985, 1500, kShadow));
  EXPECT_EQ(inside.scaleModeWrites, (std::vector<int16_t>{kScaleTwips, kScalePixels}));
}

TEST(CBorder3D, AClientThatCannotGiveACanvasRaisesNotSet) {
  for (int16_t style : {1, 5}) {
    FixedClient client(1500, 1500, 3000, 1500);  // no container, not drawable
    CBorder3D border(k15);
    border.setClient(&client);
    border.setStyle3D(style);
    expectBorderError(border, BorderError::kNotSet, "Canvas and/or Client Properties not set.");
    EXPECT_EQ(border.Canvas(), nullptr);
  }
}

TEST(CBorder3D, StylesThatFrameTheClientNeedOneBeforeTouchingTheCanvas) {
  for (int16_t style = 1; style <= 5; ++style) {
    RecordingCanvas canvas;
    CBorder3D border(k15);
    border.setCanvas(&canvas);
    border.setStyle3D(style);
    expectBorderError(border, BorderError::kNotSet, "Canvas and/or Client Properties not set.");
    EXPECT_TRUE(canvas.untouched()) << style;
  }
  RecordingCanvas canvas;
  CBorder3D border(k15);
  border.setCanvas(&canvas);
  border.setActOnNone(true);
  expectBorderError(border, BorderError::kNotSet, "Canvas and/or Client Properties not set.");
  EXPECT_TRUE(canvas.untouched());
}

// The client of the worked examples: Left 1500, Top 1500, Width 3000, Height 1500 twips on a
// canvas that starts in pixels; 15 twips per pixel; no canvas set.
class ExampleClient : public ::testing::Test {
 protected:
  ExampleClient() { border.setClient(&client); }

  RecordingCanvas canvas{kScalePixels};
  FixedClient client{1500, 1500, 3000, 1500, &canvas};
  CBorder3D border{k15};
};

TEST_F(ExampleClient, ThinSunkenLineByLine) {
  border.setStyle3D(1);
  border.Refresh();
  expectCalls(canvas.calls, {
                                outlineCall(1485, 1485, 4500, 3000, kShadow),
                                lineCall(4500, 1485, 4500, 3015, kHighlight),
                                lineCall(1485, 3000, 4515, 3000, kHighlight),
                            });
  EXPECT_EQ(canvas.scaleModeWrites, (std::vector<int16_t>{kScaleTwips, kScalePixels}));
}

TEST(CBorder3D, ThinRaisedKeepsHorizontalAndVerticalPixelSizesApart) {
  RecordingCanvas canvas;
  FixedClient client(1200, 1000, 2400, 600, &canvas);
  CBorder3D border(TwipsPerPixel{12, 10});
  border.setClient(&client);
  border.setStyle3D(2);
  border.Refresh();
  expectCalls(canvas.calls, {
                                outlineCall(1188, 990, 3600, 1600, kShadow),
                                lineCall(1188, 990, 3612, 990, kHighlight),
                                lineCall(1188, 990, 1188, 1610, kHighlight),
                            });
}

// The lowered bevel, 3 pixels, on (1455, 1455)-(4530, 3030): rings i = 0, 1, 2.
const std::vector<DrawCall> kLoweredAroundTheClient = {
    lineCall(1455, 3030, 4530, 3030, kHighlight), lineCall(4530, 1455, 4530, 3045, kHighlight),
    lineCall(1455, 1455, 4530, 1455, kShadow),    lineCall(1455, 1455, 1455, 3030, kShadow),
    lineCall(1470, 3015, 4515, 3015, kHighlight), lineCall(4515, 1470, 4515, 3030, kHighlight),
    lineCall(1470, 1470, 4515, 1470, kShadow),    lineCall(1470, 1470, 1470, 3015, kShadow),
    lineCall(1485, 3000, 4500, 3000, kHighlight), lineCall(4500, 1485, 4500, 3015, kHighlight),
    lineCall(1485, 1485, 4500, 1485, kShadow),    lineCall(1485, 1485, 1485, 3000, kShadow),
};

TEST_F(ExampleClient, BevelsOutsideWithAGapLineByLine) {
  border.setCanvas(&canvas);
  border.setStyle3D(4);
  border.setBevelOuter(2);
  border.setBevelInner(1);
  border.setBevelWidth(3);
  border.setBorderWidth(2);
  border.Refresh();
  // n = 2 * 3 + 2 = 8: a raised bevel on (1380, 1380)-(4605, 3105), then 5 pixels in.
  std::vector<DrawCall> expected = {
      lineCall(1380, 1380, 4605, 1380, kHighlight), lineCall(1380, 1380, 1380, 3105, kHighlight),
      lineCall(1380, 3105, 4605, 3105, kShadow),    lineCall(4605, 1380, 4605, 3120, kShadow),
      lineCall(1395, 1395, 4590, 1395, kHighlight), lineCall(1395, 1395, 1395, 3090, kHighlight),
      lineCall(1395, 3090, 4590, 3090, kShadow),    lineCall(4590, 1395, 4590, 3105, kShadow),
      lineCall(1410, 1410, 4575, 1410, kHighlight), lineCall(1410, 1410, 1410, 3075, kHighlight),
      lineCall(1410, 3075, 4575, 3075, kShadow),    lineCall(4575, 1410, 4575, 3090, kShadow),
  };
  expected.insert(expected.end(), kLoweredAroundTheClient.begin(), kLoweredAroundTheClient.end());
  expectCalls(canvas.calls, expected);
}

TEST_F(ExampleClient, BevelsOutsideWithoutAnOuterBevelHugTheClient) {
  border.setStyle3D(4);
  border.setCanvas(&canvas);
  border.setBevelOuter(0);
  border.setBevelInner(1);
  border.Refresh();
  expectCalls(canvas.calls, kLoweredAroundTheClient);

  canvas.calls.clear();
  border.setBevelInner(0);
  border.Refresh();
  EXPECT_TRUE(canvas.calls.empty());
}

TEST(CBorder3D, StylesSixToEightUseTheirOwnRectangleNotTheClients) {
  RecordingCanvas canvas;
  FixedClient client(9000, 9000, 100, 100, &canvas);
  CBorder3D border(k15);
  border.setCanvas(&canvas);
  border.setClient(&client);
  border.setLeft(1500);
  border.setTop(1500);
  border.setWidth(3000);
  border.setHeight(1500);

  border.setStyle3D(6);
  border.Refresh();
  expectCalls(canvas.calls, {
                                outlineCall(1470, 1470, 4500, 3000, kShadow),
                                outlineCall(1485, 1485, 4515, 3015, kHighlight),
                            });

  canvas.calls.clear();
  border.setStyle3D(7);
  border.setBevelOuter(0);
  border.setBevelInner(1);
  border.Refresh();
  expectCalls(canvas.calls, kLoweredAroundTheClient);

  canvas.calls.clear();
  border.setStyle3D(8);
  border.setBevelOuter(2);
  border.setBevelInner(0);
  border.setBevelWidth(1);
  border.Refresh();
  expectCalls(canvas.calls, {
                                lineCall(1500, 1500, 4485, 1500, kHighlight),
                                lineCall(1500, 1500, 1500, 2985, kHighlight),
                                lineCall(1500, 2985, 4485, 2985, kShadow),
                                lineCall(4485, 1500, 4485, 3000, kShadow),
                            });
}

TEST_F(ExampleClient, StyleZeroErasesOnlyWhenAskedAndAlwaysRestoresScaleMode) {
  border.Refresh();
  EXPECT_TRUE(canvas.calls.empty());
  EXPECT_EQ(canvas.scaleModeReads, 1);
  EXPECT_EQ(canvas.scaleModeWrites, (std::vector<int16_t>{kScaleTwips, kScalePixels}));

  canvas.scaleModeWrites.clear();
  border.setActOnNone(true);
  border.Refresh();
  expectCalls(canvas.calls, {outlineCall(1485, 1485, 4500, 3000, kBackground)});
  EXPECT_EQ(canvas.scaleModeWrites, (std::vector<int16_t>{kScaleTwips, kScalePixels}));
}

TEST(CBorder3D, StyleZeroWithoutErasingNeedsNoClient) {
  RecordingCanvas canvas(kScalePixels);
  CBorder3D border(k15);
  border.setCanvas(&canvas);
  border.Refresh();
  EXPECT_TRUE(canvas.calls.empty());
  EXPECT_EQ(canvas.scaleModeWrites, (std::vector<int16_t>{kScaleTwips, kScalePixels}));
}

TEST(CBorder3D, EveryStyleDrawsInTwipsAndLeavesScaleModeAsFound) {
  for (int16_t mode : {kScalePoints, kScalePixels, kScaleCharacters, kScaleCentimetres}) {
    for (int16_t style = 0; style <= 8; ++style) {
      RecordingCanvas canvas(mode);
      FixedClient client(1500, 1500, 3000, 1500, &canvas);
      client.surface = &canvas;
      CBorder3D border(k15);
      border.setCanvas(&canvas);
      border.setClient(&client);
      border.setLeft(1500);
      border.setTop(1500);
      border.setWidth(3000);
      border.setHeight(1500);
      border.setStyle3D(style);
      border.setActOnNone(true);
      border.Refresh();
      EXPECT_FALSE(canvas.calls.empty()) << "style " << style;
      for (const DrawCall& call : canvas.calls) {
        EXPECT_EQ(call.scaleMode, kScaleTwips) << "style " << style << ": " << call;
      }
      EXPECT_EQ(canvas.ScaleMode(), mode) << "style " << style;
    }
  }
}

TEST(CBorder3D, OverflowNearTheTopOfTheRangeStopsDrawingWhereItIs) {
  // x2 = 31000 + 1753 = 32753 fits, but the bottom line's end x2 + 15 = 32768 does not.
  RecordingCanvas canvas(kScalePixels);
  FixedClient client(31000, 1500, 1753, 1500, &canvas);
  CBorder3D border(k15);
  border.setClient(&client);
  border.setStyle3D(1);
  EXPECT_THROW(border.Refresh(), OverflowError);
  expectCalls(canvas.calls, {
                                outlineCall(30985, 1485, 32753, 3000, kShadow),
                                lineCall(32753, 1485, 32753, 3015, kHighlight),
                            });
  EXPECT_EQ(canvas.ScaleMode(), kScalePixels);

  // One pixel less and everything fits.
  canvas.calls.clear();
  FixedClient fits(31000, 1500, 1752, 1500, &canvas);
  border.setClient(&fits);
  border.Refresh();
  EXPECT_EQ(canvas.calls.size(), 3u);
  EXPECT_EQ(canvas.calls[2], lineCall(30985, 3000, 32767, 3000, kHighlight));
}

TEST(CBorder3D, OverflowInsideABevelKeepsTheRingsAlreadyDrawn) {
  RecordingCanvas canvas(kScalePixels);
  CBorder3D border(k15);
  border.setCanvas(&canvas);
  border.setStyle3D(7);
  border.setTop(30000);
  border.setHeight(2725);  // y2 = 30000 + 2725 - 15 + 3 * 15 = 32755; the right side ends at 32770
  border.setWidth(300);
  try {
    border.Refresh();
    ADD_FAILURE() << "no overflow";
  } catch (const OverflowError& e) {
    EXPECT_NE(std::string(e.what()).find("CBorder3D"), std::string::npos) << e.what();
  }
  ASSERT_EQ(canvas.calls.size(), 3u);
  EXPECT_EQ(canvas.calls[2], lineCall(-45, 32755, 330, 32755, kShadow));
  EXPECT_EQ(canvas.ScaleMode(), kScalePixels);
}

TEST(CBorder3D, AClientBeyondTheSixteenBitRangeOverflowsBeforeDrawing) {
  RecordingCanvas canvas(kScalePixels);
  FixedClient client(40000, 1500, 300, 300, &canvas);
  CBorder3D border(k15);
  border.setClient(&client);
  border.setStyle3D(2);
  EXPECT_THROW(border.Refresh(), OverflowError);
  EXPECT_TRUE(canvas.calls.empty());
  EXPECT_EQ(canvas.ScaleMode(), kScalePixels);
}

TEST_F(ExampleClient, WideBevelSettingsOverflowInsteadOfWrapping) {
  border.setCanvas(&canvas);
  border.setStyle3D(4);
  border.setBevelInner(1);
  border.setBevelWidth(16000);  // n = 2 * 16000 + 2 = 32002 still fits; n * 15 does not
  EXPECT_THROW(border.Refresh(), OverflowError);
  EXPECT_TRUE(canvas.calls.empty());
  border.setBevelWidth(16383);  // 2 * 16383 + 2 = 32768: n itself does not fit
  EXPECT_THROW(border.Refresh(), OverflowError);
}

}  // namespace
}  // namespace vistrel::border
