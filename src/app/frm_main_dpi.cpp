// frmMain at the DPI of its monitor: the layout's twips in pixels, the font, the icons and
// the link cursor made for that DPI, and the move to another DPI (another monitor, or the
// scale changed while signed in) without any bitmap scaling by the system.
#include "app/frm_main.h"
#include "app/res/resource_ids.h"
#include "platform/ui_metrics.h"
#include "skin/skin_engine.h"

namespace tarnwick::app {

namespace {

// An icon or cursor of the executable's resources, in the size asked for: the nearest
// picture of the resource's sizes, as a copy of the window's own.
HANDLE LoadSizedImage(int id, UINT type, int size) {
  return LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), type, size, size, 0);
}

}  // namespace

HFONT frmMain::Font() const {
  return dpi_font_ ? dpi_font_.get() : platform::DefaultUiFont();
}

RECT frmMain::ControlBounds(const ControlEntry& entry) const {
  return RECT{Pixels(entry.left), Pixels(entry.top), Pixels(entry.left + entry.width),
              Pixels(entry.top + entry.height)};
}

void frmMain::UseDpi(int dpi) {
  dpi_ = dpi;
  // The shared default font is the system DPI's; any other DPI gets a font of its own.
  dpi_font_.reset(dpi == platform::SystemDpi() ? nullptr : platform::CreateUiFont(dpi));
  LoadDpiImages();
}

void frmMain::LoadDpiImages() {
  const auto icon = [this](int metric) {
    return static_cast<HICON>(
        LoadSizedImage(IDI_TARNWICK, IMAGE_ICON, platform::SystemMetricForDpi(metric, dpi_)));
  };
  HICON big = icon(SM_CXICON);
  HICON small = icon(SM_CXSMICON);
  HCURSOR cursor = static_cast<HCURSOR>(
      LoadSizedImage(IDC_LINK_HAND, IMAGE_CURSOR, platform::SystemMetricForDpi(SM_CXCURSOR, dpi_)));
  // The new ones are in use before the old ones are destroyed.
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  if (cursor && link_cursor_.get() && GetCursor() == link_cursor_.get()) SetCursor(cursor);
  big_icon_.reset(big);
  small_icon_.reset(small);
  link_cursor_.reset(cursor);
}

void frmMain::LayoutControls() {
  for (const ControlEntry& entry : MainWindowLayout()) {
    HWND hwnd = Control(entry.name);
    if (!hwnd) continue;
    // The font first: a command button renders its faces again when it is resized.
    if (entry.type != ControlType::kFrame) {
      SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    }
    const RECT bounds = ControlBounds(entry);
    SetWindowPos(hwnd, nullptr, bounds.left, bounds.top, bounds.right - bounds.left,
                 bounds.bottom - bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (entry.type == ControlType::kLabel) AutoSizeLabel(hwnd);
  }
  // A label right-aligned by its caption changes stays right-aligned; Label3's lines are
  // broken again for the new font.
  if (label7_aligned_) Label7_Change();
  ShowSplitSummary();
}

// WM_DPICHANGED: the window takes the suggested rectangle and everything is made again for
// the new DPI. The skin is taken off around the change, as around a caption change, so that
// the buttons' faces and regions, and the edges, are made anew in the new font and size.
void frmMain::OnDpiChanged(int dpi, const RECT* suggested) {
  if (dpi <= 0) return;
  modSkinner::UnskinForm(hwnd_);
  // The old font stays alive until every control uses the new one.
  const platform::OwnedFont old_font = std::move(dpi_font_);
  UseDpi(dpi);
  if (suggested) {
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    const SIZE size = OuterSize(dpi_);
    SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  LayoutControls();
  modSkinner::SkinForm(hwnd_);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

}  // namespace tarnwick::app
