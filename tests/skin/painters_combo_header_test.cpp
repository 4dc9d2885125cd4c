// Combo box drop buttons and list-header items.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "skin/skin_engine.h"
#include "skin_test_support.h"

namespace {

using namespace skin_painter_test;

constexpr wchar_t kComboClass[] = L"ThunderRT6ComboBox";
// Real combo boxes size themselves by their font; a plain window of a combo class name
// with the drop-down list style bits gives the painter an exact 120 x 21 window.
constexpr wchar_t kStandInComboClass[] = L"Combo";
constexpr wchar_t kFakeHeaderClass[] = L"MSVB_LIB_HEADER";
constexpr COLORREF kMarker = RGB(1, 2, 3);
constexpr COLORREF kLightMarker = RGB(200, 255, 200);  // not dark: text stays findable
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kArrowEnabled = 0x5F5519;
constexpr COLORREF kArrowDisabled = 0xACA584;
constexpr COLORREF kDropBorder = 0xD1A04E;
constexpr int kComboWidth = 120;
constexpr int kComboHeight = 21;

int WindowHeight(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r.bottom - r.top;
}

// A combo box of the given type with OLDSTATE 0.
class Combo {
 public:
  explicit Combo(DWORD type) : window_(kComboClass, type, 10, 10, kComboWidth, 150) {
    modSkinner::SetSkinProp(window_, modSkinner::prop::OLDSTATE, 0);
    Settle();
  }
  ~Combo() { modSkinner::RemoveSkinProp(window_, modSkinner::prop::OLDSTATE); }
  operator HWND() const { return window_; }

 private:
  TestWindow window_;
};

class ComboPainterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureSkinImages();
    RegisterSuperclass(kComboClass, L"ComboBox");
    RegisterPlainClass(kStandInComboClass);
  }
};

TEST_F(ComboPainterTest, DropButtonGeometryAndArrowPosition) {
  TestWindow combo(kStandInComboClass, CBS_DROPDOWNLIST, 10, 10, kComboWidth, kComboHeight);
  ASSERT_EQ(WindowHeight(combo), kComboHeight);
  const int scroll = GetSystemMetrics(SM_CXVSCROLL);
  const int buttonWidth = scroll + 1;
  const int buttonLeft = kComboWidth - buttonWidth - 1;
  const int arrowX = buttonLeft + ExpectedHalf(buttonWidth - 7);
  const int arrowY = 1 + ExpectedHalf(kComboHeight - 2 - 4);
  // Whatever the metric: the button ends one pixel inside the right edge, the arrow is
  // centred by half() across and down (6 and 8 with SM_CXVSCROLL = 17).
  EXPECT_EQ(buttonLeft + buttonWidth, kComboWidth - 1);
  EXPECT_EQ(arrowX - buttonLeft, ExpectedHalf(scroll - 6));
  EXPECT_EQ(arrowY - 1, ExpectedHalf(kComboHeight - 6));

  Canvas canvas(kComboWidth, kComboHeight, kMarker);
  std::int32_t state = 0;
  modSkinner::PaintComboBox(combo, canvas, state, true);
  const Pixels pixels = ReadPixels(canvas, 0, 0, kComboWidth, kComboHeight);
  // The button spans every row but the first and last, up to one pixel before the right edge.
  const Box painted = BoxWhere(pixels, [](COLORREF c) { return c != kMarker; });
  EXPECT_EQ(painted.left, buttonLeft);
  EXPECT_EQ(painted.right, kComboWidth - 2);
  EXPECT_EQ(painted.top, 1);
  EXPECT_EQ(painted.bottom, kComboHeight - 2);
  EXPECT_EQ(CountColour(pixels, kMarker), kComboWidth * kComboHeight - buttonWidth * 19);
  // The arrow: 7 + 5 + 3 + 1 pixels in rows of the enabled colour, white around it.
  const Box arrow = ColourBox(pixels, kArrowEnabled);
  EXPECT_EQ(arrow.left, arrowX);
  EXPECT_EQ(arrow.top, arrowY);
  EXPECT_EQ(arrow.width(), 7);
  EXPECT_EQ(arrow.height(), 4);
  EXPECT_EQ(CountColour(pixels, kArrowEnabled), 16);
  EXPECT_EQ(CountColour(pixels, kWhite), buttonWidth * 19 - 16);
  EXPECT_EQ(modSkinner::GetSkinProp(combo, modSkinner::prop::OLDSTATE), 0);
  modSkinner::RemoveSkinProp(combo, modSkinner::prop::OLDSTATE);
}

TEST_F(ComboPainterTest, HotPressedAndDisabledFaces) {
  Combo combo(CBS_DROPDOWN);
  const int buttonLeft = kComboWidth - GetSystemMetrics(SM_CXVSCROLL) - 2;
  Canvas canvas(kComboWidth, kComboHeight, kMarker);
  std::int32_t state = 1;
  modSkinner::PaintComboBox(combo, canvas, state, false);
  EXPECT_EQ(modSkinner::GetSkinProp(combo, modSkinner::prop::OLDSTATE), 1);
  EXPECT_EQ(canvas.Pixel(buttonLeft, 1), kDropBorder);
  EXPECT_EQ(canvas.Pixel(buttonLeft + 1, 1), 0xFFF9E8u);  // hot cell, row 0
  EXPECT_EQ(canvas.Pixel(buttonLeft + 2, 2), 0xFDEEC1u);  // hot cell centre, row 1

  state = 2;
  modSkinner::PaintComboBox(combo, canvas, state, false);
  EXPECT_EQ(canvas.Pixel(buttonLeft, 1), kDropBorder);
  EXPECT_EQ(canvas.Pixel(buttonLeft + 1, 1), 0xF3E1BEu);  // pressed cell, row 0
  EXPECT_EQ(canvas.Pixel(buttonLeft + 2, 2), 0xE2B561u);

  // Disabled: the disabled arrow on the face of the requested state.
  EnableWindow(combo, FALSE);
  state = 1;
  modSkinner::PaintComboBox(combo, canvas, state, false);
  const Pixels pixels = ReadPixels(canvas, 0, 0, kComboWidth, kComboHeight);
  EXPECT_EQ(CountColour(pixels, kArrowDisabled), 16);
  EXPECT_EQ(CountColour(pixels, kArrowEnabled), 0);
  EXPECT_EQ(canvas.Pixel(buttonLeft + 2, 2), 0xFDEEC1u);
}

TEST_F(ComboPainterTest, SameStateSkippedAndSimpleComboNeverPainted) {
  Combo list(CBS_DROPDOWNLIST);
  Canvas canvas(kComboWidth, kComboHeight, kMarker);
  std::int32_t state = 0;
  modSkinner::PaintComboBox(list, canvas, state, false);  // OLDSTATE is 0 already
  EXPECT_EQ(CountColour(ReadPixels(canvas, 0, 0, kComboWidth, kComboHeight), kMarker),
            kComboWidth * kComboHeight);

  // Without a device context the window's own one is used.
  state = 1;
  modSkinner::PaintComboBox(list, nullptr, state, false);
  EXPECT_EQ(WindowPixel(list, kComboWidth - GetSystemMetrics(SM_CXVSCROLL) - 2, 1), kDropBorder);

  Combo simple(CBS_SIMPLE);
  RECT r{};
  GetWindowRect(simple, &r);
  Canvas simpleCanvas(r.right - r.left, r.bottom - r.top, kMarker);
  state = 1;
  modSkinner::PaintComboBox(simple, simpleCanvas, state, true);
  EXPECT_EQ(modSkinner::GetSkinProp(simple, modSkinner::prop::OLDSTATE), 0);
  EXPECT_EQ(
      CountColour(ReadPixels(simpleCanvas, 0, 0, r.right - r.left, r.bottom - r.top), kMarker),
      (r.right - r.left) * (r.bottom - r.top));
}

TEST_F(ComboPainterTest, DroppedListAlwaysAsksForThePressedState) {
  Combo combo(CBS_DROPDOWNLIST);
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"one"));
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  ASSERT_NE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0), 0);
  const int buttonLeft = kComboWidth - GetSystemMetrics(SM_CXVSCROLL) - 2;

  Canvas canvas(kComboWidth, kComboHeight, kMarker);
  std::int32_t state = 1;
  modSkinner::PaintComboBox(combo, canvas, state, false);
  EXPECT_EQ(state, 2);
  EXPECT_EQ(modSkinner::GetSkinProp(combo, modSkinner::prop::OLDSTATE), 2);
  EXPECT_EQ(canvas.Pixel(buttonLeft + 1, 1), 0xF3E1BEu);

  canvas.Fill(kMarker);
  state = 0;
  modSkinner::PaintComboBox(combo, canvas, state, false);
  EXPECT_EQ(state, 2);
  EXPECT_EQ(canvas.Pixel(buttonLeft + 1, 1), kMarker);

  SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
  Pump();
}

// A stand-in header: fixed item rectangles and texts, which may hold NUL characters.
struct FakeHeader {
  static std::wstring text;
  static int lastTextMax;
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == HDM_GETITEMRECT) {
      *reinterpret_cast<RECT*>(lParam) =
          RECT{40 + 60 * static_cast<int>(wParam), 0, 100 + 60 * static_cast<int>(wParam), 18};
      return TRUE;
    }
    if (message == HDM_GETITEMW) {
      auto* item = reinterpret_cast<HDITEMW*>(lParam);
      lastTextMax = item->cchTextMax;
      const std::size_t count =
          std::min(text.size(), static_cast<std::size_t>(item->cchTextMax - 1));
      std::copy_n(text.data(), count, item->pszText);
      item->pszText[count] = L'\0';
      return TRUE;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
};
std::wstring FakeHeader::text;
int FakeHeader::lastTextMax = 0;

class HeaderPainterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureSkinImages();
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    info.lpfnWndProc = FakeHeader::Proc;
    info.hInstance = GetModuleHandleW(nullptr);
    info.lpszClassName = kFakeHeaderClass;
    RegisterClassExW(&info);
  }
};

TEST_F(HeaderPainterTest, ItemFacePerStateOverTheItemOnly) {
  TestWindow header(WC_HEADERW, 0, 10, 10, 250, 20);
  HDITEMW item{};
  item.mask = HDI_TEXT | HDI_WIDTH;
  item.cxy = 80;
  item.pszText = const_cast<wchar_t*>(L"");
  SendMessageW(header, HDM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  item.cxy = 100;
  item.pszText = const_cast<wchar_t*>(L"Name");
  SendMessageW(header, HDM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&item));
  RECT second{};
  SendMessageW(header, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
  ASSERT_EQ(second.right - second.left, 100);

  Canvas canvas(250, 20, kLightMarker);
  // Top-left corner of each cell: normal, hot, pressed; an unknown state looks normal.
  const std::pair<int, COLORREF> corners[] = {
      {0, 0xFEF5EA}, {1, 0xFDE6BD}, {2, 0xFBD797}, {7, 0xFEF5EA}};
  for (const auto& [state, corner] : corners) {
    canvas.Fill(kLightMarker);
    EXPECT_EQ(modSkinner::PaintHeaderItem(header, canvas, 1, state), 0);
    EXPECT_EQ(canvas.Pixel(second.left, 0), corner) << state;
    const Pixels pixels = ReadPixels(canvas, 0, 0, 250, 20);
    const Box painted = BoxWhere(pixels, [](COLORREF c) { return c != kLightMarker; });
    EXPECT_EQ(painted.left, second.left) << state;
    EXPECT_EQ(painted.right, second.right - 1) << state;
    EXPECT_EQ(painted.top, 0) << state;
    EXPECT_EQ(painted.bottom, second.bottom - 1) << state;
    // The text is drawn, centred in the item.
    const Box text = DarkBox(pixels);
    ASSERT_FALSE(text.empty()) << state;
    EXPECT_NEAR(text.left + text.right, second.left + second.right - 1, 2) << state;
  }

  // An item with an empty caption gets the face alone; index -1 draws nothing.
  canvas.Fill(kLightMarker);
  modSkinner::PaintHeaderItem(header, canvas, 0, 1);
  EXPECT_TRUE(DarkBox(ReadPixels(canvas, 0, 0, 250, 20)).empty());
  EXPECT_EQ(canvas.Pixel(0, 0), 0xFDE6BDu);
  canvas.Fill(kLightMarker);
  EXPECT_EQ(modSkinner::PaintHeaderItem(header, canvas, -1, 1), 0);
  EXPECT_EQ(CountColour(ReadPixels(canvas, 0, 0, 250, 20), kLightMarker), 250 * 20);

  // Without a device context the window's own one is used.
  modSkinner::PaintHeaderItem(header, nullptr, 1, 2);
  EXPECT_EQ(WindowPixel(header, second.left, 0), 0xFBD797u);
}

TEST_F(HeaderPainterTest, NulCharactersAreRemovedFromTheText) {
  TestWindow header(kFakeHeaderClass, 0, 10, 10, 250, 20);
  Canvas withNuls(250, 20, kLightMarker);
  Canvas plain(250, 20, kLightMarker);
  FakeHeader::text = std::wstring(L"A\0B\0\0C", 6);
  modSkinner::PaintHeaderItem(header, withNuls, 0, 0);
  EXPECT_EQ(FakeHeader::lastTextMax, 256);
  FakeHeader::text = L"ABC";
  modSkinner::PaintHeaderItem(header, plain, 0, 0);
  const Pixels drawn = ReadPixels(withNuls, 0, 0, 250, 20);
  EXPECT_FALSE(DarkBox(drawn).empty());
  EXPECT_EQ(drawn.values, ReadPixels(plain, 0, 0, 250, 20).values);
}

}  // namespace
