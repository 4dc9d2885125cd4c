// The main window at the screen's DPI and after a change of DPI (another monitor, or the
// scale changed while signed in): every rectangle from its twips at the window's DPI, the
// font, the labels' sizes, the buttons' faces and regions, the icons and the link cursor,
// and no GDI object left behind by a change there and back.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "app/frm_main.h"
#include "platform/gdi_guards.h"
#include "platform/settings_store.h"
#include "platform/text_convert.h"
#include "platform/ui_metrics.h"
#include "skin/skin_engine.h"
#include "ui_test_support.h"

namespace tarnwick::app {
namespace {

namespace prop = modSkinner::prop;
using testing::RectInParent;
using testing::WindowText;

// Width and height of an icon's or cursor's picture, and its hot spot.
struct ImageShape {
  SIZE size{0, 0};
  POINT hot_spot{0, 0};
};

ImageShape ShapeOf(HICON icon) {
  ImageShape shape;
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return shape;
  const platform::ScopedGdiObject<HBITMAP> mask(info.hbmMask);
  const platform::ScopedGdiObject<HBITMAP> colour(info.hbmColor);
  BITMAP bitmap{};
  GetObjectW(info.hbmMask, sizeof(bitmap), &bitmap);
  // A monochrome cursor keeps its AND and XOR masks in one bitmap of twice the height.
  shape.size = {bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2};
  shape.hot_spot = {static_cast<LONG>(info.xHotspot), static_cast<LONG>(info.yHotspot)};
  return shape;
}

SIZE BitmapSize(HGDIOBJ bitmap) {
  BITMAP info{};
  if (!bitmap || !GetObjectW(bitmap, sizeof(info), &info)) return {0, 0};
  return {info.bmWidth, info.bmHeight};
}

int GdiObjects() {
  return static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
}

class MainWindowDpiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FormOptions options;
    options.settings_application = settings_;
    options.quit_on_destroy = false;
    form_ = frmMain::Create(options);
    ASSERT_NE(form_, nullptr);
  }
  void TearDown() override {
    form_.reset();
    platform::DeleteApplicationSettings(settings_);
  }
  HWND Ctl(const wchar_t* name) const { return form_->Control(name); }

  // Tells the window that its monitor's DPI is now `dpi`, with the rectangle the system
  // suggests where the window is now: the size the window answers to WM_GETDPISCALEDSIZE,
  // or else its outer size scaled by the change of DPI.
  RECT ChangeDpi(int dpi) {
    RECT now{};
    GetWindowRect(form_->hWnd(), &now);
    SIZE size{};
    if (!SendMessageW(form_->hWnd(), platform::kGetDpiScaledSizeMessage, dpi,
                      reinterpret_cast<LPARAM>(&size))) {
      size = {MulDiv(now.right - now.left, dpi, form_->Dpi()),
              MulDiv(now.bottom - now.top, dpi, form_->Dpi())};
    }
    RECT suggested{now.left, now.top, now.left + size.cx, now.top + size.cy};
    SendMessageW(form_->hWnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
    return suggested;
  }

  // What the window made for its current DPI, to be freed when the DPI changes.
  struct Made {
    HFONT font = nullptr;
    HICON big_icon = nullptr;
    HICON small_icon = nullptr;
    HCURSOR cursor = nullptr;
    std::vector<HGDIOBJ> faces;  // the face bitmaps of the command buttons
  };
  Made MadeForThisDpi() const {
    Made made{form_->Font(), form_->Icon(true), form_->Icon(false), form_->LinkCursor(), {}};
    for (const wchar_t* name : {L"Command1", L"Command2", L"Command3"}) {
      for (int n = 0; n < 4; ++n) {
        made.faces.push_back(
            reinterpret_cast<HGDIOBJ>(modSkinner::GetSkinProp(Ctl(name), prop::BMP_[n])));
      }
    }
    return made;
  }

  // Everything that follows the DPI, checked against `dpi`.
  void ExpectLaidOutFor(int dpi) {
    SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
    const auto px = [dpi](int twips) { return platform::TwipsToPixels(twips, dpi); };
    EXPECT_EQ(form_->Dpi(), dpi);
    // The outer size for the layout's client area at this DPI (not the client area: Wine
    // keeps the frame of the screen's DPI).
    RECT window{};
    GetWindowRect(form_->hWnd(), &window);
    const RECT outer = platform::OuterRectForDpi(
        RECT{0, 0, px(kClientWidthTwips), px(kClientHeightTwips)},
        static_cast<DWORD>(GetWindowLongW(form_->hWnd(), GWL_STYLE)),
        static_cast<DWORD>(GetWindowLongW(form_->hWnd(), GWL_EXSTYLE)), dpi);
    EXPECT_EQ(window.right - window.left, outer.right - outer.left);
    EXPECT_EQ(window.bottom - window.top, outer.bottom - outer.top);

    LOGFONTW font{};
    ASSERT_TRUE(GetObjectW(form_->Font(), sizeof(font), &font));
    EXPECT_EQ(font.lfHeight, -MulDiv(9, dpi, 72));
    EXPECT_STREQ(font.lfFaceName, L"宋体");

    for (const ControlEntry& entry : MainWindowLayout()) {
      if (entry.type == ControlType::kTimer) continue;
      SCOPED_TRACE(platform::WideToUtf8(entry.name));
      HWND hwnd = Ctl(entry.name);
      ASSERT_NE(hwnd, nullptr);
      const RECT rect = RectInParent(hwnd);
      EXPECT_EQ(rect.left, px(entry.left));  // no caption has moved Label7 yet
      EXPECT_EQ(rect.top, px(entry.top));
      if (entry.type == ControlType::kLabel) {
        const std::wstring caption = WindowText(hwnd);
        const SIZE text =
            platform::MeasureText(caption.c_str(), static_cast<int>(caption.size()), form_->Font());
        EXPECT_EQ(rect.right - rect.left, text.cx);
        EXPECT_EQ(rect.bottom - rect.top, text.cy);
      } else {
        EXPECT_EQ(rect.right - rect.left, px(entry.left + entry.width) - px(entry.left));
        EXPECT_EQ(rect.bottom - rect.top, px(entry.top + entry.height) - px(entry.top));
      }
      if (entry.type != ControlType::kFrame) {
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), form_->Font());
      }
      if (entry.type == ControlType::kCommandButton) {
        // Faces made at the button's new size (never stretched), the region along it.
        EXPECT_NE(modSkinner::GetSkinProp(hwnd, prop::PROCADDR), 0);
        const SIZE size{rect.right - rect.left, rect.bottom - rect.top};
        for (int n = 0; n < 4; ++n) {
          const SIZE face =
              BitmapSize(reinterpret_cast<HGDIOBJ>(modSkinner::GetSkinProp(hwnd, prop::BMP_[n])));
          EXPECT_EQ(face.cx, size.cx);
          EXPECT_EQ(face.cy, size.cy);
        }
        platform::ScopedGdiObject<HRGN> region(CreateRectRgn(0, 0, 0, 0));
        ASSERT_NE(GetWindowRgn(hwnd, region), ERROR);
        RECT box{};
        GetRgnBox(region, &box);
        EXPECT_EQ(box.right, size.cx);
        EXPECT_EQ(box.bottom, size.cy);
      }
    }
    // The icons and the link cursor in the sizes of this DPI.
    const ImageShape big = ShapeOf(form_->Icon(true));
    const ImageShape small = ShapeOf(form_->Icon(false));
    EXPECT_EQ(big.size.cx, platform::SystemMetricForDpi(SM_CXICON, dpi));
    EXPECT_EQ(small.size.cx, platform::SystemMetricForDpi(SM_CXSMICON, dpi));
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(form_->hWnd(), WM_GETICON, ICON_BIG, 0)),
              form_->Icon(true));
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(form_->hWnd(), WM_GETICON, ICON_SMALL, 0)),
              form_->Icon(false));
    const ImageShape cursor = ShapeOf(form_->LinkCursor());
    const int cursor_size = platform::SystemMetricForDpi(SM_CXCURSOR, dpi);
    EXPECT_EQ(cursor.size.cx, cursor_size);
    // The fingertip of the hand, pixel (12, 4) of the 32-pixel picture.
    EXPECT_EQ(cursor.hot_spot.x, 12 * cursor_size / 32);
    EXPECT_EQ(cursor.hot_spot.y, 4 * cursor_size / 32);
  }

  const std::wstring settings_ = L"TarnwickDpiTest" + std::to_wstring(GetCurrentProcessId());
  std::unique_ptr<frmMain> form_;
};

TEST_F(MainWindowDpiTest, TheWindowIsAwareOfEachMonitorsDpi) {
  // Per monitor (version 2 where the system has it) from the manifest; the window starts at
  // the DPI of its monitor, which is the screen's here.
  using GetContextFn = DPI_AWARENESS_CONTEXT(WINAPI*)();
  using AwarenessFn = DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  auto get_context = reinterpret_cast<GetContextFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
  auto awareness = reinterpret_cast<AwarenessFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
  ASSERT_NE(get_context, nullptr);
  ASSERT_NE(awareness, nullptr);
  EXPECT_EQ(awareness(get_context()), DPI_AWARENESS_PER_MONITOR_AWARE);
  EXPECT_EQ(form_->Dpi(), platform::WindowDpi(form_->hWnd()));
  RECT client{};
  GetClientRect(form_->hWnd(), &client);
  EXPECT_EQ(client.right, platform::TwipsToPixels(kClientWidthTwips, form_->Dpi()));
  EXPECT_EQ(client.bottom, platform::TwipsToPixels(kClientHeightTwips, form_->Dpi()));
}

TEST(WindowMetrics, AreThoseOfTheWindowsDpi) {
  // A window made in a DPI-unaware context has 96 DPI whatever the screen's; the skin's
  // metrics of such a window (scroll bar, check box) are those of 96 DPI.
  using SetContextFn = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
  auto set_context = reinterpret_cast<SetContextFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
  ASSERT_NE(set_context, nullptr);
  const DPI_AWARENESS_CONTEXT previous = set_context(DPI_AWARENESS_CONTEXT_UNAWARE);
  HWND unaware = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
  set_context(previous);
  ASSERT_NE(unaware, nullptr);
  EXPECT_EQ(platform::WindowDpi(unaware), 96);
  for (int metric : {SM_CXVSCROLL, SM_CYHSCROLL, SM_CXMENUCHECK}) {
    EXPECT_EQ(platform::SystemMetricForWindow(unaware, metric),
              platform::SystemMetricForDpi(metric, 96));
  }
  DestroyWindow(unaware);
}

TEST_F(MainWindowDpiTest, LayoutFontFacesIconsAndCursorAreThoseOfTheScreensDpi) {
  // The test runs at the DPI its runner asked for (scripts/wine-run), 96 otherwise.
  const char* asked = std::getenv("TARNWICK_WINE_DPI");
  EXPECT_EQ(platform::SystemDpi(), asked ? std::atoi(asked) : 96);
  ExpectLaidOutFor(platform::SystemDpi());
}

TEST_F(MainWindowDpiTest, ADpiChangeRemakesEverythingForTheNewDpiAndLeavesNoGdiObject) {
  const int start = form_->Dpi();
  const int other = start == 144 ? 96 : 144;
  const int before = GdiObjects();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const RECT suggested = ChangeDpi(other);
    RECT outer{};
    GetWindowRect(form_->hWnd(), &outer);
    EXPECT_TRUE(EqualRect(&outer, &suggested));
    ExpectLaidOutFor(other);
    const Made made = MadeForThisDpi();
    ChangeDpi(start);
    ExpectLaidOutFor(start);
    EXPECT_EQ(GdiObjects(), before);
    // Wine counts no GDI objects: what was made for the other DPI is checked one by one.
    if (made.font != platform::DefaultUiFont()) {
      EXPECT_EQ(GetObjectType(made.font), 0u);
    }
    for (HGDIOBJ face : made.faces) EXPECT_EQ(GetObjectType(face), 0u);
    ICONINFO info{};
    for (HICON image : {made.big_icon, made.small_icon, made.cursor}) {
      EXPECT_FALSE(GetIconInfo(image, &info));
    }
  }
}

TEST_F(MainWindowDpiTest, ACaptionChangedAfterADpiChangeIsSizedInTheNewFontAndStaysAligned) {
  ChangeDpi(120);
  // The job's end sets Label7's caption: sized in the font of 120 DPI, right-aligned at
  // 120 DPI.
  testing::TempFolder folder;
  testing::WriteBytes(folder / L"源.txt", "one\r\ntwo\r\nthree\r\n");
  testing::DialogResponder responder;
  testing::TypeText(Ctl(L"Text4"), (folder / L"源.txt").wstring());
  testing::TypeText(Ctl(L"Text2"), folder.Path().wstring());
  testing::Click(Ctl(L"Command2"));
  ASSERT_EQ(responder.Seen().size(), 1u);
  HWND label = Ctl(L"Label7");
  const std::wstring caption = WindowText(label);
  EXPECT_EQ(caption, L"总共处理行数：3");
  const RECT rect = RectInParent(label);
  const SIZE text =
      platform::MeasureText(caption.c_str(), static_cast<int>(caption.size()), form_->Font());
  EXPECT_EQ(rect.right - rect.left, text.cx);
  EXPECT_EQ(rect.bottom - rect.top, text.cy);
  RECT frame{};
  GetClientRect(Ctl(L"iFrame5"), &frame);
  EXPECT_EQ(frame.right - rect.right, platform::TwipsToPixels(60, 120));

  // Moved on to 144 DPI, the right-aligned label stays right-aligned.
  ChangeDpi(144);
  const RECT moved = RectInParent(label);
  EXPECT_EQ(
      moved.right - moved.left,
      platform::MeasureText(caption.c_str(), static_cast<int>(caption.size()), form_->Font()).cx);
  GetClientRect(Ctl(L"iFrame5"), &frame);
  EXPECT_EQ(frame.right - moved.right, platform::TwipsToPixels(60, 144));
}

}  // namespace
}  // namespace tarnwick::app
