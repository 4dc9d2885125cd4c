// gallery.exe: one control of every kind the skin engine paints, each with a disabled twin,
// in a window skinned with SkinForm. Check boxes, option buttons, the drive list, progress
// bars, the data list and the grid are superclasses under the class names the engine knows.
//   gallery.exe [--seconds N]   closes itself after N seconds when given
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>
#include <string>

#include "skin/skin_engine.h"

namespace {

constexpr wchar_t kFormClass[] = L"ThunderRT6FormDC";
constexpr wchar_t kGridClass[] = L"ApexGridWndClass";
constexpr wchar_t kTitle[] = L"Tarnwick 皮肤样品";
constexpr UINT_PTR kCloseTimer = 7;
constexpr int kColumnWidth = 300;

HFONT g_font = nullptr;

// Registers `name` with the procedure and sizes of the system class `base`.
void RegisterSuperclass(const wchar_t* name, const wchar_t* base) {
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  if (!GetClassInfoExW(nullptr, base, &info)) return;
  info.hInstance = GetModuleHandleW(nullptr);
  info.lpszClassName = name;
  info.style &= ~CS_GLOBALCLASS;
  RegisterClassExW(&info);
}

// A small grid of cells with a header row, drawn by its own procedure.
LRESULT CALLBACK GridProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    HGDIOBJ oldFont = SelectObject(dc, g_font);
    SetBkMode(dc, TRANSPARENT);
    const bool enabled = IsWindowEnabled(hwnd);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(200, 200, 200));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    const wchar_t* cells[3][3] = {
        {L"文件", L"行数", L"大小"}, {L"1.txt", L"1000", L"24 KB"}, {L"2.txt", L"1000", L"23 KB"}};
    const int cellWidth = client.right / 3;
    const int cellHeight = 20;
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 3; ++column) {
        RECT cell{column * cellWidth, row * cellHeight, (column + 1) * cellWidth,
                  (row + 1) * cellHeight};
        DrawTextW(dc, cells[row][column], -1, &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        MoveToEx(dc, cell.left, cell.bottom - 1, nullptr);
        LineTo(dc, cell.right, cell.bottom - 1);
        MoveToEx(dc, cell.right - 1, cell.top, nullptr);
        LineTo(dc, cell.right - 1, cell.bottom);
      }
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    SelectObject(dc, oldFont);
    EndPaint(hwnd, &paint);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The gallery form: closes on its timer, unskins on close, quits when destroyed.
LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kCloseTimer) PostMessageW(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_CLOSE:
      modSkinner::UnskinForm(hwnd);
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void RegisterClasses(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSEXW form{};
  form.cbSize = sizeof(form);
  form.lpfnWndProc = FormProc;
  form.hInstance = instance;
  form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  form.lpszClassName = kFormClass;
  RegisterClassExW(&form);

  WNDCLASSEXW grid = form;
  grid.lpfnWndProc = GridProc;
  grid.hbrBackground = nullptr;
  grid.lpszClassName = kGridClass;
  RegisterClassExW(&grid);

  RegisterSuperclass(L"ThunderRT6CheckBox", L"Button");
  RegisterSuperclass(L"ThunderRT6OptionButton", L"Button");
  RegisterSuperclass(L"ThunderRT6DriveListBox", L"ComboBox");
  RegisterSuperclass(L"ProgressBar20WndClass", PROGRESS_CLASSW);
  RegisterSuperclass(L"DataListWndClass", L"ListBox");
}

// Creates one child control with the gallery font.
HWND AddControl(HWND form, const wchar_t* className, const wchar_t* text, DWORD style,
                DWORD exStyle, int x, int y, int width, int height) {
  HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y,
                                 width, height, form, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_font), FALSE);
  return control;
}

void AddItems(HWND combo, UINT message) {
  for (const wchar_t* item : {L"第一项", L"第二项", L"第三项"}) {
    SendMessageW(combo, message, 0, reinterpret_cast<LPARAM>(item));
  }
}

// One column of controls at x; the disabled column has every control disabled.
void AddColumn(HWND form, int x, bool enabled) {
  std::wstring heading = enabled ? L"可用" : L"禁用";
  HWND controls[32];
  int count = 0;
  auto add = [&](HWND control) { controls[count++] = control; };

  AddControl(form, L"Static", heading.c_str(), 0, 0, x, 10, 120, 16);
  add(AddControl(form, L"Button", L"开始处理", BS_PUSHBUTTON | WS_TABSTOP, 0, x, 32, 90, 26));
  add(AddControl(form, L"Button", L"选择文件", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, x + 100, 32, 90,
                 26));

  HWND checked = AddControl(form, L"ThunderRT6CheckBox", L"复选框", BS_AUTOCHECKBOX | WS_TABSTOP, 0,
                            x, 68, 90, 20);
  SendMessageW(checked, BM_SETCHECK, BST_CHECKED, 0);
  add(checked);
  HWND mixed = AddControl(form, L"ThunderRT6CheckBox", L"三态", BS_AUTO3STATE | WS_TABSTOP, 0,
                          x + 100, 68, 80, 20);
  SendMessageW(mixed, BM_SETCHECK, BST_INDETERMINATE, 0);
  add(mixed);
  add(AddControl(form, L"ThunderRT6CheckBox", L"未选", BS_AUTOCHECKBOX | WS_TABSTOP, 0, x + 190, 68,
                 80, 20));

  HWND first = AddControl(form, L"ThunderRT6OptionButton", L"选项一",
                          BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 0, x, 94, 90, 20);
  SendMessageW(first, BM_SETCHECK, BST_CHECKED, 0);
  add(first);
  add(AddControl(form, L"ThunderRT6OptionButton", L"选项二", BS_AUTORADIOBUTTON, 0, x + 100, 94, 90,
                 20));

  HWND editable = AddControl(form, L"ComboBox", L"", CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, 0, x,
                             122, 130, 120);
  AddItems(editable, CB_ADDSTRING);
  SendMessageW(editable, CB_SETCURSEL, 0, 0);
  add(editable);
  HWND list = AddControl(form, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0,
                         x + 140, 122, 130, 120);
  AddItems(list, CB_ADDSTRING);
  SendMessageW(list, CB_SETCURSEL, 1, 0);
  add(list);

  HWND drives = AddControl(form, L"ThunderRT6DriveListBox", L"",
                           CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, x, 154, 130, 120);
  for (const wchar_t* drive : {L"c: [系统]", L"d: [数据]", L"z: [/]"}) {
    SendMessageW(drives, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(drive));
  }
  SendMessageW(drives, CB_SETCURSEL, 0, 0);
  add(drives);
  add(AddControl(form, L"Edit", L"文本框", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, x + 140,
                 154, 130, 22));

  HWND horizontal = AddControl(form, L"ProgressBar20WndClass", L"", WS_BORDER, 0, x, 188, 200, 18);
  SendMessageW(horizontal, PBM_SETRANGE32, 0, 30000);
  SendMessageW(horizontal, PBM_SETPOS, 18000, 0);
  add(horizontal);
  HWND vertical = AddControl(form, L"ProgressBar20WndClass", L"",
                             PBS_VERTICAL | PBS_SMOOTH | WS_BORDER, 0, x + 220, 188, 18, 120);
  SendMessageW(vertical, PBM_SETRANGE32, 0, 30000);
  SendMessageW(vertical, PBM_SETPOS, 12000, 0);
  add(vertical);

  HWND header = AddControl(form, WC_HEADERW, L"", HDS_BUTTONS | HDS_HORZ, 0, x, 214, 200, 22);
  int left = 0;
  for (const wchar_t* title : {L"名称", L"大小", L"类型"}) {
    HDITEMW item{};
    item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
    item.cxy = 66;
    item.fmt = HDF_LEFT | HDF_STRING;
    item.pszText = const_cast<wchar_t*>(title);
    SendMessageW(header, HDM_INSERTITEMW, left++, reinterpret_cast<LPARAM>(&item));
  }
  add(header);

  HWND listBox = AddControl(form, L"ListBox", L"", LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP,
                            WS_EX_CLIENTEDGE, x, 244, 100, 64);
  AddItems(listBox, LB_ADDSTRING);
  SendMessageW(listBox, LB_SETCURSEL, 0, 0);
  add(listBox);
  HWND dataList =
      AddControl(form, L"DataListWndClass", L"", LBS_NOTIFY | WS_TABSTOP, 0, x + 110, 244, 100, 64);
  AddItems(dataList, LB_ADDSTRING);
  add(dataList);

  add(AddControl(form, kGridClass, L"", WS_BORDER, 0, x, 316, 238, 62));

  if (!enabled) {
    for (int i = 0; i < count; ++i) EnableWindow(controls[i], FALSE);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  int seconds = 0;
  int argc = 0;
  if (wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
    for (int i = 1; i + 1 < argc; ++i) {
      if (std::wcscmp(argv[i], L"--seconds") == 0) seconds = _wtoi(argv[i + 1]);
    }
    LocalFree(argv);
  }

  RegisterClasses(instance);
  g_font =
      CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"SimSun");

  RECT frame{0, 0, 2 * kColumnWidth + 16, 392};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  HWND form = CreateWindowExW(0, kFormClass, kTitle, style, 40, 40, frame.right - frame.left,
                              frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  if (!form) return 1;
  AddColumn(form, 16, true);
  AddColumn(form, 16 + kColumnWidth, false);

  modSkinner::SkinForm(form);
  ShowWindow(form, showCommand);
  UpdateWindow(form);
  if (seconds > 0) SetTimer(form, kCloseTimer, static_cast<UINT>(seconds) * 1000, nullptr);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  DeleteObject(g_font);
  return 0;
}
