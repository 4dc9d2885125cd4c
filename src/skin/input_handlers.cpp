// Mouse, keyboard, focus and enable messages of skinned controls: each handler lets the
// control's own procedure run, then turns the message into a change of the control's
// visual state and a paint or a fade.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "graphics/primitives.h"
#include "platform/ui_metrics.h"
#include "skin/pass_on.h"
#include "skin/skin_engine.h"

namespace modSkinner {
namespace {

using detail::PassOn;

constexpr LONG_PTR kFullLevel = 255;
constexpr LONG_PTR kReleaseLevel = 60;
constexpr LONG_PTR kLeaveLevel = 140;

// Client point of a mouse message: signed 16-bit halves of lParam.
POINT MessagePoint(LPARAM lParam) {
  const auto packed = static_cast<std::int32_t>(static_cast<std::uint32_t>(lParam & 0xFFFFFFFF));
  return POINT{GetLowWord(packed), GetHighWord(packed)};
}

bool LeftButtonHeld(WPARAM wParam) {
  return (wParam & MK_LBUTTON) != 0;
}

// True when the window under the mouse cursor is this window.
bool CursorIsOver(HWND hwnd) {
  POINT cursor{};
  GetCursorPos(&cursor);
  return WindowFromPoint(cursor) == hwnd;
}

// The drop button of a combo box: the whole control for a simple or drop-down-list combo,
// else the strip at the right edge, inset 2 pixels (all bounds inclusive).
bool InDropButtonZone(HWND hwnd, POINT point) {
  WindowBounds bounds;
  GetWindowBounds(hwnd, bounds);
  const std::int32_t scrollWidth = tarnwick::platform::SystemMetricForWindow(hwnd, SM_CXVSCROLL);
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  if (style & 1) return true;
  const std::int32_t right = CheckedSub(bounds.Width, 2);
  const std::int32_t left = CheckedSub(right, scrollWidth);
  return left <= point.x && point.x <= right && 2 <= point.y &&
         point.y <= CheckedSub(bounds.Height, 2);
}

// Header hit test by x alone: the first item whose left..right (inclusive) holds x, so on a
// shared edge the lower index wins; -1 for no hit. itemCount receives the item count.
std::int32_t HeaderHitTest(HWND hwnd, std::int32_t x, LRESULT& itemCount) {
  itemCount = SendMessageW(hwnd, HDM_GETITEMCOUNT, 0, 0);
  for (LRESULT i = 0; i < itemCount; ++i) {
    RECT item{};
    SendMessageW(hwnd, HDM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    if (item.left <= x && x <= item.right) return static_cast<std::int32_t>(i);
  }
  return -1;
}

// The first mouse move over a control: mark it entered and ask for the leave notification.
void EnterStep(HWND hwnd) {
  if (GetSkinProp(hwnd, prop::MOUSEFLAG) != 0) return;
  SetSkinProp(hwnd, prop::MOUSEFLAG, 1);
  RequestMouseLeave(hwnd);
}

// A press on a command button: the pressed face at once and fully, the fade stopped.
void ShowPressedFace(HWND hwnd) {
  StopStateTimer(hwnd);
  SetSkinProp(hwnd, prop::OLDSTATE, kStatePressed);
  SetSkinProp(hwnd, prop::ALPHALEVEL, kFullLevel);
  PaintButton(hwnd, nullptr);
  SetSkinProp(hwnd, prop::ALPHALEVEL, 0);
}

// Starts fading a command button towards a state from a level.
void FadeTo(HWND hwnd, std::int32_t state, LONG_PTR level) {
  SetSkinProp(hwnd, prop::OLDSTATE, state);
  SetSkinProp(hwnd, prop::ALPHALEVEL, level);
  StartStateTimer(hwnd);
}

// PaintComboBox without a device context and not forced.
void PaintComboState(HWND hwnd, std::int32_t state) {
  PaintComboBox(hwnd, nullptr, state, false);
}

// Focus gained or lost: a button's faces are rendered again (with or without the focus
// rectangle) and faded in from 0; an option button repaints its box.
LRESULT FocusChanged(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
  switch (ClassifyWindow(hwnd)) {
    case ControlKind::KindButton:
      RenderButtonFaces(hwnd);
      SetSkinProp(hwnd, prop::ALPHALEVEL, 0);
      StartStateTimer(hwnd);
      break;
    case ControlKind::KindOption:
      PaintOptionButton(hwnd, kStateNormal, true);
      break;
    default:
      break;
  }
  return result;
}

}  // namespace

// WM_LBUTTONDOWN: pressed look (headers record the pressed item before passing on).
LRESULT OnLButtonDown(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const ControlKind kind = ClassifyWindow(hwnd);
  if (kind == ControlKind::KindHeader) {
    LRESULT count = 0;
    const std::int32_t hit = HeaderHitTest(hwnd, MessagePoint(lParam).x, count);
    if (count > 0) SetSkinProp(hwnd, prop::HDINDEX, hit);
    return PassOn(previous, hwnd, message, wParam, lParam);
  }
  const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
  switch (kind) {
    case ControlKind::KindButton:
      ShowPressedFace(hwnd);
      break;
    case ControlKind::KindCombo:
      if (InDropButtonZone(hwnd, MessagePoint(lParam))) PaintComboState(hwnd, kStatePressed);
      break;
    case ControlKind::KindDriveList:
      PaintComboState(hwnd, kStatePressed);
      break;
    case ControlKind::KindCheck:
      PaintCheckBox(hwnd, kStatePressed, false);
      break;
    case ControlKind::KindOption:
      PaintOptionButton(hwnd, kStatePressed, false);
      break;
    default:
      break;
  }
  return result;
}

// WM_LBUTTONUP: back to normal (a button fades its normal face in from 60).
LRESULT OnLButtonUp(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const ControlKind kind = ClassifyWindow(hwnd);
  if (kind == ControlKind::KindHeader) {
    SetSkinProp(hwnd, prop::HDINDEX, -1);
    return PassOn(previous, hwnd, message, wParam, lParam);
  }
  const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
  switch (kind) {
    case ControlKind::KindButton:
      SetSkinProp(hwnd, prop::MOUSEFLAG, 0);
      FadeTo(hwnd, kStateNormal, kReleaseLevel);
      break;
    case ControlKind::KindCombo:
    case ControlKind::KindDriveList:
      PaintComboState(hwnd, CursorIsOver(hwnd) ? kStateHot : kStateNormal);
      break;
    case ControlKind::KindCheck:
      PaintCheckBox(hwnd, kStateNormal, false);
      break;
    case ControlKind::KindOption:
      PaintOptionButton(hwnd, kStateNormal, false);
      break;
    default:
      break;
  }
  return result;
}

// WM_KEYDOWN: the space bar presses buttons, check boxes and option buttons.
LRESULT OnKeyDown(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
  if (wParam != VK_SPACE) return result;
  switch (ClassifyWindow(hwnd)) {
    case ControlKind::KindButton:
      ShowPressedFace(hwnd);
      break;
    case ControlKind::KindCheck:
      PaintCheckBox(hwnd, kStatePressed, false);
      break;
    case ControlKind::KindOption:
      PaintOptionButton(hwnd, kStatePressed, false);
      break;
    default:
      break;
  }
  return result;
}

// WM_KEYUP: releasing the space bar brings the normal look back (a button fades from 0).
LRESULT OnKeyUp(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
  if (wParam != VK_SPACE) return result;
  switch (ClassifyWindow(hwnd)) {
    case ControlKind::KindButton:
      SetSkinProp(hwnd, prop::MOUSEFLAG, 0);
      FadeTo(hwnd, kStateNormal, 0);
      break;
    case ControlKind::KindCheck:
      PaintCheckBox(hwnd, kStateNormal, false);
      break;
    case ControlKind::KindOption:
      PaintOptionButton(hwnd, kStateNormal, false);
      break;
    default:
      break;
  }
  return result;
}

// WM_MOUSEMOVE: hot look on entering; pressed look while the left button is held.
LRESULT OnMouseMove(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
  const POINT point = MessagePoint(lParam);
  const std::int32_t heldState = LeftButtonHeld(wParam) ? kStatePressed : kStateHot;
  switch (ClassifyWindow(hwnd)) {
    case ControlKind::KindButton:
      if (GetSkinProp(hwnd, prop::MOUSEFLAG) == 0) {
        SetSkinProp(hwnd, prop::MOUSEFLAG, 1);
        RequestMouseLeave(hwnd);
        FadeTo(hwnd, kStateHot, 0);
      } else if (!CursorIsOver(hwnd)) {
        // Dragged out of a button that holds the capture: the current face, fully.
        StopStateTimer(hwnd);
        SetSkinProp(hwnd, prop::ALPHALEVEL, kFullLevel);
        PaintButton(hwnd, nullptr);
      }
      break;
    case ControlKind::KindCombo:
      EnterStep(hwnd);
      PaintComboState(hwnd, InDropButtonZone(hwnd, point) ? heldState : kStateNormal);
      break;
    case ControlKind::KindDriveList:
      EnterStep(hwnd);
      PaintComboState(hwnd, heldState);
      break;
    case ControlKind::KindCheck:
      EnterStep(hwnd);
      PaintCheckBox(hwnd, heldState, true);
      break;
    case ControlKind::KindOption:
      EnterStep(hwnd);
      PaintOptionButton(hwnd, heldState, true);
      break;
    case ControlKind::KindHeader: {
      EnterStep(hwnd);
      LRESULT count = 0;
      const std::int32_t hit = HeaderHitTest(hwnd, point.x, count);
      const auto hot = static_cast<std::int32_t>(GetSkinProp(hwnd, prop::HMINDEX));
      const auto pressed = static_cast<std::int32_t>(GetSkinProp(hwnd, prop::HDINDEX));
      if (hit == hot) break;
      if (hot >= 0 && hot != pressed) PaintHeaderItem(hwnd, nullptr, hot, kStateNormal);
      if (LeftButtonHeld(wParam)) {
        if (pressed == hit) PaintHeaderItem(hwnd, nullptr, hit, kStatePressed);
      } else {
        SetSkinProp(hwnd, prop::HMINDEX, hit);
        PaintHeaderItem(hwnd, nullptr, hit, kStateHot);
      }
      break;
    }
    default:
      break;
  }
  return result;
}

// WM_MOUSELEAVE: the pointer has gone; normal look again (a button fades out of hot).
LRESULT OnMouseLeave(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
  switch (ClassifyWindow(hwnd)) {
    case ControlKind::KindButton:
      SetSkinProp(hwnd, prop::MOUSEFLAG, 0);
      SetSkinProp(hwnd, prop::OLDSTATE, kStateHot);
      SetSkinProp(hwnd, prop::ALPHALEVEL, kLeaveLevel);
      PaintButton(hwnd, nullptr);
      FadeTo(hwnd, kStateNormal, 0);
      break;
    case ControlKind::KindCombo:
    case ControlKind::KindDriveList:
      SetSkinProp(hwnd, prop::MOUSEFLAG, 0);
      PaintComboState(hwnd, kStateNormal);
      break;
    case ControlKind::KindCheck:
      SetSkinProp(hwnd, prop::MOUSEFLAG, 0);
      PaintCheckBox(hwnd, kStateNormal, false);
      break;
    case ControlKind::KindOption:
      SetSkinProp(hwnd, prop::MOUSEFLAG, 0);
      PaintOptionButton(hwnd, kStateNormal, false);
      break;
    case ControlKind::KindHeader: {
      const auto hot = static_cast<std::int32_t>(GetSkinProp(hwnd, prop::HMINDEX));
      SetSkinProp(hwnd, prop::MOUSEFLAG, 0);
      SetSkinProp(hwnd, prop::HDINDEX, -1);
      SetSkinProp(hwnd, prop::HMINDEX, -1);
      if (hot >= 0) PaintHeaderItem(hwnd, nullptr, hot, kStateNormal);
      break;
    }
    default:
      break;
  }
  return result;
}

// WM_ENABLE: a command button shows its normal or disabled face at its current level.
LRESULT OnEnable(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
  if (ClassifyWindow(hwnd) == ControlKind::KindButton) {
    SetSkinProp(hwnd, prop::OLDSTATE, wParam != 0 ? kStateNormal : kStateDisabled);
    PaintButton(hwnd, nullptr);
  }
  return result;
}

// WM_SETFOCUS.
LRESULT OnSetFocus(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return FocusChanged(previous, hwnd, message, wParam, lParam);
}

// WM_KILLFOCUS.
LRESULT OnKillFocus(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return FocusChanged(previous, hwnd, message, wParam, lParam);
}

}  // namespace modSkinner
