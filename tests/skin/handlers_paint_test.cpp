// What the paint, non-client paint and size handlers leave on the screen and in the
// window's surfaces: progress fills, frames, the recoloured sunken edge, header cells, and
// a button's faces and region after a resize.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "handler_test_support.h"
#include "graphics/primitives.h"
#include "skin/skin_engine.h"

namespace {

using namespace skin_handler_test;
namespace prop = modSkinner::prop;

constexpr COLORREF kFrameBlue = 0xD5A554;
constexpr COLORREF kFrameLightBlue = 0xE9CFA4;
constexpr COLORREF kProgressFill = 0xF6D64C;
constexpr COLORREF kWhite = 0xFFFFFF;

LONG_PTR Prop(HWND hwnd, const wchar_t* name) {
  return modSkinner::GetSkinProp(hwnd, name);
}

// Paints the window now, frame and client area.
void Repaint(HWND hwnd) {
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
}

class PaintHandlers : public ::testing::Test {
 protected:
  void SetUp() override { MoveCursorAway(); }
  TestForm form_;
};

TEST_F(PaintHandlers, ProgressBarsFillTheirShareOf30000WhateverTheirRangeTiesToEven) {
  HWND horizontal = form_.Add(L"ProgressBar20WndClass", L"", 0, 10, 10, 100, 12);
  HWND vertical = form_.Add(L"ProgressBar20WndClass", L"", PBS_VERTICAL, 150, 10, 12, 10);
  HWND bordered = form_.Add(L"ProgressBar20WndClass", L"", WS_BORDER | WS_DISABLED, 10, 40, 60, 12);
  // A range of the bar's own that is not 0..30000: the fill still follows position / 30000.
  for (HWND bar : {horizontal, vertical, bordered}) {
    SendMessageW(bar, PBM_SETRANGE32, 0, 60000);
  }
  ASSERT_EQ(modSkinner::SkinForm(form_), 1);
  RECT client;
  GetClientRect(horizontal, &client);
  ASSERT_EQ(client.right, 100);

  // 15000 of 30000 on 100 pixels: 50 filled from the left.
  SendMessageW(horizontal, PBM_SETPOS, 15000, 0);
  Repaint(horizontal);
  EXPECT_EQ(WindowPixel(horizontal, 0, 5), kProgressFill);
  EXPECT_EQ(WindowPixel(horizontal, 49, 5), kProgressFill);
  EXPECT_EQ(WindowPixel(horizontal, 50, 5), kWhite);
  SendMessageW(horizontal, PBM_SETPOS, 30000, 0);
  Repaint(horizontal);
  EXPECT_EQ(WindowPixel(horizontal, 99, 5), kProgressFill);
  SendMessageW(horizontal, PBM_SETPOS, 0, 0);
  Repaint(horizontal);
  EXPECT_EQ(WindowPixel(horizontal, 0, 5), kWhite);

  // 7500 on 10 rows: from row [7.5] = 8, height [2.5] = 2.
  GetClientRect(vertical, &client);
  ASSERT_EQ(client.bottom, 10);
  SendMessageW(vertical, PBM_SETPOS, 7500, 0);
  Repaint(vertical);
  EXPECT_EQ(WindowPixel(vertical, 5, 7), kWhite);
  EXPECT_EQ(WindowPixel(vertical, 5, 8), kProgressFill);
  EXPECT_EQ(WindowPixel(vertical, 5, 9), kProgressFill);

  // A bordered bar: its border is blue even when disabled; the client bar follows.
  SendMessageW(bordered, PBM_SETPOS, 30000, 0);
  Repaint(bordered);
  EXPECT_EQ(WindowPixel(bordered, 0, 0), kFrameBlue);
  EXPECT_EQ(WindowPixel(bordered, 59, 11), kFrameBlue);
  EXPECT_EQ(WindowPixel(bordered, 1, 5), kProgressFill);
}

TEST_F(PaintHandlers, FramesTakeTheEnabledColour) {
  HWND list = form_.Add(L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 10, 10, 120, 100);
  HWND editable = form_.Add(L"ComboBox", L"", CBS_DROPDOWN | WS_VSCROLL, 10, 40, 120, 100);
  HWND dataList = form_.Add(L"DataListWndClass", L"", 0, 10, 70, 100, 60);
  HWND grid = form_.Add(L"ApexGridTest", L"", WS_BORDER, 150, 10, 100, 60);
  HWND plainGrid = form_.Add(L"ApexGridTest", L"", 0, 150, 80, 100, 60);
  ASSERT_EQ(modSkinner::SkinForm(form_), 1);

  for (bool enabled : {true, false}) {
    const COLORREF frame = enabled ? kFrameBlue : kFrameLightBlue;
    for (HWND hwnd : {list, editable, dataList, grid, plainGrid}) {
      EnableWindow(hwnd, enabled);
      Repaint(hwnd);
    }
    for (HWND hwnd : {list, editable, dataList, grid}) {
      EXPECT_EQ(WindowPixel(hwnd, 0, 0), frame) << enabled;
      EXPECT_EQ(WindowPixel(hwnd, 3, 0), frame) << enabled;
    }
    // The two-pixel frame: white inside the coloured one.
    for (HWND hwnd : {list, dataList}) EXPECT_EQ(WindowPixel(hwnd, 1, 1), kWhite) << enabled;
    // A grid without a border keeps its own look.
    EXPECT_NE(WindowPixel(plainGrid, 0, 0), frame);
  }
}

TEST_F(PaintHandlers, ComboBoxesShowTheDropButtonOnTheScreen) {
  HWND list = form_.Add(L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 10, 10, 120, 100);
  HWND editable = form_.Add(L"ComboBox", L"", CBS_DROPDOWN | WS_VSCROLL, 10, 60, 120, 100);
  ASSERT_EQ(modSkinner::SkinForm(form_), 1);
  const int scroll = GetSystemMetrics(SM_CXVSCROLL);
  for (HWND combo : {list, editable}) {
    for (bool enabled : {true, false}) {
      SCOPED_TRACE(enabled ? "enabled" : "disabled");
      EnableWindow(combo, enabled);
      Settle(form_);
      FillWindowArea(combo, 0, 0, 120, 40, RGB(255, 0, 255));
      Repaint(combo);
      RECT bounds;
      GetWindowRect(combo, &bounds);
      const int w = bounds.right - bounds.left;
      const int h = bounds.bottom - bounds.top;
      // The white face of the normal state, one pixel inside the right, top and bottom
      // edges, scroll + 1 wide, with the arrow of the enabled state centred in it.
      const int left = w - scroll - 2;
      EXPECT_EQ(WindowPixel(combo, left, 1), kWhite);
      EXPECT_EQ(WindowPixel(combo, w - 2, h - 2), kWhite);
      const COLORREF arrow = enabled ? 0x5F5519 : 0xACA584;
      const int arrowLeft = left + static_cast<int>(std::nearbyint((scroll + 1 - 7) / 2.0));
      const int arrowTop = 1 + static_cast<int>(std::nearbyint((h - 2 - 4) / 2.0));
      for (int x = 0; x < 7; ++x)
        EXPECT_EQ(WindowPixel(combo, arrowLeft + x, arrowTop), arrow) << x;
      EXPECT_EQ(WindowPixel(combo, arrowLeft + 3, arrowTop + 3), arrow);
      EXPECT_EQ(WindowPixel(combo, arrowLeft - 1, arrowTop), kWhite);
      EXPECT_EQ(WindowPixel(combo, arrowLeft + 7, arrowTop), kWhite);
      EXPECT_EQ(WindowPixel(combo, arrowLeft + 3, arrowTop + 4), kWhite);
    }
  }
}

TEST_F(PaintHandlers, SunkenEdgeIsRecolouredOnlyWhereTheWindowHasOne) {
  HWND sunken = form_.Add(L"Edit", L"", ES_READONLY, 10, 10, 80, 24, WS_EX_CLIENTEDGE);
  HWND flat = form_.Add(L"Edit", L"", ES_READONLY | WS_BORDER, 10, 50, 80, 24);
  ASSERT_EQ(modSkinner::SkinForm(form_), 1);
  Settle(form_);
  std::int32_t bx = 0;
  std::int32_t by = 0;
  modSkinner::GetFrameMetrics(sunken, bx, by);
  ASSERT_EQ(bx, 2);
  const int w = 80;
  const int h = 24;

  for (bool enabled : {true, false}) {
    EnableWindow(sunken, enabled);
    Settle(form_);
    // Paint the client area in a colour of its own, then the frame again: the rings
    // (1,1)-(w-1,h-1) and (2,2)-(w-1,h-1) take the client DC's background colour (white),
    // the outer ring the enabled colour.
    FillWindowArea(sunken, 2, 2, w - 4, h - 4, RGB(0, 128, 0));
    SendMessageW(sunken, WM_NCPAINT, 1, 0);
    const COLORREF outer = enabled ? kFrameBlue : kFrameLightBlue;
    EXPECT_EQ(WindowPixel(sunken, 0, 0), outer);
    EXPECT_EQ(WindowPixel(sunken, w - 1, h - 1), outer);
    EXPECT_EQ(WindowPixel(sunken, 1, 1), kWhite);
    EXPECT_EQ(WindowPixel(sunken, w - 2, h - 2), kWhite);
    EXPECT_EQ(WindowPixel(sunken, 2, h / 2), kWhite);
    EXPECT_EQ(WindowPixel(sunken, w / 2, 2), kWhite);
    // The inner ring's right and bottom edges stay one pixel inside the window.
    EXPECT_EQ(WindowPixel(sunken, w - 3, h / 2), RGB(0, 128, 0));
    EXPECT_EQ(WindowPixel(sunken, w / 2, h - 3), RGB(0, 128, 0));
    EXPECT_EQ(WindowPixel(sunken, 3, h / 2), RGB(0, 128, 0));
  }
  // Without a client edge the control keeps its own frame.
  EXPECT_NE(WindowPixel(flat, 0, 0), kFrameBlue);
  EXPECT_NE(WindowPixel(flat, 0, 0), kFrameLightBlue);
}

TEST_F(PaintHandlers, HeaderCellsShowPressedOverHotOverNormal) {
  HWND header = form_.Add(WC_HEADERW, L"", HDS_BUTTONS | HDS_HORZ, 10, 10, 300, 20);
  for (int i = 0; i < 3; ++i) {
    HDITEMW item{};
    item.mask = HDI_WIDTH | HDI_TEXT;
    item.cxy = 60;
    item.pszText = const_cast<wchar_t*>(i == 0 ? L"名称" : L"");
    SendMessageW(header, HDM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  ASSERT_EQ(modSkinner::SkinForm(form_), 1);
  HDC image = modSkinner::Engine().Images.HeaderImage;
  // Centre pixels of the normal, hot and pressed cells, and of the background strip.
  const COLORREF normal = GetPixel(image, 1, 10);
  const COLORREF hot = GetPixel(image, 4, 10);
  const COLORREF pressed = GetPixel(image, 7, 10);
  ASSERT_NE(normal, hot);
  ASSERT_NE(hot, pressed);

  modSkinner::SetSkinProp(header, prop::HDINDEX, 1);
  modSkinner::SetSkinProp(header, prop::HMINDEX, 1);
  Repaint(header);
  EXPECT_EQ(WindowPixel(header, 90, 10), pressed);
  EXPECT_EQ(WindowPixel(header, 150, 10), normal);
  EXPECT_EQ(WindowPixel(header, 250, 10), GetPixel(image, 1, 10));  // background strip

  modSkinner::SetSkinProp(header, prop::HDINDEX, -1);
  modSkinner::SetSkinProp(header, prop::HMINDEX, 2);
  Repaint(header);
  EXPECT_EQ(WindowPixel(header, 90, 10), normal);
  EXPECT_EQ(WindowPixel(header, 150, 10), hot);

  // The item with text has dark text pixels; the empty ones only their cell.
  int darkInFirst = 0;
  int darkInSecond = 0;
  for (int y = 2; y < 18; ++y) {
    for (int x = 2; x < 58; ++x) {
      darkInFirst += GetRValue(WindowPixel(header, x, y)) < 0x60 ? 1 : 0;
      darkInSecond += GetRValue(WindowPixel(header, 60 + x, y)) < 0x60 ? 1 : 0;
    }
  }
  EXPECT_GT(darkInFirst, 10);
  EXPECT_EQ(darkInSecond, 0);
}

TEST_F(PaintHandlers, ResizedButtonGetsNewFacesOfItsSizeAndANewRegion) {
  HWND button = form_.Add(L"Button", L"开始处理", BS_PUSHBUTTON, 10, 10, 75, 25);
  ASSERT_EQ(modSkinner::SkinForm(form_), 1);
  std::vector<HGDIOBJ> oldBitmaps;
  std::vector<HDC> faces;
  for (int n = 0; n < 4; ++n) {
    oldBitmaps.push_back(reinterpret_cast<HGDIOBJ>(Prop(button, prop::BMP_[n])));
    faces.push_back(reinterpret_cast<HDC>(Prop(button, prop::HDC_[n])));
  }

  SetWindowPos(button, nullptr, 0, 0, 100, 30, SWP_NOMOVE | SWP_NOZORDER);
  std::vector<HGDIOBJ> live;
  for (int n = 0; n < 4; ++n) {
    HDC face = reinterpret_cast<HDC>(Prop(button, prop::HDC_[n]));
    HGDIOBJ bitmap = reinterpret_cast<HGDIOBJ>(Prop(button, prop::BMP_[n]));
    EXPECT_EQ(face, faces[n]) << "the same device contexts stay";
    EXPECT_EQ(GetCurrentObject(face, OBJ_BITMAP), bitmap);
    BITMAP info{};
    GetObjectW(bitmap, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 100);
    EXPECT_EQ(info.bmHeight, 30);
    EXPECT_EQ(GetObjectType(oldBitmaps[n]), 0u) << "the 75 x 25 bitmap is freed";
    live.push_back(face);
    live.push_back(bitmap);
  }
  // The caption is centred in the new size: its dark pixels are balanced around x 50.
  HDC face = faces[0];
  int left = 100;
  int right = -1;
  for (int y = 0; y < 30; ++y) {
    for (int x = 3; x < 97; ++x) {
      if (GetRValue(GetPixel(face, x, y)) < 0x60) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
  }
  ASSERT_LT(left, right);
  EXPECT_NEAR((left + right) / 2.0, 49.5, 2.0);

  HRGN region = CreateRectRgn(0, 0, 0, 0);
  HRGN expected = CreateRoundRectRgn(0, 0, 101, 31, 3, 3);
  ASSERT_NE(GetWindowRgn(button, region), ERROR);
  EXPECT_TRUE(EqualRgn(region, expected));
  DeleteObject(region);
  DeleteObject(expected);

  // Detaching frees exactly these four device contexts and four bitmaps.
  modSkinner::UnskinForm(form_);
  for (HGDIOBJ object : live) EXPECT_EQ(GetObjectType(object), 0u);
}

}  // namespace
