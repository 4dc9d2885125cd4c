#include "platform/ui_metrics.h"

#include <algorithm>

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

SIZE MeasureLines(std::wstring_view text, HFONT font) {
  SIZE total{0, 0};
  for (std::size_t start = 0;;) {
    const std::size_t end = std::min(text.find(L'\n', start), text.size());
    const SIZE line = MeasureText(text.data() + start, static_cast<int>(end - start), font);
    total.cx = std::max(total.cx, line.cx);
    total.cy += line.cy;
    if (end == text.size()) return total;
    start = end + 1;
  }
}

std::wstring BreakLines(std::wstring_view text, int max_width, int max_lines, HFONT font) {
  ScopedGetDC screen(nullptr);
  ScopedSelectObject select(screen, font ? font : DefaultUiFont());
  // How many characters of `line` fit into `width` pixels.
  const auto fitting = [&](std::wstring_view line, int width) {
    INT fit = 0;
    SIZE size{};
    GetTextExtentExPointW(screen, line.data(), static_cast<int>(line.size()), std::max(width, 0),
                          &fit, nullptr, &size);
    return static_cast<std::size_t>(std::max(fit, 0));
  };
  std::wstring lines;
  for (int line = 1; !text.empty(); ++line) {
    const std::size_t fit = fitting(text, max_width);
    if (fit >= text.size()) return lines + std::wstring(text);
    if (line >= max_lines) {
      const SIZE ellipsis = MeasureText(L"…", 1, font);
      return lines + std::wstring(text.substr(0, fitting(text, max_width - ellipsis.cx))) + L"…";
    }
    std::size_t cut = text.substr(0, fit).find_last_of(L"，、。；： ");
    cut = cut == std::wstring_view::npos || cut + 1 < fit / 2 ? std::max<std::size_t>(fit, 1)
                                                              : cut + 1;
    lines += std::wstring(text.substr(0, cut)) + L"\n";
    text = text.substr(cut);
    text.remove_prefix(std::min(text.find_first_not_of(L' '), text.size()));
  }
  if (!lines.empty() && lines.back() == L'\n') lines.pop_back();  // only spaces were left
  return lines;
}

}  // namespace tarnwick::platform
