#include "platform/message_pump.h"

namespace tarnwick::platform {

void DispatchOne(HWND dialog_window, MSG& message, HACCEL accelerators) {
  if (dialog_window && IsWindow(dialog_window)) {
    const bool in_window = message.hwnd == dialog_window || IsChild(dialog_window, message.hwnd);
    if (accelerators && in_window && TranslateAcceleratorW(dialog_window, accelerators, &message)) {
      return;
    }
    if (IsDialogMessageW(dialog_window, &message)) return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

int RunMessageLoop(HWND dialog_window, HACCEL accelerators) {
  MSG message;
  for (;;) {
    const BOOL result = GetMessageW(&message, nullptr, 0, 0);
    if (result == 0) return static_cast<int>(message.wParam);
    if (result == -1) return -1;
    DispatchOne(dialog_window, message, accelerators);
  }
}

void ThrottledPump::PumpNow() {
  MSG message;
  while (!quit_received_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit_received_ = true;
      quit_code_ = static_cast<int>(message.wParam);
      break;
    }
    DispatchOne(dialog_window_, message, accelerators_);
  }
}

void ThrottledPump::RepostQuit() {
  if (!quit_received_) return;
  quit_received_ = false;
  PostQuitMessage(quit_code_);
}

}  // namespace tarnwick::platform
