// Stateless drawing primitives of the skin engine: class names, captions, window bounds,
// frame metrics, solid fills and frames, text, focus box, word halves of a message value.
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace modSkinner {

// Raised by coordinate arithmetic that would leave the signed 32-bit range. Window
// procedures catch it: it never escapes to the system.
class CoordinateOverflow : public std::overflow_error {
 public:
  using std::overflow_error::overflow_error;
};

// Signed 32-bit sum and difference; overflow raises CoordinateOverflow.
std::int32_t CheckedAdd(std::int32_t a, std::int32_t b);
std::int32_t CheckedSub(std::int32_t a, std::int32_t b);

// Nearest integer, a half to the even neighbour (2.5 -> 2, 3.5 -> 4, -0.5 -> 0).
std::int32_t RoundHalfEven(double value);
// half(n): n / 2 rounded half to even (5 -> 2, 7 -> 4).
std::int32_t Half(std::int32_t value);

// Outer rectangle of a window in screen pixels.
struct WindowBounds {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
  std::int32_t Width = 0;
  std::int32_t Height = 0;
};

std::wstring GetClassNameText(HWND hwnd);  // never throws; empty when unreadable
std::wstring GetWindowCaption(HWND hwnd);
int DrawCaptionText(HDC hdc, const std::wstring& text, std::int32_t x, std::int32_t y,
                    std::int32_t width, std::int32_t height, UINT format);
int FillColorRect(HDC hdc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  COLORREF colour);
BOOL GetWindowBounds(HWND hwnd, WindowBounds& bounds);
BOOL DrawFocusBox(HDC hdc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);
int FrameColorRect(HDC hdc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                   COLORREF colour);
int GetFrameMetrics(HWND hwnd, std::int32_t& borderX, std::int32_t& borderY);
std::int16_t GetLowWord(std::int32_t value);
std::int16_t GetHighWord(std::int32_t value);

}  // namespace modSkinner
