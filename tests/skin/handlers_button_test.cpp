// The command button's visual-state transitions, row by row: the properties each event
// leaves, whether the fade timer runs, and what is painted at once.
#include <gtest/gtest.h>
#include <windows.h>

#include "handler_test_support.h"
#include "skin/skin_engine.h"

namespace {

using namespace skin_handler_test;
namespace prop = modSkinner::prop;
using modSkinner::kStateDisabled;
using modSkinner::kStateHot;
using modSkinner::kStateNormal;
using modSkinner::kStatePressed;

constexpr COLORREF kMarker = RGB(255, 0, 0);
// A pixel of the face body, away from the corners and the caption.
constexpr int kProbeX = 5;
constexpr int kProbeY = 12;

LONG_PTR Prop(HWND hwnd, const wchar_t* name) {
  return modSkinner::GetSkinProp(hwnd, name);
}

class ButtonTransitions : public ::testing::Test {
 protected:
  void SetUp() override {
    MoveCursorAway();
    button_ = form_.Add(L"Button", L"开始", BS_PUSHBUTTON, 10, 10, 75, 25);
    other_ = form_.Add(L"HandlerTestPlain", L"", 0, 200, 10, 60, 40);
    ASSERT_EQ(modSkinner::SkinForm(form_), 1);
    Settle(form_);
    // The four faces must differ where the tests look, or pixel checks prove nothing.
    for (int a = 0; a < 4; ++a) {
      for (int b = a + 1; b < 4; ++b) ASSERT_NE(Face(a), Face(b)) << a << " " << b;
    }
  }

  // Sets the state properties as the row's precondition; a running timer when asked.
  void Given(std::int32_t state, LONG_PTR level, LONG_PTR mouseFlag, bool timer) {
    Drain();
    modSkinner::StopStateTimer(button_);
    modSkinner::SetSkinProp(button_, prop::OLDSTATE, state);
    modSkinner::SetSkinProp(button_, prop::ALPHALEVEL, level);
    modSkinner::SetSkinProp(button_, prop::MOUSEFLAG, mouseFlag);
    if (timer) modSkinner::StartStateTimer(button_);
    FillWindowArea(button_, 0, 0, 75, 25, kMarker);
  }

  // Drops posted timer ticks, leave notifications and pointer moves, so that nothing but
  // the message under test changes the state.
  void Drain() {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
    }
    while (PeekMessageW(&message, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE)) {
    }
    while (PeekMessageW(&message, nullptr, WM_MOUSELEAVE, WM_MOUSELEAVE, PM_REMOVE)) {
    }
  }

  void ExpectState(LONG_PTR mouseFlag, LONG_PTR state, LONG_PTR level, bool timer) {
    EXPECT_EQ(Prop(button_, prop::MOUSEFLAG), mouseFlag);
    EXPECT_EQ(Prop(button_, prop::OLDSTATE), state);
    EXPECT_EQ(Prop(button_, prop::ALPHALEVEL), level);
    EXPECT_EQ(Prop(button_, prop::TIMERID) != 0, timer);
  }

  COLORREF Face(int state) const {
    return GetPixel(reinterpret_cast<HDC>(Prop(button_, prop::HDC_[state])), kProbeX, kProbeY);
  }
  COLORREF Shown() const { return WindowPixel(button_, kProbeX, kProbeY); }
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(button_, message, wParam, lParam);
  }

  TestForm form_;
  HWND button_ = nullptr;
  HWND other_ = nullptr;
};

TEST_F(ButtonTransitions, MouseMoves) {
  // Entering: leave requested, hot face fading in from 0, nothing painted yet.
  Given(kStateNormal, 0, 0, false);
  Send(WM_MOUSEMOVE, 0, Point(30, 12));
  ExpectState(1, kStateHot, 0, true);
  EXPECT_EQ(Shown(), kMarker);

  // A second move over the button while entered changes nothing, the fade goes on.
  MoveCursorTo(button_, 30, 12);
  Given(kStateHot, 99, 1, true);
  Send(WM_MOUSEMOVE, 0, Point(30, 12));
  ExpectState(1, kStateHot, 99, true);
  EXPECT_EQ(Shown(), kMarker);

  // The pointer over another window (dragged out of the captured button): the fade stops
  // and the current face is shown fully, on every such move.
  MoveCursorAway();
  for (int move = 0; move < 2; ++move) {
    Given(kStatePressed, 99, 1, true);
    Send(WM_MOUSEMOVE, MK_LBUTTON, Point(-40, 12));
    ExpectState(1, kStatePressed, 255, false);
    EXPECT_EQ(Shown(), Face(kStatePressed));
  }
}

TEST_F(ButtonTransitions, PressAndReleaseWithTheMouse) {
  Given(kStateHot, 99, 1, true);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, Point(30, 12));
  ExpectState(1, kStatePressed, 0, false);
  EXPECT_EQ(Shown(), Face(kStatePressed));

  // Release: the normal face fades in from 60, nothing painted at once.
  Given(kStatePressed, 0, 1, false);
  Send(WM_LBUTTONUP, 0, Point(30, 12));
  ExpectState(0, kStateNormal, 60, true);
  EXPECT_EQ(Shown(), kMarker);
}

TEST_F(ButtonTransitions, OnlyTheSpaceBarPresses) {
  for (int repeat = 0; repeat < 2; ++repeat) {  // held down: the pressed paint repeats
    Given(kStateHot, 99, 1, true);
    Send(WM_KEYDOWN, VK_SPACE, 0x00390001);
    ExpectState(1, kStatePressed, 0, false);
    EXPECT_EQ(Shown(), Face(kStatePressed));
  }
  Given(kStatePressed, 99, 1, false);
  Send(WM_KEYUP, VK_SPACE, 0xC0390001);
  ExpectState(0, kStateNormal, 0, true);
  EXPECT_EQ(Shown(), kMarker);

  for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}, WPARAM{'A'}}) {
    Given(kStateHot, 99, 1, true);
    Send(WM_KEYDOWN, key, 0);
    Send(WM_KEYUP, key, 0xC0000001);
    ExpectState(1, kStateHot, 99, true);
    EXPECT_EQ(Shown(), kMarker) << key;
  }
}

// `face` blended over `under` with constant alpha `level`, as the system blends, read back
// from a memory copy.
COLORREF Blended(COLORREF under, COLORREF face, int level) {
  HDC screen = GetDC(nullptr);
  HDC target = CreateCompatibleDC(screen);
  HDC source = CreateCompatibleDC(screen);
  HBITMAP targetBitmap = CreateCompatibleBitmap(screen, 1, 1);
  HBITMAP sourceBitmap = CreateCompatibleBitmap(screen, 1, 1);
  HGDIOBJ oldTarget = SelectObject(target, targetBitmap);
  HGDIOBJ oldSource = SelectObject(source, sourceBitmap);
  SetPixel(target, 0, 0, under);
  SetPixel(source, 0, 0, face);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(level), 0};
  AlphaBlend(target, 0, 0, 1, 1, source, 0, 0, 1, 1, blend);
  const COLORREF result = GetPixel(target, 0, 0);
  SelectObject(target, oldTarget);
  SelectObject(source, oldSource);
  DeleteObject(targetBitmap);
  DeleteObject(sourceBitmap);
  DeleteDC(target);
  DeleteDC(source);
  ReleaseDC(nullptr, screen);
  return result;
}

TEST_F(ButtonTransitions, LeavingPaintsTheHotFaceAt140ThenFadesToNormal) {
  Given(kStatePressed, 0, 1, false);
  Send(WM_MOUSELEAVE, 0, 0);
  ExpectState(0, kStateNormal, 0, true);
  // At 140 exactly: the neighbouring levels give other pixels.
  const COLORREF at140 = Blended(kMarker, Face(kStateHot), 140);
  ASSERT_NE(Blended(kMarker, Face(kStateHot), 130), at140);
  ASSERT_NE(Blended(kMarker, Face(kStateHot), 150), at140);
  EXPECT_EQ(Shown(), at140) << std::hex << Shown();
}

TEST_F(ButtonTransitions, AReleaseOutsideTheButtonStillFadesTheNormalFaceInFromSixty) {
  MoveCursorAway();
  Given(kStatePressed, 0, 1, false);
  Send(WM_LBUTTONUP, 0, Point(-40, 40));
  ExpectState(0, kStateNormal, 60, true);
  EXPECT_EQ(Shown(), kMarker);
}

TEST_F(ButtonTransitions, EnablingAndDisablingShowTheFaceAtTheCurrentLevel) {
  Given(kStateNormal, 255, 0, false);
  EnableWindow(button_, FALSE);
  ExpectState(0, kStateDisabled, 255, false);
  EXPECT_EQ(Shown(), Face(kStateDisabled));

  // Disabled, a leave still shows face 3 (blended at 140 over what was there).
  Given(kStateDisabled, 0, 1, false);
  Send(WM_MOUSELEAVE, 0, 0);
  EXPECT_TRUE(Between(Shown(), kMarker, Face(kStateDisabled))) << std::hex << Shown();

  // Disabled, a focus change re-renders the faces and fades in face 3, even when a leave
  // has stored the normal state meanwhile.
  for (UINT message : {UINT{WM_SETFOCUS}, UINT{WM_KILLFOCUS}}) {
    Given(kStateNormal, 200, 0, false);
    Send(message, 0, 0);
    EXPECT_EQ(Prop(button_, prop::ALPHALEVEL), 0);
    for (int tick = 0; tick < 100 && Prop(button_, prop::TIMERID) != 0; ++tick) {
      Send(WM_TIMER, 1, 0);
    }
    EXPECT_EQ(Prop(button_, prop::TIMERID), 0);
    EXPECT_EQ(Prop(button_, prop::OLDSTATE), kStateDisabled);
    EXPECT_EQ(Shown(), Face(kStateDisabled)) << message;
  }

  Given(kStateDisabled, 255, 0, false);
  EnableWindow(button_, TRUE);
  ExpectState(0, kStateNormal, 255, false);
  EXPECT_EQ(Shown(), Face(kStateNormal));
}

// Row 2 of a face, where the focus rectangle is drawn.
std::vector<COLORREF> FocusRow(HDC face) {
  std::vector<COLORREF> row;
  for (int x = 2; x < 73; ++x) row.push_back(GetPixel(face, x, 2));
  return row;
}

TEST_F(ButtonTransitions, FocusChangesRenderTheFacesAgain) {
  SetFocus(other_);
  Drain();
  HDC face = reinterpret_cast<HDC>(Prop(button_, prop::HDC_[kStateNormal]));
  const std::vector<COLORREF> withoutFocus = FocusRow(face);

  Given(kStateHot, 200, 1, false);
  SetFocus(button_);
  ASSERT_EQ(GetFocus(), button_);
  ExpectState(1, kStateHot, 0, true);
  EXPECT_NE(FocusRow(face), withoutFocus);

  Given(kStateHot, 200, 1, true);
  SetFocus(other_);
  ExpectState(1, kStateHot, 0, true);
  EXPECT_EQ(FocusRow(face), withoutFocus);
}

TEST_F(ButtonTransitions, APaintShowsTheCurrentFaceFullyAndEndsTheFade) {
  Given(kStateHot, 30, 1, true);
  RedrawWindow(button_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  ExpectState(1, kStateHot, 255, false);
  EXPECT_EQ(Shown(), Face(kStateHot));
}

}  // namespace
