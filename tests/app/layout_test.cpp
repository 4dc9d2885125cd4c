// The main window as its layout describes it: the names, kinds, containers, captions,
// geometry in twips and tab order are written out here, independently of the program's own
// table, and the real window's pixels are checked against twips x DPI / 1440 at the DPI the
// window has. Also its font, colours, icon and the saved properties of its frames.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cwctype>

#include "app/frm_main.h"
#include "app/maker_texts.h"
#include "app/res/resource_ids.h"
#include "platform/gdi_guards.h"
#include "platform/settings_store.h"
#include "platform/text_convert.h"
#include "platform/ui_metrics.h"
#include "ui_test_support.h"

namespace tarnwick::app {
namespace {

using testing::ClassName;
using testing::RectInParent;
using testing::WindowText;

enum class Kind { kButton, kTextBox, kLabel, kFrame, kTimer };

// One row of the window's description: twips relative to the container's client area.
struct Expected {
  const wchar_t* name;
  Kind kind;
  const wchar_t* container;  // L"" for the window
  const wchar_t* caption;    // nullptr: the maker's text, left open
  int left, top, width, height;
  int tab;  // -1 for the timer
};

// Grouped by container, in the order of the window's description.
const Expected kExpected[] = {
    {L"Command2", Kind::kButton, L"", L"开始处理", 7320, 120, 1095, 975, 18},
    {L"iFrame1", Kind::kFrame, L"", L"", 120, 600, 7095, 495, 8},
    {L"Command3", Kind::kButton, L"iFrame1", L"选择目录", 3480, 60, 990, 375, 17},
    {L"Text2", Kind::kTextBox, L"iFrame1", L"", 1080, 120, 2295, 270, 16},
    {L"Text1", Kind::kTextBox, L"iFrame1", nullptr, 6000, 120, 975, 270, 10},
    {L"Label9", Kind::kLabel, L"iFrame1", L"保存目录：", 120, 160, 900, 180, 15},
    {L"Label1", Kind::kLabel, L"iFrame1", L"每个文件行数：", 4680, 165, 1260, 180, 9},
    {L"iFrame5", Kind::kFrame, L"", L"", 120, 3240, 8295, 495, 4},
    {L"Timer1", Kind::kTimer, L"iFrame5", L"", 3480, 0, 0, 0, -1},
    {L"Label7", Kind::kLabel, L"iFrame5", L"总共处理行数：0", 6840, 160, 1350, 180, 7},
    {L"Label6", Kind::kLabel, L"iFrame5", L"0 秒", 840, 165, 360, 180, 6},
    {L"Label5", Kind::kLabel, L"iFrame5", L"已用时：", 120, 160, 720, 180, 5},
    {L"iFrame4", Kind::kFrame, L"", L"", 120, 1200, 8295, 1935, 2},
    {L"Label8", Kind::kLabel, L"iFrame4", nullptr, 2040, 1440, 2070, 180, 14},
    {L"Label4", Kind::kLabel, L"iFrame4", nullptr, 240, 1440, 1260, 180, 13},
    {L"Label3", Kind::kLabel, L"iFrame4", nullptr, 240, 1080, 3780, 180, 12},
    {L"Label2", Kind::kLabel, L"iFrame4", nullptr, 240, 720, 1440, 180, 11},
    {L"iFrame3", Kind::kFrame, L"", L"", 120, 120, 7095, 495, 1},
    {L"Command1", Kind::kButton, L"iFrame3", L"选择文件", 6000, 60, 975, 375, 0},
    {L"Text4", Kind::kTextBox, L"iFrame3", L"", 1080, 120, 4815, 270, 3},
    {L"Label10", Kind::kLabel, L"iFrame3", L"源文件：", 120, 160, 720, 180, 19},
};

// The DPI the window has (per monitor where the system tells it, else the screen's).
int DpiOf(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  const auto get_dpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (get_dpi) {
    if (const UINT dpi = get_dpi(hwnd)) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// Twips as exact (unrounded) pixels at `dpi`.
double ExactPixels(int twips, int dpi) {
  return twips * static_cast<double>(dpi) / 1440.0;
}

// Size of a one-line text in the window's font, measured here: its width and the font's
// line height.
SIZE TextSizeIn(HWND hwnd, const std::wstring& text) {
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  size.cy = metrics.tmHeight;
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return size;
}

const Expected* FindExpected(const wchar_t* name) {
  for (const Expected& row : kExpected) {
    if (std::wstring(row.name) == name) return &row;
  }
  return nullptr;
}

class MainWindowLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FormOptions options;
    options.settings_application = settings_;
    options.quit_on_destroy = false;
    form_ = frmMain::Create(options);
    ASSERT_NE(form_, nullptr);
    dpi_ = DpiOf(form_->hWnd());
  }
  void TearDown() override {
    form_.reset();
    platform::DeleteApplicationSettings(settings_);
  }
  HWND Ctl(const wchar_t* name) const { return form_->Control(name); }
  // The name of the expected row whose control is `hwnd`, or "?".
  std::wstring NameOf(HWND hwnd) const {
    for (const Expected& row : kExpected) {
      if (row.kind != Kind::kTimer && Ctl(row.name) == hwnd) return row.name;
    }
    return L"?";
  }

  const std::wstring settings_ = L"TarnwickLayoutTest" + std::to_wstring(GetCurrentProcessId());
  std::unique_ptr<frmMain> form_;
  int dpi_ = 96;
};

TEST_F(MainWindowLayoutTest, EveryControlSitsInItsContainerAtItsPlace) {
  std::wstring form_class = ClassName(form_->hWnd());
  std::transform(form_class.begin(), form_class.end(), form_class.begin(), ::towlower);
  EXPECT_EQ(form_class, L"form");
  EXPECT_EQ(WindowText(form_->hWnd()), std::wstring(L"Tarnwick  ") + maker::kTitleContact);

  int checked = 0;
  for (const Expected& row : kExpected) {
    SCOPED_TRACE(platform::WideToUtf8(row.name));
    HWND hwnd = Ctl(row.name);
    if (row.kind == Kind::kTimer) {  // a timer is no window
      EXPECT_EQ(hwnd, nullptr);
      continue;
    }
    ASSERT_NE(hwnd, nullptr);
    HWND container = *row.container ? Ctl(row.container) : form_->hWnd();
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(GetParent(hwnd), container);
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    const LONG ex_style = GetWindowLongW(hwnd, GWL_EXSTYLE);
    const std::wstring name = row.name;
    switch (row.kind) {
      case Kind::kButton:
        EXPECT_EQ(ClassName(hwnd), L"Button");
        break;
      case Kind::kTextBox:
        EXPECT_EQ(ClassName(hwnd), L"Edit");
        EXPECT_TRUE(ex_style & WS_EX_CLIENTEDGE);
        EXPECT_FALSE(style & ES_READONLY);
        EXPECT_EQ((style & ES_CENTER) != 0, name == L"Text1");
        break;
      case Kind::kLabel:
        EXPECT_EQ(ClassName(hwnd), L"Static");
        EXPECT_EQ((style & SS_NOTIFY) != 0, name == L"Label8");
        break;
      case Kind::kFrame:
        EXPECT_EQ(ClassName(hwnd), L"iFrame");
        break;
      case Kind::kTimer:
        break;
    }
    const std::wstring text = WindowText(hwnd);
    if (row.caption) {
      EXPECT_EQ(text, row.caption);
    } else if (row.kind == Kind::kLabel) {  // a maker's text of its own
      EXPECT_FALSE(text.empty());
    }

    // Left and top rounded to the nearest pixel; a size may lose or gain the rounding of
    // either edge, never a whole pixel.
    const RECT rect = RectInParent(hwnd);
    EXPECT_LE(std::abs(rect.left - ExactPixels(row.left, dpi_)), 0.5) << rect.left;
    EXPECT_LE(std::abs(rect.top - ExactPixels(row.top, dpi_)), 0.5) << rect.top;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (row.kind == Kind::kLabel) {
      // Sized to the caption in the font: the stored width where the caption is Chinese (the
      // maker's texts are the implementer's), and the font's line height, which is the
      // stored 180 twips where the system has the 12-pixel font.
      const SIZE text_size = TextSizeIn(hwnd, text);
      EXPECT_EQ(width, text_size.cx);
      const bool all_chinese = row.caption && std::all_of(text.begin(), text.end(),
                                                          [](wchar_t c) { return c >= 0x2E80; });
      if (all_chinese) {  // 12 pixels a character at 96 DPI; Latin widths vary by font
        EXPECT_LT(std::abs(width - ExactPixels(row.width, dpi_)), 1.0) << width;
      }
      EXPECT_EQ(height, text_size.cy);
      if (text_size.cy == MulDiv(12, dpi_, 96)) {
        EXPECT_LT(std::abs(height - ExactPixels(row.height, dpi_)), 1.0) << height;
      }
    } else {
      EXPECT_LT(std::abs(width - ExactPixels(row.width, dpi_)), 1.0) << width;
      EXPECT_LT(std::abs(height - ExactPixels(row.height, dpi_)), 1.0) << height;
    }
    if (row.kind != Kind::kFrame) {
      EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)),
                platform::DefaultUiFont());
    }
    // Wholly inside its container.
    RECT inside{};
    GetClientRect(container, &inside);
    EXPECT_GE(rect.left, 0);
    EXPECT_GE(rect.top, 0);
    EXPECT_LE(rect.right, inside.right);
    EXPECT_LE(rect.bottom, inside.bottom);
    ++checked;
  }
  EXPECT_EQ(checked, 20);
}

TEST_F(MainWindowLayoutTest, WindowIsAFixedCentredClientOf8520By3840TwipsWithAMinimizeBox) {
  RECT client{};
  GetClientRect(form_->hWnd(), &client);
  EXPECT_LE(std::abs(client.right - ExactPixels(8520, dpi_)), 0.5);
  EXPECT_LE(std::abs(client.bottom - ExactPixels(3840, dpi_)), 0.5);
  if (dpi_ == 96) {
    EXPECT_EQ(client.right, 568);
    EXPECT_EQ(client.bottom, 256);
  }
  const LONG style = GetWindowLongW(form_->hWnd(), GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  RECT outer{};
  GetWindowRect(form_->hWnd(), &outer);
  EXPECT_LE(std::abs(outer.left + outer.right - GetSystemMetrics(SM_CXSCREEN)), 1);
  EXPECT_LE(std::abs(outer.top + outer.bottom - GetSystemMetrics(SM_CYSCREEN)), 1);
}

TEST_F(MainWindowLayoutTest, TabOrderFollowsTheTable) {
  // Within each container the z-order of the controls is their tab order, and every
  // control of the description is there.
  int seen = 0;
  for (const wchar_t* container : {L"", L"iFrame1", L"iFrame3", L"iFrame4", L"iFrame5"}) {
    HWND parent = *container ? Ctl(container) : form_->hWnd();
    int previous = -1;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      const std::wstring name = NameOf(child);
      ASSERT_NE(name, L"?");
      const Expected* row = FindExpected(name.c_str());
      EXPECT_EQ(std::wstring(row->container), container) << platform::WideToUtf8(name);
      EXPECT_GT(row->tab, previous) << platform::WideToUtf8(name);
      previous = row->tab;
      ++seen;
    }
  }
  EXPECT_EQ(seen, 20);
  // Keyboard navigation over the buttons and boxes.
  const std::vector<std::wstring> expected = {L"Command1", L"Text4",    L"Text1",   L"Text2",
                                              L"Command3", L"Command2", L"Command1"};
  std::vector<std::wstring> visited;
  HWND current = Ctl(L"Command1");
  visited.push_back(NameOf(current));
  for (std::size_t i = 1; i < expected.size(); ++i) {
    current = GetNextDlgTabItem(form_->hWnd(), current, FALSE);
    visited.push_back(NameOf(current));
  }
  EXPECT_EQ(visited, expected);
}

TEST_F(MainWindowLayoutTest, ControlsShareTheNinePointChineseDefaultFont) {
  HFONT font = platform::DefaultUiFont();
  EXPECT_EQ(font, platform::DefaultUiFont());  // created once
  LOGFONTW logfont{};
  ASSERT_TRUE(GetObjectW(font, sizeof(logfont), &logfont));
  EXPECT_EQ(logfont.lfHeight, -MulDiv(9, dpi_, 72));  // 9 points: 12 pixels at 96 DPI
  EXPECT_EQ(logfont.lfCharSet, GB2312_CHARSET);
  EXPECT_STREQ(logfont.lfFaceName, L"宋体");
  // Chinese characters have 12-pixel cells at 96 DPI; an empty caption keeps the line height.
  EXPECT_EQ(platform::MeasureText(L"选择目录", 4).cx, 4 * MulDiv(12, dpi_, 96));
  EXPECT_EQ(platform::MeasureText(L"", 0).cx, 0);
  EXPECT_GT(platform::MeasureText(L"", 0).cy, 0);
}

TEST_F(MainWindowLayoutTest, ColoursOfLabelsAndPathBoxes) {
  platform::ScopedCreatedDC dc(CreateCompatibleDC(nullptr));
  controls::iFrame* frame = form_->Frame(L"iFrame4");
  ASSERT_NE(frame, nullptr);
  // Labels are asked for through their frame and painted on its background.
  for (const wchar_t* name : {L"Label8", L"Label4"}) {
    const LRESULT brush =
        SendMessageW(frame->hWnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()),
                     reinterpret_cast<LPARAM>(Ctl(name)));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), frame->BackgroundBrush());
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(GetTextColor(dc),
              std::wstring(name) == L"Label8" ? RGB(0, 0, 255) : GetSysColor(COLOR_BTNTEXT));
  }
  for (const wchar_t* name : {L"Text2", L"Text1"}) {
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageW(GetParent(Ctl(name)), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc.get()),
                 reinterpret_cast<LPARAM>(Ctl(name)));
    EXPECT_EQ(GetTextColor(dc) == GetSysColor(COLOR_GRAYTEXT), std::wstring(name) == L"Text2");
  }
}

TEST_F(MainWindowLayoutTest, WindowIconHasSeveralSizes) {
  EXPECT_NE(GetClassLongPtrW(form_->hWnd(), GCLP_HICON), 0);
  EXPECT_NE(GetClassLongPtrW(form_->hWnd(), GCLP_HICONSM), 0);
  HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(IDI_TARNWICK), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group)));
  const WORD count = *reinterpret_cast<const WORD*>(data + 4);
  std::vector<int> widths;
  for (WORD i = 0; i < count; ++i) widths.push_back(data[6 + 14 * i] ? data[6 + 14 * i] : 256);
  std::sort(widths.begin(), widths.end());
  EXPECT_EQ(widths, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 256}));
}

TEST_F(MainWindowLayoutTest, FramesStartWithTheDefaultColourAndTheHostSavesChanges) {
  for (const wchar_t* name : {L"iFrame1", L"iFrame3", L"iFrame4", L"iFrame5"}) {
    controls::iFrame* frame = form_->Frame(name);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->BackColor(), controls::kDefaultBackColor);
    EXPECT_TRUE(form_->FrameDescription(name).Empty());
  }
  controls::iFrame* frame = form_->Frame(L"iFrame4");
  frame->BackColor(0x00FFEEDD);
  EXPECT_EQ(form_->FrameDescription(L"iFrame4").ReadProperty(L"BackColor", -1), 0x00FFEEDD);
  frame->BackColor(controls::kDefaultBackColor);
  EXPECT_FALSE(form_->FrameDescription(L"iFrame4").Contains(L"BackColor"));
}

}  // namespace
}  // namespace tarnwick::app
