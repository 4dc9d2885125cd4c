// Builds the five skin images pixel by pixel from their tables, and releases them.
#include "graphics/skin_images.h"

#include "graphics/skin_image_data.h"
#include "graphics/surfaces.h"

namespace modSkinner {

namespace {

// Sets every pixel of the surface once, from the image's table.
void PaintPixels(HDC surface, const SkinImagePixels& image) {
  for (std::int32_t y = 0; y < image.Height; ++y) {
    for (std::int32_t x = 0; x < image.Width; ++x) SetPixel(surface, x, y, image.At(x, y));
  }
}

// A surface of the image's size holding the image; 0 when the surface cannot be made.
HDC DrawImage(const SkinImagePixels& image) {
  HDC surface = CreateSurface(image.Width, image.Height);
  if (surface) PaintPixels(surface, image);
  return surface;
}

// Releases one image surface and clears its handle.
void Release(HDC& image) {
  DeleteSurface(image);
  image = nullptr;
}

}  // namespace

// Creates the surfaces in the order Button, Combo, Glyph, Box, Header and draws each.
void BuildSkinImages(SkinImages& images) {
  images.ButtonImage = DrawImage(ButtonImagePixels());
  images.ComboImage = DrawImage(ComboImagePixels());
  images.GlyphImage = DrawImage(GlyphImagePixels());
  images.BoxImage = DrawImage(BoxImagePixels());
  images.HeaderImage = DrawImage(HeaderImagePixels());
}

// Deletes the five surfaces, bitmaps included, in the order they were made.
void ReleaseSkinImages(SkinImages& images) {
  Release(images.ButtonImage);
  Release(images.ComboImage);
  Release(images.GlyphImage);
  Release(images.BoxImage);
  Release(images.HeaderImage);
}

}  // namespace modSkinner
