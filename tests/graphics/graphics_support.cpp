// Helpers of the graphics tests.
#include "graphics_support.h"

#include <cstdio>

#include "graphics/primitives.h"

namespace graphics_test {

std::string HexAt(HDC dc, int x, int y) {
  COLORREF colour = GetPixel(dc, x, y);
  if (colour == CLR_INVALID) return "invalid";
  char text[8];
  std::snprintf(text, sizeof text, "%06lx", static_cast<unsigned long>(colour));
  return text;
}

void Fill(HDC dc, int width, int height, COLORREF colour) {
  modSkinner::FillColorRect(dc, 0, 0, width, height, colour);
}

bool SamePixels(HDC a, int ax, int ay, HDC b, int bx, int by, int w, int h) {
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (GetPixel(a, ax + x, ay + y) != GetPixel(b, bx + x, by + y)) return false;
    }
  }
  return true;
}

bool AllPixels(HDC dc, int x, int y, int w, int h, COLORREF colour) {
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      if (GetPixel(dc, x + i, y + j) != colour) return false;
    }
  }
  return true;
}

HBITMAP SelectedBitmap(HDC dc) {
  return static_cast<HBITMAP>(GetCurrentObject(dc, OBJ_BITMAP));
}

BITMAP DescribeBitmap(HDC dc) {
  BITMAP bitmap = {};
  GetObjectW(SelectedBitmap(dc), sizeof bitmap, &bitmap);
  return bitmap;
}

}  // namespace graphics_test
