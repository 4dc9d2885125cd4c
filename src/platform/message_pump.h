// Message processing: the program's message loop and the cheap pump a long job calls
// between its lines.
#pragma once

#include <windows.h>

namespace tarnwick::platform {

// Hands one message to its window: the keyboard shortcuts of `dialog_window` first (its
// `accelerators`, for keys pressed in it or its controls), then its keyboard navigation
// (Tab, arrow keys between its controls), otherwise translated and dispatched.
void DispatchOne(HWND dialog_window, MSG& message, HACCEL accelerators = nullptr);

// Runs the message loop until WM_QUIT; returns its exit code.
int RunMessageLoop(HWND dialog_window, HACCEL accelerators = nullptr);

// Processes all pending messages, but at most once per `interval_ms` of wall time: a call
// in between costs one tick-count read and returns at once. A WM_QUIT taken from the queue
// is remembered (QuitReceived) so that the owner can stop its work and post it again.
class ThrottledPump {
 public:
  explicit ThrottledPump(HWND dialog_window, ULONGLONG interval_ms = 10,
                         HACCEL accelerators = nullptr)
      : dialog_window_(dialog_window), interval_ms_(interval_ms), accelerators_(accelerators) {}

  // Processes every pending message if the interval has passed since the last pass;
  // true when it did.
  bool Pump() {
    const ULONGLONG now = GetTickCount64();
    if (now - last_pass_ < interval_ms_) return false;
    last_pass_ = now;
    PumpNow();
    return true;
  }

  // Processes every pending message now.
  void PumpNow();

  bool QuitReceived() const { return quit_received_; }

  // Posts the remembered WM_QUIT again (after the work that pumped has ended).
  void RepostQuit();

 private:
  HWND dialog_window_;
  ULONGLONG interval_ms_;
  HACCEL accelerators_;
  ULONGLONG last_pass_ = 0;
  bool quit_received_ = false;
  int quit_code_ = 0;
};

}  // namespace tarnwick::platform
