// The window host's settings store, message pump, command start and lines of text.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/command_start.h"
#include "platform/message_pump.h"
#include "platform/settings_store.h"
#include "platform/ui_metrics.h"

namespace tarnwick::platform {
namespace {

TEST(SettingsStore, StoresTextsThatReadBackAndFallsBackWhenMissing) {
  const std::wstring app = L"TarnwickStoreTest" + std::to_wstring(GetCurrentProcessId());
  DeleteApplicationSettings(app);
  EXPECT_FALSE(ReadSetting(app, L"设置", L"每个文件行数").has_value());
  EXPECT_EQ(GetSetting(app, L"设置", L"每个文件行数", L"1000"), L"1000");
  ASSERT_TRUE(SaveSetting(app, L"设置", L"每个文件行数", L"0012abc"));
  EXPECT_EQ(GetSetting(app, L"设置", L"每个文件行数", L"1000"), L"0012abc");
  ASSERT_TRUE(SaveSetting(app, L"设置", L"每个文件行数", L""));  // an empty text is a value
  EXPECT_EQ(ReadSetting(app, L"设置", L"每个文件行数"), std::wstring());
  const std::wstring long_text(5000, L'长');
  ASSERT_TRUE(SaveSetting(app, L"设置", L"每个文件行数", long_text));
  EXPECT_EQ(ReadSetting(app, L"设置", L"每个文件行数"), long_text);
  EXPECT_TRUE(DeleteApplicationSettings(app));
  EXPECT_FALSE(ReadSetting(app, L"设置", L"每个文件行数").has_value());
  EXPECT_TRUE(DeleteApplicationSettings(app));  // nothing left to delete is fine
}

TEST(CommandStart, StartsTheProgramAtTheGivenPathWithTheGivenCommandLine) {
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_GT(length, 0u);
  const std::wstring cmd = std::wstring(system, length) + L"\\cmd.exe";
  const std::filesystem::path marker =
      std::filesystem::temp_directory_path() /
      (L"tarnwick-start-cmd-" + std::to_wstring(GetCurrentProcessId()) + L".txt");
  std::filesystem::remove(marker);
  // The program comes from the path; the command line's first word is only its name as
  // the program sees it (here a name that exists nowhere).
  ASSERT_TRUE(StartCommand(
      cmd, L"tarnwick-no-such-program.exe /c echo started>\"" + marker.wstring() + L"\""));
  for (int i = 0; i < 1000 && !std::filesystem::exists(marker); ++i) Sleep(10);
  Sleep(100);  // the echo may still be writing
  std::ifstream in(marker);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text.substr(0, 7), "started");
  in.close();
  std::filesystem::remove(marker);

  EXPECT_FALSE(StartCommand(L"", L"explorer.exe"));  // never by bare name from the line
  wchar_t windows[MAX_PATH];
  const UINT windows_length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(WindowsFolderProgram(L"explorer.exe"),
            std::wstring(windows, windows_length) + L"\\explorer.exe");
}

TEST(TextLines, BreakAfterACommaThatLeavesALineHalfFullAndCutWhatDoesNotFit) {
  const auto width = [](std::wstring_view text) {
    return MeasureText(text.data(), static_cast<int>(text.size())).cx;
  };
  const std::wstring text = L"按大小切分，每个文件不超过 20 MB，保持原样。";
  EXPECT_EQ(BreakLines(text, width(text), 2, nullptr), text);
  EXPECT_EQ(BreakLines(text, width(L"按大小切分，每个文件不超过 20 MB，保持"), 2, nullptr),
            L"按大小切分，每个文件不超过 20 MB，\n保持原样。");
  const std::wstring cut = BreakLines(text, width(L"按大小切分，每个"), 2, nullptr);
  EXPECT_EQ(cut.rfind(L"按大小切分，\n每个", 0), 0u);
  EXPECT_EQ(cut.back(), L'…');
  EXPECT_EQ(MeasureLines(cut).cy, 2 * MeasureText(L"", 0).cy);
}

// Counts WM_APP messages sent to a plain window.
struct CountingWindow {
  static inline int received = 0;
  HWND hwnd = nullptr;
  CountingWindow() {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == WM_APP) ++received;
      return DefWindowProcW(h, m, w, l);
    };
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"TarnwickPumpTest";
    RegisterClassW(&window_class);
    hwnd = CreateWindowW(L"TarnwickPumpTest", L"", 0, 0, 0, 10, 10, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
  }
  ~CountingWindow() { DestroyWindow(hwnd); }
};

TEST(ThrottledPump, ProcessesEverythingPendingAtMostOncePerInterval) {
  CountingWindow window;
  CountingWindow::received = 0;
  ThrottledPump pump(nullptr, 50);
  for (int i = 0; i < 3; ++i) PostMessageW(window.hwnd, WM_APP, 0, 0);
  pump.Pump();  // the first call processes at once
  EXPECT_EQ(CountingWindow::received, 3);
  PostMessageW(window.hwnd, WM_APP, 0, 0);
  pump.Pump();  // within the interval: returns at once
  EXPECT_EQ(CountingWindow::received, 3);
  Sleep(80);
  pump.Pump();
  EXPECT_EQ(CountingWindow::received, 4);
}

TEST(ThrottledPump, KeepsAQuitForItsOwnerToPostAgain) {
  CountingWindow window;
  CountingWindow::received = 0;
  ThrottledPump pump(nullptr, 10);
  PostQuitMessage(5);
  PostMessageW(window.hwnd, WM_APP, 0, 0);
  pump.PumpNow();
  EXPECT_TRUE(pump.QuitReceived());
  pump.RepostQuit();
  EXPECT_FALSE(pump.QuitReceived());
  MSG message{};
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 5u);
  pump.PumpNow();
  EXPECT_EQ(CountingWindow::received, 1);  // nothing was lost
}

TEST(CommandStart, StartsInANormalWindowThatGetsTheFocus) {
  const std::filesystem::path report =
      std::filesystem::temp_directory_path() /
      (L"tarnwick-start-" + std::to_wstring(GetCurrentProcessId()) + L".txt");
  std::filesystem::remove(report);
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::filesystem::path probe =
      std::filesystem::path(self).parent_path() / L"app_start_probe.exe";
  ASSERT_TRUE(std::filesystem::exists(probe));
  ASSERT_TRUE(
      StartCommand(probe.wstring(), L"\"" + probe.wstring() + L"\" \"" + report.wstring() + L"\""));
  std::string shown;
  for (int wait = 0; wait < 200 && shown.empty(); ++wait) {  // up to 10 s
    Sleep(50);
    std::ifstream in(report);
    std::getline(in, shown);
  }
  std::filesystem::remove(report);
  // STARTF_USESHOWWINDOW with SW_SHOWNORMAL: shown normally and activated.
  EXPECT_EQ(shown, "1 " + std::to_string(SW_SHOWNORMAL));

  EXPECT_FALSE(StartCommand(L"C:\\no such program.exe",
                            L"\"C:\\no such program.exe\""));  // the failure is told
}

}  // namespace
}  // namespace tarnwick::platform
