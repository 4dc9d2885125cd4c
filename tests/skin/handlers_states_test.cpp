// Visual states of check boxes, option buttons, combo boxes, drive lists and headers under
// mouse, keyboard and focus messages, and the hit tests behind them.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "handler_test_support.h"
#include "skin/skin_engine.h"

namespace {

using namespace skin_handler_test;
namespace prop = modSkinner::prop;
using modSkinner::kStateHot;
using modSkinner::kStateNormal;
using modSkinner::kStatePressed;

LONG_PTR Prop(HWND hwnd, const wchar_t* name) {
  return modSkinner::GetSkinProp(hwnd, name);
}
void SetProp(HWND hwnd, const wchar_t* name, LONG_PTR value) {
  modSkinner::SetSkinProp(hwnd, name, value);
}

class StateTables : public ::testing::Test {
 protected:
  void SetUp() override { MoveCursorAway(); }

  // Drops posted pointer and leave messages between steps.
  static void Drain() {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE)) {
    }
    while (PeekMessageW(&message, nullptr, WM_MOUSELEAVE, WM_MOUSELEAVE, PM_REMOVE)) {
    }
  }

  TestForm form_;
};

TEST_F(StateTables, CheckBoxesAndOptionButtons) {
  HWND check = form_.Add(L"ThunderRT6CheckBox", L"复选", BS_AUTOCHECKBOX, 10, 10, 90, 20);
  HWND option = form_.Add(L"ThunderRT6OptionButton", L"选项", BS_AUTORADIOBUTTON, 10, 40, 90, 20);
  ASSERT_EQ(modSkinner::SkinForm(form_), 1);

  for (HWND box : {check, option}) {
    // Mouse move: hot, or pressed with the left button held; the first move enters.
    SendMessageW(box, WM_MOUSEMOVE, 0, Point(3, 3));
    EXPECT_EQ(Prop(box, prop::OLDSTATE), kStateHot);
    EXPECT_EQ(Prop(box, prop::MOUSEFLAG), 1);
    SendMessageW(box, WM_MOUSEMOVE, MK_LBUTTON, Point(3, 3));
    EXPECT_EQ(Prop(box, prop::OLDSTATE), kStatePressed);
    // Leave: normal again and the enter flag cleared.
    SendMessageW(box, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(Prop(box, prop::OLDSTATE), kStateNormal);
    EXPECT_EQ(Prop(box, prop::MOUSEFLAG), 0);
    // Press and release.
    SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, Point(3, 3));
    EXPECT_EQ(Prop(box, prop::OLDSTATE), kStatePressed);
    SendMessageW(box, WM_LBUTTONUP, 0, Point(3, 3));
    EXPECT_EQ(Prop(box, prop::OLDSTATE), kStateNormal);
    // Space down and up; no other key changes the look.
    SendMessageW(box, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(Prop(box, prop::OLDSTATE), kStatePressed);
    SendMessageW(box, WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(Prop(box, prop::OLDSTATE), kStateNormal);
    SetProp(box, prop::OLDSTATE, kStateHot);
    SendMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(box, WM_KEYUP, VK_RETURN, 0);
    EXPECT_EQ(Prop(box, prop::OLDSTATE), kStateHot);
    Drain();
  }
  // The control's own behaviour went on: the click selected the option button.
  EXPECT_EQ(SendMessageW(option, BM_GETCHECK, 0, 0), BST_CHECKED);

  // Focus: an option button repaints in its normal state, a check box is left alone.
  SetProp(check, prop::OLDSTATE, kStateHot);
  SetProp(option, prop::OLDSTATE, kStateHot);
  SetFocus(check);
  SetFocus(option);
  EXPECT_EQ(Prop(check, prop::OLDSTATE), kStateHot);
  EXPECT_EQ(Prop(option, prop::OLDSTATE), kStateNormal);

  // A paint of either repaints its box in the normal state.
  SetProp(check, prop::OLDSTATE, kStatePressed);
  RedrawWindow(check, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(Prop(check, prop::OLDSTATE), kStateNormal);
}

TEST_F(StateTables, EditableComboShowsHotAndPressedOnlyInTheDropButtonStrip) {
  HWND combo = form_.Add(L"ComboBox", L"", CBS_DROPDOWN | WS_VSCROLL, 10, 10, 150, 200);
  ASSERT_EQ(modSkinner::SkinForm(form_), 1);
  RECT bounds;
  GetWindowRect(combo, &bounds);
  const int w = bounds.right - bounds.left;
  const int h = bounds.bottom - bounds.top;
  const int scroll = GetSystemMetrics(SM_CXVSCROLL);

  struct Probe {
    int x, y;
    bool inZone;
  };
  const Probe probes[] = {
      {w - 2 - scroll, h / 2, true},
      {w - 3 - scroll, h / 2, false},
      {w - 2, h / 2, true},
      {w - 1, h / 2, false},
      {w - 10, 2, true},
      {w - 10, 1, false},
      {w - 10, h - 2, true},
      {w - 10, h - 1, false},
      {10, h / 2, false},
  };
  for (const Probe& probe : probes) {
    SendMessageW(combo, WM_MOUSEMOVE, 0, Point(probe.x, probe.y));
    EXPECT_EQ(Prop(combo, prop::OLDSTATE), probe.inZone ? kStateHot : kStateNormal)
        << probe.x << "," << probe.y;
    SendMessageW(combo, WM_MOUSEMOVE, MK_LBUTTON, Point(probe.x, probe.y));
    EXPECT_EQ(Prop(combo, prop::OLDSTATE), probe.inZone ? kStatePressed : kStateNormal)
        << probe.x << "," << probe.y;
  }
  EXPECT_EQ(Prop(combo, prop::MOUSEFLAG), 1);

  // A press on the edit part changes nothing.
  SetProp(combo, prop::OLDSTATE, kStateHot);
  SendMessageW(combo, WM_LBUTTONDOWN, MK_LBUTTON, Point(10, h / 2));
  SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
  ReleaseCapture();
  EXPECT_EQ(Prop(combo, prop::OLDSTATE), kStateHot);

  // Release: hot when the pointer is over the combo's drop button, else normal.
  MoveCursorTo(combo, w - 10, h / 2);
  SendMessageW(combo, WM_LBUTTONUP, 0, Point(w - 10, h / 2));
  EXPECT_EQ(Prop(combo, prop::OLDSTATE), kStateHot);
  MoveCursorAway();
  SendMessageW(combo, WM_LBUTTONUP, 0, Point(w - 10, h / 2));
  EXPECT_EQ(Prop(combo, prop::OLDSTATE), kStateNormal);

  // While the list is dropped the button is pressed whatever is asked.
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  SendMessageW(combo, WM_MOUSEMOVE, 0, Point(10, h / 2));
  EXPECT_EQ(Prop(combo, prop::OLDSTATE), kStatePressed);
  SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
  ReleaseCapture();

  // Leave: normal, enter flag cleared. Moving asks for state 0 without force.
  SendMessageW(combo, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Prop(combo, prop::OLDSTATE), kStateNormal);
  EXPECT_EQ(Prop(combo, prop::MOUSEFLAG), 0);
  SetProp(combo, prop::OLDSTATE, kStateHot);
  SetWindowPos(combo, nullptr, 12, 12, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(Prop(combo, prop::OLDSTATE), kStateNormal);
  Drain();
}

TEST_F(StateTables, DriveListIsHotOrPressedAnywhere) {
  HWND drives =
      form_.Add(L"ThunderRT6DriveListBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 10, 10, 150, 200);
  SendMessageW(drives, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"c:"));
  ASSERT_EQ(modSkinner::SkinForm(form_), 1);
  SendMessageW(drives, WM_MOUSEMOVE, 0, Point(5, 5));
  EXPECT_EQ(Prop(drives, prop::OLDSTATE), kStateHot);
  EXPECT_EQ(Prop(drives, prop::MOUSEFLAG), 1);
  SendMessageW(drives, WM_MOUSEMOVE, MK_LBUTTON, Point(5, 5));
  EXPECT_EQ(Prop(drives, prop::OLDSTATE), kStatePressed);
  SendMessageW(drives, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Prop(drives, prop::OLDSTATE), kStateNormal);
  SendMessageW(drives, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
  EXPECT_EQ(Prop(drives, prop::OLDSTATE), kStatePressed);
  SendMessageW(drives, CB_SHOWDROPDOWN, FALSE, 0);
  ReleaseCapture();
  MoveCursorAway();
  SendMessageW(drives, WM_LBUTTONUP, 0, Point(5, 5));
  EXPECT_EQ(Prop(drives, prop::OLDSTATE), kStateNormal);
  Drain();
}

// A header of items 50, 60 and 70 pixels wide: rectangles 0-50, 50-110, 110-180.
HWND AddHeader(TestForm& form, int items) {
  HWND header = form.Add(WC_HEADERW, L"", HDS_BUTTONS | HDS_HORZ, 10, 10, 300, 20);
  const int widths[] = {50, 60, 70};
  for (int i = 0; i < items; ++i) {
    HDITEMW item{};
    item.mask = HDI_WIDTH | HDI_TEXT;
    item.cxy = widths[i];
    item.pszText = const_cast<wchar_t*>(L"列");
    SendMessageW(header, HDM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  return header;
}

TEST_F(StateTables, HeaderHotAndPressedItemsFollowTheHitTest) {
  HWND header = AddHeader(form_, 3);
  ASSERT_EQ(modSkinner::SkinForm(form_), 1);
  struct Hit {
    int x;
    LONG_PTR item;
  };
  // Shared edges go to the lower index; beyond the last item nothing is hit.
  for (const Hit& hit : {Hit{0, 0}, Hit{50, 0}, Hit{51, 1}, Hit{110, 1}, Hit{111, 2}, Hit{180, 2},
                         Hit{181, -1}, Hit{25, 0}}) {
    SendMessageW(header, WM_MOUSEMOVE, 0, Point(hit.x, 5));
    EXPECT_EQ(Prop(header, prop::HMINDEX), hit.item) << hit.x;
  }
  EXPECT_EQ(Prop(header, prop::MOUSEFLAG), 1);

  // Press on item 1 (hot): pressed recorded; moves with the button held never change the
  // hot item.
  SendMessageW(header, WM_MOUSEMOVE, 0, Point(60, 5));
  SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, Point(60, 5));
  EXPECT_EQ(Prop(header, prop::HDINDEX), 1);
  SendMessageW(header, WM_MOUSEMOVE, MK_LBUTTON, Point(150, 5));
  SendMessageW(header, WM_MOUSEMOVE, MK_LBUTTON, Point(60, 5));
  EXPECT_EQ(Prop(header, prop::HMINDEX), 1);
  EXPECT_EQ(Prop(header, prop::HDINDEX), 1);
  SendMessageW(header, WM_LBUTTONUP, 0, Point(60, 5));
  ReleaseCapture();
  EXPECT_EQ(Prop(header, prop::HDINDEX), -1);

  // A press outside every item records no pressed item.
  SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, Point(250, 5));
  EXPECT_EQ(Prop(header, prop::HDINDEX), -1);
  SendMessageW(header, WM_LBUTTONUP, 0, Point(250, 5));
  ReleaseCapture();

  // Leave clears both and the enter flag.
  SendMessageW(header, WM_MOUSEMOVE, 0, Point(20, 5));
  SetProp(header, prop::HDINDEX, 2);
  SendMessageW(header, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Prop(header, prop::HMINDEX), -1);
  EXPECT_EQ(Prop(header, prop::HDINDEX), -1);
  EXPECT_EQ(Prop(header, prop::MOUSEFLAG), 0);
  Drain();
}

TEST_F(StateTables, HeaderWithoutItems) {
  HWND header = AddHeader(form_, 0);
  ASSERT_EQ(modSkinner::SkinForm(form_), 1);
  // A press leaves the pressed item as it was; a move finds no hit and clears the hot item.
  SetProp(header, prop::HDINDEX, 5);
  SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, Point(20, 5));
  EXPECT_EQ(Prop(header, prop::HDINDEX), 5);
  ReleaseCapture();
  SetProp(header, prop::HDINDEX, -1);
  SetProp(header, prop::HMINDEX, 2);
  SendMessageW(header, WM_MOUSEMOVE, 0, Point(20, 5));
  EXPECT_EQ(Prop(header, prop::HMINDEX), -1);
  Drain();
}

}  // namespace
