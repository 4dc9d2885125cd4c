// Test fixtures for the painters, the fade and the engine state: the skin images, a
// visible host window with superclassed controls, hand-made button faces and pixel reads.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace skin_painter_test {

// Builds the engine's five skin images once per process.
void EnsureSkinImages();

// Registers `name` as a superclass of the system class `baseClass` (same procedure, same
// extra bytes); registering a name twice is harmless.
void RegisterSuperclass(const wchar_t* name, const wchar_t* baseClass);

// Registers a plain class whose windows use DefWindowProcW.
void RegisterPlainClass(const wchar_t* name);

// The visible, topmost host window that every test control is a child of. Pixels can only
// be read back from windows that are on the screen.
HWND Host();

// A child control of the host; destroyed with the object.
class TestWindow {
 public:
  TestWindow(const wchar_t* className, DWORD style, int x, int y, int width, int height,
             const wchar_t* text = L"");
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  HWND get() const { return hwnd_; }
  operator HWND() const { return hwnd_; }

 private:
  HWND hwnd_;
};

// Face surfaces HDC0..HDC3 / BMP0..BMP3 made by hand as attaching makes them, with the
// button properties OLDSTYLE (the given style), TIMERID 0, OLDSTATE 0, ALPHALEVEL 0.
// Removed and released with the object.
class ButtonFaces {
 public:
  ButtonFaces(HWND button, LONG_PTR oldStyle);
  ~ButtonFaces();
  ButtonFaces(const ButtonFaces&) = delete;
  ButtonFaces& operator=(const ButtonFaces&) = delete;
  HDC Face(int state) const { return faces_[state]; }

 private:
  HWND button_;
  HDC faces_[4] = {};
  HBITMAP bitmaps_[4] = {};
  HGDIOBJ previous_[4] = {};
};

// A memory DC with a bitmap of its own, filled with one colour.
class Canvas {
 public:
  Canvas(int width, int height, COLORREF fill);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  HDC get() const { return dc_; }
  operator HDC() const { return dc_; }
  COLORREF Pixel(int x, int y) const { return GetPixel(dc_, x, y); }
  void Fill(COLORREF colour);

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
  int width_;
  int height_;
};

// Processes every pending message of the thread.
void Pump();
// Shows the host on top and lets every pending paint run, so that no later paint of a
// control overwrites what a test draws.
void Settle();

// A pixel of a window's whole area (window DC coordinates).
COLORREF WindowPixel(HWND hwnd, int x, int y);
// Fills a rectangle of a window's whole area with one colour.
void FillWindow(HWND hwnd, int x, int y, int width, int height, COLORREF colour);

// Pixel grid copied out of a DC.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> values;
  COLORREF at(int x, int y) const { return values[static_cast<std::size_t>(y * width + x)]; }
};
Pixels ReadPixels(HDC dc, int x, int y, int width, int height);
// Pixels of a window's whole area (window DC coordinates).
Pixels WindowPixels(HWND hwnd, int x, int y, int width, int height);

// Bounding box of the pixels that satisfy a test; empty (right < left) when there is none.
struct Box {
  int left = 0;
  int top = 0;
  int right = -1;   // inclusive
  int bottom = -1;  // inclusive
  bool empty() const { return right < left; }
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
};
template <typename Test>
Box BoxWhere(const Pixels& pixels, Test test) {
  Box box{pixels.width, pixels.height, -1, -1};
  for (int y = 0; y < pixels.height; ++y) {
    for (int x = 0; x < pixels.width; ++x) {
      if (!test(pixels.at(x, y))) continue;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x);
      box.bottom = std::max(box.bottom, y);
    }
  }
  return box.right < 0 ? Box{} : box;
}
Box DarkBox(const Pixels& pixels);
// True when a pixel of the rectangle (inclusive bounds) is dark: every channel below 0x80.
bool AnyDark(const Pixels& pixels, int left, int top, int right,
             int bottom);  // every channel below 0x80
Box ColourBox(const Pixels& pixels, COLORREF colour);
int CountColour(const Pixels& pixels, COLORREF colour);

// n / 2 rounded to the nearest integer, halves to even, computed independently of the
// engine for expectations that depend on system metrics.
int ExpectedHalf(int n);

// True when every channel of `value` lies between those of `a` and `b` (either order) and
// the value is neither of them.
bool StrictlyBetween(COLORREF value, COLORREF a, COLORREF b);

}  // namespace skin_painter_test
