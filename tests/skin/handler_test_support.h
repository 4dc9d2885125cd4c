// Fixtures for the attachment, dispatch and handler tests: a skinnable test form with
// controls under the class names the engine knows, message helpers and pixel reads.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace skin_handler_test {

// Registers the form class ("ThunderRT6FormDC") and the superclasses that give system
// controls the engine's class names. Safe to call more than once.
void RegisterTestClasses();

// Registers a class with the given procedure (a stand-in control whose behaviour a test
// controls). Safe to call more than once.
void RegisterProcClass(const wchar_t* name, WNDPROC procedure);

// A visible, topmost top-level form of a container class in the bottom right corner of the
// screen (pixels can only be read back from windows on the screen). Unskinned and
// destroyed with the object.
class TestForm {
 public:
  static constexpr int kWidth = 400;
  static constexpr int kHeight = 340;

  explicit TestForm(const wchar_t* className = L"ThunderRT6FormDC");
  ~TestForm();
  TestForm(const TestForm&) = delete;
  TestForm& operator=(const TestForm&) = delete;

  HWND get() const { return hwnd_; }
  operator HWND() const { return hwnd_; }

  // A visible child control; the form destroys it.
  HWND Add(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
           int height, DWORD exStyle = 0);

 private:
  HWND hwnd_;
};

// Processes every pending message of the thread.
void Pump();
// Shows the window, lets every pending paint run.
void Settle(HWND hwnd);
// Moves the mouse pointer to a corner where none of the test windows is.
void MoveCursorAway();
// Moves the mouse pointer onto a client point of a window.
void MoveCursorTo(HWND hwnd, int x, int y);

// Pixels of a window's whole area, window-DC coordinates.
COLORREF WindowPixel(HWND hwnd, int x, int y);
void FillWindowArea(HWND hwnd, int x, int y, int width, int height, COLORREF colour);

// Every skin property name of the engine, for checks that none is left on a window.
std::vector<const wchar_t*> AllSkinPropertyNames();
// True when the window has the property, whatever its value (0 included).
bool HasProperty(HWND hwnd, const wchar_t* name);
// Names of the skin properties that a window still has.
std::wstring PropertiesLeft(HWND hwnd);

// Mouse message point parameter.
LPARAM Point(int x, int y);

// True when every channel of `value` lies strictly between those of `a` and `b`, or equals
// them where they are equal, and value is neither a nor b.
bool Between(COLORREF value, COLORREF a, COLORREF b);

}  // namespace skin_handler_test
