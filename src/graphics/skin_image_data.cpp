// Pixel tables of the five skin images, one image row per line, so that the file can be held
// against a picture of them. Colours are the platform's colour values written blue-green-red
// (d58f1b is blue d5, green 8f, red 1b); ff00ff is the magenta key, also written "." where a
// table shows shapes. The tables are parsed, checked and expanded at compile time: a wrong digit,
// a missing value or a shape that does not fit stops the build.
#include "graphics/skin_image_data.h"

#include <array>
#include <cstddef>

namespace modSkinner {
namespace {

constexpr COLORREF kKey = 0xFF00FF;
constexpr COLORREF kArrowEnabled = 0x5F5519;
constexpr COLORREF kArrowDisabled = 0xACA584;

// Value of a lower-case hexadecimal digit; anything else fails the build.
consteval COLORREF HexDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<COLORREF>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<COLORREF>(c - 'a' + 10);
  throw "colour tables: not a lower-case hexadecimal digit";
}

// Up to N colours from a text of six-digit values ("." for the key) separated by spaces.
template <std::size_t N>
struct ColourList {
  std::array<COLORREF, N> values{};
  std::size_t count = 0;

  consteval ColourList(const char* text) {
    std::size_t i = 0;
    while (true) {
      while (text[i] == ' ') ++i;
      if (text[i] == '\0') break;
      if (count == N) throw "colour tables: too many values in a row";
      if (text[i] == '.') {
        values[count++] = kKey;
        ++i;
      } else {
        COLORREF value = 0;
        for (int digit = 0; digit < 6; ++digit) value = value << 4 | HexDigit(text[i++]);
        values[count++] = value;
      }
      if (text[i] != ' ' && text[i] != '\0') throw "colour tables: values are six digits";
    }
  }
  constexpr COLORREF operator[](std::size_t i) const { return values[i]; }
};

// Exactly N colours: one complete row.
template <std::size_t N>
struct HexRow : ColourList<N> {
  consteval HexRow(const char* text) : ColourList<N>(text) {
    if (this->count != N) throw "colour tables: a row has too few values";
  }
};

// One row of the glyph image: its shape and the row colour of its enabled and disabled pixels.
struct GlyphRow {
  const char* shape;
  ColourList<1> enabled;
  ColourList<1> disabled;
};

// One row of the dot glyph: five enabled and five disabled pixels.
struct GlyphDotRow {
  HexRow<5> enabled;
  HexRow<5> disabled;
};

// A whole image, row-major.
template <std::size_t W, std::size_t H>
using Grid = std::array<COLORREF, W * H>;

// Length of a shape text.
consteval std::size_t Length(const char* text) {
  std::size_t n = 0;
  while (text[n] != '\0') ++n;
  return n;
}

// clang-format off
// ButtonImage, 7 x 84: four faces of 7 x 21 stacked, state s at rows 21*s to 21*s + 20.
// In cells 1-3 rows 4-9 and 12-16 are linear steps (one per row) between the rows around
// them, taken from columns 0-3 and mirrored about column 3.
constexpr HexRow<7> kButtonRows[84] = {
    // cell 0, normal
    "f9e1bf e3b36b d8972c d58f1b d8972c e3b36b f9e1bf",  // 0
    "e2b269 e7c07e fbf3e7 ffffff fbf3e7 e7c07e e2b269",  // 1
    "d79529 fcf6ec ffffff ffffff ffffff fcf6ec d79529",  // 2
    "d58f1b fdfaf5 fcf8f1 fcf8f1 fcf8f1 fdfaf5 d58f1b",  // 3
    "d58f1b fcf9f3 fbf6ee fbf6ee fbf6ee fcf9f3 d58f1b",  // 4
    "d58f1b fcf7f0 fbf4ea fbf4ea fbf4ea fcf7f0 d58f1b",  // 5
    "d58f1b fcf6ee fbf2e6 fbf2e6 fbf2e6 fcf6ee d58f1b",  // 6
    "d58f1b fcf5eb faf0e2 faf0e2 faf0e2 fcf5eb d58f1b",  // 7
    "d58f1b fcf3e8 faeede faeede faeede fcf3e8 d58f1b",  // 8
    "d58f1b fbf2e5 f9ecda f9ecda f9ecda fbf2e5 d58f1b",  // 9
    "d58f1b fbf0e3 f9ead7 f9ead7 f9ead7 fbf0e3 d58f1b",  // 10
    "d58f1b f8ebdb f5e2cc f5e2cc f5e2cc f8ebdb d58f1b",  // 11
    "d58f1b f7e9d9 f3dfc8 f3dfc8 f3dfc8 f7e9d9 d58f1b",  // 12
    "d58f1b f5e7d5 f1dcc3 f1dcc3 f1dcc3 f5e7d5 d58f1b",  // 13
    "d58f1b f4e4d2 efd8be efd8be efd8be f4e4d2 d58f1b",  // 14
    "d58f1b f2e2cd edd5b8 edd5b8 edd5b8 f2e2cd d58f1b",  // 15
    "d58f1b f1e0cb ebd2b4 ebd2b4 ebd2b4 f1e0cb d58f1b",  // 16
    "d58f1b f0dec9 ead0b1 ead0b1 ead0b1 f0dec9 d58f1b",  // 17
    "d79528 eed7ba ecd6bb e9cfb0 ecd5bb eed7ba d79528",  // 18
    "e2b064 e1b268 eed8bb f1e0cc eed8bb e1b268 e1af62",  // 19
    "fbe7ca e1ae60 d8962a d58f1b d8962a e1ae60 fbe7ca",  // 20
    // cell 1, hot
    "f9e1bf e3b36b d8972c d58f1b d8972c e3b36b f9e1bf",  // 0
    "e2b269 e6a328 f8bb3c fbc34c f8bb3c e6a328 e2b269",  // 1
    "d79529 f9bc3d feda8d ffedc6 feda8d f9bc3d d79529",  // 2
    "d58f1b fbc146 fde3ae fceed2 fee4b0 fbc146 d58f1b",  // 3
    "d58f1b fbc147 fde3b0 fceed3 fde3b0 fbc147 d58f1b",  // 4
    "d58f1b fbc147 fde3b1 fceed4 fde3b1 fbc147 d58f1b",  // 5
    "d58f1b fbc148 fde3b3 fceed5 fde3b3 fbc148 d58f1b",  // 6
    "d58f1b fbc248 fce4b4 fbedd6 fce4b4 fbc248 d58f1b",  // 7
    "d58f1b fbc249 fce4b6 fbedd7 fce4b6 fbc249 d58f1b",  // 8
    "d58f1b fbc249 fce4b7 fbedd8 fce4b7 fbc249 d58f1b",  // 9
    "d58f1b fbc24a fce4b9 fbedd9 fce4b9 fbc24a d58f1b",  // 10
    "d58f1b fabf46 f9ddae f7e4cb f9ddae fabf46 d58f1b",  // 11
    "d58f1b fabe44 f8dba9 f6e1c5 f8dba9 fabe44 d58f1b",  // 12
    "d58f1b f9bd42 f8d9a4 f5dfbf f8d9a4 f9bd42 d58f1b",  // 13
    "d58f1b f9bc40 f7d69e f4dcb9 f7d69e f9bc40 d58f1b",  // 14
    "d58f1b f9bc3d f6d499 f4d9b3 f6d499 f9bc3d d58f1b",  // 15
    "d58f1b f8bb3b f6d294 f3d7ad f6d294 f8bb3b d58f1b",  // 16
    "d58f1b f8ba39 f5d08f f2d4a7 f3cc88 f8ba39 d58f1b",  // 17
    "d79528 f6b633 f7c970 f3d299 f7ca71 f6b635 d79528",  // 18
    "e2b064 e5a125 f6b533 f8bb3f f6b633 e5a124 e1af62",  // 19
    "fbe7ca e1ae60 d8962a d58f1b d8962a e1ae60 fbe7ca",  // 20
    // cell 2, pressed
    "f9e1bf e3b36b d8972c d58f1b d8972c e3b36b f9e1bf",  // 0
    "e2b269 e6a122 f8b530 fbbc39 f7b52f e6a123 e2b269",  // 1
    "d79529 f8b62e f8c96f f3cc86 f8c86d f7b52c d79529",  // 2
    "d58f1b f9b731 f2ca83 f3d49f f4ce8a f9b731 d58f1b",  // 3
    "d58f1b f9b833 f3cc89 f4d6a4 f3cc89 f9b833 d58f1b",  // 4
    "d58f1b fab935 f4cf8e f5d9aa f4cf8e fab935 d58f1b",  // 5
    "d58f1b faba37 f5d194 f6dbaf f5d194 faba37 d58f1b",  // 6
    "d58f1b faba39 f5d399 f6ddb5 f5d399 faba39 d58f1b",  // 7
    "d58f1b fabb3b f6d59f f7dfba f6d59f fabb3b d58f1b",  // 8
    "d58f1b fbbc3d f7d8a4 f8e2c0 f7d8a4 fbbc3d d58f1b",  // 9
    "d58f1b fbbd3f f8daaa f9e4c5 f8daaa fbbd3f d58f1b",  // 10
    "d58f1b fcbf42 fbe2b5 fbebcf fbe2b5 fcbf42 d58f1b",  // 11
    "d58f1b fcbf41 fce2b4 fbebcd fce2b4 fcbf41 d58f1b",  // 12
    "d58f1b fcbf41 fce3b3 fcebcb fce3b3 fcbf41 d58f1b",  // 13
    "d58f1b fcbf40 fce3b2 fceac9 fce3b2 fcbf40 d58f1b",  // 14
    "d58f1b fcbf3f fde3b0 fceac7 fde3b0 fcbf3f d58f1b",  // 15
    "d58f1b fcbf3f fee4af fdeac5 fee4af fcbf3f d58f1b",  // 16
    "d58f1b fcbf3e fee4ae fdeac3 fde2ac fcbf3e d58f1b",  // 17
    "d79528 fab936 fed786 fde4ae fed788 faba36 d79528",  // 18
    "e2b064 e6a325 f9ba37 fdc140 f9ba37 e6a325 e1af62",  // 19
    "fbe7ca e1ae60 d8962a d58f1b d8962a e1ae60 fbe7ca",  // 20
    // cell 3, disabled
    "fbf7f2 efd5af eac78f e8c387 eac78f efd5af fbf7f2",  // 0
    "efd5ae f1dcb8 fbf5ed fdfbf8 fbf5ed f1dcb8 efd5ae",  // 1
    "e9c68e fbf7ef fdfbf8 fdfbf8 fdfbf8 fbf7ef e9c68e",  // 2
    "e8c387 fcf8f3 fbf7f2 fbf7f2 fbf7f2 fcf8f3 e8c387",  // 3
    "e8c387 fcf7f2 fbf6f0 fbf6f0 fbf6f0 fcf7f2 e8c387",  // 4
    "e8c387 fcf7f1 fbf5ee fbf5ee fbf5ee fcf7f1 e8c387",  // 5
    "e8c387 fcf6f0 fbf4ec fbf4ec fbf4ec fcf6f0 e8c387",  // 6
    "e8c387 fbf6ee faf4eb faf4eb faf4eb fbf6ee e8c387",  // 7
    "e8c387 fbf5ed faf3e9 faf3e9 faf3e9 fbf5ed e8c387",  // 8
    "e8c387 fbf5ec faf2e7 faf2e7 faf2e7 fbf5ec e8c387",  // 9
    "e8c387 fbf4eb faf1e5 faf1e5 faf1e5 fbf4eb e8c387",  // 10
    "e8c387 faf1e7 f8eddf f8eddf f8eddf faf1e7 e8c387",  // 11
    "e8c387 f9f0e6 f7ebdd f7ebdd f7ebdd f9f0e6 e8c387",  // 12
    "e8c387 f9efe4 f6eadb f6eadb f6eadb f9efe4 e8c387",  // 13
    "e8c387 f8eee2 f6e8d8 f6e8d8 f6e8d8 f8eee2 e8c387",  // 14
    "e8c387 f7ece1 f5e6d6 f5e6d6 f5e6d6 f7ece1 e8c387",  // 15
    "e8c387 f7ebe0 f4e5d4 f4e5d4 f4e5d4 f7ebe0 e8c387",  // 16
    "e8c387 f6eade f3e3d2 f3e3d2 f3e3d2 f6eade e8c387",  // 17
    "e9c68d f5e7d6 f4e6d7 f2e3d1 f4e6d7 f5e7d6 e9c68d",  // 18
    "efd3ab eed4ad f5e7d7 f6ebdf f5e7d7 eed4ad eed3aa",  // 19
    "fbf6f2 eed2a9 eac68e e8c387 eac68e eed2a9 fbf6f2",  // 20
};

// ComboImage, 15 x 18. Drop-button cells (hot: columns 0-3, pressed: 4-7), one line per row,
// columns grouped as: x0 and x4 | x1 and x3 | x2 | x5 and x7 | x6.
constexpr HexRow<5> kComboButtonRows[18] = {
    "d1a04e fff9e8 fff9e8 f3e1be f3e1be",  // 0
    "d1a04e fef8e6 fdeec1 f3e1c0 e2b561",  // 1
    "d1a04e fef7e4 fcebbc f4e3c1 e3b865",  // 2
    "d1a04e fdf6e2 fae8b7 f5e4c3 e5bb6a",  // 3
    "d1a04e fdf5e0 f9e5b2 f5e5c6 e6be70",  // 4
    "d1a04e fcf3de f7e1ac f6e7c8 e8c276",  // 5
    "d1a04e fbf1db f5dda5 f7e8cb eac57c",  // 6
    "d1a04e faf0d9 f3d99f f7e9cd ecc983",  // 7
    "d1a04e f9eed6 f1d598 f8ebd0 eecd8a",  // 8
    "d1a04e f9edd3 efd191 f9edd3 efd191",  // 9
    "d1a04e f8ebd0 eecd8a f9eed6 f1d598",  // 10
    "d1a04e f7e9cd ecc983 faf0d9 f3d99f",  // 11
    "d1a04e f7e8cb eac57c fbf1db f5dda5",  // 12
    "d1a04e f6e7c8 e8c276 fcf3de f7e1ac",  // 13
    "d1a04e f5e5c6 e6be70 fdf5e0 f9e5b2",  // 14
    "d1a04e f5e4c3 e5bb6a fdf6e2 fae8b7",  // 15
    "d1a04e f4e3c1 e3b865 fef7e4 fcebbc",  // 16
    "d1a04e f3e1c0 f3e1c0 fef8e6 fef8e6",  // 17
};

// ComboImage arrows, columns 8-14: D enabled arrow, G disabled arrow, . key.
constexpr const char* kComboArrowRows[18] = {
    "DDDDDDD",  // 0
    ".DDDDD.",  // 1
    "..DDD..",  // 2
    "...D...",  // 3
    "GGGGGGG",  // 4
    ".GGGGG.",  // 5
    "..GGG..",  // 6
    "...G...",  // 7
    ".......",  // 8
    ".......",  // 9
    ".......",  // 10
    ".......",  // 11
    ".......",  // 12
    ".......",  // 13
    ".......",  // 14
    ".......",  // 15
    ".......",  // 16
    ".......",  // 17
};

// GlyphImage, 18 x 24: shapes over columns 0-17 (# glyph, . key), enabled glyphs in columns
// 0-8 and the same shapes disabled in 9-17, with the one colour of the row's enabled and
// disabled pixels. The dot's rows take their pixels from kGlyphDot instead.
constexpr GlyphRow kGlyphRows[24] = {
    {"........#........#", "1db754", "8cdaa8"},  // 0 check mark
    {".......##.......##", "1bb451", "8bd9a6"},  // 1
    {"......###......###", "17af4d", "89d6a4"},  // 2
    {"##...###.##...###.", "13a948", "87d3a2"},  // 3
    {"###.###..###.###..", "0fa243", "85d09f"},  // 4
    {".#####....#####...", "0a9c3e", "82cd9d"},  // 5
    {"..###......###....", "069639", "80c99a"},  // 6
    {"...#........#.....", "029135", "7ec798"},  // 7
    {"..................", "", ""},  // 8
    {".#######..#######.", "1bb451", "8bd9a6"},  // 9 square
    {".#######..#######.", "18b04e", "89d6a4"},  // 10
    {".#######..#######.", "14ab49", "87d4a3"},  // 11
    {".#######..#######.", "10a445", "86d1a0"},  // 12
    {".#######..#######.", "0c9e40", "83ce9e"},  // 13
    {".#######..#######.", "07983b", "81ca9b"},  // 14
    {".#######..#######.", "069639", "80c99a"},  // 15
    {"..................", "", ""},  // 16
    {"..................", "", ""},  // 17
    {"...###......###...", "", ""},  // 18 dot
    {"..#####....#####..", "", ""},  // 19
    {"..#####....#####..", "", ""},  // 20
    {"..#####....#####..", "", ""},  // 21
    {"...###......###...", "", ""},  // 22
    {"..................", "", ""},  // 23
};

// The dot, rows 18-22, left to right: enabled columns 2-6, disabled columns 11-15 (. key).
constexpr GlyphDotRow kGlyphDot[5] = {
    {"     . 60cc87 28ba5c 60cc87      .", "     . afe5c3 93dcad afe5c3      ."},  // 18
    {"5ec883 19b14f 19b14f 19b14f 5ec883", "aee3c1 8cd8a7 8cd8a7 8cd8a7 aee3c1"},  // 19
    {"1dac50 12a847 12a847 12a847 1dac50", "8ed5a7 88d3a3 88d3a3 88d3a3 8ed5a7"},  // 20
    {"54ba78 0b9d3f 0b9d3f 0b9d3f 54ba78", "a9dcbb 85ce9f 85ce9f 85ce9f a9dcbb"},  // 21
    {"     . 4fb473 109940 4fb473      .", "     . a7d9b9 87cc9f a7d9b9      ."},  // 22
};

// BoxImage, 13 x 52: four circle cells of 13 x 13 stacked, state s at rows 13*s to 13*s + 12.
// Cells 1 and 2 are diagonal gradients (hot: top left to bottom right; pressed: bottom left
// to top right) that continue the check-box fill strips of rows 4-8 along the diagonals;
// cell 3 is cell 0 taken halfway to white.
constexpr HexRow<13> kBoxRows[52] = {
    // cell 0, normal, rows 0-12
    "ff00ff ff00ff ff00ff e7cfbc d9b395 d3a886 d2a683 d3a886 d9b395 e7cfbc ff00ff ff00ff ff00ff",
    "ff00ff ff00ff dbb89d dfc2a9 ecdfd1 f0e7dd f1e9df f0e7dd ecdfd1 dfc2a9 dbb89d ff00ff ff00ff",
    "ff00ff dbb89d e5ceb9 f3ece3 f4ede5 f4eee7 f4eee7 f4eee7 f4ede5 f3ece3 e5ceb9 dbb89d ff00ff",
    "e7cfbc dfc2a9 f4ede5 f7f2ed faf7f3 fbf9f7 fbf9f7 fbf9f7 faf7f3 f7f2ed f4ede5 dfc2a9 e7cfbc",
    "d9b395 efe2d6 f8f4ef fcfbf9 ffffff ffffff ffffff ffffff ffffff fcfbf9 f8f4ef efe2d6 d9b395",
    "d3a886 f6f0eb fcfbf9 fffefe ffffff ffffff ffffff ffffff ffffff fffefe fcfbf9 f6f0eb d3a886",
    "d2a683 faf7f3 fefefd ffffff ffffff ffffff ffffff ffffff ffffff ffffff fefefd faf7f3 d2a683",
    "d3a886 faf7f4 ffffff ffffff ffffff ffffff ffffff ffffff ffffff ffffff ffffff faf7f4 d3a886",
    "d9b395 f5ede6 ffffff ffffff ffffff ffffff ffffff ffffff ffffff ffffff ffffff f5ede6 d9b395",
    "e7cfbc e3c8b3 ffffff ffffff ffffff ffffff ffffff ffffff ffffff ffffff ffffff e3c8b3 e7cfbc",
    "ff00ff dbb89d ecd9ca ffffff ffffff ffffff ffffff ffffff ffffff ffffff ecd9ca dbb89d ff00ff",
    "ff00ff ff00ff dbb89d e5cab6 f8f2ed fefdfc ffffff fefdfc f8f2ed e5cab6 dbb89d ff00ff ff00ff",
    "ff00ff ff00ff ff00ff e7cfbc d9b395 d3a886 d2a683 d3a886 d9b395 e7cfbc ff00ff ff00ff ff00ff",
    // cell 1, hot, rows 13-25
    "ff00ff ff00ff ff00ff e7cfbc d9b395 d3a886 d2a683 d3a886 d9b395 e7cfbc ff00ff ff00ff ff00ff",
    "ff00ff ff00ff dbb89d f8eac3 f8eac3 f8eac3 f8eac4 f8eac4 f9ecc6 f9ecc9 dbb89d ff00ff ff00ff",
    "ff00ff dbb89d f8eac3 f8eac3 f8eac3 f8eac4 f8eac4 f9ecc6 f9ecc9 f9edcb faeecd dbb89d ff00ff",
    "e7cfbc f8eac3 f8eac3 f8eac3 f8eac4 f8eac4 f9ecc6 f9ecc9 f9edcb faeecd faefd0 fbf0d3 e7cfbc",
    "d9b395 f8eac3 f8eac3 f8eac4 f8eac4 f9ecc6 f9ecc9 f9edcb faeecd faefd0 fbf0d3 faf1d6 d9b395",
    "d3a886 f8eac3 f8eac3 f8ebc5 f8ecc7 f9edc9 f9edcb faeece faf0d0 fbf0d3 fbf1d6 fbf2d9 d3a886",
    "d2a683 f8eac4 f8ebc5 f9ecc7 f9edc9 faeecc faeecf faf0d0 faf1d4 fbf1d6 fbf2d9 fcf4db d2a683",
    "d3a886 f8ebc5 f8ebc7 f9ecc9 faeecc faefce fbf0d1 fbf0d4 fcf1d7 fcf3d9 fcf3dc fcf4de d3a886",
    "d9b395 f9ecc7 f9edca f9eecc faefcf faefd2 fbf1d4 fbf2d8 fbf3da fcf4dc fcf4de fdf5e0 d9b395",
    "e7cfbc f9edca f9eecc faefcf faefd2 fbf1d4 fbf2d8 fbf3da fcf4dc fcf4de fdf5e0 fdf5e0 e7cfbc",
    "ff00ff dbb89d faefcf faefd2 fbf1d4 fbf2d8 fbf3da fcf4dc fcf4de fdf5e0 fdf5e0 dbb89d ff00ff",
    "ff00ff ff00ff dbb89d fbf1d4 fbf2d8 fbf3da fcf4dc fcf4de fdf5e0 fdf5e0 dbb89d ff00ff ff00ff",
    "ff00ff ff00ff ff00ff e7cfbc d9b395 d3a886 d2a683 d3a886 d9b395 e7cfbc ff00ff ff00ff ff00ff",
    // cell 2, pressed, rows 26-38
    "ff00ff ff00ff ff00ff ddbca4 ca9976 c28b67 c18964 c28b67 ca9976 ddbca4 ff00ff ff00ff ff00ff",
    "ff00ff ff00ff cd9f7f f8ecc3 faecc7 f9eecc faefce fdf1d3 faf1d5 fdf1d5 cd9f7f ff00ff ff00ff",
    "ff00ff cd9f7f f8e7ba f8eabe f8ecc3 faecc7 f9eecc faefce fdf1d3 faf1d5 fdf1d5 cd9f7f ff00ff",
    "ddbca4 f7e5b3 f7e6b8 f8e7ba f8eabe f8ecc3 faecc7 f9eecc faefce fdf1d3 faf1d5 fdf1d5 ddbca4",
    "ca9976 f5e2b0 f7e5b3 f7e6b8 f8e7ba f8eabe f8ecc3 faecc7 f9eecc faefce fdf1d3 faf1d5 ca9976",
    "c28b67 f5e2ae f7e2b0 f7e5b3 f7e6b8 f8e7bb f8eabe f9eac3 f9edc8 faeecd fdefcf faf1d3 c28b67",
    "c18964 f5e1ad f5e2ae f5e2b1 f7e5b4 f7e6b8 f8e7bc f9eabf f9ecc3 f9edc8 faefcd faefcf c18964",
    "c28b67 f5e1ad f5e1ad f5e1ae f7e5b1 f7e6b4 f8e7b9 f8e8bb f8e8c1 f9ecc5 f9edc8 faeecd c28b67",
    "ca9976 f5e1ad f5e1ad f5e1ad f5e1ae f5e5b2 f7e6b4 f8e7b9 f8e8bc f9eac1 f9ecc6 faeeca ca9976",
    "ddbca4 f5e1ad f5e1ad f5e1ad f5e1ad f5e1ae f5e5b2 f7e6b4 f8e7b9 f8e8bc f9eac1 f9ecc6 ddbca4",
    "ff00ff cd9f7f f5e1ad f5e1ad f5e1ad f5e1ad f5e1ae f5e5b2 f7e6b4 f8e7b9 f8e8bc cd9f7f ff00ff",
    "ff00ff ff00ff cd9f7f f5e1ad f5e1ad f5e1ad f5e1ad f5e1ae f5e5b2 f7e6b4 cd9f7f ff00ff ff00ff",
    "ff00ff ff00ff ff00ff ddbca4 ca9976 c28b67 c18964 c28b67 ca9976 ddbca4 ff00ff ff00ff ff00ff",
    // cell 3, disabled, rows 39-51
    "ff00ff ff00ff ff00ff f3e7dd ecd9ca e9d3c2 e8d2c1 e9d3c2 ecd9ca f3e7dd ff00ff ff00ff ff00ff",
    "ff00ff ff00ff eddbce efe0d4 f5efe8 f7f3ee f8f4ef f7f3ee f5efe8 efe0d4 eddbce ff00ff ff00ff",
    "ff00ff eddbce f2e6dc f9f5f1 f9f6f2 f9f6f3 f9f6f3 f9f6f3 f9f6f2 f9f5f1 f2e6dc eddbce ff00ff",
    "f3e7dd efe0d4 f9f6f2 fbf8f6 fcfbf9 fdfcfb fdfcfb fdfcfb fcfbf9 fbf8f6 f9f6f2 efe0d4 f3e7dd",
    "ecd9ca f7f0ea fbf9f7 fdfdfc ffffff ffffff ffffff ffffff ffffff fdfdfc fbf9f7 f7f0ea ecd9ca",
    "e9d3c2 faf7f5 fdfdfc fffefe ffffff ffffff ffffff ffffff ffffff fffefe fdfdfc faf7f5 e9d3c2",
    "e8d2c1 fcfbf9 fefefe ffffff ffffff ffffff ffffff ffffff ffffff ffffff fefefe fcfbf9 e8d2c1",
    "e9d3c2 fcfbf9 ffffff ffffff ffffff ffffff ffffff ffffff ffffff ffffff ffffff fcfbf9 e9d3c2",
    "ecd9ca faf6f2 ffffff ffffff ffffff ffffff ffffff ffffff ffffff ffffff ffffff faf6f2 ecd9ca",
    "f3e7dd f1e3d9 ffffff ffffff ffffff ffffff ffffff ffffff ffffff ffffff ffffff f1e3d9 f3e7dd",
    "ff00ff eddbce f5ece4 ffffff ffffff ffffff ffffff ffffff ffffff ffffff f5ece4 eddbce ff00ff",
    "ff00ff ff00ff eddbce f2e4da fbf8f6 fefefd ffffff fefefd fbf8f6 f2e4da eddbce ff00ff ff00ff",
    "ff00ff ff00ff ff00ff f3e7dd ecd9ca e9d3c2 e8d2c1 e9d3c2 ecd9ca f3e7dd ff00ff ff00ff ff00ff",
};

// HeaderImage, 9 x 20: normal item columns 0-2, hot 3-5, pressed 6-8; row 19 the separator.
constexpr HexRow<9> kHeaderRows[20] = {
    "fef5ea fef5ea fef5ea fde6bd feeed3 fde6bd fbd797 fbd797 fbd797",  // 0
    "fef4e9 fef4e9 fef4e9 fcdea7 ffefd6 fcdea7 face7e ffdc9f face7e",  // 1
    "fdf4e9 fdf3e8 faefe0 fcd48f ffeed3 f9d18b fac566 ffdda0 f7c364",  // 2
    "fdf3e9 fdf2e6 f7e8d6 fbcb77 ffedd0 f5c571 fac25e ffdea2 f4bd5b",  // 3
    "fdf5eb fcf1e4 efd9bc fac565 ffeccc edb85b fac25e ffdfa4 edb556",  // 4
    "fdf5ec fcf0e2 ebd1ae fac25e feebc8 eab154 fac25e ffe0a6 eab154",  // 5
    "fdf6ed fbefe0 e6c79f fac25e fee9c4 e5ac51 fac25e ffe2a8 e5ac51",  // 6
    "fdf6ef fbeddf e2bf94 fac25e fee8c1 e1a84f fac25e ffe3ab e1a84f",  // 7
    "fdf7f1 faecdd dcb582 fac25e fee7bd dca34c fac25e ffe5ad dca34c",  // 8
    "fbf5ed f6e5d3 d9b07a fac25e fde1af dba24b fac25e ffe7b0 dba24b",  // 9
    "fbf4ed f6e5d3 d9b07a fac25e fde0ae dba24b fac25e ffe8b3 dba24b",  // 10
    "fbf3eb f6e5d3 dab27d fac25e fde1ae dca34c fac25e ffeab6 dca34c",  // 11
    "faf0e5 f6e5d3 dfba8c fac25e fde1af e1a84e fac25e ffecb9 e1a84e",  // 12
    "f9eee2 f6e5d3 e3c197 fac25e fde1af e5ac51 fac565 ffedbc e5ad55",  // 13
    "f8ecde f6e5d3 e6c8a3 fac25e fde1af e9b154 fbca6f ffefbe e9b65f",  // 14
    "f8e9da f6e5d3 eacfaf fac25e fde1af edb556 fbd07c fff2c5 eebf6d",  // 15
    "f6e6d5 f6e5d3 f1dcc4 fac25e fde1af f4bd5a fcd68b fff2c8 f6cf83",  // 16
    "f6e5d3 f6e5d3 f3e1cc fac25e fde0ac f7c05c fddd99 fff2c8 fad994",  // 17
    "f6e5d3 f6e5d3 f6e5d3 fbcc73 fcdda8 fbcc73 fde3a8 fff2c8 fde3a8",  // 18
    "f2dac0 f2dac0 f2dac0 f2dac0 f2dac0 f2dac0 f2dac0 f2dac0 f2dac0",  // 19
};
// clang-format on

// Rows of complete values, laid out one after another.
template <std::size_t W, std::size_t H>
consteval Grid<W, H> Flatten(const HexRow<W> (&rows)[H]) {
  Grid<W, H> grid{};
  for (std::size_t y = 0; y < H; ++y) {
    for (std::size_t x = 0; x < W; ++x) grid[y * W + x] = rows[y][x];
  }
  return grid;
}

// The two drop-button cells from their grouped columns, then the arrows from their shapes.
consteval Grid<15, 18> ExpandCombo() {
  Grid<15, 18> grid{};
  for (std::size_t y = 0; y < 18; ++y) {
    const HexRow<5>& g = kComboButtonRows[y];
    const COLORREF cells[8] = {g[0], g[1], g[2], g[1], g[0], g[3], g[4], g[3]};
    for (std::size_t x = 0; x < 8; ++x) grid[y * 15 + x] = cells[x];
    const char* arrow = kComboArrowRows[y];
    if (Length(arrow) != 7) throw "colour tables: an arrow row is not 7 wide";
    for (std::size_t x = 0; x < 7; ++x) {
      switch (arrow[x]) {
        case 'D':
          grid[y * 15 + 8 + x] = kArrowEnabled;
          break;
        case 'G':
          grid[y * 15 + 8 + x] = kArrowDisabled;
          break;
        case '.':
          grid[y * 15 + 8 + x] = kKey;
          break;
        default:
          throw "colour tables: arrows are drawn with D, G and .";
      }
    }
  }
  return grid;
}

// Glyph pixels from the shapes: the row colour, or for the dot its own pixel; key elsewhere.
// The disabled half must repeat the enabled shape.
consteval Grid<18, 24> ExpandGlyphs() {
  Grid<18, 24> grid{};
  for (std::size_t y = 0; y < 24; ++y) {
    const GlyphRow& row = kGlyphRows[y];
    if (Length(row.shape) != 18) throw "colour tables: a glyph row is not 18 wide";
    const bool dotRow = y >= 18 && y <= 22;
    for (std::size_t x = 0; x < 18; ++x) {
      const bool disabled = x >= 9;
      const char mark = row.shape[x];
      if (mark != '#' && mark != '.') throw "colour tables: glyphs are drawn with # and .";
      if (!disabled && row.shape[x + 9] != mark) throw "colour tables: glyph halves differ";
      COLORREF colour = kKey;
      if (dotRow) {
        std::size_t dotColumn = disabled ? x - 11 : x - 2;
        bool inDot = disabled ? x >= 11 && x <= 15 : x >= 2 && x <= 6;
        if (inDot) {
          colour = disabled ? kGlyphDot[y - 18].disabled[dotColumn]
                            : kGlyphDot[y - 18].enabled[dotColumn];
        }
        if ((mark == '#') != (colour != kKey)) throw "colour tables: dot and shape differ";
      } else if (mark == '#') {
        const ColourList<1>& rowColour = disabled ? row.disabled : row.enabled;
        if (rowColour.count != 1) throw "colour tables: a glyph row without its colour";
        colour = rowColour[0];
      }
      grid[y * 18 + x] = colour;
    }
  }
  return grid;
}

constexpr Grid<7, 84> kButtonImage = Flatten(kButtonRows);
constexpr Grid<15, 18> kComboImage = ExpandCombo();
constexpr Grid<18, 24> kGlyphImage = ExpandGlyphs();
constexpr Grid<13, 52> kBoxImage = Flatten(kBoxRows);
constexpr Grid<9, 20> kHeaderImage = Flatten(kHeaderRows);

}  // namespace

SkinImagePixels ButtonImagePixels() {
  return {7, 84, kButtonImage.data()};
}
SkinImagePixels ComboImagePixels() {
  return {15, 18, kComboImage.data()};
}
SkinImagePixels GlyphImagePixels() {
  return {18, 24, kGlyphImage.data()};
}
SkinImagePixels BoxImagePixels() {
  return {13, 52, kBoxImage.data()};
}
SkinImagePixels HeaderImagePixels() {
  return {9, 20, kHeaderImage.data()};
}

}  // namespace modSkinner
