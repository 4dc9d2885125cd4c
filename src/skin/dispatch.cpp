// The subclass procedure of every skinned window: routes each message by number to a
// handler or to a small fixed action around the window's previous procedure.
#include <windows.h>

#include <array>

#include "skin/pass_on.h"
#include "skin/skin_engine.h"

namespace modSkinner {
namespace detail {
namespace {
thread_local DispatchFrame* innermost_frame = nullptr;
const LONG_PTR kZero = 0;
}  // namespace

ScopedDispatchFrame::ScopedDispatchFrame(HWND hwnd, UINT message) {
  frame_.Window = hwnd;
  frame_.Message = message;
  frame_.Outer = innermost_frame;
  innermost_frame = &frame_;
}

ScopedDispatchFrame::~ScopedDispatchFrame() {
  innermost_frame = frame_.Outer;
}

// Calls the previous procedure; the frame of the message being dispatched records it.
LRESULT PassOn(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DispatchFrame* frame = innermost_frame;
  if (frame && (frame->Window != hwnd || frame->Message != message)) frame = nullptr;
  if (frame) frame->PreviousRan = true;
  const LRESULT result = CallWindowProcW(previous, hwnd, message, wParam, lParam);
  if (frame) frame->PreviousResult = result;
  return result;
}

LPARAM AddressOfZero() {
  return reinterpret_cast<LPARAM>(&kZero);
}

}  // namespace detail

namespace {

using detail::PassOn;

struct HandlerEntry {
  UINT Message;
  SkinHandler Handler;
};

// Messages answered by a handler alone (the handler decides when the previous runs).
constexpr std::array<HandlerEntry, 15> kHandlerTable{{
    {WM_SIZE, OnSize},
    {WM_ACTIVATE, OnActivate},
    {WM_SETFOCUS, OnSetFocus},
    {WM_KILLFOCUS, OnKillFocus},
    {WM_ENABLE, OnEnable},
    {WM_PAINT, OnPaint},
    {WM_WINDOWPOSCHANGING, OnWindowPosChanging},
    {WM_NCPAINT, OnNcPaint},
    {WM_KEYDOWN, OnKeyDown},
    {WM_KEYUP, OnKeyUp},
    {WM_TIMER, OnTimer},
    {WM_MOUSEMOVE, OnMouseMove},
    {WM_LBUTTONDOWN, OnLButtonDown},
    {WM_LBUTTONUP, OnLButtonUp},
    {WM_MOUSELEAVE, OnMouseLeave},
}};

// The handler registered for a message number, or null.
SkinHandler FindHandler(UINT message) {
  for (const HandlerEntry& entry : kHandlerTable) {
    if (entry.Message == message) return entry.Handler;
  }
  return nullptr;
}

// Routes one message of a skinned window; may throw, the caller catches.
LRESULT Dispatch(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      // Detached first, so nothing of the skin outlives the window.
      DetachSkin(hwnd);
      return PassOn(previous, hwnd, message, wParam, lParam);
    case WM_DRAWITEM:
      // Skinned buttons paint themselves; their owner-draw requests are dropped.
      return 0;
    case WM_CTLCOLOREDIT: {
      const LRESULT brush = PassOn(previous, hwnd, message, wParam, lParam);
      SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
      return brush;
    }
    case WM_ENTERIDLE:
    case WM_CTLCOLORLISTBOX: {
      // A modal dialog gone idle, or a list asking for its colours: skin it as it appears.
      const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
      if (lParam != 0) AttachSkin(reinterpret_cast<HWND>(lParam));
      return result;
    }
    case WM_LBUTTONUP: {
      const LRESULT result = OnLButtonUp(previous, hwnd, message, wParam, lParam);
      // A click may change a whole group of option buttons: repaint their boxes.
      if (IsWindow(hwnd)) {
        HWND parent = GetParent(hwnd);
        EnumChildWindows(parent ? parent : hwnd, RefreshChecksProc, 0);
      }
      return result;
    }
    default:
      break;
  }
  if (SkinHandler handler = FindHandler(message)) {
    return handler(previous, hwnd, message, wParam, lParam);
  }
  return PassOn(previous, hwnd, message, wParam, lParam);
}

}  // namespace

// The window procedure installed by AttachSkin. No error leaves it: a failing skin step
// draws nothing, and the control's own procedure runs if it has not run yet.
LRESULT CALLBACK SkinWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!hwnd) return 0;
  WNDPROC previous = nullptr;
  try {
    previous = reinterpret_cast<WNDPROC>(PreviousProc(hwnd));
  } catch (...) {
    previous = nullptr;
  }
  if (!previous) return DefWindowProcW(hwnd, message, wParam, lParam);

  detail::ScopedDispatchFrame frame(hwnd, message);
  try {
    return Dispatch(previous, hwnd, message, wParam, lParam);
  } catch (...) {
    // Fall through: the control's own behaviour goes on below, outside the handler.
  }
  if (frame.Frame().PreviousRan) return frame.Frame().PreviousResult;
  return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}

// Repaints a skinned check box or option button in its normal state; goes on enumerating.
BOOL CALLBACK RefreshChecksProc(HWND hwnd, LPARAM /*lParam*/) {
  try {
    if (PreviousProc(hwnd) == 0) return TRUE;
    switch (ClassifyWindow(hwnd)) {
      case ControlKind::KindCheck:
        PaintCheckBox(hwnd, kStateNormal, true);
        break;
      case ControlKind::KindOption:
        PaintOptionButton(hwnd, kStateNormal, true);
        break;
      default:
        break;
    }
  } catch (...) {
    // One box left unpainted; the others still get theirs.
  }
  return TRUE;
}

}  // namespace modSkinner
