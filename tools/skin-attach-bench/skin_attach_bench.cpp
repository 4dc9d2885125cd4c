// Times attaching the skin to the main window from a cold engine: the mouse-leave probe,
// the five skin images drawn, every control attached and the button faces rendered.
//   skin-attach-bench [ROUNDS]   (default 50)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/frm_main.h"
#include "skin/skin_engine.h"

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  tarnwick::app::FormOptions options;
  options.settings_application = L"TarnwickSkinAttachBench";
  options.quit_on_destroy = false;
  std::unique_ptr<tarnwick::app::frmMain> form = tarnwick::app::frmMain::Create(options);
  if (!form) {
    std::fprintf(stderr, "skin-attach-bench: the main window could not be created\n");
    return 1;
  }
  HWND window = form->hWnd();
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);

  std::vector<double> milliseconds;
  int windows = 0;
  for (int round = 0; round < rounds; ++round) {
    modSkinner::UnskinForm(window);  // the last window: images released, engine cold
    if (modSkinner::Engine().SkinReady) {
      std::fprintf(stderr, "skin-attach-bench: the engine stayed ready after UnskinForm\n");
      return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    modSkinner::SkinForm(window);
    const auto end = std::chrono::steady_clock::now();
    milliseconds.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    windows = modSkinner::Engine().SkinnedCount;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  std::sort(milliseconds.begin(), milliseconds.end());
  const auto at = [&](double share) {
    return milliseconds[std::min(milliseconds.size() - 1,
                                 static_cast<std::size_t>(share * milliseconds.size()))];
  };
  std::printf(
      "SkinForm(main window), %d windows attached, %d rounds: median %.2f ms, "
      "90th percentile %.2f ms, max %.2f ms\n",
      windows, rounds, at(0.5), at(0.9), milliseconds.back());
  SendMessageW(window, WM_CLOSE, 0, 0);
  return at(0.5) < 50.0 ? 0 : 1;
}
