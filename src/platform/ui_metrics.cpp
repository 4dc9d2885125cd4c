#include "platform/ui_metrics.h"

#include "platform/gdi_guards.h"

namespace tarnwick::platform {

namespace {

// Owns the shared font for the life of the program.
class SharedFont {
 public:
  SharedFont()
      : font_(CreateFontW(-MulDiv(9, SystemDpi(), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                          GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, L"宋体")) {}
  ~SharedFont() {
    if (font_) DeleteObject(font_);
  }
  SharedFont(const SharedFont&) = delete;
  SharedFont& operator=(const SharedFont&) = delete;
  HFONT get() const { return font_; }

 private:
  HFONT font_;
};

}  // namespace

int SystemDpi() {
  static const int dpi = [] {
    ScopedGetDC screen(nullptr);
    const int value = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    return value > 0 ? value : 96;
  }();
  return dpi;
}

HFONT DefaultUiFont() {
  static SharedFont font;
  return font.get();
}

SIZE MeasureText(const wchar_t* text, int length) {
  SIZE size{0, 0};
  ScopedGetDC screen(nullptr);
  ScopedSelectObject select(screen, DefaultUiFont());
  if (length > 0) GetTextExtentPoint32W(screen, text, length, &size);
  TEXTMETRICW metrics{};
  if (GetTextMetricsW(screen, &metrics)) size.cy = metrics.tmHeight;
  return size;
}

}  // namespace tarnwick::platform
