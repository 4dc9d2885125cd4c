// Passing a message on to a skinned window's previous procedure, with a record of it.
// SkinWindowProc keeps one frame per message it dispatches; PassOn notes in that frame that
// the previous procedure has run and what it returned, so that when a skin step fails the
// dispatcher knows whether the control's own behaviour still has to run.
#pragma once

#include <windows.h>

namespace modSkinner::detail {

// The message being dispatched by the innermost SkinWindowProc call on this thread.
struct DispatchFrame {
  HWND Window = nullptr;
  UINT Message = 0;
  bool PreviousRan = false;
  LRESULT PreviousResult = 0;
  DispatchFrame* Outer = nullptr;
};

// Pushes a frame for the lifetime of the object (one per SkinWindowProc call).
class ScopedDispatchFrame {
 public:
  ScopedDispatchFrame(HWND hwnd, UINT message);
  ~ScopedDispatchFrame();
  ScopedDispatchFrame(const ScopedDispatchFrame&) = delete;
  ScopedDispatchFrame& operator=(const ScopedDispatchFrame&) = delete;
  const DispatchFrame& Frame() const { return frame_; }

 private:
  DispatchFrame frame_;
};

// CallWindowProcW with the unchanged message; marks the current frame when it matches.
LRESULT PassOn(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The address of a zero, for the messages whose lParam is sent that way.
LPARAM AddressOfZero();

}  // namespace modSkinner::detail
