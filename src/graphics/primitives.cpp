// Stateless drawing primitives: thin wrappers over single user32/gdi32 calls.
#include "graphics/primitives.h"

#include <cmath>
#include <vector>

#include "platform/gdi_guards.h"
#include "platform/ui_metrics.h"

namespace modSkinner {

using tarnwick::platform::ScopedGdiObject;

namespace {

// The platform rectangle { x, y, x + width, y + height }; sums are overflow-checked.
RECT MakeRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
  RECT rect;
  rect.left = x;
  rect.top = y;
  rect.right = CheckedAdd(x, width);
  rect.bottom = CheckedAdd(y, height);
  return rect;
}

}  // namespace

// a + b; raises CoordinateOverflow instead of wrapping.
std::int32_t CheckedAdd(std::int32_t a, std::int32_t b) {
  std::int32_t sum;
  if (__builtin_add_overflow(a, b, &sum)) {
    throw CoordinateOverflow("coordinate sum outside the 32-bit range");
  }
  return sum;
}

// a - b; raises CoordinateOverflow instead of wrapping.
std::int32_t CheckedSub(std::int32_t a, std::int32_t b) {
  std::int32_t difference;
  if (__builtin_sub_overflow(a, b, &difference)) {
    throw CoordinateOverflow("coordinate difference outside the 32-bit range");
  }
  return difference;
}

// Nearest integer with ties to the even neighbour; values outside the 32-bit range (or NaN)
// raise CoordinateOverflow.
std::int32_t RoundHalfEven(double value) {
  double lower = std::floor(value);
  double fraction = value - lower;
  double rounded = lower;
  if (fraction > 0.5) {
    rounded = lower + 1.0;
  } else if (fraction == 0.5) {
    rounded = std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
  }
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
    throw CoordinateOverflow("rounded value outside the 32-bit range");
  }
  return static_cast<std::int32_t>(rounded);
}

// value / 2 with a half going to the even neighbour, in exact integer arithmetic.
std::int32_t Half(std::int32_t value) {
  std::int32_t lower = value >> 1;  // floor(value / 2)
  if ((value & 1) != 0 && (lower & 1) != 0) ++lower;
  return lower;
}

// The window's class name, empty when the handle is not a window; never throws.
std::wstring GetClassNameText(HWND hwnd) {
  std::wstring name;
  try {
    wchar_t buffer[255] = {};
    int length = GetClassNameW(hwnd, buffer, 255);
    if (length > 0) name.assign(buffer);
  } catch (...) {
    // Leaves the name as far as it got.
  }
  return name;
}

// The window's text; empty for a window without text.
std::wstring GetWindowCaption(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

// DrawText into the rectangle with the given DT_ flags; returns DrawText's result.
int DrawCaptionText(HDC hdc, const std::wstring& text, std::int32_t x, std::int32_t y,
                    std::int32_t width, std::int32_t height, UINT format) {
  RECT rect = MakeRect(x, y, width, height);
  if ((format & DT_MODIFYSTRING) != 0) {
    // DT_MODIFYSTRING writes an ellipsised copy back into the buffer (up to four more
    // characters): give it a writable one of its own instead of the caller's text.
    std::vector<wchar_t> buffer(text.begin(), text.end());
    buffer.resize(text.size() + 5, L'\0');
    return DrawTextW(hdc, buffer.data(), -1, &rect, format);
  }
  return DrawTextW(hdc, text.c_str(), -1, &rect, format);
}

// Fills the rectangle with a solid colour; returns FillRect's result.
int FillColorRect(HDC hdc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  COLORREF colour) {
  RECT rect = MakeRect(x, y, width, height);
  ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(colour));
  return FillRect(hdc, &rect, brush);
}

// Fills the record with the window's outer rectangle; returns GetWindowRect's result.
BOOL GetWindowBounds(HWND hwnd, WindowBounds& bounds) {
  RECT rect = {};
  BOOL result = GetWindowRect(hwnd, &rect);
  bounds.Left = rect.left;
  bounds.Top = rect.top;
  bounds.Right = rect.right;
  bounds.Bottom = rect.bottom;
  bounds.Width = CheckedSub(rect.right, rect.left);
  bounds.Height = CheckedSub(rect.bottom, rect.top);
  return result;
}

// The platform's dotted focus rectangle around the rectangle; returns DrawFocusRect's result.
BOOL DrawFocusBox(HDC hdc, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height) {
  RECT rect = MakeRect(x, y, width, height);
  return DrawFocusRect(hdc, &rect);
}

// A one-pixel frame of a solid colour along the inside of the rectangle; returns FrameRect's
// result.
int FrameColorRect(HDC hdc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                   COLORREF colour) {
  RECT rect = MakeRect(x, y, width, height);
  ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(colour));
  return FrameRect(hdc, &rect, brush);
}

// Frame thickness on each side: half the difference between window and client size (less
// any scroll bar, at the window's DPI), rounded half to even. Always returns 1.
int GetFrameMetrics(HWND hwnd, std::int32_t& borderX, std::int32_t& borderY) {
  RECT window = {};
  RECT client = {};
  GetWindowRect(hwnd, &window);
  GetClientRect(hwnd, &client);
  std::int32_t dx =
      CheckedSub(CheckedSub(window.right, window.left), CheckedSub(client.right, client.left));
  std::int32_t dy =
      CheckedSub(CheckedSub(window.bottom, window.top), CheckedSub(client.bottom, client.top));
  LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  if ((style & WS_VSCROLL) != 0)
    dx = CheckedSub(dx, tarnwick::platform::SystemMetricForWindow(hwnd, SM_CXVSCROLL));
  if ((style & WS_HSCROLL) != 0)
    dy = CheckedSub(dy, tarnwick::platform::SystemMetricForWindow(hwnd, SM_CYHSCROLL));
  borderX = Half(dx);
  borderY = Half(dy);
  return 1;
}

// Bits 0-15 as a signed 16-bit number.
std::int16_t GetLowWord(std::int32_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value)));
}

// Bits 16-31 as a signed 16-bit number.
std::int16_t GetHighWord(std::int32_t value) {
  return static_cast<std::int16_t>(
      static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) >> 16));
}

}  // namespace modSkinner
