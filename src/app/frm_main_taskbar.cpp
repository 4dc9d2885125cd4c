// frmMain's taskbar button during a job: the bytes read out of the source's size as the
// button's progress, the error state when the job fails, and a flash when a job ends while
// the user works in another window.
#include <algorithm>

#include "app/frm_main.h"

namespace tarnwick::app {

namespace {

using platform::TaskbarProgress;

// The button shows the job's progress at most this often (from the job's message pump).
constexpr ULONGLONG kTaskbarIntervalMs = 250;

}  // namespace

platform::TaskbarButton& frmMain::Taskbar() {
  if (options_.taskbar) return *options_.taskbar;
  if (!system_taskbar_) system_taskbar_ = platform::CreateSystemTaskbarButton();
  return *system_taskbar_;
}

void frmMain::BeginTaskbarProgress() {
  taskbar_state_ = TaskbarProgress::kNone;
  taskbar_updated_ = 0;
}

void frmMain::ShowTaskbarProgress() {
  if (!hwnd_) return;
  const ULONGLONG now = GetTickCount64();
  if (taskbar_updated_ != 0 && now - taskbar_updated_ < kTaskbarIntervalMs) return;
  taskbar_updated_ = now;
  const bool sized = progress_.source_size > 0;
  const TaskbarProgress state = sized ? TaskbarProgress::kNormal : TaskbarProgress::kIndeterminate;
  if (state != taskbar_state_) {
    taskbar_state_ = state;
    Taskbar().SetProgressState(hwnd_, state);
  }
  if (sized) {
    // A source that grows while it is read must not show more than the whole.
    const auto total = static_cast<std::uint64_t>(progress_.source_size);
    Taskbar().SetProgressValue(hwnd_, std::min(progress_.bytes_read, total), total);
  }
}

void frmMain::EndTaskbarProgress(JobEnd end) {
  if (!hwnd_) return;
  if (end == JobEnd::kFailed) {
    // The bar turns red where the job stopped; a job that read nothing shows a full one,
    // so that the error is seen at all.
    const bool sized = progress_.source_size > 0 && progress_.bytes_read > 0;
    const auto total = sized ? static_cast<std::uint64_t>(progress_.source_size) : 1;
    Taskbar().SetProgressValue(hwnd_, sized ? std::min(progress_.bytes_read, total) : 1, total);
    taskbar_state_ = TaskbarProgress::kError;
    Taskbar().SetProgressState(hwnd_, TaskbarProgress::kError);
  } else {
    ClearTaskbarProgress();
  }
  // A window that is being closed asks for nothing.
  if (end != JobEnd::kStopped && !close_requested_ && !InForeground()) {
    Taskbar().FlashUntilForeground(hwnd_);
  }
}

void frmMain::ClearTaskbarProgress() {
  if (!hwnd_) return;
  taskbar_state_ = TaskbarProgress::kNone;
  Taskbar().SetProgressState(hwnd_, TaskbarProgress::kNone);
}

// The window, or a window it owns (a message box, a dialog), is the foreground window and
// the user sees it: a hidden or minimized window can still be the active one.
bool frmMain::InForeground() const {
  if (!IsWindowVisible(hwnd_) || IsIconic(hwnd_)) return false;
  HWND foreground = GetForegroundWindow();
  return foreground && (foreground == hwnd_ || GetAncestor(foreground, GA_ROOTOWNER) == hwnd_);
}

}  // namespace tarnwick::app
