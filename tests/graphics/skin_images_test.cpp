// The five skin images read back with GetPixel: the rules that shape each image and the
// colours named for them, then the images in use (nine-grid and key blits), and rebuilding.
#include "graphics/skin_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "graphics/surfaces.h"
#include "graphics_support.h"

using namespace modSkinner;
using graphics_test::AllPixels;
using graphics_test::DescribeBitmap;
using graphics_test::Fill;
using graphics_test::HexAt;
using graphics_test::SamePixels;
using graphics_test::SelectedBitmap;

namespace {

constexpr COLORREF kKey = 0xff00ff;
constexpr COLORREF kBackground = 0x3a7c11;

int Channel(COLORREF colour, int channel) {
  return (colour >> (8 * channel)) & 0xff;
}

// True for the pixels a BoxImage cell cuts off to round it into a circle.
bool IsBoxCorner(int x, int y) {
  int row = std::min(y, 12 - y);
  int column = std::min(x, 12 - x);
  return (row == 0 && column <= 2) || (row == 1 && column <= 1) || (row == 2 && column == 0);
}

class SkinImagesTest : public ::testing::Test {
 protected:
  void SetUp() override { BuildSkinImages(images_); }
  void TearDown() override { ReleaseSkinImages(images_); }
  SkinImages images_;
};

}  // namespace

TEST_F(SkinImagesTest, EachImageHasItsSizeAndEveryPixelSet) {
  struct Expected {
    HDC image;
    int width, height;
  };
  const Expected all[] = {{images_.ButtonImage, 7, 84},
                          {images_.ComboImage, 15, 18},
                          {images_.GlyphImage, 18, 24},
                          {images_.BoxImage, 13, 52},
                          {images_.HeaderImage, 9, 20}};
  int pixels = 0;
  for (const Expected& e : all) {
    ASSERT_NE(e.image, nullptr);
    EXPECT_EQ(DescribeBitmap(e.image).bmWidth, e.width);
    EXPECT_EQ(DescribeBitmap(e.image).bmHeight, e.height);
    // No image uses black: a black pixel is one left at the new surface's content.
    for (int y = 0; y < e.height; ++y) {
      for (int x = 0; x < e.width; ++x, ++pixels) {
        EXPECT_NE(HexAt(e.image, x, y), "000000")
            << e.width << "x" << e.height << " " << x << "," << y;
      }
    }
  }
  EXPECT_EQ(pixels, 2146);
}

TEST_F(SkinImagesTest, ButtonFacesBordersSymmetryAndGradients) {
  HDC image = images_.ButtonImage;
  for (int cell = 0; cell < 4; ++cell) {
    const COLORREF border = cell == 3 ? 0xe8c387 : 0xd58f1b;
    EXPECT_TRUE(AllPixels(image, 0, 21 * cell + 3, 1, 15, border)) << "cell " << cell;
    EXPECT_TRUE(AllPixels(image, 6, 21 * cell + 3, 1, 15, border)) << "cell " << cell;
    EXPECT_EQ(GetPixel(image, 3, 21 * cell), border);
    EXPECT_EQ(GetPixel(image, 3, 21 * cell + 20), border);

    // Every row mirrors about column 3, a few pixels by at most 7 units a channel; the rows
    // between the given ones exactly.
    for (int row = 0; row < 21; ++row) {
      const bool between = cell > 0 && ((row >= 4 && row <= 9) || (row >= 12 && row <= 16));
      for (int x = 0; x < 3; ++x) {
        COLORREF left = GetPixel(image, x, 21 * cell + row);
        COLORREF right = GetPixel(image, 6 - x, 21 * cell + row);
        if (between) {
          EXPECT_EQ(left, right) << "cell " << cell << " row " << row;
        }
        for (int c = 0; c < 3; ++c) {
          EXPECT_LE(std::abs(Channel(left, c) - Channel(right, c)), 7)
              << "cell " << cell << " row " << row << " x " << x;
        }
      }
    }

    // In cells 1-3 the two bands step evenly from row to row between their given rows.
    if (cell == 0) continue;
    for (const auto& [from, to] : {std::pair{3, 10}, std::pair{11, 17}}) {
      for (int x = 1; x <= 3; ++x) {
        COLORREF first = GetPixel(image, x, 21 * cell + from);
        COLORREF last = GetPixel(image, x, 21 * cell + to);
        for (int c = 0; c < 3; ++c) {
          int total = Channel(last, c) - Channel(first, c);
          int largestStep = (std::abs(total) + (to - from) - 1) / (to - from);
          int previous = Channel(first, c);
          for (int row = from + 1; row <= to; ++row) {
            int value = Channel(GetPixel(image, x, 21 * cell + row), c);
            int step = value - previous;
            EXPECT_TRUE(step == 0 || (step > 0) == (total > 0))
                << "cell " << cell << " row " << row << " x " << x << " runs backwards";
            EXPECT_LE(std::abs(step), largestStep) << "cell " << cell << " row " << row;
            previous = value;
          }
        }
      }
    }
  }
  // Cells 0-2 share the top and bottom rows.
  for (int cell = 1; cell < 3; ++cell) {
    EXPECT_TRUE(SamePixels(image, 0, 21 * cell, image, 0, 0, 7, 1));
    EXPECT_TRUE(SamePixels(image, 0, 21 * cell + 20, image, 0, 20, 7, 1));
  }
  EXPECT_EQ(HexAt(image, 0, 0), "f9e1bf");
  EXPECT_EQ(HexAt(image, 6, 20), "fbe7ca");
  EXPECT_EQ(HexAt(image, 3, 21 + 1), "fbc34c");
  EXPECT_EQ(HexAt(image, 4, 21 + 3), "fee4b0");
  EXPECT_EQ(HexAt(image, 3, 42 + 17), "fdeac3");
  EXPECT_EQ(HexAt(image, 6, 63 + 19), "eed3aa");
}

TEST_F(SkinImagesTest, ComboCellsAndArrows) {
  HDC image = images_.ComboImage;
  EXPECT_TRUE(AllPixels(image, 0, 0, 1, 18, 0xd1a04e));
  EXPECT_TRUE(AllPixels(image, 4, 0, 1, 18, 0xd1a04e));
  EXPECT_TRUE(SamePixels(image, 3, 0, image, 1, 0, 1, 18));
  EXPECT_TRUE(SamePixels(image, 7, 0, image, 5, 0, 1, 18));
  EXPECT_EQ(HexAt(image, 1, 0), "fff9e8");
  EXPECT_EQ(HexAt(image, 2, 1), "fdeec1");
  EXPECT_EQ(HexAt(image, 2, 17), "f3e1c0");
  EXPECT_EQ(HexAt(image, 6, 1), "e2b561");
  EXPECT_EQ(HexAt(image, 5, 17), "fef8e6");

  // Arrows: a triangle narrowing by one pixel a side per row; below them only key colour.
  for (int row = 0; row < 4; ++row) {
    for (int x = 0; x < 7; ++x) {
      const bool inside = x >= row && x <= 6 - row;
      EXPECT_EQ(GetPixel(image, 8 + x, row), inside ? 0x5f5519u : kKey) << x << "," << row;
      EXPECT_EQ(GetPixel(image, 8 + x, 4 + row), inside ? 0xaca584u : kKey) << x << "," << row;
    }
  }
  EXPECT_TRUE(AllPixels(image, 8, 8, 7, 10, kKey));
}

TEST_F(SkinImagesTest, GlyphShapesAndColours) {
  HDC image = images_.GlyphImage;
  for (int row : {8, 16, 17, 23}) EXPECT_TRUE(AllPixels(image, 0, row, 18, 1, kKey)) << row;
  int keys = 0;
  for (int y = 0; y < 24; ++y) {
    COLORREF rowColour = CLR_INVALID;
    for (int x = 0; x < 18; ++x) {
      COLORREF colour = GetPixel(image, x, y);
      keys += colour == kKey;
      // The disabled half has the enabled half's shape, in paler colours.
      if (x < 9) {
        COLORREF disabled = GetPixel(image, x + 9, y);
        EXPECT_EQ(colour == kKey, disabled == kKey) << x << "," << y;
        for (int c = 0; c < 3 && colour != kKey; ++c) {
          EXPECT_GT(Channel(disabled, c), Channel(colour, c)) << x << "," << y;
        }
      }
      // The check mark and the square have one colour per row.
      if (x < 9 && y < 16 && colour != kKey) {
        if (rowColour == CLR_INVALID) rowColour = colour;
        EXPECT_EQ(colour, rowColour) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(keys, 240);
  EXPECT_EQ(HexAt(image, 8, 0), "1db754");
  EXPECT_EQ(HexAt(image, 17, 0), "8cdaa8");
  EXPECT_EQ(HexAt(image, 1, 9), "1bb451");
  EXPECT_EQ(HexAt(image, 16, 15), "80c99a");
  // The dot: corners cut, shaded pixels.
  for (int x : {2, 6, 11, 15}) {
    EXPECT_EQ(GetPixel(image, x, 18), kKey);
    EXPECT_EQ(GetPixel(image, x, 22), kKey);
  }
  EXPECT_EQ(HexAt(image, 4, 18), "28ba5c");
  EXPECT_EQ(HexAt(image, 4, 22), "109940");
  EXPECT_EQ(HexAt(image, 13, 18), "93dcad");
  EXPECT_EQ(HexAt(image, 15, 21), "a9dcbb");
}

TEST_F(SkinImagesTest, BoxCellsMasksRimsAndFills) {
  HDC image = images_.BoxImage;
  struct Rim {
    COLORREF columns[4];  // columns 3-6 of the top row
    COLORREF diagonal;
  };
  const Rim rims[4] = {{{0xe7cfbc, 0xd9b395, 0xd3a886, 0xd2a683}, 0xdbb89d},
                       {{0xe7cfbc, 0xd9b395, 0xd3a886, 0xd2a683}, 0xdbb89d},
                       {{0xddbca4, 0xca9976, 0xc28b67, 0xc18964}, 0xcd9f7f},
                       {{0xf3e7dd, 0xecd9ca, 0xe9d3c2, 0xe8d2c1}, 0xeddbce}};
  for (int cell = 0; cell < 4; ++cell) {
    const int top = 13 * cell;
    for (int y = 0; y < 13; ++y) {
      for (int x = 0; x < 13; ++x) {
        EXPECT_EQ(GetPixel(image, x, top + y) == kKey, IsBoxCorner(x, y))
            << "cell " << cell << " " << x << "," << y;
      }
    }
    for (int i = 0; i < 7; ++i) {
      const COLORREF rim = rims[cell].columns[std::min(i, 6 - i)];
      EXPECT_EQ(GetPixel(image, 3 + i, top), rim) << "cell " << cell << " top " << i;
      EXPECT_EQ(GetPixel(image, 3 + i, top + 12), rim) << "cell " << cell << " bottom " << i;
      EXPECT_EQ(GetPixel(image, 0, top + 3 + i), rim) << "cell " << cell << " left " << i;
      EXPECT_EQ(GetPixel(image, 12, top + 3 + i), rim) << "cell " << cell << " right " << i;
    }
    for (auto [x, y] :
         {std::pair{2, 1}, {1, 2}, {10, 1}, {11, 2}, {1, 10}, {2, 11}, {10, 11}, {11, 10}}) {
      EXPECT_EQ(GetPixel(image, x, top + y), rims[cell].diagonal) << cell << ":" << x << "," << y;
    }
  }
  // The normal circle: white in the middle, shaded towards the rim.
  EXPECT_EQ(HexAt(image, 6, 6), "ffffff");
  EXPECT_EQ(HexAt(image, 3, 1), "dfc2a9");
  EXPECT_EQ(HexAt(image, 2, 2), "e5ceb9");
  EXPECT_EQ(HexAt(image, 1, 9), "e3c8b3");

  // Hot: from f8eac3 at the top left to fdf5e0 at the bottom right, also at the fill's ends.
  EXPECT_EQ(HexAt(image, 1, 17), "f8eac3");
  EXPECT_EQ(HexAt(image, 11, 21), "fdf5e0");
  EXPECT_EQ(HexAt(image, 6, 19), "faeecf");
  for (auto [x, y] : {std::pair{3, 1}, {2, 2}, {1, 3}}) {
    EXPECT_EQ(HexAt(image, x, 13 + y), "f8eac3");
    EXPECT_EQ(HexAt(image, 12 - x, 13 + 12 - y), "fdf5e0");
  }
  // Pressed: from f5e1ad at the bottom left to fdf1d5 at the top right.
  EXPECT_EQ(HexAt(image, 1, 34), "f5e1ad");
  EXPECT_EQ(HexAt(image, 11, 30), "faf1d5");
  EXPECT_EQ(HexAt(image, 6, 32), "f8e7bc");
  for (auto [x, y] : {std::pair{1, 9}, {2, 10}, {3, 11}}) {
    EXPECT_EQ(HexAt(image, x, 26 + y), "f5e1ad");
    EXPECT_EQ(HexAt(image, 12 - x, 26 + 12 - y), "fdf1d5");
  }
  // Disabled: a paler copy of the normal circle.
  for (int y = 0; y < 13; ++y) {
    for (int x = 0; x < 13; ++x) {
      COLORREF normal = GetPixel(image, x, y);
      COLORREF disabled = GetPixel(image, x, 39 + y);
      for (int c = 0; c < 3 && normal != kKey; ++c) {
        EXPECT_GE(Channel(disabled, c), Channel(normal, c)) << x << "," << y;
      }
    }
  }
}

TEST_F(SkinImagesTest, HeaderCellsAndSeparator) {
  HDC image = images_.HeaderImage;
  EXPECT_TRUE(AllPixels(image, 0, 19, 9, 1, 0xf2dac0));
  EXPECT_EQ(HexAt(image, 0, 0), "fef5ea");
  EXPECT_EQ(HexAt(image, 4, 0), "feeed3");
  EXPECT_EQ(HexAt(image, 3, 18), "fbcc73");
  EXPECT_EQ(HexAt(image, 7, 17), "fff2c8");
  EXPECT_EQ(HexAt(image, 8, 18), "fde3a8");
}

TEST_F(SkinImagesTest, ButtonFaceStretchedKeepsItsCorners) {
  ScopedSurface button(75, 25);
  EXPECT_NE(StretchNineGrid(button, 0, 0, 75, 25, images_.ButtonImage, 0, 0, 7, 21, 3, 3, 3, 3), 0);
  EXPECT_EQ(HexAt(button, 0, 0), "f9e1bf");
  EXPECT_EQ(HexAt(button, 74, 0), "f9e1bf");
  EXPECT_EQ(HexAt(button, 0, 24), "fbe7ca");
  EXPECT_EQ(HexAt(button, 74, 24), "fbe7ca");
  EXPECT_TRUE(AllPixels(button, 3, 0, 69, 1, 0xd58f1b));   // top border
  EXPECT_TRUE(AllPixels(button, 0, 3, 1, 19, 0xd58f1b));   // left border
  EXPECT_TRUE(AllPixels(button, 74, 3, 1, 19, 0xd58f1b));  // right border
}

TEST_F(SkinImagesTest, KeyedBlitsShowTheBackgroundOnlyInTheCutAway) {
  // A circle cell at its own size and enlarged: the background shows in the cut corners only.
  ScopedSurface target(20, 20);
  for (int cell = 0; cell < 4; ++cell) {
    Fill(target, 20, 20, kBackground);
    EXPECT_EQ(StretchNineGrid(target, 0, 0, 13, 13, images_.BoxImage, 0, 13 * cell, 13, 13, 5, 5, 5,
                              5, kKeyMagenta),
              1);
    for (int y = 0; y < 13; ++y) {
      for (int x = 0; x < 13; ++x) {
        COLORREF expected =
            IsBoxCorner(x, y) ? kBackground : GetPixel(images_.BoxImage, x, 13 * cell + y);
        EXPECT_EQ(GetPixel(target, x, y), expected) << "cell " << cell << " " << x << "," << y;
      }
    }
  }
  Fill(target, 20, 20, kBackground);
  StretchNineGrid(target, 0, 0, 20, 20, images_.BoxImage, 0, 0, 13, 13, 5, 5, 5, 5, kKeyMagenta);
  for (auto [x, y] : {std::pair{0, 0}, {19, 0}, {0, 19}, {19, 19}, {2, 0}, {0, 2}}) {
    EXPECT_EQ(GetPixel(target, x, y), kBackground) << x << "," << y;
  }
  EXPECT_EQ(HexAt(target, 10, 10), "ffffff");

  // The enabled arrow and the dot glyph, blitted with the key.
  Fill(target, 20, 20, kBackground);
  BlitTransparent(target, 1, 1, 7, 4, images_.ComboImage, 8, 0, kKeyMagenta, nullptr);
  BlitTransparent(target, 10, 10, 5, 5, images_.GlyphImage, 2, 18, kKeyMagenta, nullptr);
  EXPECT_TRUE(AllPixels(target, 1, 1, 7, 1, 0x5f5519));
  EXPECT_EQ(GetPixel(target, 1, 2), kBackground);
  EXPECT_EQ(GetPixel(target, 4, 4), 0x5f5519u);
  EXPECT_EQ(GetPixel(target, 3, 4), kBackground);
  EXPECT_EQ(GetPixel(target, 10, 10), kBackground);
  EXPECT_EQ(HexAt(target, 11, 10), "60cc87");
  EXPECT_EQ(HexAt(target, 12, 12), "12a847");
}

TEST(SkinImagesLifecycle, RebuildingGivesTheSamePixelsAndReleaseFreesTheBitmaps) {
  SkinImages first;
  SkinImages second;
  BuildSkinImages(first);
  BuildSkinImages(second);
  EXPECT_TRUE(SamePixels(first.ButtonImage, 0, 0, second.ButtonImage, 0, 0, 7, 84));
  EXPECT_TRUE(SamePixels(first.ComboImage, 0, 0, second.ComboImage, 0, 0, 15, 18));
  EXPECT_TRUE(SamePixels(first.GlyphImage, 0, 0, second.GlyphImage, 0, 0, 18, 24));
  EXPECT_TRUE(SamePixels(first.BoxImage, 0, 0, second.BoxImage, 0, 0, 13, 52));
  EXPECT_TRUE(SamePixels(first.HeaderImage, 0, 0, second.HeaderImage, 0, 0, 9, 20));

  HBITMAP bitmaps[] = {SelectedBitmap(first.ButtonImage), SelectedBitmap(first.ComboImage),
                       SelectedBitmap(first.GlyphImage), SelectedBitmap(first.BoxImage),
                       SelectedBitmap(first.HeaderImage)};
  ReleaseSkinImages(first);
  EXPECT_EQ(first.ButtonImage, nullptr);
  EXPECT_EQ(first.ComboImage, nullptr);
  EXPECT_EQ(first.GlyphImage, nullptr);
  EXPECT_EQ(first.BoxImage, nullptr);
  EXPECT_EQ(first.HeaderImage, nullptr);
  for (HBITMAP bitmap : bitmaps) EXPECT_EQ(GetObjectType(bitmap), 0u);
  // The other set is untouched.
  EXPECT_EQ(HexAt(second.ButtonImage, 0, 0), "f9e1bf");
  ReleaseSkinImages(second);
}
