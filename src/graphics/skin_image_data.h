// The pixels of the five skin images, as tables of platform colour values.
#pragma once

#include <windows.h>

#include <cstdint>

namespace modSkinner {

// One skin image: Width x Height colour values, row by row from the top.
struct SkinImagePixels {
  std::int32_t Width;
  std::int32_t Height;
  const COLORREF* Pixels;

  // The colour of pixel (x, y).
  COLORREF At(std::int32_t x, std::int32_t y) const { return Pixels[y * Width + x]; }
};

SkinImagePixels ButtonImagePixels();
SkinImagePixels ComboImagePixels();
SkinImagePixels GlyphImagePixels();
SkinImagePixels BoxImagePixels();
SkinImagePixels HeaderImagePixels();

}  // namespace modSkinner
