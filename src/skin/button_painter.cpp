// Command buttons: four pre-rendered faces per button and the constant-alpha blend that
// puts the face of the current state on the screen.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>

#include "graphics/primitives.h"
#include "graphics/surfaces.h"
#include "platform/dll_search.h"
#include "platform/gdi_guards.h"
#include "skin/skin_engine.h"

namespace modSkinner {

namespace {

constexpr std::int32_t kButtonCellWidth = 7;
constexpr std::int32_t kButtonCellHeight = 21;
constexpr std::int32_t kButtonMargin = 3;
constexpr std::int32_t kCaptionInset = 2;
constexpr COLORREF kCaptionColour = 0x000000;
constexpr COLORREF kDisabledCaptionColour = 0x968A79;
constexpr UINT kCaptionFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
// Button types whose bit 1 or 2 is set (check boxes, radio buttons, group boxes,
// owner-drawn buttons) keep their own drawing.
constexpr LONG_PTR kNotSkinnedStyleBits = 6;

}  // namespace

// Renders the four faces (normal, hot, pressed, disabled) into the HDC0..HDC3 surfaces at
// the window's outer size: the button cell nine-grid stretched, the caption centred, and the
// focus rectangle on every face while the button has the focus.
void RenderButtonFaces(HWND hwnd) {
  WindowBounds bounds;
  GetWindowBounds(hwnd, bounds);
  const std::int32_t width = bounds.Width;
  const std::int32_t height = bounds.Height;
  const std::int32_t innerWidth = CheckedSub(width, 2 * kCaptionInset);
  const std::int32_t innerHeight = CheckedSub(height, 2 * kCaptionInset);
  const std::wstring caption = GetWindowCaption(hwnd);
  const bool hasFocus = GetFocus() == hwnd;
  HDC buttonImage = Engine().Images.ButtonImage;
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));

  for (std::int32_t state = 0; state < 4; ++state) {
    HDC face = reinterpret_cast<HDC>(GetSkinProp(hwnd, prop::HDC_[state]));
    if (face == nullptr) continue;
    // The font is selected back afterwards so that the face never holds on to it.
    tarnwick::platform::ScopedSelectObject fontSelection(face, font);
    SetBkMode(face, TRANSPARENT);
    StretchNineGrid(face, 0, 0, width, height, buttonImage, 0, kButtonCellHeight * state,
                    kButtonCellWidth, kButtonCellHeight, kButtonMargin, kButtonMargin,
                    kButtonMargin, kButtonMargin);
    SetTextColor(face, state == kStateDisabled ? kDisabledCaptionColour : kCaptionColour);
    DrawCaptionText(face, caption, kCaptionInset, kCaptionInset, innerWidth, innerHeight,
                    kCaptionFormat);
    if (hasFocus) DrawFocusBox(face, kCaptionInset, kCaptionInset, innerWidth, innerHeight);
  }
}

namespace {

using AlphaBlendFunction = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int,
                                         BLENDFUNCTION);

// msimg32's AlphaBlend, from the system folder: loaded on first use and kept for the
// process; null when the system lacks it (then no face is blended).
AlphaBlendFunction SystemAlphaBlend() {
  static const auto blend =
      tarnwick::platform::SystemLibraryFunction<AlphaBlendFunction>(L"msimg32.dll", "AlphaBlend");
  return blend;
}

}  // namespace

// Blends the face of OLDSTATE over the button at the constant alpha ALPHALEVEL, into `hdc`
// or, when it is 0, into the window's own DC. A disabled button is switched to face 3 first;
// buttons that were not switched to owner drawing are left alone. One AlphaBlend from a
// cached face: no text, no stretching, no allocation.
LRESULT PaintButton(HWND hwnd, HDC hdc) {
  if (!IsWindowEnabled(hwnd)) SetSkinProp(hwnd, prop::OLDSTATE, kStateDisabled);
  if ((GetSkinProp(hwnd, prop::OLDSTYLE) & kNotSkinnedStyleBits) != 0) return 0;

  WindowBounds bounds;
  GetWindowBounds(hwnd, bounds);
  const LONG_PTR state = GetSkinProp(hwnd, prop::OLDSTATE);
  // Only the four state codes have a face; any other value has nothing to blend.
  if (state < 0 || state > 3) return 0;
  HDC face = reinterpret_cast<HDC>(GetSkinProp(hwnd, prop::HDC_[state]));
  // The level is a byte of the blend record; a stray value must not spill into its flags.
  const LONG_PTR level = std::clamp<LONG_PTR>(GetSkinProp(hwnd, prop::ALPHALEVEL), 0, 255);

  const AlphaBlendFunction alpha_blend = SystemAlphaBlend();
  if (alpha_blend == nullptr) return 0;
  std::optional<tarnwick::platform::ScopedWindowDC> windowDC;
  HDC target = hdc;
  if (target == nullptr) {
    windowDC.emplace(hwnd);
    target = windowDC->get();
  }
  BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(level), 0};
  alpha_blend(target, 0, 0, bounds.Width, bounds.Height, face, 0, 0, bounds.Width, bounds.Height,
              blend);
  return 0;
}

}  // namespace modSkinner
