// The five skin images, drawn pixel by pixel into memory surfaces.
#pragma once

#include <windows.h>

namespace modSkinner {

struct SkinImages {
  HDC ButtonImage = nullptr;  // 7 x 84: four 7 x 21 button faces (normal, hot, pressed, disabled)
  HDC ComboImage = nullptr;   // 15 x 18: two 4 x 18 drop-button cells, two 7 x 4 arrows
  HDC GlyphImage = nullptr;   // 18 x 24: check mark, square, dot; enabled and disabled
  HDC BoxImage = nullptr;     // 13 x 52: four 13 x 13 circle cells and the check-box fills
  HDC HeaderImage = nullptr;  // 9 x 20: normal, hot, pressed header cells
};

// Creates the five surfaces (CreateSurface) and sets every pixel of each.
void BuildSkinImages(SkinImages& images);
// Deletes the five surfaces in the order Button, Combo, Glyph, Box, Header; handles become 0.
void ReleaseSkinImages(SkinImages& images);

}  // namespace modSkinner
