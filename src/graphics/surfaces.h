// Off-screen surfaces (memory DC with a display-compatible bitmap of its own), nine-grid
// stretching and transparent (key colour) blitting.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

namespace modSkinner {

using OleColor = std::uint32_t;
constexpr OleColor kKeyMagenta = 0xFF00FF;

// A memory DC with a width x height display-compatible bitmap selected; 0 on failure.
// The caller releases it with DeleteSurface: a plain DeleteDC would leave its bitmap behind.
HDC CreateSurface(std::int32_t width, std::int32_t height);
// Releases a surface made by CreateSurface, its bitmap included. 0 is ignored.
void DeleteSurface(HDC surface);

// Owns a surface for one scope: CreateSurface on construction, DeleteSurface on destruction.
class ScopedSurface {
 public:
  ScopedSurface(std::int32_t width, std::int32_t height) : surface_(CreateSurface(width, height)) {}
  ~ScopedSurface() { DeleteSurface(surface_); }
  ScopedSurface(const ScopedSurface&) = delete;
  ScopedSurface& operator=(const ScopedSurface&) = delete;
  HDC get() const { return surface_; }
  operator HDC() const { return surface_; }
  // Hands the surface over to the caller, who then releases it with DeleteSurface.
  HDC release() {
    HDC surface = surface_;
    surface_ = nullptr;
    return surface;
  }

 private:
  HDC surface_;
};

// Scales the source cell onto the destination rectangle keeping corners and borders
// (margins left, top, right, bottom). 0 when nothing was drawn; the final BitBlt's result
// without a key; 1 with a key.
int StretchNineGrid(HDC dst, std::int32_t dx, std::int32_t dy, std::int32_t dw, std::int32_t dh,
                    HDC src, std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh,
                    std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                    std::optional<OleColor> key = std::nullopt);

// Copies w x h from src (sx, sy) to dst (x, y); source pixels equal to `key` stay
// transparent. With palette 0 a halftone palette is made and deleted inside the call.
void BlitTransparent(HDC dst, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                     HDC src, std::int32_t sx, std::int32_t sy, OleColor key, HPALETTE palette);

}  // namespace modSkinner
