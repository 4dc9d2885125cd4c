// frmMain: the program's only window. It is created from the layout table, raises the
// events of its controls as the handlers below, and is the split job's host.
//
// The skin engine hooks in at three places, all in frm_main_handlers.cpp: Form_Load (first
// action), Form_Unload (only action) and SetCommand2Caption (around the caption change).
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/layout.h"
#include "controls/iframe.h"
#include "dialogs/split_settings.h"
#include "platform/message_pump.h"
#include "platform/gdi_guards.h"
#include "platform/property_bag.h"
#include "platform/taskbar_button.h"
#include "splitter/split_job.h"

namespace tarnwick::app {

inline constexpr wchar_t kFormClassName[] = L"Form";
inline constexpr wchar_t kSettingsApplication[] = L"Tarnwick";
inline constexpr wchar_t kSettingsSection[] = L"设置";
inline constexpr wchar_t kLinesPerFileKey[] = L"每个文件行数";
inline constexpr wchar_t kStartCaption[] = L"开始处理";
inline constexpr wchar_t kStopCaption[] = L"停止";
// The 切分选项 dialog's command: an item of the system menu and of the context menu of the
// client area, and Ctrl+O. Below the system's own commands, its low four bits clear.
inline constexpr UINT kSplitOptionsCommand = 0x0110;
inline constexpr wchar_t kSplitOptionsItem[] = L"切分选项…(&O)\tCtrl+O";

struct FormOptions {
  // Application name under which the settings store keeps "设置\每个文件行数".
  std::wstring settings_application = kSettingsApplication;
  // Starts a program by its full path with a command line (the home-page link); the
  // platform's command start by default.
  std::function<bool(const std::wstring& application, const std::wstring& command_line)>
      start_command;
  // Post WM_QUIT when the window is destroyed (the program's window does).
  bool quit_on_destroy = true;
  // The files the job reads and writes; null for the system's.
  FileSystem* file_system = nullptr;
  // The window's taskbar button (job progress, flash at the end); null for the system's.
  platform::TaskbarButton* taskbar = nullptr;
  // Called just before the engine's job begins (true) and as it ends (false), before the
  // window's steps at its end, whatever way it ends: times the job apart from those steps.
  std::function<void(bool begins)> job_observer;
};

class frmMain final : private SplitHost {
 public:
  // Creates the window and its controls (hidden), then runs Form_Load. Null on failure.
  static std::unique_ptr<frmMain> Create(const FormOptions& options = {});
  ~frmMain() override;
  frmMain(const frmMain&) = delete;
  frmMain& operator=(const frmMain&) = delete;

  HWND hWnd() const { return hwnd_; }
  // A control's window by its layout name; null for Timer1 and unknown names.
  HWND Control(std::wstring_view name) const;
  controls::iFrame* Frame(std::wstring_view name) const;

  bool Timer1Enabled() const { return timer1_enabled_; }
  bool JobRunning() const { return job_running_; }
  bool bStopRequested() const { return stop_requested_; }
  // The stored description of a frame (its saved properties).
  const platform::PropertyBag& FrameDescription(std::wstring_view name) const;

  // The DPI the window is laid out for, and the font, icons and link cursor made for it.
  int Dpi() const { return dpi_; }
  HFONT Font() const;
  HICON Icon(bool big) const { return big ? big_icon_.get() : small_icon_.get(); }
  HCURSOR LinkCursor() const { return link_cursor_.get(); }
  // The window's keyboard shortcuts, for the message loops that run while it is open.
  HACCEL Accelerators() const { return accelerators_.get(); }

  // The paths the program was started with (from Explorer: a file dropped on its icon, the
  // Send To menu): a file becomes the source, its folder the output folder when that box is
  // empty; a folder becomes the output folder; a path that does not exist is shown in a
  // message.
  void OpenPaths(const std::vector<std::wstring>& paths);

 private:
  explicit frmMain(const FormOptions& options);

  // ---- Handlers (frm_main_handlers.cpp) ----
  void Form_Load();
  void Form_Unload();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Text1_Change();
  void Timer1_Timer();
  void Label7_Change();
  void Label8_Click();
  void StartJob();
  void RunJob();
  void StopJob();
  void EndFailedJob(const std::wstring& message);
  // Every caption change of Command2 goes through here (skin hook point).
  void SetCommand2Caption(const std::wstring& caption);
  void EndJobCounters();
  void ShowLineTotal();
  void DropFiles(HDROP drop);
  // Fills the path boxes from the paths that exist (the first file, the first folder);
  // returns those that do not.
  std::vector<std::wstring> TakePaths(const std::vector<std::wstring>& paths,
                                      bool folder_from_file);
  // The 切分选项 dialog; confirmed options are stored and apply from the next job.
  void OpenSplitOptions();
  // The lines-per-file box greyed unless the job cuts by lines, and Label3's sentence.
  void ApplySplitSettings();
  // Label3 says what the next job will do, in at most two lines inside iFrame4.
  void ShowSplitSummary();

  // ---- SplitHost ----
  std::string SourcePath() override;
  std::string OutputFolder() override;
  double LinesPerFile() override { return text1_value_; }
  bool StopRequested() override { return stop_requested_; }
  // Cut by size or into parts the job asks for no lines per file: it reads the stop flag
  // itself and pumps once per block rather than after every line, which a sub-second job
  // would feel. Cut by lines it asks for N after every written line (edits of Text1 apply
  // at once), so it keeps the per-line calls. The files are the same either way.
  const std::atomic<bool>* FixedSettingsStopFlag() override {
    return split_settings_.cut_by == CutBy::kLines ? nullptr : &stop_requested_;
  }
  void PumpMessages() override;
  void JobStarted() override;
  void JobFinished() override;
  void JobStopped() override;
  void JobFailed(const SplitError& error) override;
  void SetJobControl(SplitJobControl* control) override { job_control_ = control; }

  // ---- Window host (frm_main.cpp) ----
  static bool RegisterWindowClass();
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls(const std::wstring& container, HWND parent);
  HWND CreateControl(const ControlEntry& entry, HWND parent, int id);
  void OnCommand(int id, int code);
  // A right click in the client area: the context menu. False outside it (the title bar's
  // system menu is the system's).
  bool OnContextMenu(LPARAM lParam);
  LRESULT OnLabelColor(HDC hdc, HWND label);
  LRESULT OnEditColor(HDC hdc, HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
  bool OnSetCursor(HWND target, UINT hit_test);
  void OnClose();
  BOOL OnQueryEndSession();
  void OnEndSession(bool ending, LPARAM reason);

  // ---- DPI (frm_main_dpi.cpp) ----
  // A control's rectangle in pixels at the window's DPI, from its twips.
  RECT ControlBounds(const ControlEntry& entry) const;
  // The window's outer size for its client area at `dpi`.
  SIZE OuterSize(int dpi) const;
  // Takes the DPI of the window's monitor: its font, icons and link cursor.
  void UseDpi(int dpi);
  // Icons and the link cursor at the window's DPI.
  void LoadDpiImages();
  // Every control moved and sized from its twips, in the current font; labels sized.
  void LayoutControls();
  void OnDpiChanged(int dpi, const RECT* suggested);

  // ---- Taskbar button (frm_main_taskbar.cpp) ----
  enum class JobEnd { kFinished, kFailed, kStopped };
  platform::TaskbarButton& Taskbar();
  // Forgets what the button showed for the last job.
  void BeginTaskbarProgress();
  // The job's progress on the button, at most a few times a second.
  void ShowTaskbarProgress();
  // The job's end: the error state for a failed job, no progress otherwise; the button
  // flashes when a finished or failed job ends while the window is in the background.
  void EndTaskbarProgress(JobEnd end);
  void ClearTaskbarProgress();
  bool InForeground() const;

  // Text or caption of a control by name (empty for unknown names).
  std::wstring GetText(std::wstring_view name) const;
  // Sets a control's text (a text box raises its change event).
  void SetText(std::wstring_view name, const std::wstring& text);
  // Sets a label's caption, sizes the label to it and raises the label's change event.
  void SetLabelCaption(std::wstring_view name, const std::wstring& caption);
  // Sizes a label to its caption (lines separated by '\n') in the default font.
  void AutoSizeLabel(HWND label);
  // Timer1's enabled flag: a 1000 ms window timer of the form while on.
  void SetTimer1Enabled(bool enabled);
  // A modal message box owned by the form, OK only, error or information icon.
  void ShowMessage(const std::wstring& text, const std::wstring& title, bool error);
  // Twips to pixels at the window's DPI.
  int Pixels(int twips) const;

  FormOptions options_;
  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  platform::OwnedFont dpi_font_;  // null at the system DPI: the shared default font is used
  platform::ScopedIcon big_icon_;
  platform::ScopedIcon small_icon_;
  platform::ScopedCursor link_cursor_;
  platform::ScopedAccelerators accelerators_;
  std::unique_ptr<platform::TaskbarButton> system_taskbar_;
  platform::TaskbarProgress taskbar_state_ = platform::TaskbarProgress::kNone;
  ULONGLONG taskbar_updated_ = 0;
  std::map<std::wstring, HWND, std::less<>> controls_;
  std::map<std::wstring, platform::PropertyBag, std::less<>> frame_descriptions_;
  HWND last_focus_ = nullptr;

  // Window state of the controller.
  std::atomic<bool> stop_requested_ = false;  // bStopRequested
  double text1_value_ = 0;                    // numeric value of Text1, kept by Text1_Change
  bool timer1_enabled_ = false;
  bool job_running_ = false;
  bool close_requested_ = false;            // the window closes when the running job has returned
  bool label7_aligned_ = false;             // Label7 has been right-aligned by a caption change
  bool session_ending_ = false;             // the user's session ends: no more message boxes
  bool in_pump_ = false;                    // the job is inside PumpMessages, below on the stack
  bool options_open_ = false;               // the 切分选项 dialog is open
  dialogs::SplitSettings split_settings_;   // the options of the next job
  SplitJobControl* job_control_ = nullptr;  // the running job's, while it runs
  SplitProgress progress_;
  platform::ThrottledPump* pump_ = nullptr;
};

}  // namespace tarnwick::app
