// Drawing primitives: checked coordinates, rounding, word halves, rectangles, window queries.
#include "graphics/primitives.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <utility>

#include "graphics/surfaces.h"
#include "graphics_support.h"

using namespace modSkinner;
using graphics_test::AllPixels;
using graphics_test::Fill;
using graphics_test::HexAt;

namespace {

// A top-level window of the given class, destroyed with the test.
class TestWindow {
 public:
  TestWindow(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle = 0,
             int x = 10, int y = 20, int width = 130, int height = 40, void* param = nullptr)
      : hwnd_(CreateWindowExW(exStyle, className, text, style, x, y, width, height, nullptr,
                              nullptr, GetModuleHandleW(nullptr), param)) {}
  ~TestWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  HWND get() const { return hwnd_; }

 private:
  HWND hwnd_;
};

// A window class whose non-client area has the insets passed at creation, so that frame
// differences of any size can be measured.
struct Insets {
  int left, top, right, bottom;
};

LRESULT CALLBACK InsetWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == WM_NCCALCSIZE) {
    auto* insets = reinterpret_cast<Insets*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    auto* rect = reinterpret_cast<RECT*>(lParam);
    if (insets) {
      rect->left += insets->left;
      rect->top += insets->top;
      rect->right -= insets->right;
      rect->bottom -= insets->bottom;
    }
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

const wchar_t* InsetWindowClass() {
  static const ATOM atom = [] {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = InsetWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarnwickInsetTest";
    return RegisterClassW(&wc);
  }();
  return atom ? L"TarnwickInsetTest" : nullptr;
}

}  // namespace

TEST(CheckedArithmetic, OverflowRaisesInsteadOfWrapping) {
  EXPECT_EQ(CheckedAdd(-5, 3), -2);
  EXPECT_EQ(CheckedAdd(INT_MAX - 1, 1), INT_MAX);
  EXPECT_EQ(CheckedSub(INT_MIN + 1, 1), INT_MIN);
  EXPECT_THROW(CheckedAdd(INT_MAX, 1), CoordinateOverflow);
  EXPECT_THROW(CheckedAdd(INT_MIN, -1), CoordinateOverflow);
  EXPECT_THROW(CheckedSub(INT_MIN, 1), CoordinateOverflow);
  EXPECT_THROW(CheckedSub(0, INT_MIN), CoordinateOverflow);
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
  for (auto [value, rounded] : {std::pair{0.5, 0},
                                {1.5, 2},
                                {2.5, 2},
                                {3.5, 4},
                                {-0.5, 0},
                                {-1.5, -2},
                                {2.4999, 2},
                                {2.5001, 3}}) {
    EXPECT_EQ(RoundHalfEven(value), rounded) << value;
  }
  EXPECT_THROW(RoundHalfEven(3e9), CoordinateOverflow);
  // half(): the frame metrics' 4 -> 2, 5 -> 2, 3 -> 2, and the painters' 7 -> 4.
  for (auto [value, half] : {std::pair{4, 2}, {5, 2}, {3, 2}, {7, 4}, {1, 0}, {-3, -2}, {-5, -2}}) {
    EXPECT_EQ(Half(value), half) << value;
  }
  EXPECT_EQ(Half(INT_MIN), INT_MIN / 2);
  EXPECT_EQ(Half(INT_MAX), RoundHalfEven(INT_MAX / 2.0));
}

TEST(WordHalves, AreSignExtended) {
  EXPECT_EQ(GetLowWord(static_cast<std::int32_t>(0xFFFF0005u)), 5);
  EXPECT_EQ(GetHighWord(static_cast<std::int32_t>(0xFFFF0005u)), -1);
  EXPECT_EQ(GetLowWord(static_cast<std::int32_t>(0x7FFF8000u)), -32768);
  EXPECT_EQ(GetHighWord(static_cast<std::int32_t>(0x7FFF8000u)), 32767);
  // A point left of and above the window, as a mouse message carries it.
  auto point = static_cast<std::int32_t>(MAKELPARAM(-3, -7));
  EXPECT_EQ(GetLowWord(point), -3);
  EXPECT_EQ(GetHighWord(point), -7);
}

TEST(ColourRects, FillAndFrameCoverExactlyTheirRectangle) {
  ScopedSurface surface(12, 12);
  Fill(surface, 12, 12, 0x000000);
  EXPECT_NE(FillColorRect(surface, 2, 3, 4, 5, 0xd58f1b), 0);
  EXPECT_TRUE(AllPixels(surface, 2, 3, 4, 5, 0xd58f1b));
  EXPECT_EQ(HexAt(surface, 6, 3), "000000");  // right and bottom are exclusive
  EXPECT_EQ(HexAt(surface, 2, 8), "000000");
  EXPECT_EQ(HexAt(surface, 1, 3), "000000");

  Fill(surface, 12, 12, 0x000000);
  EXPECT_NE(FrameColorRect(surface, 1, 1, 10, 8, 0xff00ff), 0);
  EXPECT_TRUE(AllPixels(surface, 1, 1, 10, 1, 0xff00ff));  // top
  EXPECT_TRUE(AllPixels(surface, 1, 8, 10, 1, 0xff00ff));  // bottom
  EXPECT_TRUE(AllPixels(surface, 1, 1, 1, 8, 0xff00ff));   // left
  EXPECT_TRUE(AllPixels(surface, 10, 1, 1, 8, 0xff00ff));  // right
  EXPECT_TRUE(AllPixels(surface, 2, 2, 8, 6, 0x000000));   // inside untouched
  EXPECT_EQ(HexAt(surface, 11, 1), "000000");
}

TEST(ColourRects, OverflowingRectangleRaisesAndDrawsNothing) {
  ScopedSurface surface(4, 4);
  Fill(surface, 4, 4, 0x123456);
  EXPECT_THROW(FillColorRect(surface, INT_MAX, 0, 1, 1, 0), CoordinateOverflow);
  EXPECT_THROW(FillColorRect(surface, 0, INT_MIN, 1, -1, 0), CoordinateOverflow);
  EXPECT_THROW(FrameColorRect(surface, 0, INT_MAX - 1, 4, 2, 0), CoordinateOverflow);
  EXPECT_THROW(DrawFocusBox(surface, INT_MAX, 0, 1, 1), CoordinateOverflow);
  EXPECT_THROW(DrawCaptionText(surface, L"x", 0, INT_MAX, 1, 1, 0), CoordinateOverflow);
  EXPECT_TRUE(AllPixels(surface, 0, 0, 4, 4, 0x123456));
}

TEST(CaptionText, DrawsWithTheFlagsGivenAndLeavesTheTextAlone) {
  ScopedSurface surface(120, 30);
  Fill(surface, 120, 30, 0xffffff);
  SetTextColor(surface, 0x000000);
  SetBkMode(surface, TRANSPARENT);
  EXPECT_GT(
      DrawCaptionText(surface, L"开始处理", 0, 0, 120, 30, DT_CENTER | DT_VCENTER | DT_SINGLELINE),
      0);
  EXPECT_FALSE(AllPixels(surface, 0, 0, 120, 30, 0xffffff));

  // The ellipsis of DT_MODIFYSTRING never lands in the caller's text.
  const std::wstring text = L"a rather long caption that does not fit";
  DrawCaptionText(surface, text, 0, 0, 30, 30, DT_END_ELLIPSIS | DT_MODIFYSTRING | DT_SINGLELINE);
  EXPECT_EQ(text, L"a rather long caption that does not fit");
}

TEST(WindowQueries, ClassNameCaptionAndBounds) {
  EXPECT_EQ(GetClassNameText(nullptr), L"");
  EXPECT_EQ(GetClassNameText(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7654321))), L"");
  EXPECT_EQ(GetWindowCaption(nullptr), L"");

  TestWindow empty(L"Static", L"", WS_POPUP | WS_BORDER, 0, 10, 20, 130, 40);
  TestWindow chinese(L"Static", L"转换处理完成！", WS_POPUP);
  ASSERT_NE(empty.get(), nullptr);
  ASSERT_NE(chinese.get(), nullptr);
  EXPECT_EQ(GetClassNameText(empty.get()), L"Static");
  EXPECT_EQ(GetWindowCaption(empty.get()), L"");
  EXPECT_EQ(GetWindowCaption(chinese.get()), L"转换处理完成！");

  WindowBounds bounds;
  EXPECT_NE(GetWindowBounds(empty.get(), bounds), 0);
  const WindowBounds expected = {10, 20, 140, 60, 130, 40};
  EXPECT_EQ(std::memcmp(&bounds, &expected, sizeof bounds), 0);
  bounds.Width = 99;
  EXPECT_EQ(GetWindowBounds(nullptr, bounds), 0);
  EXPECT_EQ(bounds.Width, 0);
}

TEST(FrameMetrics, HalfTheFrameRoundedAndScrollBarsLeftOut) {
  std::int32_t bx = -1, by = -1;

  // A text box with a sunken client edge: 2 pixels on each side, as the platform draws it.
  TestWindow edit(L"Edit", L"", WS_POPUP, WS_EX_CLIENTEDGE);
  ASSERT_NE(edit.get(), nullptr);
  EXPECT_EQ(GetFrameMetrics(edit.get(), bx, by), 1);
  EXPECT_EQ(bx, GetSystemMetrics(SM_CXEDGE));
  EXPECT_EQ(by, GetSystemMetrics(SM_CYEDGE));

  // A multi-line one with a vertical scroll bar: only the horizontal difference loses it.
  TestWindow memo(L"Edit", L"", WS_POPUP | WS_VSCROLL | ES_MULTILINE, WS_EX_CLIENTEDGE, 0, 0, 150,
                  90);
  ASSERT_NE(memo.get(), nullptr);
  GetFrameMetrics(memo.get(), bx, by);
  EXPECT_EQ(bx, GetSystemMetrics(SM_CXEDGE));
  EXPECT_EQ(by, GetSystemMetrics(SM_CYEDGE));

  // Odd differences: 5 -> 2, 3 -> 2, 7 -> 4, 1 -> 0.
  ASSERT_NE(InsetWindowClass(), nullptr);
  Insets odd = {2, 1, 3, 2};
  TestWindow oddFrame(InsetWindowClass(), L"", WS_POPUP, 0, 0, 0, 50, 50, &odd);
  GetFrameMetrics(oddFrame.get(), bx, by);
  EXPECT_EQ(bx, 2);
  EXPECT_EQ(by, 2);
  Insets wide = {3, 1, 4, 0};
  TestWindow wideFrame(InsetWindowClass(), L"", WS_POPUP, 0, 0, 0, 50, 50, &wide);
  GetFrameMetrics(wideFrame.get(), bx, by);
  EXPECT_EQ(bx, 4);
  EXPECT_EQ(by, 0);

  // Both scroll-bar flags: each difference loses exactly its own scroll bar.
  Insets scrolled = {2, 2, 2 + GetSystemMetrics(SM_CXVSCROLL), 2 + GetSystemMetrics(SM_CYHSCROLL)};
  TestWindow scrolledFrame(InsetWindowClass(), L"", WS_POPUP | WS_VSCROLL | WS_HSCROLL, 0, 0, 0, 80,
                           80, &scrolled);
  GetFrameMetrics(scrolledFrame.get(), bx, by);
  EXPECT_EQ(bx, 2);
  EXPECT_EQ(by, 2);
}
