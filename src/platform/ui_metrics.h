// Layout units, DPI and the default font: twips (1/1440 inch) to pixels at a given DPI, the
// DPI of a window (per monitor where the system knows it), system metrics at a DPI, and the
// 9-point default font of a Chinese system.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tarnwick::platform {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDefaultDpi = 96;
// WM_GETDPISCALEDSIZE (Windows 10 1703 and later), which the headers give only to programs
// built for those systems.
inline constexpr UINT kGetDpiScaledSizeMessage = 0x02E4;

// Dots per inch of the screen at sign-in (96 on most systems).
int SystemDpi();

// Dots per inch of the monitor the window is on; the system DPI where the system has no
// per-monitor DPI (before Windows 10 1607).
int WindowDpi(HWND hwnd);

// A system metric (SM_CXICON ...) at `dpi`; scaled from the system DPI's value where the
// system cannot tell it for another DPI.
int SystemMetricForDpi(int index, int dpi);

// A system metric at the DPI of the window's monitor: the sizes of the scroll bars, check
// boxes ... that the system's controls in that window use.
inline int SystemMetricForWindow(HWND hwnd, int index) {
  return SystemMetricForDpi(index, WindowDpi(hwnd));
}

// The outer rectangle of a window whose client area is `client`, at `dpi`.
RECT OuterRectForDpi(const RECT& client, DWORD style, DWORD ex_style, int dpi);

// Twips to pixels at `dpi`, rounded to the nearest pixel.
inline int TwipsToPixels(int twips, int dpi) {
  return MulDiv(twips, dpi, kTwipsPerInch);
}

// A new 9-point "宋体" (SimSun) font for `dpi`; the caller deletes it.
HFONT CreateUiFont(int dpi);

// The default font at the system DPI: created on first use, shared, and released when the
// program exits. Never delete the handle.
HFONT DefaultUiFont();

// Size of a one-line text in `font` (the default font when null), in pixels: its width, and
// the font's line height (also for an empty text).
SIZE MeasureText(const wchar_t* text, int length, HFONT font = nullptr);

// Size of a text of lines separated by '\n' in `font`: the widest line, and the lines'
// height together.
SIZE MeasureLines(std::wstring_view text, HFONT font = nullptr);

// The text in lines of at most `max_width` pixels in `font`, separated by '\n': broken after
// the last comma or space that leaves a line at least half full, else after the last
// character that fits. A text that needs more than `max_lines` ends its last line with "…".
std::wstring BreakLines(std::wstring_view text, int max_width, int max_lines, HFONT font);

}  // namespace tarnwick::platform
