// Engine state, classification of windows by class name, and the window-property helpers.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

#include "skin/skin_engine.h"
#include "skin_test_support.h"

namespace {

using modSkinner::ControlKind;
using skin_painter_test::RegisterPlainClass;

struct ClassCase {
  const wchar_t* registeredName;  // as registered, mixed case on purpose
  ControlKind expected;
};

// Every class name of the table, registered with mixed case to prove case folding, plus the
// grid prefix and names that must not match.
const std::vector<ClassCase>& RegisteredCases() {
  static const std::vector<ClassCase> cases = {
      {L"ThunderFormDC", ControlKind::KindContainer},
      {L"ThunderRT6FormDC", ControlKind::KindContainer},
      {L"Form", ControlKind::KindContainer},
      {L"ThunderCommandButton", ControlKind::KindButton},
      {L"ThunderRT6CommandButton", ControlKind::KindButton},
      {L"ThunderComboBox", ControlKind::KindCombo},
      {L"ThunderRT6ComboBox", ControlKind::KindCombo},
      {L"Combo", ControlKind::KindCombo},
      {L"ThunderDriveListBox", ControlKind::KindDriveList},
      {L"ThunderRT6DriveListBox", ControlKind::KindDriveList},
      {L"ThunderCheckBox", ControlKind::KindCheck},
      {L"ThunderRT6CheckBox", ControlKind::KindCheck},
      {L"ThunderOptionButton", ControlKind::KindOption},
      {L"ThunderRT6OptionButton", ControlKind::KindOption},
      {L"ProgressBar20WndClass", ControlKind::KindProgress},
      {L"ProgressBarWndClass", ControlKind::KindProgress},
      {L"MSVB_LIB_HEADER", ControlKind::KindHeader},
      {L"DataListWndClass", ControlKind::KindDataList},
      {L"DBListWndClass", ControlKind::KindDataList},
      {L"ApexGridOleDB32", ControlKind::KindGrid},
      {L"APEXGRID", ControlKind::KindGrid},
      {L"XApexGrid", ControlKind::KindOther},
      {L"ThunderRT6CommandButtonX", ControlKind::KindOther},
      {L"ThunderRT6TextBox", ControlKind::KindOther},
      {L"iFrame", ControlKind::KindOther},
  };
  return cases;
}

// System classes of the table, created as they come.
const std::vector<ClassCase>& SystemCases() {
  static const std::vector<ClassCase> cases = {
      {L"#32770", ControlKind::KindContainer},   {L"Button", ControlKind::KindButton},
      {L"ComboBox", ControlKind::KindCombo},     {L"ComboLBox", ControlKind::KindDropList},
      {L"SysHeader32", ControlKind::KindHeader}, {L"Edit", ControlKind::KindOther},
      {L"Static", ControlKind::KindOther},       {L"ListBox", ControlKind::KindOther},
  };
  return cases;
}

HWND CreateOfClass(const wchar_t* name) {
  return CreateWindowExW(0, name, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

TEST(ClassifyWindow, EveryTableRowCaseFoldedWithGridPrefix) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  std::vector<ClassCase> cases = RegisteredCases();
  for (const ClassCase& c : cases) RegisterPlainClass(c.registeredName);
  cases.insert(cases.end(), SystemCases().begin(), SystemCases().end());
  for (std::size_t index = 0; index < cases.size(); ++index) {
    const ClassCase& c = cases[index];
    HWND hwnd = CreateOfClass(c.registeredName);
    ASSERT_NE(hwnd, nullptr) << "class index " << index;
    EXPECT_EQ(modSkinner::ClassifyWindow(hwnd), c.expected) << "class index " << index;
    DestroyWindow(hwnd);
  }
}

TEST(ClassifyWindow, UnreadableClassNameIsOther) {
  HWND gone = CreateOfClass(L"Static");
  DestroyWindow(gone);
  EXPECT_EQ(modSkinner::ClassifyWindow(gone), ControlKind::KindOther);
  EXPECT_EQ(modSkinner::ClassifyWindow(nullptr), ControlKind::KindOther);
}

TEST(SkinProperties, AbsentReadsZeroAndPointerSizedValuesRoundTrip) {
  HWND hwnd = CreateOfClass(L"Static");
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(modSkinner::GetSkinProp(hwnd, modSkinner::prop::HDINDEX), 0);

  modSkinner::SetSkinProp(hwnd, modSkinner::prop::HDINDEX, -1);
  modSkinner::SetSkinProp(hwnd, modSkinner::prop::HMINDEX, -2);
  const LONG_PTR wide = static_cast<LONG_PTR>(0x123456789ABCLL);
  modSkinner::SetSkinProp(hwnd, modSkinner::prop::HDC_[3], wide);
  EXPECT_EQ(modSkinner::GetSkinProp(hwnd, modSkinner::prop::HDINDEX), -1);
  EXPECT_EQ(modSkinner::GetSkinProp(hwnd, modSkinner::prop::HMINDEX), -2);
  EXPECT_EQ(modSkinner::GetSkinProp(hwnd, modSkinner::prop::HDC_[3]), wide);
  // The value is stored under the plain upper-case name, visible to anyone who asks.
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetPropW(hwnd, L"HDC3")), wide);

  modSkinner::RemoveSkinProp(hwnd, modSkinner::prop::HDINDEX);
  modSkinner::RemoveSkinProp(hwnd, modSkinner::prop::HDINDEX);  // absent: no effect
  EXPECT_EQ(modSkinner::GetSkinProp(hwnd, modSkinner::prop::HDINDEX), 0);
  EXPECT_EQ(GetPropW(hwnd, L"HDINDEX"), nullptr);
  EXPECT_EQ(modSkinner::GetSkinProp(hwnd, modSkinner::prop::HMINDEX), -2);
  modSkinner::RemoveSkinProp(hwnd, modSkinner::prop::HMINDEX);
  modSkinner::RemoveSkinProp(hwnd, modSkinner::prop::HDC_[3]);
  DestroyWindow(hwnd);
}

}  // namespace
