// WM_SIZE and WM_WINDOWPOSCHANGING of skinned windows: a resized command button gets new
// face bitmaps, faces and region; a moved combo box refreshes its drop button.
#include <windows.h>

#include <cstdint>

#include "graphics/primitives.h"
#include "platform/gdi_guards.h"
#include "skin/pass_on.h"
#include "skin/skin_engine.h"

namespace modSkinner {
namespace {

using tarnwick::platform::ScopedWindowDC;

// New face bitmaps of the window's outer size in the same four device contexts, the
// faces rendered again, and a new rounded region.
void ResizeButtonFaces(HWND hwnd) {
  WindowBounds bounds;
  {
    ScopedWindowDC windowDc(hwnd);
    GetWindowBounds(hwnd, bounds);
    for (int n = 0; n < 4; ++n) {
      HDC face = reinterpret_cast<HDC>(GetSkinProp(hwnd, prop::HDC_[n]));
      if (!face) continue;
      HBITMAP bitmap = CreateCompatibleBitmap(windowDc, bounds.Width, bounds.Height);
      if (!bitmap) continue;
      HGDIOBJ replaced = SelectObject(face, bitmap);
      if (!replaced) {
        // Not selected: the face keeps its old bitmap, which BMPn still names.
        DeleteObject(bitmap);
        continue;
      }
      DeleteObject(replaced);
      SetSkinProp(hwnd, prop::BMP_[n], reinterpret_cast<LONG_PTR>(bitmap));
    }
    RenderButtonFaces(hwnd);
  }
  HRGN region =
      CreateRoundRectRgn(0, 0, CheckedAdd(bounds.Width, 1), CheckedAdd(bounds.Height, 1), 3, 3);
  if (region && !SetWindowRgn(hwnd, region, TRUE)) DeleteObject(region);
}

}  // namespace

// WM_SIZE: the control's own handling, then a command button's faces at the new size.
LRESULT OnSize(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = detail::PassOn(previous, hwnd, message, wParam, lParam);
  if (ClassifyWindow(hwnd) == ControlKind::KindButton) ResizeButtonFaces(hwnd);
  return result;
}

// WM_WINDOWPOSCHANGING: the control's own handling, then a combo box or drive list
// repaints its drop button when the painted state is out of date.
LRESULT OnWindowPosChanging(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  const LRESULT result = detail::PassOn(previous, hwnd, message, wParam, lParam);
  const ControlKind kind = ClassifyWindow(hwnd);
  if (kind == ControlKind::KindCombo || kind == ControlKind::KindDriveList) {
    std::int32_t state = kStateNormal;
    PaintComboBox(hwnd, nullptr, state, false);
  }
  return result;
}

}  // namespace modSkinner
