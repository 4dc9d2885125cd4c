#include "controls/iframe.h"

#include <ole2.h>
#include <olectl.h>

#include <stdexcept>

#include "platform/gdi_guards.h"

namespace tarnwick::controls {

namespace {

// Extra window bytes of the class: the pointer to the frame object.
constexpr int kObjectSlot = 0;

// Notifications a child sends to its parent; the frame passes them on to its own parent so
// that the window containing the frame handles its controls' events.
bool IsChildNotification(UINT message) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return true;
    default:
      return false;
  }
}

}  // namespace

COLORREF TranslateOleColor(std::uint32_t ole_color) {
  COLORREF rgb = 0;
  if (FAILED(OleTranslateColor(static_cast<OLE_COLOR>(ole_color), nullptr, &rgb))) {
    throw std::invalid_argument("invalid colour value");
  }
  return rgb;
}

iFrame* iFrame::Create(HWND parent, int control_id, const RECT& bounds,
                       const platform::PropertyBag* stored,
                       PropertyChangedNotice property_changed) {
  if (!RegisterWindowClass()) return nullptr;
  HWND hwnd =
      CreateWindowExW(WS_EX_CONTROLPARENT, kFrameClassName, L"",
                      WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, bounds.left,
                      bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id)),
                      GetModuleHandleW(nullptr), nullptr);
  iFrame* frame = FromHandle(hwnd);
  if (!frame) return nullptr;
  try {
    if (stored) frame->UserControl_ReadProperties(*stored);
  } catch (...) {
    DestroyWindow(hwnd);
    throw;
  }
  frame->UserControl_Resize();
  // Set last, so that reading the stored description does not count as a change.
  frame->property_changed_ = std::move(property_changed);
  return frame;
}

iFrame* iFrame::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  wchar_t class_name[16] = {};
  if (!GetClassNameW(hwnd, class_name, 16) || lstrcmpiW(class_name, kFrameClassName) != 0) {
    return nullptr;
  }
  return reinterpret_cast<iFrame*>(GetWindowLongPtrW(hwnd, kObjectSlot));
}

iFrame::~iFrame() {
  if (background_brush_) DeleteObject(background_brush_);
}

bool iFrame::RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = &iFrame::WindowProc;
    window_class.cbWndExtra = sizeof(iFrame*);
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = kFrameClassName;
    return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

void iFrame::BackColor(std::uint32_t ole_color) {
  ApplyBackColor(ole_color);
  InvalidateRect(hwnd_, nullptr, TRUE);
  if (property_changed_) property_changed_(*this, kBackColorProperty);
}

void iFrame::ApplyBackColor(std::uint32_t ole_color) {
  const COLORREF rgb = TranslateOleColor(ole_color);  // throws before anything changes
  HBRUSH brush = CreateSolidBrush(rgb);
  if (!brush) throw std::runtime_error("cannot create the background brush");
  if (background_brush_) DeleteObject(background_brush_);
  background_brush_ = brush;
  background_rgb_ = rgb;
  back_color_ = ole_color;
}

void iFrame::UserControl_Resize() {
  // A failed size query leaves the border where it was.
  RECT client{};
  if (!GetClientRect(hwnd_, &client)) return;
  border_ = ShapeBounds{0, 0, client.right - client.left, client.bottom - client.top};
}

void iFrame::UserControl_ReadProperties(const platform::PropertyBag& bag) {
  const std::int64_t value = bag.ReadProperty(kBackColorProperty, kDefaultBackColor);
  if (value < 0 || value > 0xFFFFFFFFll) throw std::invalid_argument("invalid colour value");
  ApplyBackColor(static_cast<std::uint32_t>(value));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void iFrame::UserControl_WriteProperties(platform::PropertyBag& bag) const {
  bag.WriteProperty(kBackColorProperty, back_color_, kDefaultBackColor);
}

void iFrame::Paint(HDC hdc) const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  FillRect(hdc, &client, background_brush_);
  const RECT border{border_.Left, border_.Top, border_.Left + border_.Width,
                    border_.Top + border_.Height};
  const platform::ScopedGdiObject<HBRUSH> border_brush(CreateSolidBrush(kBorderColor));
  if (border_brush) FrameRect(hdc, &border, border_brush);
}

LRESULT CALLBACK iFrame::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    iFrame* frame = new (std::nothrow) iFrame(hwnd);
    if (!frame) return FALSE;
    try {
      frame->ApplyBackColor(kDefaultBackColor);
    } catch (...) {
      delete frame;
      return FALSE;
    }
    SetWindowLongPtrW(hwnd, kObjectSlot, reinterpret_cast<LONG_PTR>(frame));
  }
  iFrame* frame = reinterpret_cast<iFrame*>(GetWindowLongPtrW(hwnd, kObjectSlot));
  if (!frame) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, kObjectSlot, 0);
    delete frame;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  try {
    return frame->HandleMessage(message, wParam, lParam);
  } catch (...) {
    // No error may leave a window procedure.
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

LRESULT iFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsChildNotification(message)) {
    HWND parent = GetParent(hwnd_);
    if (parent) return SendMessageW(parent, message, wParam, lParam);
    return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
  switch (message) {
    case WM_SIZE:
      try {
        UserControl_Resize();
      } catch (...) {
        // The border stays where it was; the host is never disturbed.
      }
      InvalidateRect(hwnd_, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills the whole client area
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC hdc = BeginPaint(hwnd_, &paint);
      if (hdc) Paint(hdc);
      EndPaint(hwnd_, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wParam));
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

}  // namespace tarnwick::controls
