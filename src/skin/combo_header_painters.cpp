// Combo box drop buttons and single list-header items, each composed on a small surface and
// copied over the control's own drawing in one blit.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "graphics/primitives.h"
#include "graphics/surfaces.h"
#include "platform/gdi_guards.h"
#include "platform/ui_metrics.h"
#include "skin/skin_engine.h"

namespace modSkinner {

namespace {

constexpr COLORREF kDropButtonNormal = 0xFFFFFF;
// ComboImage: hot and pressed drop-button cells, 4 x 18 at x = 0 and 4; arrows 7 x 4 at x = 8.
constexpr std::int32_t kDropCellHotX = 0;
constexpr std::int32_t kDropCellPressedX = 4;
constexpr std::int32_t kDropCellWidth = 4;
constexpr std::int32_t kDropCellHeight = 18;
constexpr std::int32_t kArrowX = 8;
constexpr std::int32_t kArrowEnabledY = 0;
constexpr std::int32_t kArrowDisabledY = 4;
constexpr std::int32_t kArrowWidth = 7;
constexpr std::int32_t kArrowHeight = 4;
// Bit 1 of a combo box's style: it has a drop button (drop-down and drop-down list).
constexpr LONG_PTR kHasDropButton = 2;

// HeaderImage: item cells 3 x 20 at x = 0 (normal), 3 (hot), 6 (pressed).
constexpr std::int32_t kHeaderCellWidth = 3;
constexpr std::int32_t kHeaderCellHeight = 20;
constexpr std::int32_t kHeaderMargin = 1;
constexpr std::size_t kHeaderTextChars = 255;
constexpr UINT kCaptionFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;

// Left edge of the header cell for an item state; unknown states use the normal cell.
std::int32_t HeaderCellX(std::int32_t state) {
  if (state == kStateHot) return 3;
  if (state == kStatePressed) return 6;
  return 0;
}

}  // namespace

// Paints the drop button of a combo box or drive list: white (normal), the hot or pressed
// cell, and the enabled or disabled arrow centred on it. While the list is dropped the state
// is 2, and the caller's variable receives it. An unforced request for the state already
// shown does nothing; a simple combo box (no drop button) is never painted.
void PaintComboBox(HWND hwnd, HDC hdc, std::int32_t& state, bool force) {
  const LRESULT dropped = SendMessageW(hwnd, CB_GETDROPPEDSTATE, 0, 0);
  const LONG_PTR old = GetSkinProp(hwnd, prop::OLDSTATE);
  if (dropped != 0) state = kStatePressed;
  if (state == old && !force) return;
  if ((GetWindowLongPtrW(hwnd, GWL_STYLE) & kHasDropButton) == 0) return;
  SetSkinProp(hwnd, prop::OLDSTATE, state);

  WindowBounds bounds;
  GetWindowBounds(hwnd, bounds);
  const std::int32_t width =
      CheckedAdd(tarnwick::platform::SystemMetricForWindow(hwnd, SM_CXVSCROLL), 1);
  const std::int32_t height = CheckedSub(bounds.Height, 2);
  const SkinImages& images = Engine().Images;

  ScopedSurface surface(width, height);
  if (state == kStateNormal) {
    FillColorRect(surface, 0, 0, width, height, kDropButtonNormal);
  } else if (state == kStateHot || state == kStatePressed) {
    StretchNineGrid(surface, 0, 0, width, height, images.ComboImage,
                    state == kStateHot ? kDropCellHotX : kDropCellPressedX, 0, kDropCellWidth,
                    kDropCellHeight, 2, 1, 1, 1);
  }
  // half(bounds.Height - 6) equals half(height - 4): the arrow is centred in the button.
  BlitTransparent(surface, Half(CheckedSub(width, kArrowWidth)), Half(CheckedSub(bounds.Height, 6)),
                  kArrowWidth, kArrowHeight, images.ComboImage, kArrowX,
                  IsWindowEnabled(hwnd) ? kArrowEnabledY : kArrowDisabledY, kKeyMagenta, nullptr);

  std::optional<tarnwick::platform::ScopedWindowDC> windowDC;
  HDC target = hdc;
  if (target == nullptr) {
    windowDC.emplace(hwnd);
    target = windowDC->get();
  }
  BitBlt(target, CheckedSub(CheckedSub(bounds.Width, width), 1), 1, width, height, surface, 0, 0,
         SRCCOPY);
}

// Paints one header item in a state (0 normal, 1 hot, 2 pressed): the item's cell stretched
// over the item and its text centred, NUL characters removed and at most 255 characters.
// A negative index draws nothing. Returns 0.
int PaintHeaderItem(HWND hwnd, HDC hdc, std::int32_t index, std::int32_t state) {
  if (index < 0) return 0;

  WindowBounds bounds;
  GetWindowBounds(hwnd, bounds);
  RECT item{};
  SendMessageW(hwnd, HDM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  const std::int32_t width = CheckedSub(item.right, item.left);
  const std::int32_t itemHeight = CheckedSub(item.bottom, item.top);

  ScopedSurface surface(width, bounds.Height);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
  tarnwick::platform::ScopedSelectObject fontSelection(surface, font);
  SetBkMode(surface, TRANSPARENT);
  StretchNineGrid(surface, 0, 0, width, bounds.Height, Engine().Images.HeaderImage,
                  HeaderCellX(state), 0, kHeaderCellWidth, kHeaderCellHeight, kHeaderMargin,
                  kHeaderMargin, kHeaderMargin, kHeaderMargin);

  // The buffer starts as NULs and keeps its terminator: whatever the header writes, at most
  // 255 characters come back.
  std::array<wchar_t, kHeaderTextChars + 1> buffer{};
  HDITEMW record{};
  record.mask = HDI_TEXT;
  record.pszText = buffer.data();
  record.cchTextMax = static_cast<int>(buffer.size());
  SendMessageW(hwnd, HDM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&record));
  std::wstring text(buffer.data(), kHeaderTextChars);
  text.erase(std::remove(text.begin(), text.end(), L'\0'), text.end());
  if (!text.empty()) {
    DrawCaptionText(surface, text, 0, 0, width, bounds.Height, kCaptionFormat);
  }

  std::optional<tarnwick::platform::ScopedWindowDC> windowDC;
  HDC target = hdc;
  if (target == nullptr) {
    windowDC.emplace(hwnd);
    target = windowDC->get();
  }
  BitBlt(target, item.left, 0, width, itemHeight, surface, 0, 0, SRCCOPY);
  return 0;
}

}  // namespace modSkinner
