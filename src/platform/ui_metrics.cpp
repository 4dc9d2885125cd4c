#include "platform/ui_metrics.h"

#include "platform/dll_search.h"
#include "platform/gdi_guards.h"

namespace tarnwick::platform {

namespace {

// Owns the shared font for the life of the program.
class SharedFont : NonCopyable {
 public:
  SharedFont() : font_(CreateUiFont(SystemDpi())) {}
  ~SharedFont() {
    if (font_) DeleteObject(font_);
  }
  HFONT get() const { return font_; }

 private:
  HFONT font_;
};

// The per-monitor DPI functions of user32 (Windows 10 1607 and later), looked up once: the
// program also runs on systems that lack them.
struct DpiFunctions {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
  using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  GetDpiForWindowFn get_dpi_for_window = nullptr;
  GetSystemMetricsForDpiFn get_system_metrics_for_dpi = nullptr;
  AdjustWindowRectExForDpiFn adjust_window_rect_ex_for_dpi = nullptr;
};

const DpiFunctions& Dpi() {
  static const DpiFunctions functions = [] {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    DpiFunctions found;
    found.get_dpi_for_window =
        ExportAs<DpiFunctions::GetDpiForWindowFn>(GetProcAddress(user32, "GetDpiForWindow"));
    found.get_system_metrics_for_dpi = ExportAs<DpiFunctions::GetSystemMetricsForDpiFn>(
        GetProcAddress(user32, "GetSystemMetricsForDpi"));
    found.adjust_window_rect_ex_for_dpi = ExportAs<DpiFunctions::AdjustWindowRectExForDpiFn>(
        GetProcAddress(user32, "AdjustWindowRectExForDpi"));
    return found;
  }();
  return functions;
}

}  // namespace

int SystemDpi() {
  static const int dpi = [] {
    ScopedGetDC screen(nullptr);
    const int value = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    return value > 0 ? value : kDefaultDpi;
  }();
  return dpi;
}

int WindowDpi(HWND hwnd) {
  if (hwnd && Dpi().get_dpi_for_window) {
    const UINT dpi = Dpi().get_dpi_for_window(hwnd);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

int SystemMetricForDpi(int index, int dpi) {
  if (Dpi().get_system_metrics_for_dpi && dpi > 0) {
    return Dpi().get_system_metrics_for_dpi(index, static_cast<UINT>(dpi));
  }
  return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

RECT OuterRectForDpi(const RECT& client, DWORD style, DWORD ex_style, int dpi) {
  RECT outer = client;
  if (!Dpi().adjust_window_rect_ex_for_dpi ||
      !Dpi().adjust_window_rect_ex_for_dpi(&outer, style, FALSE, ex_style,
                                           static_cast<UINT>(dpi))) {
    outer = client;
    AdjustWindowRectEx(&outer, style, FALSE, ex_style);
  }
  return outer;
}

HFONT CreateUiFont(int dpi) {
  return CreateFontW(-MulDiv(9, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, L"宋体");
}

HFONT DefaultUiFont() {
  static SharedFont font;
  return font.get();
}

SIZE MeasureText(const wchar_t* text, int length, HFONT font) {
  SIZE size{0, 0};
  ScopedGetDC screen(nullptr);
  ScopedSelectObject select(screen, font ? font : DefaultUiFont());
  if (length > 0) GetTextExtentPoint32W(screen, text, length, &size);
  TEXTMETRICW metrics{};
  if (GetTextMetricsW(screen, &metrics)) size.cy = metrics.tmHeight;
  return size;
}

}  // namespace tarnwick::platform
