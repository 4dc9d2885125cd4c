// Hover tracking and the fade of command buttons: the mouse-leave probe and request, the
// per-button fade timer and the tick that steps the fade level.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/dll_search.h"
#include "skin/skin_engine.h"

namespace modSkinner {

namespace {

constexpr UINT_PTR kFadeTimerId = 1;
constexpr UINT kFadeTimerPeriodMs = 15;
constexpr LONG_PTR kFadeStep = 3;
constexpr LONG_PTR kFullLevel = 255;

}  // namespace

// True when the library exports the function. A library that is not yet loaded is loaded
// from the system folder for the look-up and released again; one that is already loaded
// is left alone. A copy of the library beside the program is never loaded.
bool ApiExists(const char* functionName, const char* libraryName) {
  HMODULE library = GetModuleHandleA(libraryName);
  bool loadedHere = false;
  if (library == nullptr) {
    std::wstring name;
    for (const char* c = libraryName; *c != '\0'; ++c) name += static_cast<wchar_t>(*c);
    library = tarnwick::platform::LoadSystemLibrary(name.c_str());
    if (library == nullptr) return false;
    loadedHere = true;
  }
  const bool found = GetProcAddress(library, functionName) != nullptr;
  if (loadedHere) FreeLibrary(library);
  return found;
}

// Asks for one WM_MOUSELEAVE when the pointer leaves the window, through user32's
// TrackMouseEvent when the probe found it, else through comctl32's _TrackMouseEvent.
void RequestMouseLeave(HWND hwnd) {
  TRACKMOUSEEVENT request{};
  request.cbSize = sizeof(request);
  request.dwFlags = TME_LEAVE;
  request.hwndTrack = hwnd;
  request.dwHoverTime = 0;
  if (Engine().HaveUserTrackMouseEvent) {
    TrackMouseEvent(&request);
    return;
  }
  // comctl32 from the system folder, loaded on first use and kept for the process.
  using TrackFunction = BOOL(WINAPI*)(LPTRACKMOUSEEVENT);
  static const auto track =
      tarnwick::platform::SystemLibraryFunction<TrackFunction>(L"comctl32.dll", "_TrackMouseEvent");
  if (track != nullptr) track(&request);
}

// Starts the 15 ms fade timer (identifier 1) and stores it in TIMERID. A running timer is
// kept as it is and 0 is returned; a failed start leaves TIMERID 0.
UINT_PTR StartStateTimer(HWND hwnd) {
  if (GetSkinProp(hwnd, prop::TIMERID) != 0) return 0;
  const UINT_PTR timer = SetTimer(hwnd, kFadeTimerId, kFadeTimerPeriodMs, nullptr);
  SetSkinProp(hwnd, prop::TIMERID, static_cast<LONG_PTR>(timer));
  return timer;
}

// Stops the fade timer and clears TIMERID; 0 without any call when none runs, else the
// result of KillTimer.
BOOL StopStateTimer(HWND hwnd) {
  const LONG_PTR timer = GetSkinProp(hwnd, prop::TIMERID);
  if (timer == 0) return 0;
  const BOOL killed = KillTimer(hwnd, static_cast<UINT_PTR>(timer));
  SetSkinProp(hwnd, prop::TIMERID, 0);
  return killed;
}

// WM_TIMER of a skinned window. On a command button each tick blends the current face at
// the current level and raises the level by 3; the tick that painted at the last level
// not above 255 ends the fade (timer stopped, level back to 0). The message is then passed on.
LRESULT OnTimer(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (ClassifyWindow(hwnd) == ControlKind::KindButton) {
    const LONG_PTR level = GetSkinProp(hwnd, prop::ALPHALEVEL);
    PaintButton(hwnd, nullptr);
    // A stray level above 255 was painted clamped and ends the fade; no sum can overflow.
    const LONG_PTR next = level > kFullLevel ? kFullLevel + 1 : level + kFadeStep;
    if (next > kFullLevel) {
      StopStateTimer(hwnd);
      SetSkinProp(hwnd, prop::ALPHALEVEL, 0);
    } else {
      SetSkinProp(hwnd, prop::ALPHALEVEL, next);
    }
  }
  return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}

}  // namespace modSkinner
