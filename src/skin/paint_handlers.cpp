// WM_PAINT and WM_NCPAINT of skinned windows: by kind, the control's own painting, the
// skin's painting over or instead of it, thin frames, progress bars and list headers.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "graphics/primitives.h"
#include "graphics/surfaces.h"
#include "platform/gdi_guards.h"
#include "skin/pass_on.h"
#include "skin/skin_engine.h"

namespace modSkinner {
namespace {

using detail::AddressOfZero;
using detail::PassOn;
using tarnwick::platform::ScopedGetDC;
using tarnwick::platform::ScopedSelectObject;
using tarnwick::platform::ScopedWindowDC;

constexpr COLORREF kFrameBlue = 0xD5A554;
constexpr COLORREF kFrameLightBlue = 0xE9CFA4;
constexpr COLORREF kProgressFill = 0xF6D64C;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr UINT kCaptionFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
constexpr float kProgressRange = 30000.0f;
constexpr int kHeaderTextCapacity = 256;

// BeginPaint / EndPaint.
class ScopedPaint {
 public:
  explicit ScopedPaint(HWND hwnd) : hwnd_(hwnd), hdc_(BeginPaint(hwnd, &paint_)) {}
  ~ScopedPaint() { EndPaint(hwnd_, &paint_); }
  ScopedPaint(const ScopedPaint&) = delete;
  ScopedPaint& operator=(const ScopedPaint&) = delete;
  HDC get() const { return hdc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC hdc_;
};

WindowBounds BoundsOf(HWND hwnd) {
  WindowBounds bounds;
  GetWindowBounds(hwnd, bounds);
  return bounds;
}

LONG_PTR StyleOf(HWND hwnd) {
  return GetWindowLongPtrW(hwnd, GWL_STYLE);
}

// FrameBlue for an enabled window, FrameLightBlue for a disabled one.
COLORREF EnabledColour(HWND hwnd) {
  return IsWindowEnabled(hwnd) ? kFrameBlue : kFrameLightBlue;
}

// Outer frame in the enabled colour and a white frame inside it, on the whole window.
void DrawTwoPixelFrame(HWND hwnd, HDC windowDc) {
  const WindowBounds bounds = BoundsOf(hwnd);
  FrameColorRect(windowDc, 0, 0, bounds.Width, bounds.Height, EnabledColour(hwnd));
  FrameColorRect(windowDc, 1, 1, CheckedSub(bounds.Width, 2), CheckedSub(bounds.Height, 2), kWhite);
}

// Position of a progress bar as a fraction of 0..30000 (its own range is not read).
float ProgressFraction(HWND hwnd) {
  const LRESULT position = SendMessageW(hwnd, PBM_GETPOS, 0, AddressOfZero());
  return static_cast<float>(static_cast<std::int32_t>(position)) / kProgressRange;
}

// A length derived from the progress fraction, rounded to the nearest integer, ties to even.
std::int32_t RoundedLength(float value) {
  return RoundHalfEven(static_cast<double>(value));
}

// The client area of a progress bar: white with the filled part, composed off screen.
LRESULT PaintProgressClient(HWND hwnd) {
  const LONG_PTR style = StyleOf(hwnd);
  RECT client{};
  GetClientRect(hwnd, &client);
  const std::int32_t cw = CheckedSub(client.right, client.left);
  const std::int32_t ch = CheckedSub(client.bottom, client.top);
  ScopedSurface surface(cw, ch);
  const float fraction = ProgressFraction(hwnd);
  FillColorRect(surface.get(), 0, 0, cw, ch, kWhite);
  if (fraction != 0.0f) {
    if (style & PBS_VERTICAL) {
      const float filled = static_cast<float>(ch) * fraction;
      FillColorRect(surface.get(), 0, RoundedLength(static_cast<float>(ch) - filled), cw,
                    RoundedLength(filled), kProgressFill);
    } else {
      FillColorRect(surface.get(), 0, 0, RoundedLength(static_cast<float>(cw) * fraction), ch,
                    kProgressFill);
    }
  }
  ScopedPaint paint(hwnd);
  BitBlt(paint.get(), 0, 0, cw, ch, surface.get(), 0, 0, SRCCOPY);
  return 0;
}

// Text of a header item with every NUL character removed.
std::wstring HeaderItemText(HWND hwnd, std::int32_t index) {
  // One character more than the limit handed to the control, so the terminator always fits.
  wchar_t buffer[kHeaderTextCapacity + 1] = {};
  HDITEMW item{};
  item.mask = HDI_TEXT;
  item.pszText = buffer;
  item.cchTextMax = kHeaderTextCapacity;
  SendMessageW(hwnd, HDM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  std::wstring text(buffer, kHeaderTextCapacity);
  text.erase(std::remove(text.begin(), text.end(), L'\0'), text.end());
  return text;
}

// The whole header: background strip, every item's cell (pressed over hot over normal)
// and its text, composed off screen and copied in one blit.
LRESULT PaintHeader(HWND hwnd) {
  const WindowBounds bounds = BoundsOf(hwnd);
  const std::int32_t w = bounds.Width;
  const std::int32_t h = bounds.Height;
  ScopedSurface surface(w, h);
  HDC headerImage = Engine().Images.HeaderImage;
  StretchBlt(surface.get(), 0, 0, w, h, headerImage, 1, 0, 1, 20, SRCCOPY);
  const LRESULT count = SendMessageW(hwnd, HDM_GETITEMCOUNT, 0, AddressOfZero());
  if (count > 0) {
    const auto pressed = static_cast<std::int32_t>(GetSkinProp(hwnd, prop::HDINDEX));
    const auto hot = static_cast<std::int32_t>(GetSkinProp(hwnd, prop::HMINDEX));
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, AddressOfZero()));
    ScopedSelectObject selectFont(surface.get(), font);
    SetBkMode(surface.get(), TRANSPARENT);
    for (std::int32_t i = 0; i < count; ++i) {
      RECT item{};
      SendMessageW(hwnd, HDM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      const std::wstring text = HeaderItemText(hwnd, i);
      const std::int32_t cellX = i == pressed ? 6 : (i == hot ? 3 : 0);
      const std::int32_t itemWidth = CheckedSub(item.right, item.left);
      StretchNineGrid(surface.get(), item.left, 0, itemWidth, h, headerImage, cellX, 0, 3, 20, 1, 1,
                      1, 1);
      if (!text.empty()) {
        DrawCaptionText(surface.get(), text, item.left, 0, itemWidth, item.bottom, kCaptionFormat);
      }
    }
  }
  ScopedPaint paint(hwnd);
  BitBlt(paint.get(), 0, 0, w, h, surface.get(), 0, 0, SRCCOPY);
  return 0;
}

// A push button: the face of the current state, fully; a running fade ends here.
LRESULT PaintSkinnedButton(HWND hwnd) {
  StopStateTimer(hwnd);
  SetSkinProp(hwnd, prop::ALPHALEVEL, 255);
  ScopedPaint paint(hwnd);
  PaintButton(hwnd, paint.get());
  return 0;
}

// An editable drop-down combo: white, framed, with the skinned drop button.
LRESULT PaintEditableCombo(HWND hwnd) {
  const WindowBounds bounds = BoundsOf(hwnd);
  std::int32_t state = static_cast<std::int32_t>(GetSkinProp(hwnd, prop::OLDSTATE));
  ScopedPaint paint(hwnd);
  FillColorRect(paint.get(), 0, 0, bounds.Width, bounds.Height, kWhite);
  FrameColorRect(paint.get(), 0, 0, bounds.Width, bounds.Height, EnabledColour(hwnd));
  PaintComboBox(hwnd, paint.get(), state, true);
  return 0;
}

// A list-style combo or drive list after its own painting: frame and drop button.
void PaintListCombo(HWND hwnd) {
  std::int32_t state = static_cast<std::int32_t>(GetSkinProp(hwnd, prop::OLDSTATE));
  ScopedWindowDC windowDc(hwnd);
  DrawTwoPixelFrame(hwnd, windowDc);
  PaintComboBox(hwnd, windowDc, state, true);
}

// The whole progress bar window (border and client area) in WM_NCPAINT.
LRESULT PaintProgressWindow(HWND hwnd) {
  std::int32_t bx = 0;
  std::int32_t by = 0;
  GetFrameMetrics(hwnd, bx, by);
  const WindowBounds bounds = BoundsOf(hwnd);
  const std::int32_t w = bounds.Width;
  const std::int32_t h = bounds.Height;
  RECT client{};
  GetClientRect(hwnd, &client);
  const std::int32_t cw = CheckedSub(client.right, client.left);
  const std::int32_t ch = CheckedSub(client.bottom, client.top);
  ScopedSurface surface(w, h);
  const float fraction = ProgressFraction(hwnd);
  const LONG_PTR style = StyleOf(hwnd);
  FillColorRect(surface.get(), 0, 0, w, h, kFrameBlue);
  FillColorRect(surface.get(), 1, 1, CheckedSub(w, 2), CheckedSub(h, 2), kWhite);
  if (fraction != 0.0f) {
    if (style & PBS_VERTICAL) {
      if (style & PBS_SMOOTH) FillColorRect(surface.get(), bx, by, cw, ch, kProgressFill);
      const float empty = static_cast<float>(ch) - static_cast<float>(ch) * fraction;
      FillColorRect(surface.get(), bx, by, cw, RoundedLength(empty), kWhite);
    } else {
      FillColorRect(surface.get(), bx, by, RoundedLength(static_cast<float>(cw) * fraction), ch,
                    kProgressFill);
    }
  }
  ScopedWindowDC windowDc(hwnd);
  BitBlt(windowDc, 0, 0, w, h, surface.get(), 0, 0, SRCCOPY);
  return 0;
}

// A sunken client edge recoloured: the outer line in the enabled colour, the inner lines
// in the client area's background colour (their right and bottom edges one pixel inside).
void RepaintSunkenEdge(HWND hwnd) {
  std::int32_t bx = 0;
  std::int32_t by = 0;
  GetFrameMetrics(hwnd, bx, by);
  const WindowBounds bounds = BoundsOf(hwnd);
  const std::int32_t w = bounds.Width;
  const std::int32_t h = bounds.Height;
  ScopedWindowDC windowDc(hwnd);
  ScopedGetDC clientDc(hwnd);
  FrameColorRect(windowDc, 0, 0, w, h, EnabledColour(hwnd));
  const COLORREF background = GetBkColor(clientDc);
  for (std::int32_t d = 1; d <= bx; ++d) {
    const std::int32_t inset = CheckedAdd(1, d);
    FrameColorRect(windowDc, d, d, CheckedSub(w, inset), CheckedSub(h, inset), background);
  }
}

}  // namespace

// WM_PAINT by kind: see each branch for whether the control's own painting runs.
LRESULT OnPaint(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (ClassifyWindow(hwnd)) {
    case ControlKind::KindButton:
      // Check boxes, radio buttons and group boxes of the button class keep their look.
      if (GetSkinProp(hwnd, prop::OLDSTYLE) & 6) break;
      return PaintSkinnedButton(hwnd);
    case ControlKind::KindCombo:
      if ((StyleOf(hwnd) & 1) == 0) return PaintEditableCombo(hwnd);
      [[fallthrough]];
    case ControlKind::KindDriveList: {
      const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
      PaintListCombo(hwnd);
      return result;
    }
    case ControlKind::KindCheck: {
      const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
      PaintCheckBox(hwnd, kStateNormal, true);
      return result;
    }
    case ControlKind::KindOption: {
      const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
      PaintOptionButton(hwnd, kStateNormal, true);
      return result;
    }
    case ControlKind::KindDataList:
    case ControlKind::KindDropList: {
      const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
      ScopedWindowDC windowDc(hwnd);
      DrawTwoPixelFrame(hwnd, windowDc);
      return result;
    }
    case ControlKind::KindProgress:
      return PaintProgressClient(hwnd);
    case ControlKind::KindHeader:
      return PaintHeader(hwnd);
    case ControlKind::KindGrid: {
      const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
      if (StyleOf(hwnd) & WS_BORDER) {
        const WindowBounds bounds = BoundsOf(hwnd);
        ScopedWindowDC windowDc(hwnd);
        FrameColorRect(windowDc, 0, 0, bounds.Width, bounds.Height, EnabledColour(hwnd));
      }
      return result;
    }
    default:
      break;
  }
  return PassOn(previous, hwnd, message, wParam, lParam);
}

// WM_NCPAINT: progress bars are drawn whole; data lists keep their own frame; every other
// window with a sunken client edge gets it recoloured after its own painting.
LRESULT OnNcPaint(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (ClassifyWindow(hwnd)) {
    case ControlKind::KindProgress:
      return PaintProgressWindow(hwnd);
    case ControlKind::KindDataList:
      return PassOn(previous, hwnd, message, wParam, lParam);
    default: {
      const LRESULT result = PassOn(previous, hwnd, message, wParam, lParam);
      if (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) RepaintSunkenEdge(hwnd);
      return result;
    }
  }
}

}  // namespace modSkinner
