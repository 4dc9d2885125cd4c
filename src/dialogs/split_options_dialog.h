// The 切分选项 dialog: how the window's job cuts the source, the header, the exact copy of
// the lines, the file names, and what happens to files that exist already. A modal dialog
// box laid out from twips at its owner's DPI in the window's font, skinned like the window.
#pragma once

#include <windows.h>

#include <string>

#include "dialogs/split_settings.h"

namespace tarnwick::dialogs {

inline constexpr wchar_t kSplitOptionsTitle[] = L"切分选项";

// The dialog's controls (IDOK and IDCANCEL are 确定 and 取消).
enum SplitOptionsControl : int {
  kByLinesOption = 101,
  kBySizeOption,
  kByPartsOption,
  kSizeBox,
  kSizeUnitList,
  kPartsBox,
  kHeaderCheck,
  kHeaderLinesBox,
  kKeepCheck,
  kNamePatternBox,
  kFirstNumberBox,
  kNameExample,
  kAppendOption,
  kReplaceOption,
  kDefaultsButton,
};

// The colour of the example line while it shows why the pattern cannot be used.
inline constexpr COLORREF kFaultColor = RGB(255, 0, 0);

struct SplitOptionsRequest {
  HWND owner = nullptr;
  int dpi = 96;              // the owner's DPI: the dialog is laid out for it
  std::wstring source_path;  // for {stem} and {ext} in the example names
  bool read_only = false;    // a job runs: the options can be seen, not changed
};

// Shows the dialog until it is closed. True when the user confirmed valid options, which
// are then in `settings`; otherwise `settings` is unchanged.
bool ShowSplitOptionsDialog(const SplitOptionsRequest& request, SplitSettings& settings);

}  // namespace tarnwick::dialogs
