// Helpers of the graphics tests: surfaces to draw on and pixels read back as hex text.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace graphics_test {

// The pixel as six hex digits blue-green-red ("d58f1b"), "invalid" outside the surface.
std::string HexAt(HDC dc, int x, int y);

// Fills width x height from (0, 0) with one colour.
void Fill(HDC dc, int width, int height, COLORREF colour);

// True when every pixel of the w x h rectangles at (ax, ay) of a and (bx, by) of b is equal.
bool SamePixels(HDC a, int ax, int ay, HDC b, int bx, int by, int w, int h);

// True when every pixel of the rectangle has the colour.
bool AllPixels(HDC dc, int x, int y, int w, int h, COLORREF colour);

// The bitmap selected in a surface, and its description.
HBITMAP SelectedBitmap(HDC dc);
BITMAP DescribeBitmap(HDC dc);

}  // namespace graphics_test
