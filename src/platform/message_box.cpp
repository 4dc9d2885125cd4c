#include "platform/message_box.h"

namespace tarnwick::platform {

void ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& title,
                    MessageIcon icon) {
  MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | static_cast<UINT>(icon));
}

}  // namespace tarnwick::platform
