// The main window as built from its layout table: classes, containers, rectangles in pixels
// at 96 DPI, tab order, font, colours, icon, and the saved properties of its frames.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
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

class MainWindowLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(platform::SystemDpi(), 96) << "the expected pixels assume 96 DPI";
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

  const std::wstring settings_ = L"TarnwickLayoutTest" + std::to_wstring(GetCurrentProcessId());
  std::unique_ptr<frmMain> form_;
};

int Px(int twips) {
  return (twips * 2 + 15) / 30;
}  // twips at 96 DPI, rounded

TEST_F(MainWindowLayoutTest, EveryControlSitsInItsContainerAtItsPlace) {
  std::wstring form_class = ClassName(form_->hWnd());
  std::transform(form_class.begin(), form_class.end(), form_class.begin(), ::towlower);
  EXPECT_EQ(form_class, L"form");
  EXPECT_EQ(WindowText(form_->hWnd()), std::wstring(L"Tarnwick  ") + maker::kTitleContact);

  int checked = 0;
  for (const ControlEntry& entry : MainWindowLayout()) {
    SCOPED_TRACE(platform::WideToUtf8(entry.name));
    HWND hwnd = Ctl(entry.name);
    if (entry.type == ControlType::kTimer) {
      EXPECT_EQ(hwnd, nullptr);
      continue;
    }
    ASSERT_NE(hwnd, nullptr);
    HWND container = *entry.container ? Ctl(entry.container) : form_->hWnd();
    EXPECT_EQ(GetParent(hwnd), container);
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    const LONG ex_style = GetWindowLongW(hwnd, GWL_EXSTYLE);
    switch (entry.type) {
      case ControlType::kCommandButton:
        EXPECT_EQ(ClassName(hwnd), L"Button");
        break;
      case ControlType::kTextBox:
        EXPECT_EQ(ClassName(hwnd), L"Edit");
        EXPECT_TRUE(ex_style & WS_EX_CLIENTEDGE);
        EXPECT_FALSE(style & ES_READONLY);
        EXPECT_EQ((style & ES_CENTER) != 0, std::wstring(entry.name) == L"Text1");
        break;
      case ControlType::kLabel:
        EXPECT_EQ(ClassName(hwnd), L"Static");
        EXPECT_EQ((style & SS_NOTIFY) != 0, std::wstring(entry.name) == L"Label8");
        break;
      case ControlType::kFrame:
        EXPECT_EQ(ClassName(hwnd), L"iFrame");
        break;
      case ControlType::kTimer:
        break;
    }
    if (entry.type != ControlType::kTextBox) {  // Text1 is filled in at load
      EXPECT_EQ(WindowText(hwnd), entry.caption);
    }
    const RECT rect = RectInParent(hwnd);
    EXPECT_EQ(rect.left, Px(entry.left));
    EXPECT_EQ(rect.top, Px(entry.top));
    if (entry.type == ControlType::kLabel) {  // sized to the caption
      const SIZE text = platform::MeasureText(entry.caption, lstrlenW(entry.caption));
      EXPECT_EQ(rect.right - rect.left, text.cx);
      EXPECT_EQ(rect.bottom - rect.top, text.cy);
    } else {
      EXPECT_EQ(rect.right - rect.left, Px(entry.width));
      EXPECT_EQ(rect.bottom - rect.top, Px(entry.height));
    }
    if (entry.type != ControlType::kFrame) {
      EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)),
                platform::DefaultUiFont());
    }
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

TEST_F(MainWindowLayoutTest, WindowIsAFixedCentredClientOf568By256WithAMinimizeBox) {
  RECT client{};
  GetClientRect(form_->hWnd(), &client);
  EXPECT_EQ(client.right, 568);
  EXPECT_EQ(client.bottom, 256);
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
  // Within each container the z-order of the controls is their tab order.
  for (const wchar_t* container : {L"", L"iFrame1", L"iFrame3", L"iFrame4", L"iFrame5"}) {
    HWND parent = *container ? Ctl(container) : form_->hWnd();
    int previous = -1;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      const auto entry = std::find_if(MainWindowLayout().begin(), MainWindowLayout().end(),
                                      [&](const ControlEntry& s) { return Ctl(s.name) == child; });
      ASSERT_NE(entry, MainWindowLayout().end());
      EXPECT_GT(entry->tab_index, previous) << platform::WideToUtf8(entry->name);
      previous = entry->tab_index;
    }
  }
  // Keyboard navigation over the buttons and boxes.
  const std::vector<std::wstring> expected = {L"Command1", L"Text4",    L"Text1",   L"Text2",
                                              L"Command3", L"Command2", L"Command1"};
  std::vector<std::wstring> visited;
  HWND current = Ctl(L"Command1");
  visited.push_back(L"Command1");
  for (std::size_t i = 1; i < expected.size(); ++i) {
    current = GetNextDlgTabItem(form_->hWnd(), current, FALSE);
    const auto entry = std::find_if(MainWindowLayout().begin(), MainWindowLayout().end(),
                                    [&](const ControlEntry& s) { return Ctl(s.name) == current; });
    visited.push_back(entry == MainWindowLayout().end() ? L"?" : entry->name);
  }
  EXPECT_EQ(visited, expected);
}

TEST_F(MainWindowLayoutTest, ControlsShareTheNinePointChineseDefaultFont) {
  HFONT font = platform::DefaultUiFont();
  EXPECT_EQ(font, platform::DefaultUiFont());  // created once
  LOGFONTW logfont{};
  ASSERT_TRUE(GetObjectW(font, sizeof(logfont), &logfont));
  EXPECT_EQ(logfont.lfHeight, -12);
  EXPECT_EQ(logfont.lfCharSet, GB2312_CHARSET);
  EXPECT_STREQ(logfont.lfFaceName, L"宋体");
  // Chinese characters have 12-pixel cells; an empty caption keeps the line height.
  EXPECT_EQ(platform::MeasureText(L"选择目录", 4).cx, 48);
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
  EXPECT_EQ(widths, (std::vector<int>{16, 24, 32, 48}));
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
