// Surfaces, nine-grid stretching and key-colour blitting, checked pixel by pixel.
#include "graphics/surfaces.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "graphics/primitives.h"
#include "graphics_support.h"

using namespace modSkinner;
using graphics_test::AllPixels;
using graphics_test::DescribeBitmap;
using graphics_test::Fill;
using graphics_test::HexAt;
using graphics_test::SamePixels;
using graphics_test::SelectedBitmap;

namespace {

constexpr COLORREF kBackground = 0x3a7c11;

// A distinct colour for every pixel position, so that each can be traced to its source.
COLORREF PatternColour(int x, int y) {
  return RGB(10 + 15 * x, 5 + 8 * y, 0x40);
}

// A w x h surface filled with the pattern.
void DrawPattern(HDC dc, int w, int h) {
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) SetPixel(dc, x, y, PatternColour(x, y));
  }
}

// The source row of the pattern a destination pixel came from, -1 if none.
int SourceRow(HDC dc, int x, int y, int sourceColumn, int rows) {
  COLORREF colour = GetPixel(dc, x, y);
  for (int row = 0; row < rows; ++row) {
    if (PatternColour(sourceColumn, row) == colour) return row;
  }
  return -1;
}

}  // namespace

TEST(Surface, HasAScreenFormatBitmapOfItsOwnReleasedWithIt) {
  HDC surface = CreateSurface(20, 10);
  ASSERT_NE(surface, nullptr);
  BITMAP bitmap = DescribeBitmap(surface);
  EXPECT_EQ(bitmap.bmWidth, 20);
  EXPECT_EQ(bitmap.bmHeight, 10);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(bitmap.bmBitsPixel, GetDeviceCaps(screen, BITSPIXEL));
  ReleaseDC(nullptr, screen);
  EXPECT_TRUE(AllPixels(surface, 0, 0, 20, 10, 0x000000));  // a new bitmap is black

  HBITMAP owned = SelectedBitmap(surface);
  ASSERT_EQ(GetObjectType(owned), static_cast<DWORD>(OBJ_BITMAP));
  DeleteSurface(surface);
  EXPECT_EQ(GetObjectType(owned), 0u);  // the bitmap went with its surface
  DeleteSurface(nullptr);

  EXPECT_EQ(CreateSurface(-1, 5), nullptr);
  EXPECT_EQ(CreateSurface(5, 0), nullptr);
}

TEST(NineGrid, AnEmptySizeDrawsNothing) {
  ScopedSurface source(7, 21);
  ScopedSurface target(10, 10);
  DrawPattern(source, 7, 21);
  Fill(target, 10, 10, kBackground);
  EXPECT_EQ(StretchNineGrid(target, 0, 0, 0, 10, source, 0, 0, 7, 21, 3, 3, 3, 3), 0);
  EXPECT_EQ(StretchNineGrid(target, 0, 0, 10, 0, source, 0, 0, 7, 21, 3, 3, 3, 3), 0);
  EXPECT_EQ(StretchNineGrid(target, 0, 0, 10, 10, source, 0, 0, 0, 21, 3, 3, 3, 3), 0);
  EXPECT_EQ(StretchNineGrid(target, 0, 0, 10, 10, source, 0, 0, 7, 0, 3, 3, 3, 3, kKeyMagenta), 0);
  EXPECT_EQ(StretchNineGrid(target, 0, 0, -4, 10, source, 0, 0, 7, 21, 3, 3, 3, 3), 0);
  EXPECT_TRUE(AllPixels(target, 0, 0, 10, 10, kBackground));
}

TEST(NineGrid, ButtonCellOntoAWideButton) {
  // 7 x 21 with margins 3 onto 75 x 25 at (2, 1) of a larger target.
  ScopedSurface source(7, 21);
  ScopedSurface target(80, 30);
  DrawPattern(source, 7, 21);
  Fill(target, 80, 30, kBackground);
  EXPECT_NE(StretchNineGrid(target, 2, 1, 75, 25, source, 0, 0, 7, 21, 3, 3, 3, 3), 0);

  // The four 3 x 3 corners, unscaled.
  EXPECT_TRUE(SamePixels(target, 2, 1, source, 0, 0, 3, 3));
  EXPECT_TRUE(SamePixels(target, 2 + 72, 1, source, 4, 0, 3, 3));
  EXPECT_TRUE(SamePixels(target, 2, 1 + 22, source, 0, 18, 3, 3));
  EXPECT_TRUE(SamePixels(target, 2 + 72, 1 + 22, source, 4, 18, 3, 3));

  // The one middle column of the cell repeated across the 69 middle columns, on every row.
  for (int x = 3; x < 72; ++x) {
    EXPECT_TRUE(SamePixels(target, 2 + x, 1, target, 2 + 3, 1, 1, 25)) << "column " << x;
  }
  EXPECT_TRUE(SamePixels(target, 2 + 3, 1, source, 3, 0, 1, 3));
  EXPECT_TRUE(SamePixels(target, 2 + 3, 1 + 22, source, 3, 18, 1, 3));

  // The 15 middle rows stretched to 19: in order, each one at least once, none skipped.
  std::set<int> seen;
  int previous = 2;
  for (int y = 3; y < 22; ++y) {
    int row = SourceRow(target, 2, 1 + y, 0, 21);
    EXPECT_GE(row, previous) << "row " << y;
    EXPECT_LE(row, previous + 1) << "row " << y;
    EXPECT_EQ(SourceRow(target, 2 + 74, 1 + y, 6, 21), row);
    previous = row;
    seen.insert(row);
  }
  EXPECT_EQ(seen.size(), 15u);
  EXPECT_EQ(*seen.begin(), 3);
  EXPECT_EQ(*seen.rbegin(), 17);

  // Nothing outside the destination rectangle.
  EXPECT_TRUE(AllPixels(target, 0, 0, 80, 1, kBackground));
  EXPECT_TRUE(AllPixels(target, 0, 0, 2, 30, kBackground));
  EXPECT_TRUE(AllPixels(target, 77, 0, 3, 30, kBackground));
  EXPECT_TRUE(AllPixels(target, 0, 26, 80, 4, kBackground));
}

TEST(NineGrid, SameSizeCopiesAndNoMarginsStretchesTheWholeCell) {
  ScopedSurface source(16, 30);
  ScopedSurface target(20, 50);
  DrawPattern(source, 16, 30);

  // A cell at (4, 5) of the source, onto a destination exactly its size.
  Fill(target, 20, 50, kBackground);
  StretchNineGrid(target, 1, 1, 7, 21, source, 4, 5, 7, 21, 3, 3, 3, 3);
  EXPECT_TRUE(SamePixels(target, 1, 1, source, 4, 5, 7, 21));
  Fill(target, 20, 50, kBackground);
  StretchNineGrid(target, 1, 1, 4, 18, source, 4, 5, 4, 18, 2, 1, 1, 1);
  EXPECT_TRUE(SamePixels(target, 1, 1, source, 4, 5, 4, 18));

  // No margins: every destination pixel doubles a source pixel of the cell.
  Fill(target, 20, 50, kBackground);
  StretchNineGrid(target, 0, 0, 14, 42, source, 4, 5, 7, 21, 0, 0, 0, 0);
  bool doubled = true;
  for (int y = 0; y < 42; ++y) {
    for (int x = 0; x < 14; ++x) {
      doubled = doubled && GetPixel(target, x, y) == PatternColour(4 + x / 2, 5 + y / 2);
    }
  }
  EXPECT_TRUE(doubled);
}

TEST(BlitTransparent, KeyPixelsKeepTheDestinationAndOthersAreCopied) {
  ScopedSurface source(12, 8);
  ScopedSurface target(12, 8);

  // All key: nothing changes.
  Fill(source, 12, 8, kKeyMagenta);
  Fill(target, 12, 8, kBackground);
  BlitTransparent(target, 0, 0, 12, 8, source, 0, 0, kKeyMagenta, nullptr);
  EXPECT_TRUE(AllPixels(target, 0, 0, 12, 8, kBackground));

  // A key one unit off (red 254) matches nothing: the magenta is copied.
  BlitTransparent(target, 0, 0, 12, 8, source, 0, 0, 0xFF00FE, nullptr);
  EXPECT_TRUE(AllPixels(target, 0, 0, 12, 8, kKeyMagenta));

  // No key pixels: a plain copy, offsets on both sides respected.
  DrawPattern(source, 12, 8);
  Fill(target, 12, 8, kBackground);
  BlitTransparent(target, 3, 2, 5, 4, source, 1, 1, kKeyMagenta, nullptr);
  EXPECT_TRUE(SamePixels(target, 3, 2, source, 1, 1, 5, 4));
  EXPECT_TRUE(AllPixels(target, 0, 0, 12, 2, kBackground));
  EXPECT_TRUE(AllPixels(target, 8, 0, 4, 8, kBackground));

  // Mixed: exactly the key pixels show through.
  SetPixel(source, 2, 2, kKeyMagenta);
  SetPixel(source, 5, 4, 0xFE00FF);  // one unit off: opaque
  Fill(target, 12, 8, kBackground);
  BlitTransparent(target, 0, 0, 12, 8, source, 0, 0, kKeyMagenta, nullptr);
  EXPECT_EQ(GetPixel(target, 2, 2), kBackground);
  EXPECT_EQ(HexAt(target, 5, 4), "fe00ff");
  EXPECT_EQ(GetPixel(target, 3, 2), PatternColour(3, 2));

  // A system-colour key is translated first.
  Fill(source, 12, 8, GetSysColor(COLOR_WINDOW));
  SetPixel(source, 0, 0, 0x102030);
  Fill(target, 12, 8, kBackground);
  BlitTransparent(target, 0, 0, 12, 8, source, 0, 0, 0x80000000 | COLOR_WINDOW, nullptr);
  EXPECT_EQ(HexAt(target, 0, 0), "102030");
  EXPECT_TRUE(AllPixels(target, 1, 0, 11, 8, kBackground));
}

TEST(BlitTransparent, AGivenPaletteIsUsedAndKept) {
  HDC screen = GetDC(nullptr);
  HPALETTE palette = CreateHalftonePalette(screen);
  ReleaseDC(nullptr, screen);
  ASSERT_NE(palette, nullptr);
  ScopedSurface source(6, 6);
  ScopedSurface target(6, 6);
  DrawPattern(source, 6, 6);
  SetPixel(source, 1, 1, kKeyMagenta);
  Fill(target, 6, 6, kBackground);
  BlitTransparent(target, 0, 0, 6, 6, source, 0, 0, kKeyMagenta, palette);
  EXPECT_EQ(GetPixel(target, 1, 1), kBackground);
  EXPECT_EQ(GetPixel(target, 2, 1), PatternColour(2, 1));
  EXPECT_EQ(GetObjectType(palette), static_cast<DWORD>(OBJ_PAL));
  DeleteObject(palette);
}

TEST(BlitTransparent, ReleasesEverythingItCreates) {
  // Holding all but a few thousand of the process's GDI handles, more calls than that would
  // run out if any call left one object behind; the last blits would then draw nothing.
  ScopedSurface source(4, 4);
  ScopedSurface target(4, 4);
  constexpr int kSpare = 2000;
  std::vector<HBRUSH> held;
  while (held.size() < 300000) {
    HBRUSH brush = CreateSolidBrush(0);
    if (!brush) break;
    held.push_back(brush);
  }
  ASSERT_GT(held.size(), static_cast<std::size_t>(kSpare));
  for (int i = 0; i < kSpare; ++i) {
    DeleteObject(held.back());
    held.pop_back();
  }
  for (int i = 0; i < kSpare + 500; ++i) {
    BlitTransparent(target, 0, 0, 4, 4, source, 0, 0, kKeyMagenta, nullptr);
    StretchNineGrid(target, 0, 0, 4, 4, source, 0, 0, 4, 4, 1, 1, 1, 1, kKeyMagenta);
  }
  Fill(source, 4, 4, 0x445566);
  Fill(target, 4, 4, kBackground);
  BlitTransparent(target, 0, 0, 4, 4, source, 0, 0, kKeyMagenta, nullptr);
  const bool blitDrew = AllPixels(target, 0, 0, 4, 4, 0x445566);
  Fill(target, 4, 4, kBackground);
  StretchNineGrid(target, 0, 0, 4, 4, source, 0, 0, 4, 4, 1, 1, 1, 1);
  const bool gridDrew = AllPixels(target, 0, 0, 4, 4, 0x445566);
  for (HBRUSH brush : held) DeleteObject(brush);
  EXPECT_TRUE(blitDrew);
  EXPECT_TRUE(gridDrew);
}
