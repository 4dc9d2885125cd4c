// The subclass procedure: messages outside the table pass unchanged, the fixed actions
// around the previous procedure, detaching on WM_DESTROY, the check refresh after a click,
// and no error ever leaving the procedure.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <climits>
#include <vector>

#include "handler_test_support.h"
#include "skin/skin_engine.h"

namespace {

using namespace skin_handler_test;
namespace prop = modSkinner::prop;
using modSkinner::Engine;

LONG_PTR Prop(HWND hwnd, const wchar_t* name) {
  return modSkinner::GetSkinProp(hwnd, name);
}

// What the stand-in control's own procedure saw.
struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool skinnedAtTheTime;  // PROCADDR present when the message arrived
};
std::vector<Seen> g_seen;
HBRUSH g_brush = nullptr;
constexpr LRESULT kOwnResult = 0x5EED;

// The stand-in's procedure: records every message and answers with its own values.
LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  g_seen.push_back({message, wParam, lParam, GetPropW(hwnd, prop::PROCADDR) != nullptr});
  switch (message) {
    case WM_CTLCOLOREDIT:
      SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 0, 0));
      return reinterpret_cast<LRESULT>(g_brush);
    case 0x0009:
      return kOwnResult;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

bool SawMessage(UINT message) {
  for (const Seen& seen : g_seen) {
    if (seen.message == message) return true;
  }
  return false;
}

// A header whose only item spans the whole 32-bit range: every width computed from it
// overflows, so every skin step that measures it fails.
LRESULT CALLBACK OverflowingHeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  g_seen.push_back({message, wParam, lParam, GetPropW(hwnd, prop::PROCADDR) != nullptr});
  switch (message) {
    case HDM_GETITEMCOUNT:
      return 1;
    case HDM_GETITEMRECT: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      *rect = RECT{INT_MIN, 0, INT_MAX, 20};
      return TRUE;
    }
    case WM_MOUSEMOVE:
      return kOwnResult;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(hwnd, &paint);
      EndPaint(hwnd, &paint);
      return kOwnResult;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

int CountSeen(UINT message) {
  int count = 0;
  for (const Seen& seen : g_seen) count += seen.message == message ? 1 : 0;
  return count;
}

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterTestClasses();
    RegisterProcClass(L"ThunderFormDC", RecordingProc);
    RegisterProcClass(L"RecordingControl", RecordingProc);
    RegisterProcClass(L"msvb_lib_header", OverflowingHeaderProc);
    g_brush = CreateSolidBrush(RGB(1, 2, 3));
    g_seen.clear();
    MoveCursorAway();
  }
  void TearDown() override {
    DeleteObject(g_brush);
    Pump();
  }
};

TEST_F(DispatchTest, MessagesOutsideTheTablePassUnchangedAndTheFixedActionsHold) {
  TestForm form(L"ThunderFormDC");
  HWND control = form.Add(L"RecordingControl", L"", 0, 10, 10, 50, 50);
  ASSERT_EQ(modSkinner::SkinForm(form), 1);
  g_seen.clear();

  // Not in the table: the previous procedure gets exactly what was sent.
  EXPECT_EQ(SendMessageW(control, 0x0009, 0x1234, 0x5678), kOwnResult);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].message, 0x0009u);
  EXPECT_EQ(g_seen[0].wParam, 0x1234u);
  EXPECT_EQ(g_seen[0].lParam, 0x5678);

  // WM_DRAWITEM is swallowed: 0, and the container's own procedure never sees it.
  DRAWITEMSTRUCT item{};
  g_seen.clear();
  EXPECT_EQ(SendMessageW(form, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item)), 0);
  EXPECT_FALSE(SawMessage(WM_DRAWITEM));

  // WM_CTLCOLOREDIT: the brush of the previous procedure, the text background white.
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SendMessageW(form, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), 0),
            reinterpret_cast<LRESULT>(g_brush));
  EXPECT_TRUE(SawMessage(WM_CTLCOLOREDIT));
  EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
  DeleteDC(dc);

  // WM_ENTERIDLE and WM_CTLCOLORLISTBOX with lParam 0 only reach the previous procedure;
  // with a window they attach it.
  const int count = Engine().SkinnedCount;
  g_seen.clear();
  SendMessageW(form, WM_ENTERIDLE, MSGF_DIALOGBOX, 0);
  SendMessageW(form, WM_CTLCOLORLISTBOX, 0, 0);
  EXPECT_TRUE(SawMessage(WM_ENTERIDLE));
  EXPECT_TRUE(SawMessage(WM_CTLCOLORLISTBOX));
  EXPECT_EQ(Engine().SkinnedCount, count);
  HWND idle = CreateWindowExW(0, L"HandlerTestPlain", L"", WS_POPUP, 0, 0, 10, 10, form, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  HWND list = CreateWindowExW(0, L"HandlerTestPlain", L"", WS_POPUP, 0, 0, 10, 10, form, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  SendMessageW(form, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(idle));
  SendMessageW(control, WM_CTLCOLORLISTBOX, 0, reinterpret_cast<LPARAM>(list));
  EXPECT_NE(Prop(idle, prop::PROCADDR), 0);
  EXPECT_NE(Prop(list, prop::PROCADDR), 0);
  EXPECT_EQ(Engine().SkinnedCount, count + 2);
  DestroyWindow(idle);
  DestroyWindow(list);
  EXPECT_EQ(Engine().SkinnedCount, count);
}

TEST_F(DispatchTest, DestroyDetachesBeforeTheControlSeesIt) {
  TestForm form(L"ThunderFormDC");
  HWND control = form.Add(L"RecordingControl", L"", 0, 10, 10, 50, 50);
  ASSERT_EQ(modSkinner::SkinForm(form), 1);
  const int count = Engine().SkinnedCount;
  g_seen.clear();
  DestroyWindow(control);
  ASSERT_TRUE(SawMessage(WM_DESTROY));
  for (const Seen& seen : g_seen) {
    if (seen.message == WM_DESTROY || seen.message == WM_NCDESTROY) {
      EXPECT_FALSE(seen.skinnedAtTheTime) << seen.message;
    }
  }
  EXPECT_EQ(Engine().SkinnedCount, count - 1);
}

TEST_F(DispatchTest, ReleasingTheButtonRefreshesTheChecksUnderTheSameParent) {
  TestForm form;
  HWND check = form.Add(L"ThunderRT6CheckBox", L"一", BS_AUTOCHECKBOX, 10, 10, 80, 20);
  HWND option = form.Add(L"ThunderRT6OptionButton", L"二", BS_AUTORADIOBUTTON, 10, 40, 80, 20);
  HWND plain = form.Add(L"HandlerTestPlain", L"", 0, 120, 10, 50, 50);
  ASSERT_EQ(modSkinner::SkinForm(form), 1);

  // A release on a sibling repaints both boxes in their normal state.
  modSkinner::SetSkinProp(check, prop::OLDSTATE, modSkinner::kStateHot);
  modSkinner::SetSkinProp(option, prop::OLDSTATE, modSkinner::kStatePressed);
  SendMessageW(plain, WM_LBUTTONUP, 0, Point(5, 5));
  EXPECT_EQ(Prop(check, prop::OLDSTATE), modSkinner::kStateNormal);
  EXPECT_EQ(Prop(option, prop::OLDSTATE), modSkinner::kStateNormal);

  // A release on the top-level form itself refreshes its own descendants.
  modSkinner::SetSkinProp(check, prop::OLDSTATE, modSkinner::kStatePressed);
  SendMessageW(form, WM_LBUTTONUP, 0, Point(300, 300));
  EXPECT_EQ(Prop(check, prop::OLDSTATE), modSkinner::kStateNormal);

  // An unskinned box is left alone.
  modSkinner::UnskinForm(check);
  SetPropW(check, prop::OLDSTATE, reinterpret_cast<HANDLE>(1));
  SendMessageW(plain, WM_LBUTTONUP, 0, Point(5, 5));
  EXPECT_EQ(Prop(check, prop::OLDSTATE), 1);
  RemovePropW(check, prop::OLDSTATE);
}

TEST_F(DispatchTest, AFailingSkinStepNeverEscapesAndTheControlStillRuns) {
  TestForm form;
  HWND header = form.Add(L"msvb_lib_header", L"", 0, 10, 10, 200, 20);
  ASSERT_EQ(modSkinner::SkinForm(form), 1);
  ASSERT_NE(Prop(header, prop::PROCADDR), 0);
  g_seen.clear();

  // The header's skin paint fails before the control painted: the control paints itself.
  InvalidateRect(header, nullptr, FALSE);
  UpdateWindow(header);
  EXPECT_EQ(CountSeen(WM_PAINT), 1);

  // The hot-item paint fails after the control handled the move: its result is returned
  // and it ran once only.
  g_seen.clear();
  EXPECT_EQ(SendMessageW(header, WM_MOUSEMOVE, 0, Point(5, 5)), kOwnResult);
  EXPECT_EQ(CountSeen(WM_MOUSEMOVE), 1);

  // The window is still skinned and keeps working.
  EXPECT_NE(Prop(header, prop::PROCADDR), 0);
  EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 1);
}

}  // namespace
