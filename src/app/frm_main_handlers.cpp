// frmMain's event handlers and the split job's actions on the window.
//
// Skin engine hook points (the only three):
//   Form_Load          - SkinForm(hWnd) as its first action;
//   Form_Unload        - UnskinForm(hWnd) as its only action;
//   SetCommand2Caption - UnskinForm before and SkinForm after the caption change.

#include "app/frm_main.h"

#include <new>

#include "app/maker_texts.h"
#include "dialogs/file_dialog.h"
#include "dialogs/folder_browser.h"
#include "dialogs/split_options_dialog.h"
#include "platform/command_start.h"
#include "platform/settings_store.h"
#include "platform/text_convert.h"
#include "platform/ui_metrics.h"
#include "skin/skin_engine.h"
#include "splitter/text_value.h"

#include <algorithm>
#include <filesystem>

namespace tarnwick::app {

namespace {

constexpr wchar_t kErrorTitle[] = L"错误";
constexpr wchar_t kNoticeTitle[] = L"提示";
constexpr wchar_t kLineTotalPrefix[] = L"总共处理行数：";
constexpr wchar_t kSecondsSuffix[] = L" 秒";
constexpr DWORD kOfnFileMustExist = 0x1000;

// Numeric value of a window text (the number at its start, 0 when none).
double NumericValueOf(const std::wstring& text) {
  return NumericValue(platform::WideToUtf8(text));
}

// A number as the window shows it: plain decimal, whole numbers without a point.
std::wstring RenderNumberW(double value) {
  return platform::Utf8ToWide(RenderNumber(value));
}

// The text without the plain spaces at both ends.
std::wstring TrimSpacesW(const std::wstring& text) {
  const std::size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return L"";
  return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

// The message for an error of the job: what failed and the file, then the system's reason.
std::wstring DescribeSplitError(const SplitError& error) {
  const wchar_t* prefix = L"";
  switch (error.kind) {
    case SplitErrorKind::kSourceOpen:
      prefix = L"无法打开源文件：";
      break;
    case SplitErrorKind::kSourceRead:
      prefix = L"读取源文件失败：";
      break;
    case SplitErrorKind::kOutputWrite:
      prefix = L"无法写入输出文件：";
      break;
    case SplitErrorKind::kOutputIsSource:
      prefix = L"输出文件不能是源文件：";
      break;
    case SplitErrorKind::kCountOverflow:
      prefix = L"一个文件的行数超出上限（2147483647 行）：";
      break;
    case SplitErrorKind::kNumberOverflow:
      prefix = L"文件编号超出上限（2147483647）：";
      break;
    case SplitErrorKind::kNoOutputFolder:
      prefix = L"保存目录是空的，处理已停止。已写出的文件都以完整的行结束。";
      break;
    case SplitErrorKind::kHeaderPastSize:
      prefix = L"表头已达到每个文件的大小上限，没有地方放行，未写入任何文件：";
      break;
    case SplitErrorKind::kOutOfMemory:
      prefix = L"内存不足，处理已停止。已写出的文件都以完整的行结束。出错的文件：";
      break;
    case SplitErrorKind::kOutputEncoding:
      prefix = L"输出文件已有另一种编码的文本，未写入：";
      break;
    case SplitErrorKind::kHeaderTooLong:
      prefix = L"表头超过 2 MiB，未写入任何文件：";
      break;
    case SplitErrorKind::kSourceSizeUnknown:
      prefix = L"无法得知源文件的大小：";
      break;
  }
  std::wstring text = prefix + platform::Utf8ToWide(error.path);
  // The library's reasons of its own are English; the system's come in the user's language.
  const bool own_reason = error.kind == SplitErrorKind::kHeaderPastSize;
  if (!error.reason.empty() && !own_reason) text += L"\n" + platform::Utf8ToWide(error.reason);
  if (!error.incomplete_file.empty()) {
    const std::wstring which = error.incomplete_file == error.path
                                   ? L"该文件"
                                   : L"文件" + platform::Utf8ToWide(error.incomplete_file);
    text += L"\n" + which + L"的最后一行可能不完整。";
  }
  return text;
}

}  // namespace

// ---- Window load and unload ----

void frmMain::Form_Load() {
  modSkinner::SkinForm(hwnd_);
  try {
    const platform::StoredSetting stored = platform::ReadStoredSetting(
        options_.settings_application, kSettingsSection, kLinesPerFileKey);
    // A missing setting gives the default; one that cannot be read leaves Text1 as it is.
    if (stored.text) {
      SetText(L"Text1", RenderNumberW(NumericValueOf(*stored.text)));
    } else if (stored.missing) {
      SetText(L"Text1", L"1000");
    }
  } catch (...) {
    // As a setting that cannot be read.
  }
  split_settings_ = dialogs::LoadSplitSettings(options_.settings_application, kSettingsSection);
  ApplySplitSettings();
}

void frmMain::Form_Unload() {
  modSkinner::UnskinForm(hwnd_);
}

// ---- Command2: Start and Stop ----

void frmMain::SetCommand2Caption(const std::wstring& caption) {
  // The button's faces are rendered at attach: detach, change, attach again.
  modSkinner::UnskinForm(hwnd_);
  if (HWND button = Control(L"Command2")) SetWindowTextW(button, caption.c_str());
  modSkinner::SkinForm(hwnd_);
}

// Start or Stop, decided by the button's caption alone.
void frmMain::Command2_Click() {
  if (GetText(L"Command2") == kStartCaption) {
    StartJob();
  } else {
    StopJob();
  }
}

// Start: fixes a zero line count, checks the two paths, then runs the job to its end.
void frmMain::StartJob() {
  // A Start processed after a Stop, while the stopped job is still on its way out.
  if (job_running_) return;
  // Cut by size or parts, the box is greyed and keeps what it holds.
  if (split_settings_.cut_by == CutBy::kLines && NumericValueOf(GetText(L"Text1")) == 0) {
    SetText(L"Text1", L"1000");
  }
  if (TrimSpacesW(GetText(L"Text4")).empty()) {
    ShowMessage(L"请先选择需要处理的文件！", kErrorTitle, true);
    return;
  }
  if (TrimSpacesW(GetText(L"Text2")).empty()) {
    ShowMessage(L"请先选择用于保存分割后的文件目录！", kErrorTitle, true);
    return;
  }
  SetCommand2Caption(kStopCaption);
  progress_ = SplitProgress{};
  SetLabelCaption(L"Label7", std::wstring(kLineTotalPrefix) + L"0");
  SetLabelCaption(L"Label6", std::wstring(L"0") + kSecondsSuffix);
  stop_requested_ = false;
  // A session end that did not end the process is over: this job shows its messages.
  session_ending_ = false;

  RunJob();
  if (close_requested_ && hwnd_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

// Runs the split job to its end, pumping this window's messages between lines.
void frmMain::RunJob() {
  // Marks the job as running for its whole duration, whatever way it ends.
  struct JobScope {
    frmMain& form;
    platform::ThrottledPump pump;
    explicit JobScope(frmMain& running)
        : form(running), pump(running.hwnd_, 10, running.accelerators_.get()) {
      form.pump_ = &pump;
      form.job_running_ = true;
    }
    ~JobScope() {
      // Also when the job ended by an exception, which never took its control back.
      form.job_control_ = nullptr;
      form.in_pump_ = false;
      form.job_running_ = false;
      form.pump_ = nullptr;
      pump.RepostQuit();  // a WM_QUIT taken by the job's pump
    }
  } scope(*this);
  // The options are fixed for the whole job.
  SplitOptions split_options = dialogs::EngineOptions(split_settings_, GetText(L"Text4"));
  split_options.progress = &progress_;
  try {
    if (options_.job_observer) options_.job_observer(true);
    RunSplit(*this, options_.file_system ? *options_.file_system : SystemFileSystem(),
             split_options);
    return;
  } catch (const std::bad_alloc&) {
    EndFailedJob(L"内存不足，处理已停止。已写出的文件都以完整的行结束。");
    return;
  } catch (...) {
    // The job could not go on. The library's own text is English and says nothing to the
    // user; the window's message says what happened.
  }
  EndFailedJob(L"处理时发生意外错误，处理已停止。已写出的文件都以完整的行结束。");
}

// Stop: the job sees the flag at its next pass; the caption goes back at once.
void frmMain::StopJob() {
  stop_requested_ = true;
  SetCommand2Caption(kStartCaption);
}

// ---- The job's actions on the window ----

// Timer1 counts the seconds while the job runs; the taskbar button shows its progress.
void frmMain::JobStarted() {
  SetTimer1Enabled(true);
  BeginTaskbarProgress();
}

// Normal end: Timer1 off, caption back, the taskbar button cleared (flashing when in the
// background), the finishing message (not when closing or when the session ends).
void frmMain::JobFinished() {
  EndJobCounters();
  SetCommand2Caption(kStartCaption);
  EndTaskbarProgress(JobEnd::kFinished);
  if (!close_requested_ && !session_ending_) {
    ShowMessage(L"转换处理完成！", kNoticeTitle, false);
  }
}

// A stop was seen: Timer1 off, the taskbar button cleared; the Stop click has set the
// caption back.
void frmMain::JobStopped() {
  EndJobCounters();
  EndTaskbarProgress(JobEnd::kStopped);
}

// The job ended with an error: the message names the file (none when the session ends).
void frmMain::JobFailed(const SplitError& error) {
  EndFailedJob(DescribeSplitError(error));
}

// The end of a failed job: Timer1 off, caption back, the taskbar button in the error state
// while the message is shown.
void frmMain::EndFailedJob(const std::wstring& message) {
  EndJobCounters();
  SetCommand2Caption(kStartCaption);
  EndTaskbarProgress(JobEnd::kFailed);
  if (!session_ending_) ShowMessage(message, kErrorTitle, true);
  ClearTaskbarProgress();
}

// The first step of every end of a job: the job is over (its observer hears so), Timer1
// stops and Label7 shows the final line count.
void frmMain::EndJobCounters() {
  if (options_.job_observer) options_.job_observer(false);
  SetTimer1Enabled(false);
  ShowLineTotal();
}

// Label7: the lines written so far by the job (through its caption change).
void frmMain::ShowLineTotal() {
  SetLabelCaption(L"Label7", kLineTotalPrefix + std::to_wstring(progress_.lines_written));
}

// ---- Other controls ----

// Choose the source file with the Open dialog; a cancelled dialog changes nothing.
void frmMain::Command1_Click() {
  std::wstring filename;
  try {
    dialogs::cFileDialog dialog;
    dialog.Filter(L"文本文件(*.TXT)|*.txt");
    dialog.Flags(kOfnFileMustExist);
    dialog.hWnd(hwnd_);
    dialog.CancelError(true);
    dialog.ShowOpen();
    filename = dialog.Filename();
  } catch (...) {
    // Cancelled or failed: no file chosen.
  }
  if (!filename.empty()) SetText(L"Text4", filename);
}

// Choose the output folder.
void frmMain::Command3_Click() {
  std::wstring folder;
  try {
    folder = modCommon::BrowseForFolder(hwnd_, L"请选择一个目录.");
  } catch (...) {
    // A failing picker leaves the folder as it is.
  }
  if (!folder.empty()) SetText(L"Text2", folder);
}

// Keeps Text1's numeric value for the job and stores the text as the setting.
void frmMain::Text1_Change() {
  const std::wstring text = GetText(L"Text1");
  text1_value_ = NumericValueOf(text);
  try {
    platform::SaveSetting(options_.settings_application, kSettingsSection, kLinesPerFileKey,
                          TrimSpacesW(text));
  } catch (...) {
    // A setting that cannot be stored is lost.
  }
}

// One second more in Label6, and the running total in Label7.
void frmMain::Timer1_Timer() {
  SetLabelCaption(L"Label6",
                  RenderNumberW(NumericValueOf(GetText(L"Label6")) + 1) + kSecondsSuffix);
  ShowLineTotal();
}

// Keeps Label7 right-aligned, 60 twips inside iFrame5.
void frmMain::Label7_Change() {
  HWND label = Control(L"Label7");
  HWND frame = Control(L"iFrame5");
  RECT frame_client{}, label_bounds{};
  if (!GetClientRect(frame, &frame_client) || !GetWindowRect(label, &label_bounds)) return;
  MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&label_bounds), 2);
  const int label_width = label_bounds.right - label_bounds.left;
  const int left = frame_client.right - label_width - Pixels(60);
  SetWindowPos(label, nullptr, left, label_bounds.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  label7_aligned_ = true;
  InvalidateRect(frame, nullptr, TRUE);
}

// Opens the maker's home page. explorer.exe is started from the Windows folder by its full
// path: by bare name the system would look beside this program first, where anyone may
// have put a program of that name.
void frmMain::Label8_Click() {
  try {
    const std::wstring explorer = platform::WindowsFolderProgram(L"explorer.exe");
    if (explorer.empty()) return;
    options_.start_command(explorer, std::wstring(L"explorer.exe ") + maker::kHomePage);
  } catch (...) {
    // A failing start of the home page is silent.
  }
}

// A file dropped onto the window becomes the source, a folder the output folder.
void frmMain::DropFiles(HDROP drop) {
  // The drop's memory is released on every way out, an error included.
  struct DropRelease {
    HDROP drop;
    ~DropRelease() { DragFinish(drop); }
  } release{drop};
  std::vector<std::wstring> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
    paths.push_back(std::move(path));
  }
  TakePaths(paths, false);
}

void frmMain::OpenPaths(const std::vector<std::wstring>& paths) {
  std::vector<std::wstring> full_paths;
  for (const std::wstring& path : paths) {
    // Relative to the folder the program was started in.
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    full.resize(length ? GetFullPathNameW(path.c_str(), length, full.data(), nullptr) : 0);
    full_paths.push_back(full.empty() ? path : full);
  }
  const std::vector<std::wstring> missing = TakePaths(full_paths, true);
  if (missing.empty()) return;
  std::wstring text = L"找不到以下文件或文件夹：";
  for (const std::wstring& path : missing) text += L"\n" + path;
  ShowMessage(text, kErrorTitle, true);
}

std::vector<std::wstring> frmMain::TakePaths(const std::vector<std::wstring>& paths,
                                             bool folder_from_file) {
  std::vector<std::wstring> missing;
  bool file_set = false;
  bool folder_set = false;
  for (const std::wstring& path : paths) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      missing.push_back(path);
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!folder_set) SetText(L"Text2", path);
      folder_set = true;
    } else if (!file_set) {
      SetText(L"Text4", path);
      file_set = true;
      if (folder_from_file && !folder_set && TrimSpacesW(GetText(L"Text2")).empty()) {
        SetText(L"Text2", std::filesystem::path(path).parent_path().wstring());
      }
    }
  }
  return missing;
}

// ---- The 切分选项 dialog ----

void frmMain::OpenSplitOptions() {
  if (options_open_ || !hwnd_) return;
  const platform::ScopedFlag open(options_open_);
  const dialogs::SplitOptionsRequest request{hwnd_, dpi_, GetText(L"Text4"), job_running_};
  dialogs::SplitSettings chosen = split_settings_;
  // Closed with the window (hwnd_ gone), nothing changes. During a job 确定 does nothing.
  if (!dialogs::ShowSplitOptionsDialog(request, chosen) || !hwnd_) return;
  split_settings_ = chosen;
  try {
    dialogs::SaveSplitSettings(options_.settings_application, kSettingsSection, split_settings_);
  } catch (...) {
    // Options that cannot be stored still apply until the window closes.
  }
  ApplySplitSettings();
}

void frmMain::ApplySplitSettings() {
  if (HWND lines = Control(L"Text1")) EnableWindow(lines, split_settings_.cut_by == CutBy::kLines);
  ShowSplitSummary();
}

void frmMain::ShowSplitSummary() {
  HWND frame = Control(L"iFrame4");
  RECT inside{};
  if (!frame || !GetClientRect(frame, &inside)) return;
  const auto in_frame = [frame](HWND control) {
    RECT bounds{};
    GetWindowRect(control, &bounds);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
  };
  const RECT label = in_frame(Control(L"Label3"));
  // As wide as the panel less Label3's margin on both sides, in as many lines (two at the
  // most) as fit above the row of the contact and the link; what does not fit ends in "…".
  const int line_height = platform::MeasureText(L"", 0, Font()).cy;
  const int room = static_cast<int>(in_frame(Control(L"Label4")).top - label.top);
  const int lines = std::clamp(room / std::max(line_height, 1), 1, 2);
  SetLabelCaption(L"Label3", platform::BreakLines(dialogs::DescribeSettings(split_settings_),
                                                  inside.right - 2 * label.left, lines, Font()));
}

}  // namespace tarnwick::app
