// Test helpers that drive real windows under Wine: typing and clicking through messages,
// answering modal dialogs (message boxes, file dialogs) from a thread timer while the code
// under test waits in their modal loop, actions scheduled into a running message loop,
// and temporary folders.
#pragma once

#include <windows.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tarnwick::testing {

enum class DialogIcon { kNone, kError, kInformation, kOther };

// What a modal dialog of this thread showed.
struct SeenDialog {
  std::wstring title;
  std::wstring text;  // a message box's text (empty for other dialogs)
  DialogIcon icon = DialogIcon::kNone;
};

SeenDialog DescribeDialog(HWND dialog);

// Answers every dialog (class "#32770") of this thread that becomes visible, one at a time
// and in order, with the queued answers; with none queued it presses OK. Records each one.
class DialogResponder {
 public:
  // Acts on the dialog (a button pressed, a text typed ...).
  using Answer = std::function<void(HWND dialog)>;

  DialogResponder();
  ~DialogResponder();
  DialogResponder(const DialogResponder&) = delete;
  DialogResponder& operator=(const DialogResponder&) = delete;

  void Queue(Answer answer) { answers_.push_back(std::move(answer)); }
  const std::vector<SeenDialog>& Seen() const { return seen_; }

  static Answer PressOk();
  static Answer PressCancel();

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  void Poll();

  UINT_PTR timer_ = 0;
  HWND answered_ = nullptr;
  std::deque<Answer> answers_;
  std::vector<SeenDialog> seen_;
};

// Runs `action` once, from the message loop of this thread, after `delay`.
class ScheduledAction {
 public:
  ScheduledAction(std::chrono::milliseconds delay, std::function<void()> action);
  ~ScheduledAction();
  ScheduledAction(const ScheduledAction&) = delete;
  ScheduledAction& operator=(const ScheduledAction&) = delete;
  bool Ran() const { return ran_; }

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  UINT_PTR timer_ = 0;
  std::function<void()> action_;
  bool ran_ = false;
};

// In a folder picker (SHBrowseForFolder), selects the folder of the system drive's root
// ("C:\") in its tree, expanding the items on the way. False when no such item was found.
bool SelectDriveRootInPicker(HWND picker, wchar_t drive = L'C');

// Processes this thread's messages for `duration`.
void PumpFor(std::chrono::milliseconds duration);

std::wstring WindowText(HWND hwnd);
void TypeText(HWND hwnd, const std::wstring& text);  // WM_SETTEXT
void Click(HWND button);                             // BM_CLICK
std::wstring ClassName(HWND hwnd);
// The window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND hwnd);

// A fresh folder under the system's temporary folder, removed with its content at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::wstring& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace tarnwick::testing
