// Off-screen surfaces, nine-grid stretching and key-colour (mask-and-merge) blitting.
#include "graphics/surfaces.h"

#include <ole2.h>
#include <olectl.h>

#include "graphics/primitives.h"
#include "platform/gdi_guards.h"

namespace modSkinner {

using tarnwick::platform::ScopedCreatedDC;
using tarnwick::platform::ScopedGdiObject;
using tarnwick::platform::ScopedSelectObject;
using tarnwick::platform::ScopedSelectPalette;

namespace {

constexpr DWORD kDestinationAndNotSource = 0x00220326;  // DSna
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlack = 0x000000;

// A device context for the whole display (driver "DISPLAY", no device, no output).
HDC OpenDisplayDC() {
  return CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
}

// One piece of a nine-grid: whether it is drawn, where it comes from and where it goes.
struct Piece {
  bool drawn;
  std::int32_t sx, sy, sw, sh;
  std::int32_t dx, dy, dw, dh;
};

}  // namespace

// A memory DC compatible with the display, holding a width x height display-format bitmap.
// An empty or negative size makes no surface (the platform would give a 1 x 1 monochrome
// bitmap for an empty one).
HDC CreateSurface(std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0) return nullptr;
  ScopedCreatedDC display(OpenDisplayDC());
  if (!display) return nullptr;
  ScopedCreatedDC memory(CreateCompatibleDC(display));
  if (!memory) return nullptr;
  ScopedGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(display, width, height));
  // The memory DC's initial one-pixel bitmap is a stock object: nothing to free.
  if (!bitmap || !SelectObject(memory, bitmap)) return nullptr;
  // From here DeleteSurface frees the bitmap with the DC.
  bitmap.release();
  return memory.release();
}

// Deletes the surface's DC, then the bitmap that was selected in it.
void DeleteSurface(HDC surface) {
  if (!surface) return;
  HGDIOBJ bitmap = GetCurrentObject(surface, OBJ_BITMAP);
  DeleteDC(surface);
  // Deleting the DC deselects the bitmap; a stock bitmap ignores the DeleteObject.
  if (bitmap) DeleteObject(bitmap);
}

// Composes the nine-grid in a temporary surface of dw x dh, then copies it to the destination,
// with or without the key colour.
int StretchNineGrid(HDC dst, std::int32_t dx, std::int32_t dy, std::int32_t dw, std::int32_t dh,
                    HDC src, std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh,
                    std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                    std::optional<OleColor> key) {
  // Nothing to draw for an empty (or negative) size.
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return 0;

  // Every coordinate first, so an overflow leaves nothing half-drawn.
  std::int32_t srcRight = CheckedSub(CheckedAdd(sx, sw), right);
  std::int32_t srcBottom = CheckedSub(CheckedAdd(sy, sh), bottom);
  std::int32_t srcMiddleX = CheckedAdd(sx, left);
  std::int32_t srcMiddleY = CheckedAdd(sy, top);
  std::int32_t srcMiddleW = CheckedSub(CheckedSub(sw, left), right);
  std::int32_t srcMiddleH = CheckedSub(CheckedSub(sh, top), bottom);
  std::int32_t dstRight = CheckedSub(dw, right);
  std::int32_t dstBottom = CheckedSub(dh, bottom);
  std::int32_t dstMiddleW = CheckedSub(CheckedSub(dw, left), right);
  std::int32_t dstMiddleH = CheckedSub(CheckedSub(dh, top), bottom);
  std::int32_t plainW = CheckedSub(sw, right);
  std::int32_t plainH = CheckedSub(sh, bottom);

  ScopedSurface temporary(dw, dh);
  // Without a surface the destination is left exactly as it was.
  if (!temporary) return 0;

  if (left <= 0 && top <= 0 && right <= 0 && bottom <= 0) {
    StretchBlt(temporary, 0, 0, dw, dh, src, srcMiddleX, srcMiddleY, plainW, plainH, SRCCOPY);
  } else {
    // In drawing order: the corners copied 1:1, then the edges and the centre stretched.
    // Each: drawn when, source x, y, w, h, then x, y, w, h in the temporary surface.
    const bool l = left > 0, t = top > 0, r = right > 0, b = bottom > 0;
    const Piece pieces[] = {
        {l && t, sx, sy, left, top, 0, 0, left, top},                       // top-left
        {r && t, srcRight, sy, right, top, dstRight, 0, right, top},        // top-right
        {l && b, sx, srcBottom, left, bottom, 0, dstBottom, left, bottom},  // bottom-left
        {r && b, srcRight, srcBottom, right, bottom, dstRight, dstBottom, right, bottom},
        {l, sx, srcMiddleY, left, srcMiddleH, 0, top, left, dstMiddleH},                 // left
        {r, srcRight, srcMiddleY, right, srcMiddleH, dstRight, top, right, dstMiddleH},  // right
        {t, srcMiddleX, sy, srcMiddleW, top, left, 0, dstMiddleW, top},                  // top
        {b, srcMiddleX, srcBottom, srcMiddleW, bottom, left, dstBottom, dstMiddleW, bottom},
        {true, srcMiddleX, srcMiddleY, srcMiddleW, srcMiddleH, left, top, dstMiddleW, dstMiddleH},
    };
    for (int i = 0; i < 9; ++i) {
      const Piece& p = pieces[i];
      if (!p.drawn) continue;
      if (i < 4) {
        BitBlt(temporary, p.dx, p.dy, p.dw, p.dh, src, p.sx, p.sy, SRCCOPY);
      } else {
        StretchBlt(temporary, p.dx, p.dy, p.dw, p.dh, src, p.sx, p.sy, p.sw, p.sh, SRCCOPY);
      }
    }
  }

  if (!key) return BitBlt(dst, dx, dy, dw, dh, temporary, 0, 0, SRCCOPY);
  BlitTransparent(dst, dx, dy, dw, dh, temporary, 0, 0, *key, nullptr);
  return 1;
}

// Mask-and-merge: the destination keeps its pixels where the source has the key colour and
// takes the source's pixels everywhere else.
void BlitTransparent(HDC dst, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                     HDC src, std::int32_t sx, std::int32_t sy, OleColor key, HPALETTE palette) {
  if (w <= 0 || h <= 0) return;

  ScopedCreatedDC display(OpenDisplayDC());
  ScopedGdiObject<HPALETTE> halftone(palette ? nullptr : CreateHalftonePalette(display));
  HPALETTE workPalette = palette ? palette : halftone.get();

  // A palette-relative translation sets the top byte: only the RGB part is the key.
  COLORREF keyColour = key & 0xFFFFFF;
  if (SUCCEEDED(OleTranslateColor(key, workPalette, &keyColour))) keyColour &= 0xFFFFFF;

  // Background copy: the destination's current pixels.
  ScopedCreatedDC backDC(CreateCompatibleDC(display));
  ScopedGdiObject<HBITMAP> backBitmap(CreateCompatibleBitmap(display, w, h));
  ScopedSelectObject backSelected(backDC, backBitmap);
  ScopedSelectPalette backPalette(backDC, workPalette, TRUE, FALSE);

  // Image copy: the source's pixels, with the source's background and text colours.
  ScopedCreatedDC imageDC(CreateCompatibleDC(display));
  ScopedGdiObject<HBITMAP> imageBitmap(CreateCompatibleBitmap(display, w, h));
  ScopedSelectObject imageSelected(imageDC, imageBitmap);
  ScopedSelectPalette imagePalette(imageDC, workPalette, TRUE, TRUE);

  // Mask: one bit per pixel, set where the image has the key colour.
  ScopedCreatedDC maskDC(CreateCompatibleDC(display));
  ScopedGdiObject<HBITMAP> maskBitmap(CreateBitmap(w, h, 1, 1, nullptr));
  ScopedSelectObject maskSelected(maskDC, maskBitmap);

  // A missing work surface would merge garbage: leave the destination untouched instead.
  if (!backDC || !backBitmap || !imageDC || !imageBitmap || !maskDC || !maskBitmap) return;

  BitBlt(backDC, 0, 0, w, h, dst, x, y, SRCCOPY);

  SetBkColor(imageDC, GetBkColor(src));
  SetTextColor(imageDC, GetTextColor(src));
  BitBlt(imageDC, 0, 0, w, h, src, sx, sy, SRCCOPY);

  // Colour to monochrome: pixels of the background colour (the key) become 1.
  SetBkColor(imageDC, keyColour);
  SetTextColor(imageDC, kWhite);
  BitBlt(maskDC, 0, 0, w, h, imageDC, 0, 0, SRCCOPY);

  // Key pixels of the image become black.
  SetTextColor(imageDC, kBlack);
  SetBkColor(imageDC, kWhite);
  BitBlt(imageDC, 0, 0, w, h, maskDC, 0, 0, kDestinationAndNotSource);

  // Opaque pixels of the background become black holes, then take the image's pixels.
  BitBlt(backDC, 0, 0, w, h, maskDC, 0, 0, SRCAND);
  BitBlt(backDC, 0, 0, w, h, imageDC, 0, 0, SRCPAINT);

  BitBlt(dst, x, y, w, h, backDC, 0, 0, SRCCOPY);
}

}  // namespace modSkinner
