#include "ui_test_support.h"

#include <commctrl.h>

#include <fstream>
#include <map>
#include <sstream>

namespace tarnwick::testing {

namespace {

DialogResponder* g_responder = nullptr;
std::map<UINT_PTR, ScheduledAction*> g_scheduled;

// The first visible dialog of this thread, or null.
HWND FindVisibleDialog() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM result) -> BOOL {
        if (IsWindowVisible(hwnd) && ClassName(hwnd) == L"#32770") {
          *reinterpret_cast<HWND*>(result) = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The icon shown by a static icon control of the dialog, or null.
HICON DialogIconHandle(HWND dialog) {
  HICON icon = nullptr;
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM result) -> BOOL {
        if (ClassName(child) == L"Static" &&
            (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
          *reinterpret_cast<HICON*>(result) =
              reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&icon));
  return icon;
}

void PressButton(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace

SeenDialog DescribeDialog(HWND dialog) {
  SeenDialog seen;
  seen.title = WindowText(dialog);
  if (HWND text = GetDlgItem(dialog, 0xFFFF)) seen.text = WindowText(text);
  const HICON icon = DialogIconHandle(dialog);
  if (!icon) {
    seen.icon = DialogIcon::kNone;
  } else if (icon == LoadIconW(nullptr, IDI_ERROR)) {
    seen.icon = DialogIcon::kError;
  } else if (icon == LoadIconW(nullptr, IDI_INFORMATION)) {
    seen.icon = DialogIcon::kInformation;
  } else {
    seen.icon = DialogIcon::kOther;
  }
  return seen;
}

DialogResponder::DialogResponder() {
  g_responder = this;
  timer_ = SetTimer(nullptr, 0, 20, &DialogResponder::OnTimer);
}

DialogResponder::~DialogResponder() {
  KillTimer(nullptr, timer_);
  if (g_responder == this) g_responder = nullptr;
}

DialogResponder::Answer DialogResponder::PressOk() {
  return [](HWND dialog) { PressButton(dialog, IDOK); };
}

DialogResponder::Answer DialogResponder::PressCancel() {
  return [](HWND dialog) { PressButton(dialog, IDCANCEL); };
}

void CALLBACK DialogResponder::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_responder) g_responder->Poll();
}

void DialogResponder::Poll() {
  HWND dialog = FindVisibleDialog();
  if (!dialog || dialog == answered_) return;
  answered_ = dialog;
  seen_.push_back(DescribeDialog(dialog));
  Answer answer = PressOk();
  if (!answers_.empty()) {
    answer = std::move(answers_.front());
    answers_.pop_front();
  }
  answer(dialog);
}

ScheduledAction::ScheduledAction(std::chrono::milliseconds delay, std::function<void()> action)
    : action_(std::move(action)) {
  timer_ = SetTimer(nullptr, 0, static_cast<UINT>(delay.count()), &ScheduledAction::OnTimer);
  g_scheduled[timer_] = this;
}

ScheduledAction::~ScheduledAction() {
  KillTimer(nullptr, timer_);
  g_scheduled.erase(timer_);
}

void CALLBACK ScheduledAction::OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
  const auto found = g_scheduled.find(id);
  if (found == g_scheduled.end()) return;
  ScheduledAction* scheduled = found->second;
  KillTimer(nullptr, id);
  if (scheduled->ran_) return;
  scheduled->ran_ = true;
  scheduled->action_();
}

namespace {

// Text of a tree-view item.
std::wstring TreeItemText(HWND tree, HTREEITEM item) {
  wchar_t text[MAX_PATH] = {};
  TVITEMW info{};
  info.mask = TVIF_TEXT;
  info.hItem = item;
  info.pszText = text;
  info.cchTextMax = MAX_PATH;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info));
  return text;
}

// Depth-first search below `parent` for an item whose text names the drive ("C:"),
// expanding items so that the picker fills in their children.
HTREEITEM FindDriveItem(HWND tree, HTREEITEM parent, const std::wstring& drive, int depth) {
  if (depth > 3) return nullptr;
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
  for (auto item = reinterpret_cast<HTREEITEM>(
           SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
       item; item = reinterpret_cast<HTREEITEM>(
                 SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
    if (TreeItemText(tree, item).find(drive) != std::wstring::npos) return item;
  }
  for (auto item = reinterpret_cast<HTREEITEM>(
           SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
       item; item = reinterpret_cast<HTREEITEM>(
                 SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
    if (HTREEITEM found = FindDriveItem(tree, item, drive, depth + 1)) return found;
  }
  return nullptr;
}

}  // namespace

bool SelectDriveRootInPicker(HWND picker, wchar_t drive) {
  HWND tree = FindWindowExW(picker, nullptr, L"SysTreeView32", nullptr);
  if (!tree) return false;
  const auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  if (!root) return false;
  HTREEITEM item = FindDriveItem(tree, root, std::wstring(1, drive) + L":", 0);
  if (!item) return false;
  return SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
}

void PumpFor(std::chrono::milliseconds duration) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(duration.count());
  MSG message;
  while (GetTickCount64() < end) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), length + 1)));
  return text;
}

void TypeText(HWND hwnd, const std::wstring& text) {
  SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Click(HWND button) {
  SendMessageW(button, BM_CLICK, 0, 0);
}

std::wstring ClassName(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

RECT RectInParent(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TempFolder::TempFolder() {
  static int counter = 0;
  path_ = std::filesystem::temp_directory_path() /
          (L"tarnwick-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace tarnwick::testing
