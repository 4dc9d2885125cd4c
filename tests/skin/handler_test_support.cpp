// Fixtures for the attachment, dispatch and handler tests.
#include "handler_test_support.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "skin/skin_engine.h"

namespace skin_handler_test {

namespace {

// Registers `name` with the procedure and sizes of the system class `base`.
void RegisterSuperclassOf(const wchar_t* name, const wchar_t* base) {
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  if (!GetClassInfoExW(nullptr, base, &info)) return;
  info.hInstance = GetModuleHandleW(nullptr);
  info.lpszClassName = name;
  info.style &= ~CS_GLOBALCLASS;
  RegisterClassExW(&info);
}

}  // namespace

void RegisterProcClass(const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  info.lpfnWndProc = procedure;
  info.hInstance = GetModuleHandleW(nullptr);
  info.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  info.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  info.lpszClassName = name;
  RegisterClassExW(&info);
}

void RegisterTestClasses() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterProcClass(L"ThunderRT6FormDC", DefWindowProcW);
    RegisterProcClass(L"HandlerTestPlain", DefWindowProcW);
    RegisterProcClass(L"ApexGridTest", DefWindowProcW);
    RegisterSuperclassOf(L"ThunderRT6CheckBox", L"Button");
    RegisterSuperclassOf(L"ThunderRT6OptionButton", L"Button");
    RegisterSuperclassOf(L"ThunderRT6DriveListBox", L"ComboBox");
    RegisterSuperclassOf(L"ProgressBar20WndClass", PROGRESS_CLASSW);
    RegisterSuperclassOf(L"DataListWndClass", L"ListBox");
    return true;
  }();
  (void)registered;
}

TestForm::TestForm(const wchar_t* className) {
  RegisterTestClasses();
  // Shown without activation: destroying an active window can make Wine wait seconds for
  // the X server's focus change.
  const int x = std::max(0, GetSystemMetrics(SM_CXSCREEN) - kWidth - 10);
  const int y = std::max(0, GetSystemMetrics(SM_CYSCREEN) - kHeight - 10);
  hwnd_ = CreateWindowExW(WS_EX_TOPMOST, className, L"handler test", WS_POPUP | WS_CLIPCHILDREN, x,
                          y, kWidth, kHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
}

TestForm::~TestForm() {
  modSkinner::UnskinForm(hwnd_);
  DestroyWindow(hwnd_);
  Pump();
}

HWND TestForm::Add(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y,
                   int width, int height, DWORD exStyle) {
  HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y,
                                 width, height, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);
  return control;
}

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Settle(HWND hwnd) {
  SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  RedrawWindow(hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump();
}

void MoveCursorAway() {
  SetCursorPos(0, 0);
}

void MoveCursorTo(HWND hwnd, int x, int y) {
  POINT point{x, y};
  ClientToScreen(hwnd, &point);
  SetCursorPos(point.x, point.y);
}

COLORREF WindowPixel(HWND hwnd, int x, int y) {
  HDC dc = GetWindowDC(hwnd);
  const COLORREF value = GetPixel(dc, x, y);
  ReleaseDC(hwnd, dc);
  return value;
}

void FillWindowArea(HWND hwnd, int x, int y, int width, int height, COLORREF colour) {
  HDC dc = GetWindowDC(hwnd);
  HBRUSH brush = CreateSolidBrush(colour);
  RECT area{x, y, x + width, y + height};
  FillRect(dc, &area, brush);
  DeleteObject(brush);
  ReleaseDC(hwnd, dc);
}

std::vector<const wchar_t*> AllSkinPropertyNames() {
  namespace prop = modSkinner::prop;
  std::vector<const wchar_t*> names = {prop::PROCADDR, prop::OLDSTYLE, prop::MOUSEFLAG,
                                       prop::TIMERID,  prop::OLDSTATE, prop::ALPHALEVEL,
                                       prop::HDINDEX,  prop::HMINDEX};
  for (int n = 0; n < 4; ++n) {
    names.push_back(prop::HDC_[n]);
    names.push_back(prop::BMP_[n]);
  }
  return names;
}

namespace {
struct PropertySearch {
  const wchar_t* name;
  bool found;
};

BOOL CALLBACK MatchProperty(HWND, LPWSTR name, HANDLE, ULONG_PTR data) {
  auto* search = reinterpret_cast<PropertySearch*>(data);
  // Properties named by an atom pass the atom in place of a string.
  if (IS_INTRESOURCE(name)) return TRUE;
  if (lstrcmpW(name, search->name) == 0) {
    search->found = true;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

bool HasProperty(HWND hwnd, const wchar_t* name) {
  PropertySearch search{name, false};
  EnumPropsExW(hwnd, MatchProperty, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring PropertiesLeft(HWND hwnd) {
  std::wstring left;
  for (const wchar_t* name : AllSkinPropertyNames()) {
    if (HasProperty(hwnd, name)) {
      left += name;
      left += L' ';
    }
  }
  return left;
}

LPARAM Point(int x, int y) {
  return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

bool Between(COLORREF value, COLORREF a, COLORREF b) {
  if (value == a || value == b) return false;
  auto channelBetween = [](int v, int p, int q) {
    return v >= std::min(p, q) && v <= std::max(p, q);
  };
  return channelBetween(GetRValue(value), GetRValue(a), GetRValue(b)) &&
         channelBetween(GetGValue(value), GetGValue(a), GetGValue(b)) &&
         channelBetween(GetBValue(value), GetBValue(a), GetBValue(b));
}

}  // namespace skin_handler_test
