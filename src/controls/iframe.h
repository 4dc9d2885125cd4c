// iFrame: a container panel of our own, painted in its background colour and outlined by a
// one-pixel border (the shape shpBorder) that always covers the whole control. Controls
// placed on it are its children; their notifications are passed on to its parent.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "platform/property_bag.h"

namespace tarnwick::controls {

inline constexpr wchar_t kFrameClassName[] = L"iFrame";
// OLE colour form: top bit set = system colour index; 0x8000000F is the button face.
inline constexpr std::uint32_t kDefaultBackColor = 0x8000000F;
// Light khaki (red 215, green 208, blue 172) as a platform colour value.
inline constexpr COLORREF kBorderColor = 0xACD0D7;
inline constexpr wchar_t kBackColorProperty[] = L"BackColor";
// Size of a newly placed frame.
inline constexpr int kDefaultWidthTwips = 4455;
inline constexpr int kDefaultHeightTwips = 3240;

// Position and size of the border shape, in pixels of the frame's client area.
struct ShapeBounds {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
};

// An OLE colour as an RGB value; throws std::invalid_argument for an invalid colour.
COLORREF TranslateOleColor(std::uint32_t ole_color);

class iFrame {
 public:
  // Tells the host that a property changed so that it saves the control.
  using PropertyChangedNotice = std::function<void(iFrame& frame, const wchar_t* name)>;

  // Creates a frame as a child of `parent` with the given bounds (pixels) and control id.
  // Reads its properties from `stored` (nothing stored: defaults), then sizes its border.
  // The window owns the object; it is deleted when the window is destroyed.
  static iFrame* Create(HWND parent, int control_id, const RECT& bounds,
                        const platform::PropertyBag* stored,
                        PropertyChangedNotice property_changed = {});

  // The frame of a window of this class, or null.
  static iFrame* FromHandle(HWND hwnd);

  HWND hWnd() const { return hwnd_; }

  std::uint32_t BackColor() const { return back_color_; }
  // Sets the background colour and repaints; throws std::invalid_argument for an invalid
  // colour (nothing changes then). Tells the host that "BackColor" changed.
  void BackColor(std::uint32_t ole_color);

  // The background colour as RGB, and a brush of it (owned by the frame).
  COLORREF BackgroundRgb() const { return background_rgb_; }
  HBRUSH BackgroundBrush() const { return background_brush_; }

  const ShapeBounds& shpBorder() const { return border_; }

  // Moves the border to cover the whole control (left 0, top 0, its width and height).
  void UserControl_Resize();
  // Reads "BackColor" (default 0x8000000F) and applies it; errors are passed on.
  void UserControl_ReadProperties(const platform::PropertyBag& bag);
  // Writes "BackColor" with default 0x8000000F (a default value is not kept).
  void UserControl_WriteProperties(platform::PropertyBag& bag) const;

  // Paints background and border into `hdc` (client coordinates).
  void Paint(HDC hdc) const;

  iFrame(const iFrame&) = delete;
  iFrame& operator=(const iFrame&) = delete;

 private:
  explicit iFrame(HWND hwnd) : hwnd_(hwnd) {}
  ~iFrame();

  static bool RegisterWindowClass();
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void ApplyBackColor(std::uint32_t ole_color);

  HWND hwnd_;
  std::uint32_t back_color_ = kDefaultBackColor;
  COLORREF background_rgb_ = 0;
  HBRUSH background_brush_ = nullptr;
  ShapeBounds border_;
  PropertyChangedNotice property_changed_;
};

}  // namespace tarnwick::controls
