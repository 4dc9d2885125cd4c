// frmMain as a window: class registration, creation from the layout table, message routing
// to the handlers, and the host services the handlers use.
#include "app/frm_main.h"

#include <windowsx.h>

#include <algorithm>

#include "app/res/resource_ids.h"
#include "platform/command_start.h"
#include "platform/message_box.h"
#include "platform/text_convert.h"
#include "platform/ui_metrics.h"

namespace tarnwick::app {

namespace {

constexpr int kObjectSlot = 0;
constexpr int kFirstControlId = 1000;
constexpr UINT_PTR kTimer1Id = 1;
constexpr DWORD kFormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES;
constexpr COLORREF kLinkColor = RGB(0, 0, 255);

// The executable, which holds the window classes and the resources.
HINSTANCE ModuleInstance() {
  return GetModuleHandleW(nullptr);
}

}  // namespace

frmMain::frmMain(const FormOptions& options) : options_(options) {
  if (!options_.start_command) options_.start_command = &platform::StartCommand;
  ACCEL split_options{FVIRTKEY | FCONTROL, 'O', static_cast<WORD>(kSplitOptionsCommand)};
  accelerators_.reset(CreateAcceleratorTableW(&split_options, 1));
}

frmMain::~frmMain() {
  if (hwnd_) DestroyWindow(hwnd_);
}

std::unique_ptr<frmMain> frmMain::Create(const FormOptions& options) {
  if (!RegisterWindowClass()) return nullptr;
  std::unique_ptr<frmMain> form(new frmMain(options));
  form->dpi_ = platform::SystemDpi();
  SIZE size = form->OuterSize(form->dpi_);
  HWND hwnd = CreateWindowExW(kFormExStyle, kFormClassName, MainWindowTitle().c_str(), kFormStyle,
                              (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2,
                              (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2, size.cx, size.cy,
                              nullptr, nullptr, ModuleInstance(), form.get());
  if (!hwnd) return nullptr;
  if (form->dpi_ != platform::SystemDpi()) {
    // The screen's scale changed since sign-in: the window is sized for its monitor's DPI.
    size = form->OuterSize(form->dpi_);
    SetWindowPos(hwnd, nullptr, (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  form->Form_Load();
  return form;
}

bool frmMain::RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &frmMain::WindowProc;
    window_class.cbWndExtra = sizeof(frmMain*);
    window_class.hInstance = ModuleInstance();
    window_class.hIcon = static_cast<HICON>(
        LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(IDI_TARNWICK), IMAGE_ICON,
                   GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
    window_class.hIconSm = static_cast<HICON>(
        LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(IDI_TARNWICK), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kFormClassName;
    return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

SIZE frmMain::OuterSize(int dpi) const {
  const RECT client{0, 0, platform::TwipsToPixels(kClientWidthTwips, dpi),
                    platform::TwipsToPixels(kClientHeightTwips, dpi)};
  const RECT outer = platform::OuterRectForDpi(client, kFormStyle, kFormExStyle, dpi);
  return SIZE{outer.right - outer.left, outer.bottom - outer.top};
}

int frmMain::Pixels(int twips) const {
  return platform::TwipsToPixels(twips, dpi_);
}

HWND frmMain::Control(std::wstring_view name) const {
  const auto found = controls_.find(name);
  return found == controls_.end() ? nullptr : found->second;
}

controls::iFrame* frmMain::Frame(std::wstring_view name) const {
  return controls::iFrame::FromHandle(Control(name));
}

const platform::PropertyBag& frmMain::FrameDescription(std::wstring_view name) const {
  static const platform::PropertyBag empty;
  const auto found = frame_descriptions_.find(name);
  return found == frame_descriptions_.end() ? empty : found->second;
}

// Creates the controls of one container in tab order, so that the z-order of the siblings
// (which keyboard navigation follows) is the tab order; frames get their children next.
void frmMain::CreateControls(const std::wstring& container, HWND parent) {
  const auto layout = MainWindowLayout();
  std::vector<const ControlEntry*> children;
  for (const ControlEntry& entry : layout) {
    if (container == entry.container && entry.type != ControlType::kTimer) {
      children.push_back(&entry);
    }
  }
  std::stable_sort(
      children.begin(), children.end(),
      [](const ControlEntry* a, const ControlEntry* b) { return a->tab_index < b->tab_index; });
  for (const ControlEntry* entry : children) {
    const int id = kFirstControlId + static_cast<int>(entry - layout.data());
    HWND hwnd = CreateControl(*entry, parent, id);
    if (!hwnd) continue;
    controls_[entry->name] = hwnd;
    if (entry->type == ControlType::kFrame) CreateControls(entry->name, hwnd);
  }
}

// Creates one control of the layout in `parent`, in the default font; labels sized to
// their caption.
HWND frmMain::CreateControl(const ControlEntry& entry, HWND parent, int id) {
  const RECT bounds = ControlBounds(entry);
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  HMENU menu_id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
  HWND hwnd = nullptr;
  switch (entry.type) {
    case ControlType::kFrame: {
      const std::wstring name = entry.name;
      const auto stored = frame_descriptions_.find(name);
      controls::iFrame* frame = controls::iFrame::Create(
          parent, id, bounds, stored == frame_descriptions_.end() ? nullptr : &stored->second,
          [this, name](controls::iFrame& changed, const wchar_t*) {
            changed.UserControl_WriteProperties(frame_descriptions_[name]);
          });
      return frame ? frame->hWnd() : nullptr;
    }
    case ControlType::kCommandButton:
      hwnd = CreateWindowExW(0, L"Button", entry.caption,
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, bounds.left,
                             bounds.top, width, height, parent, menu_id, ModuleInstance(), nullptr);
      break;
    case ControlType::kTextBox: {
      DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
      if (std::wstring_view(entry.name) == L"Text1") style |= ES_CENTER;
      hwnd = CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", entry.caption, style, bounds.left,
                             bounds.top, width, height, parent, menu_id, ModuleInstance(), nullptr);
      break;
    }
    case ControlType::kLabel: {
      DWORD style = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
      if (std::wstring_view(entry.name) == L"Label8") style |= SS_NOTIFY;  // click, cursor
      hwnd = CreateWindowExW(0, L"Static", entry.caption, style, bounds.left, bounds.top, width,
                             height, parent, menu_id, ModuleInstance(), nullptr);
      break;
    }
    case ControlType::kTimer:
      return nullptr;
  }
  if (hwnd) {
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    if (entry.type == ControlType::kLabel) AutoSizeLabel(hwnd);
  }
  return hwnd;
}

std::wstring frmMain::GetText(std::wstring_view name) const {
  HWND hwnd = Control(name);
  if (!hwnd) return L"";
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

void frmMain::SetText(std::wstring_view name, const std::wstring& text) {
  if (HWND hwnd = Control(name)) SetWindowTextW(hwnd, text.c_str());
}

void frmMain::SetLabelCaption(std::wstring_view name, const std::wstring& caption) {
  HWND label = Control(name);
  if (!label) return;
  SetWindowTextW(label, caption.c_str());
  AutoSizeLabel(label);
  if (name == L"Label7") Label7_Change();
}

void frmMain::AutoSizeLabel(HWND label) {
  const int length = GetWindowTextLengthW(label);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(std::max(GetWindowTextW(label, text.data(), length + 1), 0)));
  const SIZE size = platform::MeasureLines(text, Font());
  SetWindowPos(label, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(label, nullptr, TRUE);
}

void frmMain::SetTimer1Enabled(bool enabled) {
  if (enabled == timer1_enabled_) return;
  timer1_enabled_ = enabled;
  if (!hwnd_) return;
  if (enabled) {
    SetTimer(hwnd_, kTimer1Id, kTimer1IntervalMs, nullptr);
  } else {
    KillTimer(hwnd_, kTimer1Id);
  }
}

void frmMain::ShowMessage(const std::wstring& text, const std::wstring& title, bool error) {
  platform::ShowMessageBox(
      hwnd_, text, title,
      error ? platform::MessageIcon::kError : platform::MessageIcon::kInformation);
}

// The form's window procedure: finds the object and keeps every error inside.
LRESULT CALLBACK frmMain::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* form = static_cast<frmMain*>(create->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, kObjectSlot, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<frmMain*>(GetWindowLongPtrW(hwnd, kObjectSlot));
  if (!form) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, kObjectSlot, 0);
    form->hwnd_ = nullptr;
    form->controls_.clear();
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  try {
    return form->HandleMessage(message, wParam, lParam);
  } catch (...) {
    // No error may leave a window procedure; the handler that failed has ended.
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// Routes the form's messages to the handlers and host services.
LRESULT frmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != 0 && message == platform::TaskbarButtonCreatedMessage()) {
    Taskbar().ButtonCreated();
    return 0;
  }
  switch (message) {
    case WM_CREATE:
      // Run as administrator, the window gets the shell's registered messages only when it
      // lets them through: without this one its taskbar button would show no progress.
      ChangeWindowMessageFilterEx(hwnd_, platform::TaskbarButtonCreatedMessage(), MSGFLT_ALLOW,
                                  nullptr);
      UseDpi(platform::WindowDpi(hwnd_));
      CreateControls(L"", hwnd_);
      if (HMENU system_menu = GetSystemMenu(hwnd_, FALSE)) {
        AppendMenuW(system_menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(system_menu, MF_STRING, kSplitOptionsCommand, kSplitOptionsItem);
      }
      return 0;
    case platform::kGetDpiScaledSizeMessage: {
      // The size for the client area's twips at the new DPI. The system would scale the
      // outer size instead, and the client area would drift with every change of monitor.
      *reinterpret_cast<SIZE*>(lParam) = OuterSize(static_cast<int>(wParam));
      return TRUE;
    }
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_COMMAND:
      if (lParam) {
        OnCommand(LOWORD(wParam), HIWORD(wParam));
      } else if (LOWORD(wParam) == kSplitOptionsCommand) {  // Ctrl+O
        OpenSplitOptions();
      }
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == kSplitOptionsCommand) {
        OpenSplitOptions();
        return 0;
      }
      break;
    case WM_CONTEXTMENU:
      if (OnContextMenu(lParam)) return 0;
      break;
    case WM_TIMER:
      if (wParam == kTimer1Id) {
        if (timer1_enabled_) Timer1_Timer();
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
      return OnLabelColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLOREDIT:
      return OnEditColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message,
                         wParam, lParam);
    case WM_SETCURSOR:
      if (OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam))) return TRUE;
      break;
    case WM_DROPFILES:
      DropFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) last_focus_ = focus;
      }
      break;
    case WM_SETFOCUS: {
      HWND target = last_focus_ && IsChild(hwnd_, last_focus_)
                        ? last_focus_
                        : GetNextDlgTabItem(hwnd_, nullptr, FALSE);
      if (target) SetFocus(target);
      return 0;
    }
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_QUERYENDSESSION:
      return OnQueryEndSession();
    case WM_ENDSESSION:
      OnEndSession(wParam != FALSE, lParam);
      return 0;
    case WM_DESTROY:
      // A job still running (the window destroyed without WM_CLOSE) stops at its next pass.
      stop_requested_ = true;
      Form_Unload();
      SetTimer1Enabled(false);
      if (options_.quit_on_destroy) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

// Raises the click and change events of the controls.
void frmMain::OnCommand(int id, int code) {
  const int index = id - kFirstControlId;
  const auto layout = MainWindowLayout();
  if (index < 0 || index >= static_cast<int>(layout.size())) return;
  const std::wstring_view name = layout[static_cast<std::size_t>(index)].name;
  if (code == BN_CLICKED) {  // also STN_CLICKED (0) for labels
    if (name == L"Command1") Command1_Click();
    if (name == L"Command2") Command2_Click();
    if (name == L"Command3") Command3_Click();
    if (name == L"Label8") Label8_Click();
  } else if (code == EN_CHANGE) {
    if (name == L"Text1") Text1_Change();
  }
}

bool frmMain::OnContextMenu(LPARAM lParam) {
  POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  RECT client{};
  GetClientRect(hwnd_, &client);
  if (at.x == -1 && at.y == -1) {  // from the keyboard: at the top left of the client area
    at = POINT{0, 0};
  } else {
    ScreenToClient(hwnd_, &at);
    if (!PtInRect(&client, at)) return false;
  }
  ClientToScreen(hwnd_, &at);
  const platform::ScopedMenu menu(CreatePopupMenu());
  if (!menu.get()) return true;
  AppendMenuW(menu.get(), MF_STRING, kSplitOptionsCommand, kSplitOptionsItem);
  const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(
      menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, hwnd_, nullptr));
  if (chosen == kSplitOptionsCommand) OpenSplitOptions();
  return true;
}

// Labels are drawn on their container's background; the link label in blue.
LRESULT frmMain::OnLabelColor(HDC hdc, HWND label) {
  HWND container = GetParent(label);
  controls::iFrame* frame = controls::iFrame::FromHandle(container);
  SetTextColor(hdc, label == Control(L"Label8") ? kLinkColor : GetSysColor(COLOR_BTNTEXT));
  if (frame) {
    SetBkColor(hdc, frame->BackgroundRgb());
    return reinterpret_cast<LRESULT>(frame->BackgroundBrush());
  }
  SetBkColor(hdc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

// The path boxes show their text in the system's grey-text colour.
LRESULT frmMain::OnEditColor(HDC hdc, HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  if (edit == Control(L"Text2") || edit == Control(L"Text4")) {
    SetTextColor(hdc, GetSysColor(COLOR_GRAYTEXT));
    SetBkColor(hdc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

// The link label shows its own hand cursor.
bool frmMain::OnSetCursor(HWND target, UINT hit_test) {
  if (target != Control(L"Label8") || hit_test != HTCLIENT || !link_cursor_.get()) return false;
  SetCursor(link_cursor_.get());
  return true;
}

// Closing while a job runs stops the job as Stop does; the window closes once the job has
// returned (the Start handler posts WM_CLOSE again).
void frmMain::OnClose() {
  if (job_running_) {
    close_requested_ = true;
    if (!stop_requested_) StopJob();
    return;
  }
  DestroyWindow(hwnd_);
}

// The user's session is about to end: a running job is stopped as Stop does, and the end
// is agreed to at once, with no message box.
BOOL frmMain::OnQueryEndSession() {
  if (job_running_) {
    session_ending_ = true;
    if (!stop_requested_) StopJob();
  }
  return TRUE;
}

// The session ends (ending) or goes on. Windows may end the process as soon as this
// returns, while the job is still below on the stack inside its message pump: every line
// processed so far is written and the files closed before returning. The Restart Manager
// (ENDSESSION_CLOSEAPP) ends no session but asks the program to close so that its files
// can be replaced: the window closes, once a running job has returned.
void frmMain::OnEndSession(bool ending, LPARAM reason) {
  if (!ending) {
    session_ending_ = false;
    return;
  }
  if (job_running_) {
    OnQueryEndSession();  // stopped as Stop does, if the query did not come first
    // Outside the pump (in the job's final message box, say) the files are closed already.
    if (job_control_ != nullptr && in_pump_) job_control_->StopAndCloseFiles();
  }
  if (reason & ENDSESSION_CLOSEAPP) OnClose();
}

// ---- SplitHost ----

std::string frmMain::SourcePath() {
  return platform::WideToUtf8(GetText(L"Text4"));
}

std::string frmMain::OutputFolder() {
  return platform::WideToUtf8(GetText(L"Text2"));
}

void frmMain::PumpMessages() {
  if (!pump_) return;
  // For the whole call the job waits below at a line boundary, so a session end handled
  // anywhere in it (also inside the taskbar's calls to the shell) may close its files.
  const platform::ScopedFlag in_pump(in_pump_);
  if (pump_->Pump()) ShowTaskbarProgress();
  // The program is being ended: stop as by Stop; the quit is posted again afterwards.
  if ((pump_->QuitReceived() || !hwnd_) && !stop_requested_) StopJob();
}

}  // namespace tarnwick::app
