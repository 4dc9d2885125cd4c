// The window's taskbar button: the progress shown on it and the flash that asks for the
// user's attention. An interface, so that the window's use of it can be recorded; the
// system's one wraps ITaskbarList3 and FlashWindowEx.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

namespace tarnwick::platform {

// The states of ITaskbarList3::SetProgressState.
enum class TaskbarProgress { kNone, kIndeterminate, kNormal, kError, kPaused };

class TaskbarButton {
 public:
  virtual ~TaskbarButton() = default;
  virtual void SetProgressState(HWND window, TaskbarProgress state) = 0;
  // `completed` of `total`; shows the normal state when none or indeterminate was shown.
  virtual void SetProgressValue(HWND window, std::uint64_t completed, std::uint64_t total) = 0;
  // Flashes the button until the window comes to the foreground.
  virtual void FlashUntilForeground(HWND window) = 0;
  // The shell has made the window's button (again, after a restart of the shell).
  virtual void ButtonCreated() {}
};

// The system's taskbar button. The taskbar list object is made on first use (after
// "TaskbarButtonCreated" again); where it is missing (older systems, no shell, no COM on the
// thread), progress calls do nothing. The thread must stay in the apartment it made it in.
std::unique_ptr<TaskbarButton> CreateSystemTaskbarButton();

// The message the shell sends a window when its taskbar button exists.
UINT TaskbarButtonCreatedMessage();

}  // namespace tarnwick::platform
