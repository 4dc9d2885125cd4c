// Entry and exit of the skin: preparing the engine, attaching the skin to a window and its
// descendants, and taking it off again. All per-window state lives in window properties.
#include <windows.h>

#include "graphics/primitives.h"
#include "graphics/skin_images.h"
#include "platform/gdi_guards.h"
#include "skin/pass_on.h"
#include "skin/skin_engine.h"

namespace modSkinner {
namespace {

using tarnwick::platform::ScopedWindowDC;

constexpr UINT kRedrawFlags = RDW_INVALIDATE | RDW_INTERNALPAINT;

// Only windows of this thread are skinned: the engine is single-threaded and a window of
// another process cannot be subclassed at all.
bool IsSkinnableWindow(HWND hwnd) {
  return hwnd && IsWindow(hwnd) && GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId();
}

// Gives a command button a rounded region of its outer size (3 x 3 corners).
void SetRoundedRegion(HWND hwnd, std::int32_t width, std::int32_t height) {
  HRGN region = CreateRoundRectRgn(0, 0, CheckedAdd(width, 1), CheckedAdd(height, 1), 3, 3);
  if (region && !SetWindowRgn(hwnd, region, TRUE)) DeleteObject(region);
}

// Deletes a button's four face surfaces and removes their properties.
void FreeButtonFaces(HWND hwnd) {
  for (int n = 0; n < 4; ++n) {
    HDC face = reinterpret_cast<HDC>(GetSkinProp(hwnd, prop::HDC_[n]));
    HGDIOBJ bitmap = reinterpret_cast<HGDIOBJ>(GetSkinProp(hwnd, prop::BMP_[n]));
    if (face) DeleteDC(face);
    if (bitmap) DeleteObject(bitmap);
    RemoveSkinProp(hwnd, prop::HDC_[n]);
    RemoveSkinProp(hwnd, prop::BMP_[n]);
  }
}

// Removes the state properties of a command button, its region and its faces.
void RemoveButtonProperties(HWND hwnd) {
  RemoveSkinProp(hwnd, prop::OLDSTYLE);
  RemoveSkinProp(hwnd, prop::MOUSEFLAG);
  RemoveSkinProp(hwnd, prop::TIMERID);
  RemoveSkinProp(hwnd, prop::OLDSTATE);
  RemoveSkinProp(hwnd, prop::ALPHALEVEL);
  SetWindowRgn(hwnd, nullptr, TRUE);
}

// Detach of a command button: faces freed, timer stopped, saved style written back.
void ReleaseButtonState(HWND hwnd) {
  FreeButtonFaces(hwnd);
  StopStateTimer(hwnd);
  SetWindowLongPtrW(hwnd, GWL_STYLE, GetSkinProp(hwnd, prop::OLDSTYLE));
  RemoveButtonProperties(hwnd);
}

// Four face surfaces of the window's outer size, the faces rendered, owner drawing where
// the button type allows, the state properties and the rounded region. When a step fails
// everything done so far is undone and the error goes on to the caller.
void AttachButton(HWND hwnd) {
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  bool styleChanged = false;
  try {
    WindowBounds bounds;
    {
      ScopedWindowDC windowDc(hwnd);
      GetWindowBounds(hwnd, bounds);
      for (int n = 0; n < 4; ++n) {
        HDC face = CreateCompatibleDC(windowDc);
        HBITMAP bitmap = CreateCompatibleBitmap(windowDc, bounds.Width, bounds.Height);
        if (face && bitmap) {
          // The object replaced is the memory DC's stock bitmap; deleting it does nothing.
          HGDIOBJ replaced = SelectObject(face, bitmap);
          if (replaced) DeleteObject(replaced);
        }
        SetSkinProp(hwnd, prop::HDC_[n], reinterpret_cast<LONG_PTR>(face));
        SetSkinProp(hwnd, prop::BMP_[n], reinterpret_cast<LONG_PTR>(bitmap));
      }
      RenderButtonFaces(hwnd);
    }
    if ((style & 6) == 0) {
      styleChanged = true;
      SendMessageW(hwnd, BM_SETSTYLE, BS_OWNERDRAW, static_cast<LPARAM>(-1));
    }
    SetSkinProp(hwnd, prop::OLDSTYLE, style);
    SetSkinProp(hwnd, prop::MOUSEFLAG, 0);
    SetSkinProp(hwnd, prop::TIMERID, 0);
    SetSkinProp(hwnd, prop::OLDSTATE, IsWindowEnabled(hwnd) ? kStateNormal : kStateDisabled);
    SetSkinProp(hwnd, prop::ALPHALEVEL, 0);
    SetRoundedRegion(hwnd, bounds.Width, bounds.Height);
  } catch (...) {
    FreeButtonFaces(hwnd);
    if (styleChanged) SetWindowLongPtrW(hwnd, GWL_STYLE, style);
    RemoveButtonProperties(hwnd);
    throw;
  }
}

// The kind's own attach steps. Returns false (with everything undone) when one failed.
bool AttachKindState(HWND hwnd, ControlKind kind) {
  switch (kind) {
    case ControlKind::KindContainer:
      // Every descendant first; windows already attached are skipped.
      EnumChildWindows(hwnd, AttachChildProc, 0);
      return true;
    case ControlKind::KindButton:
      try {
        AttachButton(hwnd);
      } catch (...) {
        return false;
      }
      return true;
    case ControlKind::KindCombo:
    case ControlKind::KindDriveList:
    case ControlKind::KindCheck:
    case ControlKind::KindOption:
      SetSkinProp(hwnd, prop::MOUSEFLAG, 0);
      SetSkinProp(hwnd, prop::OLDSTATE, kStateNormal);
      return true;
    case ControlKind::KindHeader:
      SetSkinProp(hwnd, prop::MOUSEFLAG, 0);
      SetSkinProp(hwnd, prop::HDINDEX, -1);
      SetSkinProp(hwnd, prop::HMINDEX, -1);
      return true;
    default:
      return true;
  }
}

// The kind's own detach steps.
void DetachKindState(HWND hwnd, ControlKind kind) {
  switch (kind) {
    case ControlKind::KindContainer:
      EnumChildWindows(hwnd, DetachChildProc, 0);
      break;
    case ControlKind::KindButton:
      ReleaseButtonState(hwnd);
      break;
    case ControlKind::KindCombo:
    case ControlKind::KindDriveList:
    case ControlKind::KindCheck:
    case ControlKind::KindOption:
      RemoveSkinProp(hwnd, prop::MOUSEFLAG);
      RemoveSkinProp(hwnd, prop::OLDSTATE);
      break;
    case ControlKind::KindHeader:
      RemoveSkinProp(hwnd, prop::MOUSEFLAG);
      RemoveSkinProp(hwnd, prop::HDINDEX);
      RemoveSkinProp(hwnd, prop::HMINDEX);
      break;
    default:
      break;
  }
}

// Asks the window to paint its frame and its client area again.
void RepaintWholeWindow(HWND hwnd) {
  SendMessageW(hwnd, WM_NCPAINT, 1, detail::AddressOfZero());
  RedrawWindow(hwnd, nullptr, nullptr, kRedrawFlags);
}

}  // namespace

// Prepares the engine once per life of its images, then attaches the window.
LONG SkinForm(HWND hwnd) {
  EngineState& engine = Engine();
  if (!engine.SkinReady) {
    try {
      engine.SkinReady = true;
      engine.HaveUserTrackMouseEvent = ApiExists("TrackMouseEvent", "User32");
      BuildSkinImages(engine.Images);
    } catch (...) {
      ReleaseSkinImages(engine.Images);
      engine.SkinReady = false;
      return 0;
    }
  }
  return AttachSkin(hwnd);
}

// Takes the skin off the window and its descendants.
LONG UnskinForm(HWND hwnd) {
  return DetachSkin(hwnd);
}

// Attaches the skin to one window (a container: its descendants first). 1 when attached.
LONG AttachSkin(HWND hwnd) {
  try {
    if (!IsSkinnableWindow(hwnd)) return 0;
    if (GetSkinProp(hwnd, prop::PROCADDR) != 0) return 0;
    const ControlKind kind = ClassifyWindow(hwnd);
    if (!AttachKindState(hwnd, kind)) return 0;

    // The previous procedure is stored before the switch, so that no message can reach
    // SkinWindowProc without it.
    const LONG_PTR previous = GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
    try {
      SetPreviousProc(hwnd, previous);
    } catch (...) {
      DetachKindState(hwnd, kind);
      return 0;
    }
    if (previous == 0 ||
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SkinWindowProc)) == 0) {
      RemovePreviousProc(hwnd);
      DetachKindState(hwnd, kind);
      return 0;
    }
    Engine().SkinnedCount += 1;
    RepaintWholeWindow(hwnd);
    return 1;
  } catch (...) {
    return 0;
  }
}

// Takes the skin off one window (a container: its descendants first). 1 when detached.
LONG DetachSkin(HWND hwnd) {
  if (!hwnd) return 0;
  LONG_PTR previous = 0;
  try {
    previous = GetSkinProp(hwnd, prop::PROCADDR);
  } catch (...) {
    return 0;
  }
  if (previous == 0) return 0;
  try {
    DetachKindState(hwnd, ClassifyWindow(hwnd));
  } catch (...) {
    // Whatever is left of the kind's state, the window gets its own procedure back.
  }
  try {
    RemovePreviousProc(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, previous);
    RepaintWholeWindow(hwnd);
  } catch (...) {
  }
  EngineState& engine = Engine();
  engine.SkinnedCount -= 1;
  if (engine.SkinnedCount <= 0) {
    engine.SkinnedCount = 0;
    ReleaseSkinImages(engine.Images);
    engine.SkinReady = false;
  }
  return 1;
}

// WM_ACTIVATE: a window owned by a skinned container is skinned when activation passes
// between the two; then the container's own activation handling runs.
LRESULT OnActivate(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (lParam != 0 && ClassifyWindow(hwnd) == ControlKind::KindContainer) {
    HWND other = reinterpret_cast<HWND>(lParam);
    if (GetParent(other) == hwnd) SkinForm(other);
  }
  return detail::PassOn(previous, hwnd, message, wParam, lParam);
}

// Child enumeration: attaches every descendant and goes on.
BOOL CALLBACK AttachChildProc(HWND hwnd, LPARAM /*lParam*/) {
  AttachSkin(hwnd);
  return TRUE;
}

// Child enumeration: detaches every descendant and goes on.
BOOL CALLBACK DetachChildProc(HWND hwnd, LPARAM /*lParam*/) {
  DetachSkin(hwnd);
  return TRUE;
}

}  // namespace modSkinner
