// Which input messages repaint what, seen on the screen: the forced and not-forced cells of
// the state tables of check boxes, option buttons and combo boxes, and the header items
// painted hot, pressed or normal as the pointer moves, is held or leaves.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "handler_test_support.h"
#include "skin/skin_engine.h"

namespace {

using namespace skin_handler_test;
namespace prop = modSkinner::prop;

constexpr COLORREF kMarker = RGB(255, 0, 255);

LONG_PTR Prop(HWND hwnd, const wchar_t* name) {
  return modSkinner::GetSkinProp(hwnd, name);
}
void StoreProp(HWND hwnd, const wchar_t* name, LONG_PTR value) {
  modSkinner::SetSkinProp(hwnd, name, value);
}

// The window's whole area as pixels (one copy, then read in memory).
std::vector<COLORREF> Snapshot(HWND hwnd, int& width, int& height) {
  RECT bounds{};
  GetWindowRect(hwnd, &bounds);
  width = bounds.right - bounds.left;
  height = bounds.bottom - bounds.top;
  HDC window = GetWindowDC(hwnd);
  HDC memory = CreateCompatibleDC(window);
  HBITMAP bitmap = CreateCompatibleBitmap(window, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, window, 0, 0, SRCCOPY);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(memory, x, y));
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(hwnd, window);
  return pixels;
}

// True when something was drawn over the marker since the window was filled with it.
bool Painted(HWND hwnd) {
  int width = 0, height = 0;
  for (COLORREF pixel : Snapshot(hwnd, width, height)) {
    if (pixel != kMarker) return true;
  }
  return false;
}

void FillWithMarker(HWND hwnd) {
  RECT bounds{};
  GetWindowRect(hwnd, &bounds);
  FillWindowArea(hwnd, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top, kMarker);
}

// Drops posted pointer and leave messages, so that only the message under test acts.
void Drain() {
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE)) {
  }
  while (PeekMessageW(&message, nullptr, WM_MOUSELEAVE, WM_MOUSELEAVE, PM_REMOVE)) {
  }
}

// One cell of a state table: the handler and message, the state passed to the painter,
// and whether that paint is forced. A state of -1 means no paint at all.
struct Cell {
  const char* name;
  modSkinner::SkinHandler handler;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LONG_PTR state;
  bool forced;
};

class RepaintCells : public ::testing::Test {
 protected:
  void SetUp() override {
    MoveCursorAway();
    // Stand-ins under the engine's class names that draw nothing themselves, so that every
    // pixel over the marker comes from the skin.
    RegisterProcClass(L"ThunderCheckBox", DefWindowProcW);
    RegisterProcClass(L"ThunderOptionButton", DefWindowProcW);
    RegisterProcClass(L"ThunderComboBox", DefWindowProcW);
  }

  // Runs the cell twice: with the requested state already stored (painted only when
  // forced) and with another state stored (painted, and the new state stored).
  void Check(HWND hwnd, const Cell& cell) {
    SCOPED_TRACE(cell.name);
    for (bool same : {true, false}) {
      const LONG_PTR before = cell.state < 0 ? 0 : (same ? cell.state : (cell.state + 1) % 3);
      StoreProp(hwnd, prop::OLDSTATE, before);
      StoreProp(hwnd, prop::MOUSEFLAG, 1);
      FillWithMarker(hwnd);
      cell.handler(DefWindowProcW, hwnd, cell.message, cell.wParam, cell.lParam);
      Drain();
      if (cell.state < 0) {
        EXPECT_FALSE(Painted(hwnd)) << "stored " << before;
        EXPECT_EQ(Prop(hwnd, prop::OLDSTATE), before);
        continue;
      }
      EXPECT_EQ(Painted(hwnd), !same || cell.forced) << "stored " << before;
      EXPECT_EQ(Prop(hwnd, prop::OLDSTATE), cell.state) << "stored " << before;
    }
  }

  TestForm form_;
};

TEST_F(RepaintCells, CheckBoxesAndOptionButtons) {
  HWND check = form_.Add(L"ThunderCheckBox", L"", 0, 10, 10, 90, 20);
  HWND option = form_.Add(L"ThunderOptionButton", L"", 0, 10, 40, 90, 20);
  ASSERT_EQ(modSkinner::SkinForm(form_), 1);
  Settle(form_);
  using namespace modSkinner;
  for (HWND box : {check, option}) {
    const bool isOption = box == option;
    const Cell cells[] = {
        {"move", OnMouseMove, WM_MOUSEMOVE, 0, Point(3, 3), 1, true},
        {"move held", OnMouseMove, WM_MOUSEMOVE, MK_LBUTTON, Point(3, 3), 2, true},
        {"down", OnLButtonDown, WM_LBUTTONDOWN, MK_LBUTTON, Point(3, 3), 2, false},
        {"up", OnLButtonUp, WM_LBUTTONUP, 0, Point(3, 3), 0, false},
        {"space down", OnKeyDown, WM_KEYDOWN, VK_SPACE, 0, 2, false},
        {"space up", OnKeyUp, WM_KEYUP, VK_SPACE, 0, 0, false},
        {"leave", OnMouseLeave, WM_MOUSELEAVE, 0, 0, 0, false},
        {"set focus", OnSetFocus, WM_SETFOCUS, 0, 0, isOption ? 0 : -1, true},
        {"kill focus", OnKillFocus, WM_KILLFOCUS, 0, 0, isOption ? 0 : -1, true},
    };
    for (const Cell& cell : cells) Check(box, cell);
  }

  // A release anywhere under the same parent repaints both, forced, in the normal state.
  HWND other = form_.Add(L"HandlerTestPlain", L"", 0, 200, 10, 40, 20);
  ASSERT_EQ(modSkinner::AttachSkin(other), 1);
  for (HWND box : {check, option}) {
    StoreProp(box, prop::OLDSTATE, 0);
    FillWithMarker(box);
  }
  SendMessageW(other, WM_LBUTTONUP, 0, Point(3, 3));
  EXPECT_TRUE(Painted(check));
  EXPECT_TRUE(Painted(option));
  Drain();
}

TEST_F(RepaintCells, EditableComboBox) {
  constexpr int kWidth = 150;
  constexpr int kHeight = 21;
  HWND combo = form_.Add(L"ThunderComboBox", L"", CBS_DROPDOWN, 10, 10, kWidth, kHeight);
  ASSERT_EQ(modSkinner::SkinForm(form_), 1);
  Settle(form_);
  using namespace modSkinner;
  const LPARAM zone = Point(kWidth - 10, kHeight / 2);
  const LPARAM edit = Point(10, kHeight / 2);
  const Cell cells[] = {
      {"move in zone", OnMouseMove, WM_MOUSEMOVE, 0, zone, 1, false},
      {"move held in zone", OnMouseMove, WM_MOUSEMOVE, MK_LBUTTON, zone, 2, false},
      {"move outside", OnMouseMove, WM_MOUSEMOVE, 0, edit, 0, false},
      {"down in zone", OnLButtonDown, WM_LBUTTONDOWN, MK_LBUTTON, zone, 2, false},
      {"down outside", OnLButtonDown, WM_LBUTTONDOWN, MK_LBUTTON, edit, -1, false},
      {"up, pointer elsewhere", OnLButtonUp, WM_LBUTTONUP, 0, zone, 0, false},
      {"leave", OnMouseLeave, WM_MOUSELEAVE, 0, 0, 0, false},
  };
  for (const Cell& cell : cells) Check(combo, cell);
}

// A header of three items, 50, 60 and 70 pixels wide: 0-50, 50-110, 110-180.
class HeaderRepaint : public ::testing::Test {
 protected:
  void SetUp() override {
    MoveCursorAway();
    header_ = form_.Add(WC_HEADERW, L"", HDS_BUTTONS | HDS_HORZ, 10, 10, 300, 20);
    const int widths[] = {50, 60, 70};
    for (int i = 0; i < 3; ++i) {
      HDITEMW item{};
      item.mask = HDI_WIDTH | HDI_TEXT;
      item.cxy = widths[i];
      item.pszText = const_cast<wchar_t*>(L"列");
      SendMessageW(header_, HDM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    ASSERT_EQ(modSkinner::SkinForm(form_), 1);
    Settle(form_);
    HDC image = modSkinner::Engine().Images.HeaderImage;
    cells_[0] = GetPixel(image, 1, 10);
    cells_[1] = GetPixel(image, 4, 10);
    cells_[2] = GetPixel(image, 7, 10);
    ASSERT_NE(cells_[0], cells_[1]);
    ASSERT_NE(cells_[1], cells_[2]);
    ASSERT_NE(cells_[0], cells_[2]);
  }

  // What each item shows 5 pixels in from its left edge (away from the text): "n", "h",
  // "p" for the three cells, "-" for the marker (not repainted), "?" for anything else.
  std::string Items() const {
    std::string shown;
    for (int x : {5, 55, 115}) {
      const COLORREF pixel = WindowPixel(header_, x, 10);
      shown += pixel == cells_[0]   ? 'n'
               : pixel == cells_[1] ? 'h'
               : pixel == cells_[2] ? 'p'
               : pixel == kMarker   ? '-'
                                    : '?';
    }
    return shown;
  }
  // Sends the message over a marker fill; returns what it repainted.
  std::string After(UINT message, WPARAM wParam, int x) {
    FillWithMarker(header_);
    SendMessageW(header_, message, wParam, Point(x, 5));
    Drain();
    return Items();
  }
  void Given(LONG_PTR hot, LONG_PTR pressed) {
    StoreProp(header_, prop::HMINDEX, hot);
    StoreProp(header_, prop::HDINDEX, pressed);
  }

  TestForm form_;
  HWND header_ = nullptr;
  COLORREF cells_[3] = {};
};

TEST_F(HeaderRepaint, TheHotItemFollowsThePointerAndTheOldOneTurnsNormal) {
  Given(-1, -1);
  EXPECT_EQ(After(WM_MOUSEMOVE, 0, 20), "h--");
  EXPECT_EQ(After(WM_MOUSEMOVE, 0, 80), "nh-");   // the previous hot item repainted normal
  EXPECT_EQ(After(WM_MOUSEMOVE, 0, 90), "---");   // the same item: nothing
  EXPECT_EQ(After(WM_MOUSEMOVE, 0, 250), "-n-");  // off every item: the hot one turns normal
  EXPECT_EQ(Prop(header_, prop::HMINDEX), -1);
}

TEST_F(HeaderRepaint, MovesWithTheButtonHeldRepaintOnlyWhenHotAndPressedDiffer) {
  // Pressed on the hot item (the usual case): nothing is repainted, wherever it goes.
  Given(1, 1);
  EXPECT_EQ(After(WM_MOUSEMOVE, MK_LBUTTON, 150), "---");
  EXPECT_EQ(After(WM_MOUSEMOVE, MK_LBUTTON, 80), "---");
  EXPECT_EQ(After(WM_MOUSEMOVE, MK_LBUTTON, 20), "---");
  EXPECT_EQ(Prop(header_, prop::HMINDEX), 1);
  // Hot and pressed differ: the hot item turns normal, the pressed one shows pressed while
  // the pointer is over it; the hot item is not updated.
  Given(0, 1);
  EXPECT_EQ(After(WM_MOUSEMOVE, MK_LBUTTON, 80), "np-");
  EXPECT_EQ(Prop(header_, prop::HMINDEX), 0);
  Given(0, 1);
  EXPECT_EQ(After(WM_MOUSEMOVE, MK_LBUTTON, 150), "n--");
}

TEST_F(HeaderRepaint, LeavingRepaintsTheHotItemNormal) {
  Given(2, -1);
  StoreProp(header_, prop::MOUSEFLAG, 1);
  EXPECT_EQ(After(WM_MOUSELEAVE, 0, 0), "--n");
  Given(-1, -1);
  EXPECT_EQ(After(WM_MOUSELEAVE, 0, 0), "---");
}

TEST_F(HeaderRepaint, AHeaderWithoutItemsPaintsNoItem) {
  HWND empty = form_.Add(WC_HEADERW, L"", HDS_BUTTONS | HDS_HORZ, 10, 40, 300, 20);
  ASSERT_EQ(modSkinner::AttachSkin(empty), 1);
  Settle(form_);
  StoreProp(empty, prop::HMINDEX, 1);  // a stale hot item
  FillWithMarker(empty);
  SendMessageW(empty, WM_MOUSEMOVE, 0, Point(20, 5));
  SendMessageW(empty, WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(Painted(empty));
  EXPECT_EQ(Prop(empty, prop::HMINDEX), -1);
  // Its full paint is the background alone: every column alike.
  RedrawWindow(empty, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  int width = 0, height = 0;
  const std::vector<COLORREF> pixels = Snapshot(empty, width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 1; x < width; ++x) {
      ASSERT_EQ(pixels[y * width + x], pixels[y * width]) << x << "," << y;
    }
  }
  Drain();
}

}  // namespace
