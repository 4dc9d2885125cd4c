// iFrame: its background colour and property store, the border after resizes (checked on
// the painted pixels), and the notifications of its children reaching its parent.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <vector>

#include "controls/iframe.h"
#include "platform/gdi_guards.h"

namespace tarnwick::controls {
namespace {

// A top-level window that records the WM_COMMAND notifications it receives.
class HostWindow {
 public:
  HostWindow() {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == WM_COMMAND) commands.push_back(w);
      return DefWindowProcW(h, m, w, l);
    };
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"TarnwickFrameHost";
    RegisterClassW(&window_class);
    hwnd_ = CreateWindowW(L"TarnwickFrameHost", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                          nullptr, GetModuleHandleW(nullptr), nullptr);
    commands.clear();
  }
  ~HostWindow() { DestroyWindow(hwnd_); }
  HWND hwnd() const { return hwnd_; }
  static inline std::vector<WPARAM> commands;

 private:
  HWND hwnd_;
};

// The frame as it paints itself, as pixels.
class Painted {
 public:
  explicit Painted(const iFrame& frame) {
    RECT client{};
    GetClientRect(frame.hWnd(), &client);
    width_ = client.right;
    height_ = client.bottom;
    platform::ScopedGetDC screen(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, std::max(width_, 1), std::max(height_, 1));
    old_ = SelectObject(dc_, bitmap_);
    SendMessageW(frame.hWnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
  }
  ~Painted() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
  // True when exactly the outer one-pixel ring has the border colour.
  bool BorderOnOuterEdge(COLORREF inside) const {
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        const bool edge = x == 0 || y == 0 || x == width_ - 1 || y == height_ - 1;
        if (At(x, y) != (edge ? kBorderColor : inside)) return false;
      }
    }
    return true;
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

TEST(iFrame, StartsWithTheButtonFaceOrItsStoredColour) {
  HostWindow host;
  iFrame* plain = iFrame::Create(host.hwnd(), 1, RECT{0, 0, 50, 40}, nullptr);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->BackColor(), kDefaultBackColor);
  EXPECT_EQ(plain->BackgroundRgb(), GetSysColor(COLOR_BTNFACE));
  EXPECT_TRUE(Painted(*plain).BorderOnOuterEdge(GetSysColor(COLOR_BTNFACE)));

  platform::PropertyBag stored;
  stored.WriteProperty(kBackColorProperty, 0x00336699, kDefaultBackColor);
  iFrame* coloured = iFrame::Create(host.hwnd(), 2, RECT{0, 0, 50, 40}, &stored);
  ASSERT_NE(coloured, nullptr);
  EXPECT_EQ(coloured->BackColor(), 0x00336699u);
  EXPECT_EQ(Painted(*coloured).At(10, 10), 0x00336699u);

  // A stored value that is no colour is passed on to the host; no frame is left behind.
  stored.WriteProperty(kBackColorProperty, 0x800000FF, kDefaultBackColor);
  EXPECT_THROW(iFrame::Create(host.hwnd(), 3, RECT{0, 0, 50, 40}, &stored), std::invalid_argument);
  EXPECT_EQ(GetDlgItem(host.hwnd(), 3), nullptr);
}

TEST(iFrame, SavesBackColorOnlyWhenItIsNotTheDefault) {
  HostWindow host;
  platform::PropertyBag saved;
  int notices = 0;
  iFrame* frame = iFrame::Create(host.hwnd(), 1, RECT{0, 0, 50, 40}, nullptr,
                                 [&](iFrame& changed, const wchar_t* name) {
                                   EXPECT_STREQ(name, L"BackColor");
                                   changed.UserControl_WriteProperties(saved);
                                   ++notices;
                                 });
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(notices, 0);  // reading the description is no change
  frame->UserControl_WriteProperties(saved);
  EXPECT_TRUE(saved.Empty());

  frame->BackColor(0x80000005);  // a system colour (window background)
  EXPECT_EQ(notices, 1);
  EXPECT_EQ(saved.ReadProperty(kBackColorProperty, 0), 0x80000005);
  EXPECT_EQ(frame->BackgroundRgb(), GetSysColor(COLOR_WINDOW));
  // Read back unchanged by another frame.
  iFrame* copy = iFrame::Create(host.hwnd(), 2, RECT{0, 0, 50, 40}, &saved);
  EXPECT_EQ(copy->BackColor(), 0x80000005u);

  frame->BackColor(kDefaultBackColor);
  EXPECT_EQ(notices, 2);
  EXPECT_FALSE(saved.Contains(kBackColorProperty));

  EXPECT_THROW(frame->BackColor(0x80000FFF), std::invalid_argument);
  EXPECT_EQ(frame->BackColor(), kDefaultBackColor);  // unchanged
  EXPECT_EQ(notices, 2);
}

TEST(iFrame, BorderRunsAlongTheOuterEdgeAfterEveryResize) {
  HostWindow host;
  platform::PropertyBag stored;
  stored.WriteProperty(kBackColorProperty, 0x00FFFFFF, kDefaultBackColor);
  iFrame* frame = iFrame::Create(host.hwnd(), 1, RECT{5, 5, 100, 60}, &stored);
  ASSERT_NE(frame, nullptr);
  for (SIZE size :
       {SIZE{95, 55}, SIZE{300, 20}, SIZE{3, 2}, SIZE{1, 1}, SIZE{0, 0}, SIZE{40, 90}}) {
    SetWindowPos(frame->hWnd(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
    const ShapeBounds& border = frame->shpBorder();
    EXPECT_EQ(border.Left, 0);
    EXPECT_EQ(border.Top, 0);
    EXPECT_EQ(border.Width, size.cx);
    EXPECT_EQ(border.Height, size.cy);
    if (size.cx > 0 && size.cy > 0) {
      EXPECT_TRUE(Painted(*frame).BorderOnOuterEdge(0x00FFFFFF)) << size.cx << "x" << size.cy;
    }
  }
}

TEST(iFrame, PassesItsChildrensNotificationsToItsParent) {
  HostWindow host;
  iFrame* outer = iFrame::Create(host.hwnd(), 1, RECT{0, 0, 200, 100}, nullptr);
  iFrame* inner = iFrame::Create(outer->hWnd(), 2, RECT{10, 10, 150, 80}, nullptr);
  HWND button =
      CreateWindowW(L"Button", L"x", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 5, 5, 40, 20,
                    inner->hWnd(), reinterpret_cast<HMENU>(42), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(button, BM_CLICK, 0, 0);
  ASSERT_EQ(HostWindow::commands.size(), 1u);
  EXPECT_EQ(HostWindow::commands[0], MAKEWPARAM(42, BN_CLICKED));
  EXPECT_TRUE(GetWindowLongW(outer->hWnd(), GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
  EXPECT_EQ(iFrame::FromHandle(button), nullptr);
  EXPECT_EQ(iFrame::FromHandle(inner->hWnd()), inner);
}

}  // namespace
}  // namespace tarnwick::controls
