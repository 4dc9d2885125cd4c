// Layout units and the default font: twips (1/1440 inch) to pixels at the system's DPI,
// and the 9-point default font of a Chinese system.
#pragma once

#include <windows.h>

namespace tarnwick::platform {

inline constexpr int kTwipsPerInch = 1440;

// Dots per inch of the screen (96 on most systems).
int SystemDpi();

// Twips to pixels at `dpi`, rounded to the nearest pixel.
inline int TwipsToPixels(int twips, int dpi) {
  return MulDiv(twips, dpi, kTwipsPerInch);
}

// The 9-point "宋体" (SimSun) font every control uses: created on first use, shared, and
// released when the program exits. Never delete the handle.
HFONT DefaultUiFont();

// Size of a one-line text in the default font, in pixels: its width, and the font's line
// height (also for an empty text).
SIZE MeasureText(const wchar_t* text, int length);

}  // namespace tarnwick::platform
