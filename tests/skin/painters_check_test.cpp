// Check boxes and option buttons: the skin box at the left edge, its frame, fill, glyphs and
// position, and the skipping of unforced repaints of the same state.
#include <windows.h>

#include <gtest/gtest.h>

#include "skin/skin_engine.h"
#include "skin_test_support.h"

namespace {

using namespace skin_painter_test;

constexpr wchar_t kCheckClass[] = L"ThunderRT6CheckBox";
constexpr wchar_t kOptionClass[] = L"ThunderRT6OptionButton";
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kFrameEnabled = 0xD5A554;
constexpr COLORREF kFramePressed = 0xC48639;
constexpr COLORREF kFrameDisabled = 0xE9CFA4;
constexpr COLORREF kMarker = RGB(1, 2, 3);

class CheckPainterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureSkinImages();
    RegisterSuperclass(kCheckClass, L"Button");
    RegisterSuperclass(kOptionClass, L"Button");
  }

  void SetUp() override {
    cx = GetSystemMetrics(SM_CXMENUCHECK);
    cy = GetSystemMetrics(SM_CYMENUCHECK);
    // 20 pixels at 96 DPI: the box fits at every DPI.
    HDC screen = GetDC(nullptr);
    h = MulDiv(20, GetDeviceCaps(screen, LOGPIXELSY), 96);
    ReleaseDC(nullptr, screen);
  }

  int cx = 0;
  int cy = 0;
  int h = 20;  // height of the test controls
};

using CheckBoxTest = CheckPainterTest;
using OptionButtonTest = CheckPainterTest;

TEST_F(CheckBoxTest, FrameAndFillFollowStateAndEnabledFlag) {
  TestWindow box(kCheckClass, BS_AUTOCHECKBOX, 10, 10, 120, h, L"Check");
  const int top = ExpectedHalf(h - cy);
  struct Case {
    bool enabled;
    int state;
    COLORREF frame;
    COLORREF interior;  // inside pixel (1, 1) of the box, unchecked
  };
  const Case cases[] = {
      {true, 0, kFrameEnabled, kWhite},   {true, 1, kFrameEnabled, 0xF8EAC3},
      {true, 2, kFramePressed, 0xF5E2B0}, {false, 0, kFrameDisabled, kWhite},
      {false, 1, kFrameDisabled, kWhite}, {false, 2, kFrameDisabled, kWhite},
  };
  for (const Case& c : cases) {
    EnableWindow(box, c.enabled);
    Settle();
    EXPECT_EQ(modSkinner::PaintCheckBox(box, c.state, true), 1);
    // The stored state is the requested one, enabled or not.
    EXPECT_EQ(modSkinner::GetSkinProp(box, modSkinner::prop::OLDSTATE), c.state);
    const Pixels pixels = WindowPixels(box, 0, top, cx, cy);
    for (int i = 0; i < cx; ++i) {
      EXPECT_EQ(pixels.at(i, 0), c.frame) << c.enabled << c.state << " top " << i;
      EXPECT_EQ(pixels.at(i, cy - 1), c.frame) << c.enabled << c.state << " bottom " << i;
    }
    for (int j = 0; j < cy; ++j) {
      EXPECT_EQ(pixels.at(0, j), c.frame) << c.enabled << c.state << " left " << j;
      EXPECT_EQ(pixels.at(cx - 1, j), c.frame) << c.enabled << c.state << " right " << j;
    }
    EXPECT_EQ(pixels.at(1, 1), c.interior) << c.enabled << c.state;
    if (c.interior == kWhite) {
      EXPECT_EQ(CountColour(pixels, kWhite), (cx - 2) * (cy - 2)) << c.enabled << c.state;
    }
  }
}

TEST_F(CheckBoxTest, GlyphsAreCentredWithTheirEnabledAndDisabledColours) {
  TestWindow box(kCheckClass, BS_AUTO3STATE, 10, 10, 120, h, L"Check");
  const int top = ExpectedHalf(h - cy);
  const int markX = ExpectedHalf(cx - 9);
  const int markY = ExpectedHalf(cy - 8);
  const int squareX = ExpectedHalf(cx - 7);
  const int squareY = ExpectedHalf(cy - 7);

  SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
  for (bool enabled : {true, false}) {
    EnableWindow(box, enabled);
    Settle();
    modSkinner::PaintCheckBox(box, 0, true);
    const Pixels pixels = WindowPixels(box, 0, top, cx, cy);
    // Check mark rows 0, 3, 7: their first pixels and the key pixel left of row 0's.
    EXPECT_EQ(pixels.at(markX + 8, markY), enabled ? 0x1DB754u : 0x8CDAA8u);
    EXPECT_EQ(pixels.at(markX, markY + 3), enabled ? 0x13A948u : 0x87D3A2u);
    EXPECT_EQ(pixels.at(markX + 3, markY + 7), enabled ? 0x029135u : 0x7EC798u);
    EXPECT_EQ(pixels.at(markX + 7, markY), kWhite);
    const Box mark = ColourBox(pixels, enabled ? 0x0FA243 : 0x85D09F);  // row 4
    EXPECT_EQ(mark.top, markY + 4);
    EXPECT_EQ(mark.left, markX);
  }

  SendMessageW(box, BM_SETCHECK, BST_INDETERMINATE, 0);
  for (bool enabled : {true, false}) {
    EnableWindow(box, enabled);
    Settle();
    modSkinner::PaintCheckBox(box, 1, true);
    const Pixels pixels = WindowPixels(box, 0, top, cx, cy);
    const Box firstRow = ColourBox(pixels, enabled ? 0x1BB451 : 0x8BD9A6);
    EXPECT_EQ(firstRow.left, squareX) << enabled;
    EXPECT_EQ(firstRow.top, squareY) << enabled;
    EXPECT_EQ(firstRow.width(), 7) << enabled;
    EXPECT_EQ(firstRow.height(), 1) << enabled;
    EXPECT_EQ(pixels.at(squareX + 6, squareY + 6), enabled ? 0x069639u : 0x80C99Au);
  }
}

TEST_F(CheckBoxTest, BoxTopIsCentredByHalfWithTiesToEven) {
  // Heights 16, 18 and 20 put the differences (height - cy) on both sides of a tie.
  for (int height : {16, 18, 20}) {
    TestWindow box(kCheckClass, BS_AUTOCHECKBOX, 10, 10, 120, height, L"Check");
    FillWindow(box, 0, 0, 120, height, kMarker);
    modSkinner::PaintCheckBox(box, 0, true);
    const int top = ExpectedHalf(height - cy);
    for (int y = 0; y < height; ++y) {
      const bool insideBox = y >= top && y < top + cy;
      const bool onFrame = y == top || y == top + cy - 1;
      const COLORREF expected = !insideBox ? kMarker : onFrame ? kFrameEnabled : kWhite;
      EXPECT_EQ(WindowPixel(box, cx / 2, y), expected) << "height " << height << " row " << y;
    }
  }
}

TEST_F(CheckBoxTest, UnforcedSameStateDrawsOnceAndBoxStaysAtTheLeftEdge) {
  // Right-aligned own box: the skin box is still drawn at the left edge.
  TestWindow box(kCheckClass, BS_AUTOCHECKBOX | BS_LEFTTEXT, 10, 10, 120, h, L"Check");
  const int top = ExpectedHalf(h - cy);
  EXPECT_EQ(modSkinner::PaintCheckBox(box, 1, true), 1);
  EXPECT_EQ(WindowPixel(box, 0, top), kFrameEnabled);

  FillWindow(box, 0, 0, 120, h, kMarker);
  EXPECT_EQ(modSkinner::PaintCheckBox(box, 1, false), 0);
  EXPECT_EQ(WindowPixel(box, 0, top), kMarker);
  EXPECT_EQ(modSkinner::PaintCheckBox(box, 2, false), 1);
  EXPECT_EQ(WindowPixel(box, 0, top), kFramePressed);
  EXPECT_EQ(modSkinner::GetSkinProp(box, modSkinner::prop::OLDSTATE), 2);

  FillWindow(box, 0, 0, 120, h, kMarker);
  EXPECT_EQ(modSkinner::PaintCheckBox(box, 2, true), 1);
  EXPECT_EQ(WindowPixel(box, 0, top), kFramePressed);
}

TEST_F(OptionButtonTest, CircleCellPerStateAndDisabledWhateverTheState) {
  TestWindow option(kOptionClass, BS_AUTORADIOBUTTON, 10, 10, 120, h, L"Option");
  const int top = ExpectedHalf(h - cy);
  // Rim pixel at column 3 of the top row (an unscaled corner piece) per cell.
  const COLORREF rim[] = {0xE7CFBC, 0xE7CFBC, 0xDDBCA4, 0xF3E7DD};
  for (bool enabled : {true, false}) {
    EnableWindow(option, enabled);
    for (int state = 0; state < 3; ++state) {
      Settle();
      FillWindow(option, 0, 0, 120, h, kMarker);
      EXPECT_EQ(modSkinner::PaintOptionButton(option, state, true), 1);
      EXPECT_EQ(WindowPixel(option, 3, top), enabled ? rim[state] : rim[3]) << enabled << state;
      // The cut corner is transparent: what the window showed stays.
      EXPECT_EQ(WindowPixel(option, 0, top), kMarker) << enabled << state;
      EXPECT_EQ(WindowPixel(option, cx - 1, top + cy - 1), kMarker) << enabled << state;
      EXPECT_EQ(modSkinner::GetSkinProp(option, modSkinner::prop::OLDSTATE), state);
    }
  }
  // Hot and normal share the rim; they differ inside.
  EnableWindow(option, TRUE);
  Settle();
  modSkinner::PaintOptionButton(option, 0, true);
  const COLORREF normalInside = WindowPixel(option, 1, top + cy / 2);
  modSkinner::PaintOptionButton(option, 1, true);
  EXPECT_NE(WindowPixel(option, 1, top + cy / 2), normalInside);
}

TEST_F(OptionButtonTest, DotWhenCheckedAndOnlyTheDotForStateThree) {
  TestWindow option(kOptionClass, BS_AUTORADIOBUTTON, 10, 10, 120, h, L"Option");
  const int top = ExpectedHalf(h - cy);
  const int dotX = ExpectedHalf(cx - 5);
  const int dotY = ExpectedHalf(2 * top + cy - 5);
  SendMessageW(option, BM_SETCHECK, BST_CHECKED, 0);

  for (bool enabled : {true, false}) {
    EnableWindow(option, enabled);
    Settle();
    modSkinner::PaintOptionButton(option, 0, true);
    // Row 20 of the glyph image: the dot's middle row, 1dac50 12a847 12a847 12a847 1dac50.
    const Pixels pixels = WindowPixels(option, 0, 0, cx, 20);
    const Box middle = ColourBox(pixels, enabled ? 0x12A847 : 0x88D3A3);
    EXPECT_EQ(middle.left, dotX + 1) << enabled;
    EXPECT_EQ(middle.right, dotX + 3) << enabled;
    EXPECT_EQ(middle.top, dotY + 2) << enabled;
    EXPECT_EQ(middle.bottom, dotY + 2) << enabled;
    EXPECT_EQ(WindowPixel(option, dotX + 2, dotY), enabled ? 0x28BA5Cu : 0x93DCADu);
  }

  // Enabled and asked for state 3: no circle is drawn, only the dot.
  EnableWindow(option, TRUE);
  Settle();
  FillWindow(option, 0, 0, 120, h, kMarker);
  EXPECT_EQ(modSkinner::PaintOptionButton(option, 3, false), 1);
  const Pixels pixels = WindowPixels(option, 0, top, cx, cy);
  EXPECT_EQ(CountColour(pixels, kMarker), cx * cy - 21);  // the dot has 21 opaque pixels
  EXPECT_EQ(WindowPixel(option, dotX + 2, dotY + 2), 0x12A847u);

  // An unchecked button gets no dot; the same state unforced draws nothing.
  SendMessageW(option, BM_SETCHECK, BST_UNCHECKED, 0);
  FillWindow(option, 0, 0, 120, h, kMarker);
  EXPECT_EQ(modSkinner::PaintOptionButton(option, 3, false), 0);
  EXPECT_EQ(modSkinner::PaintOptionButton(option, 3, true), 1);
  EXPECT_EQ(CountColour(WindowPixels(option, 0, top, cx, cy), kMarker), cx * cy);
}

}  // namespace
