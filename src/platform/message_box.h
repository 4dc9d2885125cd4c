// Modal message boxes with an OK button only.
#pragma once

#include <windows.h>

#include <string>

namespace tarnwick::platform {

// Icons of the program's message boxes.
enum class MessageIcon : UINT {
  kError = MB_ICONERROR,              // 16
  kInformation = MB_ICONINFORMATION,  // 64
};

// Shows a modal message box owned by `owner`, with an OK button only; returns when closed.
void ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& title,
                    MessageIcon icon);

}  // namespace tarnwick::platform
