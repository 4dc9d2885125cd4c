// Check boxes and option buttons: the skin box drawn over the control's own standard box, a
// square of the system's menu-check size at the left edge, vertically centred.
#include <windows.h>

#include "graphics/primitives.h"
#include "graphics/surfaces.h"
#include "platform/gdi_guards.h"
#include "platform/ui_metrics.h"
#include "skin/skin_engine.h"

namespace modSkinner {

namespace {

constexpr COLORREF kBoxInterior = 0xFFFFFF;
constexpr COLORREF kFramePressed = 0xC48639;
constexpr COLORREF kFrameEnabled = 0xD5A554;
constexpr COLORREF kFrameDisabled = 0xE9CFA4;

// Glyph cells in GlyphImage: enabled x, disabled x, y, size.
struct GlyphCell {
  std::int32_t enabledX;
  std::int32_t disabledX;
  std::int32_t y;
  std::int32_t width;
  std::int32_t height;
};
constexpr GlyphCell kCheckMark{0, 9, 0, 9, 8};
constexpr GlyphCell kIndeterminate{1, 10, 9, 7, 7};
constexpr GlyphCell kDot{2, 11, 18, 5, 5};

// Check-box fill strips in BoxImage (hot, pressed), 11 x 5 at x = 1.
constexpr std::int32_t kFillX = 1;
constexpr std::int32_t kFillHotY = 17;
constexpr std::int32_t kFillPressedY = 30;
constexpr std::int32_t kFillWidth = 11;
constexpr std::int32_t kFillHeight = 5;

// Option circles in BoxImage: 13 x 13 cells stacked by state, nine-grid margins 5.
constexpr std::int32_t kCircleCell = 13;
constexpr std::int32_t kCircleMargin = 5;

constexpr LRESULT kChecked = BST_CHECKED;
constexpr LRESULT kIndeterminateCheck = BST_INDETERMINATE;

// The common first step: an unforced request for the state already shown does nothing;
// otherwise the state is stored and drawing goes on.
bool TakeState(HWND hwnd, std::int32_t state, bool force) {
  if (state == GetSkinProp(hwnd, prop::OLDSTATE) && !force) return false;
  SetSkinProp(hwnd, prop::OLDSTATE, state);
  return true;
}

// Copies a glyph centred in a cx x cy box whose top-left corner is (x, y).
void BlitGlyphCentred(HDC target, std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy,
                      const GlyphCell& glyph, bool enabled) {
  const std::int32_t glyphX = CheckedAdd(x, Half(CheckedSub(cx, glyph.width)));
  const std::int32_t glyphY = CheckedAdd(y, Half(CheckedSub(cy, glyph.height)));
  BlitTransparent(target, glyphX, glyphY, glyph.width, glyph.height, Engine().Images.GlyphImage,
                  enabled ? glyph.enabledX : glyph.disabledX, glyph.y, kKeyMagenta, nullptr);
}

}  // namespace

// Paints the square skin box of a check box: frame by state and enabled flag, the hot or
// pressed fill, and the check mark or indeterminate square. Composed on a box-sized surface
// and copied to the window in one blit. 1 after painting, 0 when nothing was done.
int PaintCheckBox(HWND hwnd, std::int32_t state, bool force) {
  if (!TakeState(hwnd, state, force)) return 0;

  const std::int32_t cx = tarnwick::platform::SystemMetricForWindow(hwnd, SM_CXMENUCHECK);
  const std::int32_t cy = tarnwick::platform::SystemMetricForWindow(hwnd, SM_CYMENUCHECK);
  WindowBounds bounds;
  GetWindowBounds(hwnd, bounds);
  const LRESULT check = SendMessageW(hwnd, BM_GETCHECK, 0, 0);
  const std::int32_t top = Half(CheckedSub(bounds.Height, cy));
  const std::int32_t innerWidth = CheckedSub(cx, 2);
  const std::int32_t innerHeight = CheckedSub(cy, 2);
  const bool enabled = IsWindowEnabled(hwnd) != FALSE;

  ScopedSurface surface(cx, cy);
  tarnwick::platform::ScopedWindowDC windowDC(hwnd);
  FillColorRect(surface, 0, 0, cx, cy, kBoxInterior);
  if (enabled) {
    FrameColorRect(surface, 0, 0, cx, cy, state == kStatePressed ? kFramePressed : kFrameEnabled);
    if (state == kStateHot || state == kStatePressed) {
      StretchBlt(surface, 1, 1, innerWidth, innerHeight, Engine().Images.BoxImage, kFillX,
                 state == kStateHot ? kFillHotY : kFillPressedY, kFillWidth, kFillHeight, SRCCOPY);
    }
  } else {
    // A disabled box keeps a white interior whatever the state.
    FrameColorRect(surface, 0, 0, cx, cy, kFrameDisabled);
  }
  if (check == kChecked) BlitGlyphCentred(surface, 0, 0, cx, cy, kCheckMark, enabled);
  if (check == kIndeterminateCheck) {
    BlitGlyphCentred(surface, 0, 0, cx, cy, kIndeterminate, enabled);
  }
  BitBlt(windowDC, 0, top, cx, cy, surface, 0, 0, SRCCOPY);
  return 1;
}

// Paints the round skin box of an option button straight into the window's DC (its
// transparent corners let the control's own drawing show): the circle of the state, or of
// the disabled look, and the dot when checked. 1 after painting, 0 when nothing was done.
int PaintOptionButton(HWND hwnd, std::int32_t state, bool force) {
  if (!TakeState(hwnd, state, force)) return 0;

  WindowBounds bounds;
  GetWindowBounds(hwnd, bounds);
  const std::int32_t cx = tarnwick::platform::SystemMetricForWindow(hwnd, SM_CXMENUCHECK);
  const std::int32_t cy = tarnwick::platform::SystemMetricForWindow(hwnd, SM_CYMENUCHECK);
  const std::int32_t top = Half(CheckedSub(bounds.Height, cy));
  const LRESULT check = SendMessageW(hwnd, BM_GETCHECK, 0, 0);
  const bool enabled = IsWindowEnabled(hwnd) != FALSE;
  HDC boxImage = Engine().Images.BoxImage;

  tarnwick::platform::ScopedWindowDC windowDC(hwnd);
  // A disabled button always shows the disabled circle; an enabled one asked for a state
  // outside 0..2 gets no circle, only the dot.
  const std::int32_t cellState = enabled ? state : kStateDisabled;
  if (!enabled || (state >= kStateNormal && state <= kStatePressed)) {
    StretchNineGrid(windowDC, 0, top, cx, cy, boxImage, 0, kCircleCell * cellState, kCircleCell,
                    kCircleCell, kCircleMargin, kCircleMargin, kCircleMargin, kCircleMargin,
                    kKeyMagenta);
  }
  if (check == kChecked) {
    // The dot's top is top + (cy - 5) / 2 with the whole sum rounded, not top + half(cy - 5).
    const std::int32_t dotX = Half(CheckedSub(cx, kDot.width));
    const std::int32_t dotY = Half(CheckedAdd(CheckedAdd(top, top), CheckedSub(cy, kDot.height)));
    BlitTransparent(windowDC, dotX, dotY, kDot.width, kDot.height, Engine().Images.GlyphImage,
                    enabled ? kDot.enabledX : kDot.disabledX, kDot.y, kKeyMagenta, nullptr);
  }
  return 1;
}

}  // namespace modSkinner
