// Test fixtures for the painters, the fade and the engine state.
#include "skin_test_support.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "graphics/primitives.h"
#include "graphics/skin_images.h"
#include "skin/skin_engine.h"

namespace skin_painter_test {

namespace {

constexpr wchar_t kHostClass[] = L"SkinPainterTestHost";
constexpr int kHostWidth = 320;
constexpr int kHostHeight = 400;

// The bottom-right corner of the screen as the system reports it now (Wine's screen size
// can differ from the X display's), out of the way of windows of other test programs that
// share the display. Pixels outside the screen cannot be read back.
POINT HostPosition() {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  return POINT{std::max(0, screenWidth - kHostWidth - 10),
               std::max(0, screenHeight - kHostHeight - 10)};
}

bool IsDark(COLORREF c) {
  return GetRValue(c) < 0x80 && GetGValue(c) < 0x80 && GetBValue(c) < 0x80;
}

}  // namespace

void EnsureSkinImages() {
  modSkinner::SkinImages& images = modSkinner::Engine().Images;
  if (images.ButtonImage == nullptr) modSkinner::BuildSkinImages(images);
}

void RegisterSuperclass(const wchar_t* name, const wchar_t* baseClass) {
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  if (!GetClassInfoExW(nullptr, baseClass, &info)) {
    throw std::runtime_error("system class not found");
  }
  info.hInstance = GetModuleHandleW(nullptr);
  info.lpszClassName = name;
  RegisterClassExW(&info);
}

void RegisterPlainClass(const wchar_t* name) {
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  info.lpfnWndProc = DefWindowProcW;
  info.hInstance = GetModuleHandleW(nullptr);
  info.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  info.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  info.lpszClassName = name;
  RegisterClassExW(&info);
}

HWND Host() {
  static HWND host = [] {
    RegisterPlainClass(kHostClass);
    const POINT position = HostPosition();
    HWND hwnd =
        CreateWindowExW(WS_EX_TOPMOST, kHostClass, L"skin painter tests",
                        WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, position.x, position.y, kHostWidth,
                        kHostHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(hwnd);
    Pump();
    return hwnd;
  }();
  return host;
}

TestWindow::TestWindow(const wchar_t* className, DWORD style, int x, int y, int width, int height,
                       const wchar_t* text)
    : hwnd_(CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                            Host(), nullptr, GetModuleHandleW(nullptr), nullptr)) {
  if (hwnd_ == nullptr) throw std::runtime_error("test window not created");
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);
  Settle();
}

TestWindow::~TestWindow() {
  DestroyWindow(hwnd_);
}

ButtonFaces::ButtonFaces(HWND button, LONG_PTR oldStyle) : button_(button) {
  RECT r{};
  GetWindowRect(button, &r);
  HDC windowDC = GetWindowDC(button);
  for (int i = 0; i < 4; ++i) {
    faces_[i] = CreateCompatibleDC(windowDC);
    bitmaps_[i] = CreateCompatibleBitmap(windowDC, r.right - r.left, r.bottom - r.top);
    previous_[i] = SelectObject(faces_[i], bitmaps_[i]);
    modSkinner::SetSkinProp(button, modSkinner::prop::HDC_[i],
                            reinterpret_cast<LONG_PTR>(faces_[i]));
    modSkinner::SetSkinProp(button, modSkinner::prop::BMP_[i],
                            reinterpret_cast<LONG_PTR>(bitmaps_[i]));
  }
  ReleaseDC(button, windowDC);
  modSkinner::SetSkinProp(button, modSkinner::prop::OLDSTYLE, oldStyle);
  modSkinner::SetSkinProp(button, modSkinner::prop::TIMERID, 0);
  modSkinner::SetSkinProp(button, modSkinner::prop::OLDSTATE, 0);
  modSkinner::SetSkinProp(button, modSkinner::prop::ALPHALEVEL, 0);
}

ButtonFaces::~ButtonFaces() {
  const LONG_PTR timer = modSkinner::GetSkinProp(button_, modSkinner::prop::TIMERID);
  if (timer != 0) KillTimer(button_, static_cast<UINT_PTR>(timer));
  for (const wchar_t* name : {modSkinner::prop::OLDSTYLE, modSkinner::prop::TIMERID,
                              modSkinner::prop::OLDSTATE, modSkinner::prop::ALPHALEVEL}) {
    modSkinner::RemoveSkinProp(button_, name);
  }
  for (int i = 0; i < 4; ++i) {
    modSkinner::RemoveSkinProp(button_, modSkinner::prop::HDC_[i]);
    modSkinner::RemoveSkinProp(button_, modSkinner::prop::BMP_[i]);
    SelectObject(faces_[i], previous_[i]);
    DeleteObject(bitmaps_[i]);
    DeleteDC(faces_[i]);
  }
}

Canvas::Canvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
  HDC screen = GetDC(nullptr);
  dc_ = CreateCompatibleDC(screen);
  bitmap_ = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  previous_ = SelectObject(dc_, bitmap_);
  Fill(fill);
}

Canvas::~Canvas() {
  SelectObject(dc_, previous_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

void Canvas::Fill(COLORREF colour) {
  RECT r{0, 0, width_, height_};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc_, &r, brush);
  DeleteObject(brush);
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void Settle() {
  HWND host = Host();
  const POINT position = HostPosition();
  SetWindowPos(host, HWND_TOPMOST, position.x, position.y, kHostWidth, kHostHeight, SWP_SHOWWINDOW);
  RedrawWindow(host, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump();
}

COLORREF WindowPixel(HWND hwnd, int x, int y) {
  HDC dc = GetWindowDC(hwnd);
  const COLORREF value = GetPixel(dc, x, y);
  ReleaseDC(hwnd, dc);
  return value;
}

void FillWindow(HWND hwnd, int x, int y, int width, int height, COLORREF colour) {
  HDC dc = GetWindowDC(hwnd);
  RECT r{x, y, x + width, y + height};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  ReleaseDC(hwnd, dc);
}

Pixels ReadPixels(HDC dc, int x, int y, int width, int height) {
  Pixels pixels;
  pixels.width = width;
  pixels.height = height;
  pixels.values.reserve(static_cast<std::size_t>(width * height));
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      pixels.values.push_back(GetPixel(dc, x + column, y + row));
    }
  }
  return pixels;
}

Pixels WindowPixels(HWND hwnd, int x, int y, int width, int height) {
  HDC dc = GetWindowDC(hwnd);
  Pixels pixels = ReadPixels(dc, x, y, width, height);
  ReleaseDC(hwnd, dc);
  return pixels;
}

Box DarkBox(const Pixels& pixels) {
  return BoxWhere(pixels, IsDark);
}

bool AnyDark(const Pixels& pixels, int left, int top, int right, int bottom) {
  for (int y = std::max(top, 0); y <= std::min(bottom, pixels.height - 1); ++y) {
    for (int x = std::max(left, 0); x <= std::min(right, pixels.width - 1); ++x) {
      if (IsDark(pixels.at(x, y))) return true;
    }
  }
  return false;
}

Box ColourBox(const Pixels& pixels, COLORREF colour) {
  return BoxWhere(pixels, [colour](COLORREF c) { return c == colour; });
}

int CountColour(const Pixels& pixels, COLORREF colour) {
  int count = 0;
  for (COLORREF c : pixels.values) count += c == colour ? 1 : 0;
  return count;
}

int ExpectedHalf(int n) {
  return static_cast<int>(std::nearbyint(n / 2.0));
}

bool StrictlyBetween(COLORREF value, COLORREF a, COLORREF b) {
  if (value == a || value == b) return false;
  auto within = [](int v, int p, int q) { return v >= std::min(p, q) && v <= std::max(p, q); };
  return within(GetRValue(value), GetRValue(a), GetRValue(b)) &&
         within(GetGValue(value), GetGValue(a), GetGValue(b)) &&
         within(GetBValue(value), GetBValue(a), GetBValue(b));
}

}  // namespace skin_painter_test
