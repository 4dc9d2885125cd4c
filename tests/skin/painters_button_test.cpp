// Command buttons: the four rendered faces and the constant-alpha blend of PaintButton.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>

#include "skin/skin_engine.h"
#include "skin_test_support.h"

namespace {

using namespace skin_painter_test;

constexpr wchar_t kCommandButtonClass[] = L"ThunderRT6CommandButton";
constexpr int kWidth = 75;
constexpr int kHeight = 25;
constexpr COLORREF kDisabledCaption = 0x968A79;
constexpr COLORREF kBorderNormal = 0xD58F1B;

class ButtonFacesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureSkinImages();
    RegisterSuperclass(kCommandButtonClass, L"Button");
  }

  // A 75 x 25 push button with hand-made faces, rendered with the given caption.
  struct Button {
    explicit Button(const wchar_t* caption, LONG_PTR style = BS_PUSHBUTTON)
        : window(kCommandButtonClass, style, 10, 10, kWidth, kHeight, caption),
          faces(window, WS_CHILD | WS_VISIBLE | style) {}
    TestWindow window;
    ButtonFaces faces;
  };

  static Pixels FacePixels(const Button& button, int state) {
    return ReadPixels(button.faces.Face(state), 0, 0, kWidth, kHeight);
  }
};

TEST_F(ButtonFacesTest, FacesCarryTheCellBordersCornersAndCentredCaption) {
  Button button(L"OK");
  modSkinner::RenderButtonFaces(button.window);

  // Corners come from the cells unscaled; rows 0 and 20 are shared by faces 0 to 2.
  for (int state = 0; state < 3; ++state) {
    HDC face = button.faces.Face(state);
    EXPECT_EQ(GetPixel(face, 0, 0), 0xF9E1BFu) << state;
    EXPECT_EQ(GetPixel(face, kWidth - 1, 0), 0xF9E1BFu) << state;
    EXPECT_EQ(GetPixel(face, 0, kHeight - 1), 0xFBE7CAu) << state;
    EXPECT_EQ(GetPixel(face, kWidth - 1, kHeight - 1), 0xFBE7CAu) << state;
    EXPECT_EQ(GetPixel(face, 0, kHeight / 2), kBorderNormal) << state;
    EXPECT_EQ(GetPixel(face, kWidth - 1, kHeight / 2), kBorderNormal) << state;
    EXPECT_EQ(GetPixel(face, kWidth / 2, 0), kBorderNormal) << state;
  }
  HDC disabled = button.faces.Face(3);
  EXPECT_EQ(GetPixel(disabled, 0, 0), 0xFBF7F2u);
  EXPECT_EQ(GetPixel(disabled, kWidth - 1, kHeight - 1), 0xFBF6F2u);
  EXPECT_EQ(GetPixel(disabled, 0, kHeight / 2), 0xE8C387u);
  // The hot and pressed faces differ inside: the cells are not the same picture.
  EXPECT_NE(GetPixel(button.faces.Face(1), 1, 2), GetPixel(button.faces.Face(0), 1, 2));
  EXPECT_NE(GetPixel(button.faces.Face(2), 1, 3), GetPixel(button.faces.Face(1), 1, 3));

  // Black caption centred in the face (within a pixel of rounding either way).
  const Box text = DarkBox(FacePixels(button, 0));
  ASSERT_FALSE(text.empty());
  EXPECT_NEAR(text.left + text.right, kWidth - 1, 2);
  EXPECT_NEAR(text.top + text.bottom, kHeight - 1, 3);
  EXPECT_GT(CountColour(FacePixels(button, 0), RGB(0, 0, 0)), 0);
  EXPECT_EQ(CountColour(FacePixels(button, 0), kDisabledCaption), 0);

  // The disabled face writes the caption in the disabled grey, same place, no black.
  const Pixels disabledPixels = FacePixels(button, 3);
  const Box greyText = ColourBox(disabledPixels, kDisabledCaption);
  ASSERT_FALSE(greyText.empty());
  EXPECT_NEAR(greyText.left, text.left, 1);
  EXPECT_NEAR(greyText.right, text.right, 1);
  EXPECT_EQ(CountColour(disabledPixels, RGB(0, 0, 0)), 0);
}

TEST_F(ButtonFacesTest, FocusRectangleOnEveryFaceExactlyWhileFocused) {
  Button button(L"");
  SetFocus(nullptr);
  modSkinner::RenderButtonFaces(button.window);
  Pixels unfocused[4];
  for (int state = 0; state < 4; ++state) unfocused[state] = FacePixels(button, state);

  SetFocus(button.window);
  ASSERT_EQ(GetFocus(), button.window.get());
  modSkinner::RenderButtonFaces(button.window);
  for (int state = 0; state < 4; ++state) {
    const Pixels focused = FacePixels(button, state);
    // The dotted rectangle runs along the inset rectangle (2, 2) - (72, 22): many pixels of
    // its top row and of its left side change; nothing outside it or inside it does.
    int changedOnTop = 0;
    for (int x = 2; x < kWidth - 2; ++x) {
      changedOnTop += focused.at(x, 2) != unfocused[state].at(x, 2) ? 1 : 0;
    }
    int changedOnLeft = 0;
    for (int y = 2; y < kHeight - 2; ++y) {
      changedOnLeft += focused.at(2, y) != unfocused[state].at(2, y) ? 1 : 0;
    }
    EXPECT_GT(changedOnTop, 20) << state;
    EXPECT_GT(changedOnLeft, 5) << state;
    const int inside = 6;  // a row above the caption, inside the rectangle
    for (int x = 0; x < kWidth; ++x) {
      EXPECT_EQ(focused.at(x, 1), unfocused[state].at(x, 1)) << state << "," << x;
      if (x == 2 || x == kWidth - 3) continue;
      EXPECT_EQ(focused.at(x, inside), unfocused[state].at(x, inside)) << state << "," << x;
    }
  }

  // Focus gone: re-rendered faces lose the rectangle again.
  SetFocus(Host());
  modSkinner::RenderButtonFaces(button.window);
  for (int state = 0; state < 4; ++state) {
    EXPECT_EQ(FacePixels(button, state).values, unfocused[state].values) << state;
  }
}

TEST_F(ButtonFacesTest, LongCaptionEndsInEllipsisAndAmpersandUnderlines) {
  // A caption of wide letters cut by an ellipsis ends in small dots on the baseline; cut
  // without one, it would end in part of a full-height letter.
  Button longButton(L"WWWWWWWWWWWWWWWWWWWWWWWW");
  modSkinner::RenderButtonFaces(longButton.window);
  const Pixels pixels = FacePixels(longButton, 0);
  const Box text = DarkBox(pixels);
  ASSERT_FALSE(text.empty());
  EXPECT_GE(text.left, 2);
  EXPECT_LE(text.right, kWidth - 3);
  // The last columns hold dots low in the line, nothing in its upper half.
  EXPECT_FALSE(AnyDark(pixels, text.right - 5, text.top, text.right, text.top + text.height() / 2));
  EXPECT_TRUE(AnyDark(pixels, text.right - 5, text.bottom - 2, text.right, text.bottom));
  EXPECT_TRUE(AnyDark(pixels, text.left, text.top, text.left + 5, text.top + 2));

  // "&Save" shows "Save" with its first letter underlined: the ampersand takes no room
  // and a line appears below the letters.
  Button plain(L"Save");
  Button prefixed(L"&Save");
  modSkinner::RenderButtonFaces(plain.window);
  modSkinner::RenderButtonFaces(prefixed.window);
  const Box plainBox = DarkBox(FacePixels(plain, 0));
  const Box prefixedBox = DarkBox(FacePixels(prefixed, 0));
  ASSERT_FALSE(plainBox.empty());
  ASSERT_FALSE(prefixedBox.empty());
  EXPECT_NEAR(prefixedBox.width(), plainBox.width(), 1);
  EXPECT_GT(prefixedBox.bottom, plainBox.bottom);
  // The underline covers the first letter only.
  const Pixels underlined = FacePixels(prefixed, 0);
  const Box& p = prefixedBox;
  EXPECT_TRUE(AnyDark(underlined, p.left, p.bottom, p.left + 2, p.bottom));
  EXPECT_FALSE(AnyDark(underlined, p.right - 2, p.bottom, p.right, p.bottom));
}

class PaintButtonTest : public ButtonFacesTest {};

TEST_F(PaintButtonTest, LevelZeroKeepsLevel255ReplacesAndMiddleBlends) {
  Button button(L"OK");
  modSkinner::RenderButtonFaces(button.window);
  const COLORREF background = RGB(10, 200, 30);
  Canvas canvas(kWidth, kHeight, background);
  const Pixels face1 = FacePixels(button, 1);

  modSkinner::SetSkinProp(button.window, modSkinner::prop::OLDSTATE, 1);
  modSkinner::SetSkinProp(button.window, modSkinner::prop::ALPHALEVEL, 0);
  EXPECT_EQ(modSkinner::PaintButton(button.window, canvas), 0);
  EXPECT_EQ(CountColour(ReadPixels(canvas, 0, 0, kWidth, kHeight), background), kWidth * kHeight);

  modSkinner::SetSkinProp(button.window, modSkinner::prop::ALPHALEVEL, 128);
  modSkinner::PaintButton(button.window, canvas);
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{1, 12}, std::pair{5, 18}}) {
    EXPECT_TRUE(StrictlyBetween(canvas.Pixel(x, y), background, face1.at(x, y)))
        << x << "," << y << " " << std::hex << canvas.Pixel(x, y);
  }

  canvas.Fill(background);
  modSkinner::SetSkinProp(button.window, modSkinner::prop::ALPHALEVEL, 255);
  modSkinner::PaintButton(button.window, canvas);
  EXPECT_EQ(ReadPixels(canvas, 0, 0, kWidth, kHeight).values, face1.values);
}

TEST_F(PaintButtonTest, WindowDCOnlyWithoutAGivenDC) {
  Button button(L"OK");
  modSkinner::RenderButtonFaces(button.window);
  const COLORREF marker = RGB(1, 2, 3);
  FillWindow(button.window, 0, 0, kWidth, kHeight, marker);
  modSkinner::SetSkinProp(button.window, modSkinner::prop::ALPHALEVEL, 255);

  Canvas canvas(kWidth, kHeight, RGB(0, 0, 0));
  modSkinner::PaintButton(button.window, canvas);
  EXPECT_EQ(WindowPixel(button.window, 0, 0), marker);
  EXPECT_EQ(canvas.Pixel(0, 0), 0xF9E1BFu);

  modSkinner::PaintButton(button.window, nullptr);
  EXPECT_EQ(WindowPixels(button.window, 0, 0, kWidth, kHeight).values,
            FacePixels(button, 0).values);
}

TEST_F(PaintButtonTest, DisabledButtonIsForcedToFaceThree) {
  Button button(L"OK");
  modSkinner::RenderButtonFaces(button.window);
  EnableWindow(button.window, FALSE);
  modSkinner::SetSkinProp(button.window, modSkinner::prop::OLDSTATE, 1);
  modSkinner::SetSkinProp(button.window, modSkinner::prop::ALPHALEVEL, 255);
  Canvas canvas(kWidth, kHeight, RGB(0, 0, 0));
  modSkinner::PaintButton(button.window, canvas);
  EXPECT_EQ(modSkinner::GetSkinProp(button.window, modSkinner::prop::OLDSTATE), 3);
  EXPECT_EQ(ReadPixels(canvas, 0, 0, kWidth, kHeight).values, FacePixels(button, 3).values);
}

TEST_F(PaintButtonTest, OnlyButtonTypesWithBitsOneAndTwoClearArePainted) {
  Button button(L"OK");
  modSkinner::RenderButtonFaces(button.window);
  modSkinner::SetSkinProp(button.window, modSkinner::prop::ALPHALEVEL, 255);
  const COLORREF marker = RGB(1, 2, 3);
  Canvas canvas(kWidth, kHeight, marker);
  // Push (0), default push (1), user (8) and automatic radio (9) buttons are painted; check
  // boxes (2, 3), radio (4), three-state (5, 6), group box (7), owner-drawn (11) are not.
  const std::pair<LONG_PTR, bool> types[] = {{0, true},  {1, true},  {8, true},  {9, true},
                                             {2, false}, {3, false}, {4, false}, {5, false},
                                             {6, false}, {7, false}, {11, false}};
  for (const auto& [type, painted] : types) {
    canvas.Fill(marker);
    modSkinner::SetSkinProp(button.window, modSkinner::prop::OLDSTYLE,
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | type);
    EXPECT_EQ(modSkinner::PaintButton(button.window, canvas), 0);
    EXPECT_EQ(canvas.Pixel(0, 0), painted ? 0xF9E1BFu : marker) << "type " << type;
  }
}

}  // namespace
