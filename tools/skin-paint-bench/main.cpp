// Measures the cost of the skin's hot paths on real, visible windows: one fade tick of a
// 75 x 25 command button (PaintButton into the window DC, and OnTimer, which adds the
// property bookkeeping) and one forced PaintCheckBox. Prints the median, 95th percentile
// and mean per call in microseconds.
//   skin-paint-bench.exe [iterations]     (default 2000)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <numeric>
#include <vector>

#include "graphics/skin_images.h"
#include "skin/skin_engine.h"

namespace {

constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

struct Figures {
  double median;
  double p95;
  double mean;
};

// Runs `call` the given number of times after a short warm-up, timing each call.
Figures Measure(int iterations, const std::function<void()>& call) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  for (int i = 0; i < 50; ++i) call();
  std::vector<double> micros;
  micros.reserve(static_cast<std::size_t>(iterations));
  for (int i = 0; i < iterations; ++i) {
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceCounter(&start);
    call();
    QueryPerformanceCounter(&end);
    micros.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                     static_cast<double>(frequency.QuadPart));
  }
  const double mean = std::accumulate(micros.begin(), micros.end(), 0.0) / micros.size();
  std::sort(micros.begin(), micros.end());
  return Figures{micros[micros.size() / 2], micros[micros.size() * 95 / 100], mean};
}

void Print(const char* what, const Figures& f) {
  std::printf("%-44s median %8.1f us   p95 %8.1f us   mean %8.1f us\n", what, f.median, f.p95,
              f.mean);
}

// Face surfaces for the button as attaching makes them.
void MakeFaces(HWND button) {
  HDC windowDC = GetWindowDC(button);
  for (int i = 0; i < 4; ++i) {
    HDC face = CreateCompatibleDC(windowDC);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDC, kButtonWidth, kButtonHeight);
    SelectObject(face, bitmap);
    modSkinner::SetSkinProp(button, modSkinner::prop::HDC_[i], reinterpret_cast<LONG_PTR>(face));
    modSkinner::SetSkinProp(button, modSkinner::prop::BMP_[i], reinterpret_cast<LONG_PTR>(bitmap));
  }
  ReleaseDC(button, windowDC);
  modSkinner::SetSkinProp(button, modSkinner::prop::OLDSTYLE, WS_CHILD | WS_VISIBLE);
  modSkinner::SetSkinProp(button, modSkinner::prop::OLDSTATE, 1);
}

// Deletes the face surfaces and their bitmaps and removes the properties.
void ReleaseFaces(HWND button) {
  for (int i = 0; i < 4; ++i) {
    HDC face = reinterpret_cast<HDC>(modSkinner::GetSkinProp(button, modSkinner::prop::HDC_[i]));
    HBITMAP bitmap =
        reinterpret_cast<HBITMAP>(modSkinner::GetSkinProp(button, modSkinner::prop::BMP_[i]));
    DeleteDC(face);
    DeleteObject(bitmap);
    modSkinner::RemoveSkinProp(button, modSkinner::prop::HDC_[i]);
    modSkinner::RemoveSkinProp(button, modSkinner::prop::BMP_[i]);
  }
  for (const wchar_t* name : {modSkinner::prop::OLDSTYLE, modSkinner::prop::OLDSTATE,
                              modSkinner::prop::ALPHALEVEL, modSkinner::prop::TIMERID}) {
    modSkinner::RemoveSkinProp(button, name);
  }
}

// Stands in for the button's own procedure behind OnTimer.
LRESULT CALLBACK PassOn(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int iterations =
      argc > 1 ? std::max(100, static_cast<int>(std::wcstol(argv[1], nullptr, 10))) : 2000;
  modSkinner::BuildSkinImages(modSkinner::Engine().Images);

  HWND host = CreateWindowExW(WS_EX_TOPMOST, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 120,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  HWND button = CreateWindowExW(0, L"Button", L"Start", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 10,
                                10, kButtonWidth, kButtonHeight, host, nullptr, nullptr, nullptr);
  HWND check = CreateWindowExW(0, L"Button", L"Check", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10,
                               50, 120, 20, host, nullptr, nullptr, nullptr);
  SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
  UpdateWindow(host);
  MakeFaces(button);
  modSkinner::RenderButtonFaces(button);

  std::printf("skin-paint-bench: %d calls each\n", iterations);
  modSkinner::SetSkinProp(button, modSkinner::prop::ALPHALEVEL, 128);
  Print("PaintButton, window DC (one fade tick)",
        Measure(iterations, [&] { modSkinner::PaintButton(button, nullptr); }));
  Print("OnTimer on a command button (tick + steps)", Measure(iterations, [&] {
          modSkinner::SetSkinProp(button, modSkinner::prop::ALPHALEVEL, 128);
          modSkinner::SetSkinProp(button, modSkinner::prop::TIMERID, 0);
          modSkinner::OnTimer(PassOn, button, WM_TIMER, 1, 0);
        }));
  Print("RenderButtonFaces (attach, resize, focus)",
        Measure(iterations / 10, [&] { modSkinner::RenderButtonFaces(button); }));
  Print("PaintCheckBox, forced, checked, hot",
        Measure(iterations, [&] { modSkinner::PaintCheckBox(check, 1, true); }));

  ReleaseFaces(button);
  modSkinner::RemoveSkinProp(check, modSkinner::prop::OLDSTATE);
  DestroyWindow(host);
  modSkinner::ReleaseSkinImages(modSkinner::Engine().Images);
  return 0;
}
